#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>

#include "base/Screen.h"
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

// The screen of a run nobody watches: every box is answered OK (and noted on stderr), the
// retrieval period is left open, and nothing is painted.
class HeadlessScreen : public Screen {
public:
    Answer message(const QString &text, const QString &title, Buttons buttons) override;
    void showStatus() override {}
    int statusBarDesignWidth() const override { return 300; }
    void setStatusText(const QString &) override {}
    void setStatusBar(int, bool) override {}
    void playStatusAnimation(const QString &) override {}
    void stopStatusAnimation() override {}
    void closeStatus() override {}
    void setBusyPointer(bool) override {}
    void yield() override {}
    QString boxText(RetrievalBox) const override { return {}; }
    void setBoxText(RetrievalBox, const QString &) override {}
    void enableEntry(MenuEntry) override {}
    std::optional<RetrievalPeriod> askRetrievalPeriod() override { return RetrievalPeriod{}; }
    std::optional<QStringList> askExcludedItemKinds(const QStringList &,
                                                    const QStringList &selected) override
    {
        return selected;
    }
    void showMainWindow() override {}
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// A process the benchmark started, stopped when the step ends, however it ends.
struct HelperProcess {
    QProcess process;
    HelperProcess() = default;
    HelperProcess(const HelperProcess &) = delete;
    HelperProcess &operator=(const HelperProcess &) = delete;
    ~HelperProcess();
};

// Starts `qbsim serve` (the program at `qbsim`) with `arguments` and waits until it says it
// listens; false, with its output on stderr, when it does not.
bool startQbsimServe(QProcess &process, const QString &qbsim, const QStringList &arguments);

// A plain text table.
void printTable(const QString &title, const QStringList &header,
                const std::vector<QStringList> &rows);
QString fixed(double value, int decimals = 2);

} // namespace corvina::bench
