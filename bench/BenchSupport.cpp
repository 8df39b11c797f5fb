#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>

namespace corvina::bench {

namespace {

double statusField(const char *name)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray prefix = QByteArray(name) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

} // namespace

double rssMiB()
{
    return statusField("VmRSS");
}

double peakRssMiB()
{
    return statusField("VmHWM");
}

void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

double Result::number(const QString &key) const
{
    const qsizetype i = keys.indexOf(key);
    return i < 0 ? 0.0 : values[i].toDouble();
}

Result runChild(const QStringList &arguments)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit ||
        child.exitCode() != 0) {
        std::fprintf(stderr, "benchmark step %s failed\n", qPrintable(arguments.join(u' ')));
        std::exit(1);
    }
    Result result;
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        if (!line.startsWith("RESULT "))
            continue;
        for (const QByteArray &pair : line.mid(7).split(' ')) {
            const qsizetype eq = pair.indexOf('=');
            if (eq > 0) {
                result.keys << QString::fromUtf8(pair.left(eq));
                result.values << QString::fromUtf8(pair.mid(eq + 1));
            }
        }
    }
    return result;
}

void report(const std::vector<std::pair<QString, double>> &values)
{
    QTextStream out(stdout);
    out << "RESULT";
    for (const auto &[key, value] : values)
        out << ' ' << key << '=' << QString::number(value, 'f', 3);
    out << '\n';
}

void printTable(const QString &title, const QStringList &header,
                const std::vector<QStringList> &rows)
{
    std::vector<qsizetype> widths;
    for (const QString &h : header)
        widths.push_back(h.size());
    for (const QStringList &row : rows)
        for (qsizetype c = 0; c < row.size() && c < static_cast<qsizetype>(widths.size()); ++c)
            widths[static_cast<std::size_t>(c)] =
                std::max(widths[static_cast<std::size_t>(c)], row[c].size());
    QTextStream out(stdout);
    out << "\n" << title << "\n\n";
    const auto line = [&](const QStringList &cells) {
        out << '|';
        for (qsizetype c = 0; c < cells.size(); ++c)
            out << ' ' << cells[c].leftJustified(widths[static_cast<std::size_t>(c)]) << " |";
        out << '\n';
    };
    line(header);
    QStringList rule;
    for (auto w : widths)
        rule << QString(w, u'-');
    line(rule);
    for (const QStringList &row : rows)
        line(row);
    out.flush();
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        std::exit(1);
    }
    return file.readAll();
}

Answer HeadlessScreen::message(const QString &text, const QString &, Buttons)
{
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
    return Answer::Ok;
}

QString fixed(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

HelperProcess::~HelperProcess()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

bool startQbsimServe(QProcess &process, const QString &qbsim, const QStringList &arguments)
{
    process.start(qbsim, QStringList{QStringLiteral("serve")} + arguments);
    if (!process.waitForStarted(10000))
        return false;
    QDeadlineTimer deadline(std::chrono::minutes(10));
    QByteArray out;
    while (!deadline.hasExpired() && process.state() == QProcess::Running) {
        process.waitForReadyRead(100);
        out += process.readAllStandardOutput();
        if (out.contains("qbsim: listening on "))
            return true;
    }
    std::fprintf(stderr, "qbsim serve did not start: %s\n",
                 (out + process.readAllStandardError()).constData());
    return false;
}

} // namespace corvina::bench
