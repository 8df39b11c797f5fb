#include "support/ScriptedScreen.h"

#include <gtest/gtest.h>

namespace corvina::test {

Answer ScriptedScreen::message(const QString &text, const QString &title, Buttons buttons)
{
    m_messages.push_back({text, title, buttons});
    if (m_onMessage)
        m_onMessage(title);
    if (m_answers.empty()) {
        ADD_FAILURE() << "unexpected message box \"" << title.toStdString()
                      << "\": " << text.toStdString();
        return buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
    }
    const Answer answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

QStringList ScriptedScreen::eventsWithout(const QString &prefix) const
{
    QStringList kept;
    for (const QString &event : m_events) {
        if (!event.startsWith(prefix))
            kept << event;
    }
    return kept;
}

void ScriptedScreen::showStatus()
{
    m_statusOpen = true;
    m_barWidth = m_designWidth;
    m_barVisible = true;
    m_statusText.clear();
    m_events << QStringLiteral("show");
}

void ScriptedScreen::setStatusText(const QString &text)
{
    EXPECT_TRUE(m_statusOpen) << "status text without a status window: " << text.toStdString();
    m_statusText = text;
    m_events << QStringLiteral("text:") + text;
}

void ScriptedScreen::setStatusBar(int width, bool visible)
{
    EXPECT_TRUE(m_statusOpen) << "status bar without a status window";
    m_barWidth = width;
    m_barVisible = visible;
    m_events << QStringLiteral("bar:%1:%2").arg(width).arg(visible ? u"shown" : u"hidden");
}

void ScriptedScreen::playStatusAnimation(const QString &clipPath)
{
    m_events << QStringLiteral("play:") + clipPath;
}

void ScriptedScreen::stopStatusAnimation()
{
    m_events << QStringLiteral("stop");
}

void ScriptedScreen::closeStatus()
{
    m_statusOpen = false;
    m_events << QStringLiteral("close");
}

void ScriptedScreen::setBusyPointer(bool busy)
{
    m_busy = busy;
    m_events << (busy ? QStringLiteral("busy") : QStringLiteral("idle"));
}

void ScriptedScreen::yield()
{
    m_events << QStringLiteral("yield");
    if (m_onYield)
        m_onYield();
}

QString ScriptedScreen::boxText(RetrievalBox box) const
{
    const auto found = m_boxes.find(box);
    return found == m_boxes.end() ? QString() : found->second;
}

void ScriptedScreen::setBoxText(RetrievalBox box, const QString &text)
{
    m_boxes[box] = text;
}

} // namespace corvina::test

namespace corvina::test {

std::optional<RetrievalPeriod> ScriptedScreen::askRetrievalPeriod()
{
    m_events << QStringLiteral("period");
    if (m_periods.empty()) {
        ADD_FAILURE() << "unexpected retrieval period dialog";
        return std::nullopt;
    }
    const std::optional<RetrievalPeriod> period = m_periods.front();
    m_periods.pop_front();
    return period;
}

std::optional<QStringList> ScriptedScreen::askExcludedItemKinds(const QStringList &kinds,
                                                                const QStringList &selected)
{
    m_events << QStringLiteral("itemtypes");
    m_kindsAsked.push_back(KindsAsked{kinds, selected});
    if (m_excludedKinds.empty()) {
        ADD_FAILURE() << "unexpected item-type exclusion dialog";
        return std::nullopt;
    }
    const auto [confirmed, answer] = m_excludedKinds.front();
    m_excludedKinds.pop_front();
    if (!confirmed)
        return std::nullopt;
    return answer;
}

} // namespace corvina::test
