#include "base/StatusDisplay.h"

#include "base/Screen.h"

#include <cmath>

namespace corvina {

namespace {
constexpr std::chrono::milliseconds kYieldInterval{16}; // about 60 yields a second
} // namespace

StatusDisplay::StatusDisplay(Screen &screen, QString clipPath)
    : m_screen(screen), m_clipPath(std::move(clipPath))
{
}

void StatusDisplay::open()
{
    m_screen.showStatus();
    m_open = true;
    m_fullWidth = m_screen.statusBarDesignWidth();
    m_count = 0;
    m_barWidth = 0;
    m_screen.setStatusBar(m_barWidth, false);
    yieldNow();
}

void StatusDisplay::openOrContinue()
{
    if (!m_open) {
        open();
        return;
    }
    m_fullWidth = m_barWidth > 0 ? m_barWidth : m_screen.statusBarDesignWidth();
    m_count = 0;
    m_barWidth = 0;
    m_screen.setStatusBar(m_barWidth, false);
    yieldNow();
}

void StatusDisplay::busyPointer()
{
    m_screen.setBusyPointer(true);
}

void StatusDisplay::step(const QString &text)
{
    m_screen.setStatusText(text);
    yieldNow();
}

void StatusDisplay::startRecords(int count, const QString &text)
{
    m_count = count;
    m_barWidth = 0;
    m_screen.setStatusBar(m_barWidth, true);
    step(text);
}

void StatusDisplay::progress(int done)
{
    if (m_count <= 0)
        return;
    const double width = static_cast<double>(done) / m_count * m_fullWidth;
    const int rounded = static_cast<int>(std::lround(width));
    if (rounded != m_barWidth) {
        m_barWidth = rounded;
        m_screen.setStatusBar(m_barWidth, true);
    }
    if (done >= m_count || m_screen.steadyNow() - m_lastYield >= kYieldInterval)
        yieldNow();
}

void StatusDisplay::playAnimation()
{
    m_screen.playStatusAnimation(m_clipPath);
    m_animating = true;
}

void StatusDisplay::stopAnimation()
{
    if (!m_animating)
        return;
    m_screen.stopStatusAnimation();
    m_animating = false;
}

void StatusDisplay::close()
{
    m_screen.setBusyPointer(false);
    if (!m_open)
        return;
    stopAnimation();
    m_screen.closeStatus();
    m_open = false;
}

void StatusDisplay::yieldNow()
{
    m_screen.yield();
    m_lastYield = m_screen.steadyNow();
}

StatusSession::StatusSession(StatusDisplay &status) : m_status(status)
{
    m_status.open();
    m_status.busyPointer();
}

StatusSession::~StatusSession()
{
    m_status.close();
}

} // namespace corvina
