#pragma once

#include <QString>

#include <cstdint>

namespace corvina {

class Screen;

// The unexpected-error report. Every report is appended to the log file. Within one user
// action (a menu command and all it runs) only the first report shows a box, so a failing
// retrieval tells the user once and a later action that fails tells them again; reports made
// outside any action (window handlers) show a box only for the first of the run. Never
// throws.
class ErrorReport {
public:
    ErrorReport(Screen &screen, QString logPath);

    // One user action while it lives. Actions started while another runs (the windows stay
    // usable during a retrieval) have their own, and the outer one's state comes back after.
    class Action {
    public:
        explicit Action(ErrorReport &report);
        ~Action();
        Action(const Action &) = delete;
        Action &operator=(const Action &) = delete;

    private:
        ErrorReport &m_report;
        bool m_outerTold;
    };

    // ShowError: procedure is the caller's name ("GetCustomers"), step the numbered
    // step that failed (0 when unknown).
    void show(const QString &procedure, const QString &description, std::int32_t number, int step);
    // A failure the user already knows of (they chose to stop waiting): logged and counted,
    // and it counts as the action's one telling.
    void logOnly(const QString &procedure, const QString &description, std::int32_t number,
                 int step);

    // Reports since the program started; never reset.
    int count() const noexcept { return m_count; }

    // The box's text, lines separated by a lone carriage return.
    static QString messageText(const QString &procedure, const QString &description,
                               std::int32_t number, int step);

private:
    void appendToLog(const QString &procedure, const QString &description, std::int32_t number,
                     int step) const;

    Screen &m_screen;
    QString m_logPath;
    int m_count = 0;
    bool m_told = false; // the current action (or the run, outside actions) showed a box
};

} // namespace corvina
