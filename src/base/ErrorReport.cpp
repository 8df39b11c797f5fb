#include "base/ErrorReport.h"

#include "base/Screen.h"

#include <QDateTime>
#include <QFile>

namespace corvina {

namespace {
const QChar kCR(u'\r');
} // namespace

ErrorReport::ErrorReport(Screen &screen, QString logPath)
    : m_screen(screen), m_logPath(std::move(logPath))
{
}

QString ErrorReport::messageText(const QString &procedure, const QString &description,
                                 std::int32_t number, int step)
{
    QString text = QStringLiteral("An unexpected error has been encountered. Please provide the "
                                  "information below to Halvard so they can resolve this issue:");
    text += kCR;
    text += kCR;
    text += QStringLiteral("Procedure Name: ") + procedure + kCR;
    text += QStringLiteral("Error Description: ") + description + kCR;
    text += QStringLiteral("Error Number: ") + QString::number(number) + kCR;
    text += QStringLiteral("Line Number: ") + QString::number(step) + kCR + kCR;
    text += QStringLiteral("Please check Halvard's web site, www.halvard.example, for Halvard's "
                           "most up-to-date e-mail address.");
    return text;
}

ErrorReport::Action::Action(ErrorReport &report) : m_report(report), m_outerTold(report.m_told)
{
    m_report.m_told = false;
}

ErrorReport::Action::~Action()
{
    m_report.m_told = m_outerTold;
}

void ErrorReport::logOnly(const QString &procedure, const QString &description, std::int32_t number,
                          int step)
{
    ++m_count;
    m_told = true;
    appendToLog(procedure, description, number, step);
}

void ErrorReport::show(const QString &procedure, const QString &description, std::int32_t number,
                       int step)
{
    ++m_count;
    appendToLog(procedure, description, number, step);
    if (m_told)
        return;
    m_told = true;
    m_screen.message(messageText(procedure, description, number, step), QStringLiteral("Error"),
                     Buttons::Ok);
}

void ErrorReport::appendToLog(const QString &procedure, const QString &description,
                              std::int32_t number, int step) const
{
    // The log is a courtesy for support; failing to write it must not disturb the caller.
    QFile log(m_logPath);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return;
    QString flat = description;
    flat.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QString entry = QStringLiteral("%1\t%2\terror %3\tline %4\t%5\n")
                              .arg(QDateTime::currentDateTime().toString(Qt::ISODate), procedure)
                              .arg(number)
                              .arg(step)
                              .arg(flat);
    log.write(entry.toUtf8());
}

} // namespace corvina
