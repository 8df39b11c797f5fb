#pragma once

#include <QString>

#include <chrono>

namespace corvina {

class Screen;

// The status-window protocol the long operations follow, and its two program-wide numbers
// (the bar's full width and the record count of the current loop).
//
// open → busyPointer → any number of step / startRecords / progress / animation → close.
// Every step text is followed by a yield so it is painted before the next slow call. While
// records are written the bar's width is computed for every record, but the event loop is
// given control about 60 times a second (and after the last record), not after each one, as
// the screen's steady clock tells.
class StatusDisplay {
public:
    StatusDisplay(Screen &screen, QString clipPath);

    void open();
    // For a procedure that may run inside another's status window: keeps an open window and
    // takes the bar's present width as the full width (the design width when the bar is at
    // 0), hiding the bar; opens the window when it is closed.
    void openOrContinue();
    void busyPointer();
    void step(const QString &text);
    // Stores the record count, shows the bar at width 0 and sets the step text.
    void startRecords(int count, const QString &text);
    // done ÷ count × full width; `done` is the caller's measure (records written so far).
    void progress(int done);
    void playAnimation();
    void stopAnimation();
    // Default pointer, window unloaded. Safe to call when already closed.
    void close();

    bool isOpen() const noexcept { return m_open; }
    int fullWidth() const noexcept { return m_fullWidth; }
    int recordCount() const noexcept { return m_count; }
    int barWidth() const noexcept { return m_barWidth; }

private:
    void yieldNow();

    Screen &m_screen;
    QString m_clipPath;
    int m_fullWidth = 0;
    int m_count = 0;
    int m_barWidth = 0;
    bool m_open = false;
    bool m_animating = false;
    std::chrono::steady_clock::time_point m_lastYield;
};

// Opens the status window with the busy pointer and closes it on every way out of the
// scope, normal or by exception.
class StatusSession {
public:
    explicit StatusSession(StatusDisplay &status);
    StatusSession(const StatusSession &) = delete;
    StatusSession &operator=(const StatusSession &) = delete;
    ~StatusSession();

    StatusDisplay *operator->() const noexcept { return &m_status; }

private:
    StatusDisplay &m_status;
};

} // namespace corvina
