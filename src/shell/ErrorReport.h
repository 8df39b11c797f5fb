#pragma once

#include <QString>

#include <cstdint>

namespace corvina {

class Screen;

// The unexpected-error report. Only the first report of a run shows a box; every report is
// also appended to the log file. Never throws.
class ErrorReport {
public:
    ErrorReport(Screen &screen, QString logPath);

    // ShowError: procedure is the caller's name ("GetCustomers"), line the numbered step
    // that failed (0 when unknown).
    void show(const QString &procedure, const QString &description, std::int32_t number,
              int line);

    int count() const noexcept { return m_count; }

    // The box's text, lines separated by a lone carriage return.
    static QString messageText(const QString &procedure, const QString &description,
                               std::int32_t number, int line);

private:
    void appendToLog(const QString &procedure, const QString &description, std::int32_t number,
                     int line) const;

    Screen &m_screen;
    QString m_logPath;
    int m_count = 0;
};

} // namespace corvina
