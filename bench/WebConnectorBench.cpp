// Web Connector figures: a generated company's invoices retrieved into QBData.mdb through the
// Web Connector's HTTPS service on the loopback (`qbsim webconnector` calling it from its own
// process every 0.1 s, with no record delay) against the stand-in's socket (`qbsim serve`), in
// one run: wall time of each, their ratio, and the peak memory of the process retrieving.
// Both times run from the menu command to the rows committed, with the stand-in already
// running and its company loaded (the time it took to load is shown beside); the Web
// Connector's includes the wait for its next scheduled call (0.1 s at most).
// Each path runs in a child process of this program, so its peak (VmHWM) is its own.
//
//   webconnector_bench [--invoices N] [--seed S] [--also N]
//   (--also: a second company size for the memory-flatness rows; 0 for none)
#include "BenchSupport.h"

#include "localdb/Database.h"
#include "localdb/LocalDb.h"
#include "retrieval/Retrievals.h"
#include "state/ProgramState.h"
#include "webconnector/Certificate.h"
#include "webconnector/Gatekeeper.h"
#include "webconnector/WebConnectorService.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>

using namespace corvina;
using namespace corvina::bench;
using namespace Qt::StringLiterals;
using Clock = std::chrono::steady_clock;

namespace {

const QString kQbsim = QStringLiteral(CORVINA_QBSIM_PATH);
const QString kUser = u"corvina"_s;
const QString kPassword = u"bench pass"_s;

int generate(const QString &out, const QString &invoices, const QString &seed)
{
    QProcess qbsim;
    qbsim.setProcessChannelMode(QProcess::ForwardedChannels);
    qbsim.start(kQbsim,
                {u"generate"_s, u"--invoices"_s, invoices, u"--seed"_s, seed, u"--output"_s, out});
    return qbsim.waitForFinished(-1) && qbsim.exitStatus() == QProcess::NormalExit &&
                   qbsim.exitCode() == 0
               ? 0
               : 1;
}

// The HTTPS service on the loopback with a certificate made here; returns its port, 0 on failure.
quint16 startService(ProgramState &state, const QString &folder, QString &caPath)
{
    const wc::CertificateFiles files =
        wc::makeSelfSignedCertificate(u"localhost"_s, {u"127.0.0.1"_s}, 2);
    caPath = QDir(folder).filePath(u"service.crt"_s);
    wc::saveCertificateFiles(files, caPath, QDir(folder).filePath(u"service.key"_s));
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate(files.certificatePem));
    tls.setPrivateKey(QSslKey(files.keyPem, QSsl::Ec));
    if (tls.privateKey().isNull())
        return 0;
    wc::WebConnectorService::Options options;
    options.userName = kUser;
    options.password = wc::PasswordHash::make(kPassword, 1000);
    auto service = std::make_shared<wc::WebConnectorService>(options);
    QString error;
    const quint16 port = service->start(QHostAddress::LocalHost, 0, tls, &error);
    if (port == 0) {
        std::fprintf(stderr, "the service did not start: %s\n", qPrintable(error));
        return 0;
    }
    // As the program runs it; the waiting loops below wake when a call came.
    service->runOnOwnThread();
    QObject::connect(service.get(), &wc::WebConnectorService::changed, qApp, [] {});
    QuickBooksLink &link = state.quickBooks();
    link.makeProcessor = nullptr;
    link.webConnector = service;
    link.webConnectorOptions.patience = std::chrono::minutes(10);
    return port;
}

// One path's invoice retrieval into a fresh application folder, timed from the menu command
// to its return (connecting included).
int retrieve(const QString &path, const QString &company, const QString &appFolder)
{
    QDir().mkpath(appFolder);
    ensureLocalDb(appFolder);
    QFile qbPath(QDir(appFolder).filePath(u"QBPath.txt"_s));
    if (!qbPath.open(QIODevice::WriteOnly) || qbPath.write(company.toUtf8() + "\n") <= 0)
        return 1;
    qbPath.close();

    HeadlessScreen screen;
    ProgramState state(appFolder, screen);
    HelperProcess qbsim;
    qbsim.process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    Clock::time_point start;
    double standInStart = 0;
    if (path == u"socket") {
        const auto launched = Clock::now();
        const QString socketPath = QDir(appFolder).filePath(u"qbsim.sock"_s);
        if (!startQbsimServe(qbsim.process, kQbsim,
                             {u"--socket"_s, socketPath, u"--quiet"_s, company}))
            return 1;
        state.quickBooks().makeProcessor = nullptr;
        state.quickBooks().socketPath = socketPath;
        start = Clock::now();
        standInStart = std::chrono::duration<double>(start - launched).count();
    } else {
        QString caPath;
        const quint16 port = startService(state, appFolder, caPath);
        if (port == 0)
            return 1;
        // The Web Connector runs before the menu command, as on the Windows PC: it has loaded
        // the company file and calls every 0.1 s, told "none" until Corvina wants an update.
        // Its call-by-call log goes to a file, so no pipe fills up and nothing is interleaved.
        const QString log = QDir(appFolder).filePath(u"qbsim-webconnector.log"_s);
        qbsim.process.setProcessChannelMode(QProcess::SeparateChannels);
        qbsim.process.setStandardOutputFile(log);
        qbsim.process.setStandardErrorFile(log, QIODevice::Append);
        const auto launched = Clock::now();
        qbsim.process.start(kQbsim, {u"webconnector"_s, u"--url"_s,
                                     u"https://127.0.0.1:%1/qbwc"_s.arg(port), u"--user"_s, kUser,
                                     u"--password"_s, kPassword, u"--ca-cert"_s, caPath,
                                     u"--every"_s, u"0.1"_s, company});
        if (!qbsim.process.waitForStarted(10000))
            return 1;
        const auto &service = state.quickBooks().webConnector;
        QDeadlineTimer deadline(std::chrono::minutes(10));
        while (service->lastCaller().isEmpty() && !deadline.hasExpired() &&
               qbsim.process.state() == QProcess::Running)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        if (service->lastCaller().isEmpty()) {
            std::fprintf(stderr, "qbsim webconnector never called\n");
            return 1;
        }
        start = Clock::now();
        standInStart = std::chrono::duration<double>(start - launched).count();
    }
    GetInvoices(state);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double peak = peakRssMiB();
    if (state.errors().count() > 0) {
        std::fprintf(stderr, "the %s retrieval reported errors\n", qPrintable(path));
        return 1;
    }
    Database db = openLocalDb(appFolder, Database::Mode::ReadOnly);
    report({{u"seconds"_s, seconds},
            {u"stand_in_start"_s, standInStart},
            {u"peak_mib"_s, peak},
            {u"rows"_s, static_cast<double>(db.countRows(u"Invoices"_s))}});
    return 0;
}

