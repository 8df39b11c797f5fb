#pragma once

#include "base/Screen.h"

#include <memory>

namespace corvina {

class MainMenu;
class Status;

// The screen of the running program: Qt message boxes, the Status window, the override
// cursor and the main window's boxes and entries.
class QtScreen : public Screen {
public:
    QtScreen();
    ~QtScreen() override;

    void attachMainWindow(MainMenu *window) { m_main = window; }
    // The status window while it is open, else null.
    Status *statusWindow() const { return m_status.get(); }

    Answer message(const QString &text, const QString &title, Buttons buttons) override;

    void showStatus() override;
    int statusBarDesignWidth() const override;
    void setStatusText(const QString &text) override;
    void setStatusBar(int width, bool visible) override;
    void playStatusAnimation(const QString &clipPath) override;
    void stopStatusAnimation() override;
    void closeStatus() override;

    void setBusyPointer(bool busy) override;
    void yield() override;

    QString boxText(RetrievalBox box) const override;
    void setBoxText(RetrievalBox box, const QString &text) override;
    void enableEntry(MenuEntry entry) override;

    std::optional<RetrievalPeriod> askRetrievalPeriod() override;
    std::optional<QStringList> askExcludedItemKinds(const QStringList &kinds,
                                                    const QStringList &selected) override;
    void showMainWindow() override;
    QDateTime now() const override;

private:
    MainMenu *m_main = nullptr;
    std::unique_ptr<Status> m_status;
    bool m_busy = false;
};

} // namespace corvina
