// Refresh figures: a generated company is retrieved whole (customers and invoices, no delay),
// then a day's work changes a share of its invoices (`qbsim change`), and the next version is
// brought in twice from `qbsim serve` with a per-record delay that models QuickBooks' speed:
// by the full invoice retrieval and by the invoice refresh, each into its own copy of the
// retrieved application folder, each in a child process of its own (time and peak memory),
// in one run. The two copies are then compared table by table.
//
//   refresh_bench [--invoices N] [--customers N] [--changed-percent P] [--record-delay-ms D]
//                 [--seed S]
#include "BenchSupport.h"

#include "localdb/Database.h"
#include "localdb/LocalDb.h"
#include "retrieval/Retrievals.h"
#include "state/ProgramState.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>

using namespace corvina;
using namespace corvina::bench;
using namespace Qt::StringLiterals;
using Clock = std::chrono::steady_clock;

namespace {

const QString kQbsim = QStringLiteral(CORVINA_QBSIM_PATH);

bool runQbsim(const QStringList &arguments)
{
    QProcess qbsim;
    qbsim.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    qbsim.setStandardErrorFile(QProcess::nullDevice());
    qbsim.start(kQbsim, arguments);
    return qbsim.waitForFinished(-1) && qbsim.exitStatus() == QProcess::NormalExit &&
           qbsim.exitCode() == 0;
}

// The screen of the measured runs: counts the boxes, so a refresh that falls back to the full
// retrieval (it says so in a box) is noticed.
class CountingScreen : public HeadlessScreen {
public:
    Answer message(const QString &text, const QString &title, Buttons buttons) override
    {
        ++boxes;
        return HeadlessScreen::message(text, title, buttons);
    }
    int boxes = 0;
};

// One step in the application folder `appFolder` against `company` served with the delay:
// "seed" (customers and invoices, whole), "full" (the invoice retrieval) or "refresh" (the
// invoice refresh), timed from the menu command to its return.
int step(const QString &what, const QString &company, const QString &appFolder,
         const QString &delayMs)
{
    QDir().mkpath(appFolder);
    ensureLocalDb(appFolder);
    QFile qbPath(QDir(appFolder).filePath(u"QBPath.txt"_s));
    if (!qbPath.open(QIODevice::WriteOnly) || qbPath.write(company.toUtf8() + "\n") <= 0)
        return 1;
    qbPath.close();

    CountingScreen screen;
    ProgramState state(appFolder, screen);
    HelperProcess qbsim;
    const QString socketPath = QDir(appFolder).filePath(u"qbsim.sock"_s);
    const QString log = QDir(appFolder).filePath(u"qbsim-%1.log"_s.arg(what));
    qbsim.process.setStandardErrorFile(log); // the request log
    if (!startQbsimServe(qbsim.process, kQbsim,
                         {u"--socket"_s, socketPath, u"--record-delay-ms"_s, delayMs, company}))
        return 1;
    state.quickBooks().makeProcessor = nullptr;
    state.quickBooks().socketPath = socketPath;
    resetPeak();
    const auto start = Clock::now();
    if (what == u"seed") {
        GetCustomers(state);
        GetInvoices(state);
    } else if (what == u"full") {
        GetInvoices(state);
    } else {
        RefreshInvoices(state);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double peak = peakRssMiB();
    if (state.errors().count() > 0) {
        std::fprintf(stderr, "the %s step reported errors\n", qPrintable(what));
        return 1;
    }
    qbsim.process.terminate();
    qbsim.process.waitForFinished(5000);
    // Records QuickBooks handed out, from the stand-in's request log ("-> status 0, N records").
    double records = 0;
    QFile logFile(log);
    if (logFile.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : logFile.readAll().split('\n')) {
            const qsizetype at = line.lastIndexOf(", ");
            if (line.endsWith(" records") && at > 0)
                records += line.mid(at + 2).split(' ').front().toDouble();
        }
    }
    Database db = openLocalDb(appFolder, Database::Mode::ReadOnly);
    report({{u"seconds"_s, seconds},
            {u"peak_mib"_s, peak},
            {u"records"_s, records},
            {u"boxes"_s, static_cast<double>(screen.boxes)},
            {u"rows"_s, static_cast<double>(db.countRows(u"Invoices"_s))}});
    return 0;
}

// A digest of a table's rows, independent of their order.
QByteArray tableDigest(const QString &appFolder, const QString &table)
{
    Database db = openLocalDb(appFolder, Database::Mode::ReadOnly);
    Statement rows = db.prepare(u"SELECT * FROM \"%1\""_s.arg(table));
    QStringList all;
    while (rows.step()) {
        QStringList values;
        for (int i = 0; i < rows.columnCount(); ++i)
            values << (rows.isNull(i) ? u"<null>"_s : QString::fromUtf8(rows.text(i)));
        all << values.join(QChar(0x1f));
    }
    all.sort();
    return QCryptographicHash::hash(all.join(QChar(0x1e)).toUtf8(), QCryptographicHash::Sha256)
        .toHex()
        .left(16);
}

bool copyFolder(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    for (const QString &name : QDir(from).entryList(QDir::Files)) {
        if (name.endsWith(u".sock") || name.endsWith(u".log"))
            continue;
        if (!QFile::copy(QDir(from).filePath(name), QDir(to).filePath(name)))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 7 && args[1] == u"step")
        return step(args[2], args[3], args[4], args[5] == u"-" ? args[6] : args[5]);

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({u"invoices"_s, u"Invoices in the generated company."_s, u"N"_s, u"100000"_s});
    parser.addOption({u"customers"_s, u"Customers in the generated company."_s, u"N"_s, u"2000"_s});
    parser.addOption(
        {u"changed-percent"_s, u"Share of the invoices the day's work edits."_s, u"P"_s, u"1"_s});
    parser.addOption(
        {u"record-delay-ms"_s, u"QuickBooks' time per record handed out."_s, u"D"_s, u"2"_s});
    parser.addOption({u"seed"_s, u"Generator seed."_s, u"S"_s, u"1"_s});
    parser.process(app);
    const int invoices = parser.value(u"invoices"_s).toInt();
    const QString delay = parser.value(u"record-delay-ms"_s);
    const int edits =
        std::max(1, int(invoices * parser.value(u"changed-percent"_s).toDouble() / 100));

    QTemporaryDir temp;
    const QString company = QDir(temp.path()).filePath(u"Company.qbw"_s);
    const QString next = QDir(temp.path()).filePath(u"Company-next.qbw"_s);
    if (!runQbsim({u"generate"_s, u"--invoices"_s, QString::number(invoices), u"--customers"_s,
                   parser.value(u"customers"_s), u"--seed"_s, parser.value(u"seed"_s),
                   u"--output"_s, company})) {
        std::fprintf(stderr, "qbsim generate failed\n");
        return 1;
    }
    const QString seeded = QDir(temp.path()).filePath(u"seeded"_s);
    const auto seed = runChild({u"step"_s, u"seed"_s, company, seeded, u"0"_s, u"0"_s});

    // The day's work, written over the company at the path the folder remembers.
    if (!runQbsim({u"change"_s, u"--seed"_s, u"7"_s, u"--edits"_s, QString::number(edits),
                   u"--deletions"_s, QString::number(std::max(1, edits / 50)), u"--additions"_s,
                   QString::number(std::max(1, edits / 10)), u"--output"_s, next, company}) ||
        !QFile::remove(company) || !QFile::rename(next, company)) {
        std::fprintf(stderr, "qbsim change failed\n");
        return 1;
    }
    const QString fullFolder = QDir(temp.path()).filePath(u"full"_s);
    const QString refreshFolder = QDir(temp.path()).filePath(u"refresh"_s);
    if (!copyFolder(seeded, fullFolder) || !copyFolder(seeded, refreshFolder)) {
        std::fprintf(stderr, "cannot copy the application folder\n");
        return 1;
    }
    const auto full = runChild({u"step"_s, u"full"_s, company, fullFolder, delay, delay});
    const auto refresh = runChild({u"step"_s, u"refresh"_s, company, refreshFolder, delay, delay});

    QStringList equal;
    for (const QString &table : {u"Invoices"_s, u"Items"_s})
        equal << u"%1 %2"_s.arg(table,
                                tableDigest(fullFolder, table) == tableDigest(refreshFolder, table)
                                    ? u"equal"_s
                                    : u"DIFFER"_s);

    const auto row = [](const QString &name, const Result &r) {
        return QStringList{name,
                           fixed(r.number(u"seconds"_s)),
                           QString::number(r.number(u"records"_s), 'f', 0),
                           QString::number(r.number(u"rows"_s), 'f', 0),
                           fixed(r.number(u"peak_mib"_s), 0),
                           QString::number(r.number(u"boxes"_s), 'f', 0)};
    };
    printTable(
        u"%1 invoices, %2 edits (%3 %), record delay %4 ms; seeding (whole, no delay) took "
        "%5 s"_s.arg(invoices)
            .arg(edits)
            .arg(parser.value(u"changed-percent"_s), delay, fixed(seed.number(u"seconds"_s))),
        {u"step"_s, u"seconds"_s, u"records from QuickBooks"_s, u"Invoices rows"_s, u"peak MiB"_s,
         u"boxes shown"_s},
        {row(u"full invoice retrieval"_s, full), row(u"invoice refresh"_s, refresh)});
    std::printf("refresh / full: %s of the time; tables after both: %s\n",
                qPrintable(fixed(refresh.number(u"seconds"_s) / full.number(u"seconds"_s), 3)),
                qPrintable(equal.join(u", "_s)));
    return 0;
}
