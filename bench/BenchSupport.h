#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// Helpers shared by the benchmarks: memory figures of this process, child runs of the
// benchmark itself (so each measured step has a peak memory of its own), and the tables.
namespace corvina::bench {

// Resident memory now and at its peak since start or the last resetPeak(), in MiB.
double rssMiB();
double peakRssMiB();
// Starts a new peak at the present resident size (Linux: /proc/self/clear_refs).
void resetPeak();

// Runs this program again with `arguments` and returns the values of its "RESULT key=value"
// lines; exits with a message when the run fails.
struct Result {
    QStringList keys;
    QStringList values;
    double number(const QString &key) const;
};
Result runChild(const QStringList &arguments);
// Prints one "RESULT key=value …" line for the parent run.
void report(const std::vector<std::pair<QString, double>> &values);

// A whole file; exits with a message when it cannot be read.
QByteArray readAll(const QString &path);

// A plain text table.
void printTable(const QString &title, const QStringList &header, const std::vector<QStringList> &rows);
QString fixed(double value, int decimals = 2);

} // namespace corvina::bench
