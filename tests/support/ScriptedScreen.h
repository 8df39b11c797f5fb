#pragma once

#include "base/Screen.h"

#include <QStringList>

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <vector>

namespace corvina::test {

// The procedures' screen for tests: message boxes are answered from a queue given in
// advance, and every call is recorded so tests can assert on what the user would have seen.
class ScriptedScreen : public Screen {
public:
    struct Message {
        QString text;
        QString title;
        Buttons buttons;
    };

    // Queues the answer to the next message box. A box with no queued answer fails the
    // test and is answered with Ok/Cancel.
    void answerNext(Answer answer) { m_answers.push_back(answer); }
    // Runs before each message box is answered, e.g. to release a lock the box asks about.
    void onMessage(std::function<void(const QString &title)> hook)
    {
        m_onMessage = std::move(hook);
    }
    // Runs at each yield, e.g. to pull the stand-in away while a request waits.
    void onYield(std::function<void()> hook) { m_onYield = std::move(hook); }
    const std::vector<Message> &messages() const { return m_messages; }
    int unansweredMessages() const { return static_cast<int>(m_answers.size()); }

    // The status protocol as a list of events: "show", "text:<t>", "bar:<w>:<shown|hidden>",
    // "play:<clip>", "stop", "close", "busy", "idle", "yield".
    const QStringList &events() const { return m_events; }
    QStringList eventsWithout(const QString &prefix) const;
    bool statusOpen() const { return m_statusOpen; }
    bool busy() const { return m_busy; }
    int barWidth() const { return m_barWidth; }
    bool barVisible() const { return m_barVisible; }
    QString statusText() const { return m_statusText; }

    void setBarDesignWidth(int width) { m_designWidth = width; }
    void setNow(const QDateTime &now) { m_now = now; }
    // Moves the steady clock on; it stands still otherwise.
    void advanceSteadyClock(std::chrono::milliseconds by) { m_steadyNow += by; }
    // Queues the texts the next retrieval period dialog hands back.
    void periodNext(const QString &from, const QString &to)
    {
        m_periods.push_back(RetrievalPeriod{from, to});
    }
    // The next retrieval period dialog is closed without confirming.
    void periodClosedNext() { m_periods.push_back(std::nullopt); }
    // Queues the kinds the next item-type exclusion dialog hands back, or its closing.
    void excludedKindsNext(const QStringList &kinds) { m_excludedKinds.push_back({true, kinds}); }
    void excludedKindsClosedNext() { m_excludedKinds.push_back({false, {}}); }
    // What the exclusion dialogs were opened with: the listed kinds and the preselection.
    struct KindsAsked {
        QStringList kinds;
        QStringList selected;
    };
    const std::vector<KindsAsked> &kindsAsked() const { return m_kindsAsked; }
    int mainWindowShown() const { return m_mainShown; }
    bool entryEnabled(MenuEntry entry) const { return m_enabled.count(entry) != 0; }

    Answer message(const QString &text, const QString &title, Buttons buttons) override;
    void showStatus() override;
    int statusBarDesignWidth() const override { return m_designWidth; }
    void setStatusText(const QString &text) override;
    void setStatusBar(int width, bool visible) override;
    void playStatusAnimation(const QString &clipPath) override;
    void stopStatusAnimation() override;
    void closeStatus() override;
    void setBusyPointer(bool busy) override;
    void yield() override;
    QString boxText(RetrievalBox box) const override;
    void setBoxText(RetrievalBox box, const QString &text) override;
    void enableEntry(MenuEntry entry) override { m_enabled.insert(entry); }
    std::optional<RetrievalPeriod> askRetrievalPeriod() override;
    std::optional<QStringList> askExcludedItemKinds(const QStringList &kinds,
                                                    const QStringList &selected) override;
    void showMainWindow() override { ++m_mainShown; }
    QDateTime now() const override { return m_now; }
    std::chrono::steady_clock::time_point steadyNow() const override { return m_steadyNow; }

private:
    std::deque<Answer> m_answers;
    std::function<void(const QString &)> m_onMessage;
    std::function<void()> m_onYield;
    std::deque<std::optional<RetrievalPeriod>> m_periods;
    std::deque<std::pair<bool, QStringList>> m_excludedKinds; // confirmed, kinds
    std::vector<KindsAsked> m_kindsAsked;
    int m_mainShown = 0;
    std::vector<Message> m_messages;
    QStringList m_events;
    std::map<RetrievalBox, QString> m_boxes;
    std::set<MenuEntry> m_enabled;
    QString m_statusText;
    QDateTime m_now = QDateTime(QDate(2026, 12, 8), QTime(9, 30, 0));
    std::chrono::steady_clock::time_point m_steadyNow;
    int m_designWidth = 300;
    int m_barWidth = 0;
    bool m_barVisible = false;
    bool m_statusOpen = false;
    bool m_busy = false;
};

} // namespace corvina::test