struct Figures {
    Result socket, webConnector;
};

Figures measure(const QString &folder, const QString &invoices, const QString &seed)
{
    const QString company = QDir(folder).filePath(u"company-%1.qbxml"_s.arg(invoices));
    if (generate(company, invoices, seed) != 0) {
        std::fprintf(stderr, "qbsim generate failed\n");
        std::exit(1);
    }
    Figures f;
    f.socket = runChild({u"step"_s, u"retrieve"_s, u"socket"_s, company,
                         QDir(folder).filePath(u"socket-%1"_s.arg(invoices))});
    f.webConnector = runChild({u"step"_s, u"retrieve"_s, u"webconnector"_s, company,
                               QDir(folder).filePath(u"wc-%1"_s.arg(invoices))});
    QFile::remove(company);
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() > 2 && args[1] == u"step") {
        if (args[2] == u"retrieve" && args.size() == 6)
            return retrieve(args[3], args[4], args[5]);
        return 64;
    }

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({u"invoices"_s, u"Invoices in the generated company."_s, u"N"_s, u"100000"_s});
    parser.addOption({u"also"_s, u"A second, smaller company for the memory rows (0: none)."_s,
                      u"N"_s, u"25000"_s});
    parser.addOption({u"seed"_s, u"Generator seed."_s, u"S"_s, u"1"_s});
    parser.process(app);

    QTemporaryDir temp;
    QStringList sizes{parser.value(u"invoices"_s)};
    if (parser.value(u"also"_s).toInt() > 0 && parser.value(u"also"_s) != sizes.front())
        sizes.prepend(parser.value(u"also"_s));

    std::vector<QStringList> timeRows, memoryRows;
    for (const QString &size : sizes) {
        const Figures f = measure(temp.path(), size, parser.value(u"seed"_s));
        const double socket = f.socket.number(u"seconds"_s);
        const double wc = f.webConnector.number(u"seconds"_s);
        const double serveStart = f.socket.number(u"stand_in_start"_s);
        const double connectorStart = f.webConnector.number(u"stand_in_start"_s);
        const double ratio = wc / socket;
        timeRows.push_back({size, QString::number(f.socket.number(u"rows"_s), 'f', 0),
                            QString::number(f.webConnector.number(u"rows"_s), 'f', 0),
                            fixed(socket), fixed(wc), fixed(ratio), fixed(serveStart),
                            fixed(connectorStart),
                            ratio <= 1.5 ? u"≤ 1.5: met"_s : u"≤ 1.5: NOT met"_s});
        const double socketPeak = f.socket.number(u"peak_mib"_s);
        const double wcPeak = f.webConnector.number(u"peak_mib"_s);
        memoryRows.push_back({size, fixed(socketPeak, 0), fixed(wcPeak, 0),
                              wcPeak < 300 ? u"< 300: met"_s : u"< 300: NOT met"_s});
    }
    printTable(u"Invoice retrieval, menu command to rows committed (seconds)"_s,
               {u"invoices"_s, u"rows (socket)"_s, u"rows (Web Connector)"_s, u"socket"_s,
                u"Web Connector"_s, u"Web Connector / socket"_s, u"qbsim serve start"_s,
                u"qbsim webconnector start"_s, u"target"_s},
               timeRows);
    printTable(u"Peak memory of Corvina's process (VmHWM of a child process per path, MiB)"_s,
               {u"invoices"_s, u"socket"_s, u"Web Connector"_s, u"target"_s}, memoryRows);
    return 0;
}
