// qbsim: the QuickBooks stand-in. `serve` answers the request library over a Unix-domain
// socket from a company file; `generate` writes a company file.

#include "base/Error.h"
#include "qbsim/CompanyChange.h"
#include "qbsim/CompanyFile.h"
#include "qbsim/Generator.h"
#include "qbsim/QueryEngine.h"
#include "qbsim/Server.h"
#include "qbsim/WebConnectorClient.h"
#include "qbxml/Wire.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <optional>
#include <type_traits>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;
using namespace corvina;

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitBadCompany = 2;
constexpr int kExitUsage = 64;

const char kUsage[] =
    "Usage:\n"
    "  qbsim serve [--socket PATH] [--quiet] [--max-client-mb N] [--answer-delay MS|never]\n"
    "              [--qbxml-version 13.0|2.1] [--record-delay-ms N] [COMPANY_FILE]\n"
    "      Answers QuickBooks calls on the socket PATH (default: corvina-qbsim.sock in\n"
    "      $XDG_RUNTIME_DIR) from COMPANY_FILE, a qbXML query answer document. Without a\n"
    "      file no company file is open. --quiet: no log line per call on stderr.\n"
    "      --max-client-mb: the most held for one client, its unread answers and partial\n"
    "      requests (default 256); clients past it are dropped. --answer-delay: hold each\n"
    "      qbXML answer back MS milliseconds, or for ever, as a slow QuickBooks would.\n"
    "      --qbxml-version: the newest qbXML version spoken (default 13.0; 2.1 plays a\n"
    "      QuickBooks without iterators). --record-delay-ms: hold each answer back N\n"
    "      milliseconds per record it carries, as QuickBooks takes its time over each.\n"
    "      Each request is logged with its filters and the records answered.\n"
    "  qbsim webconnector --url URL --user U --password P [--ca-cert FILE]\n"
    "              [--qbxml-version 13.0|2.1] [--record-delay-ms N] [--every SECONDS] "
    "COMPANY_FILE\n"
    "      Plays the QuickBooks Web Connector: runs an update against the service at URL,\n"
    "      answering its requests from COMPANY_FILE. The server's certificate must verify\n"
    "      against FILE (or the system's trusted certificates). --record-delay-ms: time\n"
    "      taken per record answered. --every: run an update every SECONDS (0.1 or more)\n"
    "      until stopped.\n"
    "  qbsim generate [--customers N] [--invoices M] [--seed S] [--output FILE]\n"
    "      Writes a generated company file to FILE or standard output\n"
    "      (defaults: 40 customers, 300 invoices, seed 1).\n"
    "  qbsim change [--seed S] [--edits N] [--deletions N] [--additions N] [--output FILE]\n"
    "              COMPANY_FILE\n"
    "      Writes the next version of COMPANY_FILE to FILE or standard output: a day's work\n"
    "      after the file's latest time (defaults: seed 1, 5 edits, 1 deletion, 3 additions),\n"
    "      each change named on standard error.\n"
    "  qbsim --help\n";

void printError(const QString &message)
{
    std::fputs((u"qbsim: "_s + message + u'\n').toLocal8Bit().constData(), stderr);
}

int usageError(const QString &message)
{
    printError(message);
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

// Ends the event loop on SIGINT/SIGTERM: the handler only writes to a pipe, the loop reads it.
int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

bool quitOnSignals(QCoreApplication &app)
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(SIGINT, &action, nullptr) != 0 || ::sigaction(SIGTERM, &action, nullptr) != 0)
        return false;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        char byte = 0;
        while (::read(g_signalPipe[0], &byte, 1) > 0) {
        }
        app.quit();
    });
    return true;
}

// The newest qbXML version to speak: one QuickBooks has published.
std::optional<QVersionNumber> parseQbxmlVersion(const QString &text)
{
    const QVersionNumber version = QVersionNumber::fromString(text);
    if (version.segmentCount() != 2 || version.toString() != text ||
        !qbsim::knownQbxmlVersions().contains(version))
        return std::nullopt;
    return version;
}

std::optional<qulonglong> parseCount(const QString &text, qulonglong max)
{
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok);
    if (!ok || text.startsWith(u'+') || value > max)
        return std::nullopt;
    return value;
}

// Parses a command's arguments (without the command) into `parser`; a usage error names the
// unknown option or the option missing its value.
std::optional<int> parseArguments(QCommandLineParser &parser, const QString &command,
                                  const QStringList &args)
{
    if (parser.parse(QStringList{u"qbsim "_s + command} + args))
        return std::nullopt;
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty())
        return usageError(u"unknown option %1."_s.arg(
            (unknown.front().size() == 1 ? u"-"_s : u"--"_s) + unknown.front()));
    return usageError(parser.errorText());
}

int serve(QCoreApplication &app, const QStringList &args)
{
    const QCommandLineOption socketOption(u"socket"_s, {}, u"PATH"_s);
    const QCommandLineOption quietOption(u"quiet"_s);
    const QCommandLineOption maxClientOption(u"max-client-mb"_s, {}, u"N"_s);
    const QCommandLineOption answerDelayOption(u"answer-delay"_s, {}, u"MS|never"_s);
    const QCommandLineOption versionOption(u"qbxml-version"_s, {}, u"VERSION"_s);
    const QCommandLineOption recordDelayOption(u"record-delay-ms"_s, {}, u"N"_s);
    QCommandLineParser parser;
    parser.addOptions({socketOption, quietOption, maxClientOption, answerDelayOption, versionOption,
                       recordDelayOption});
    if (const auto failed = parseArguments(parser, u"serve"_s, args))
        return *failed;

    QString socketPath;
    qbsim::ServerOptions options;
    if (parser.isSet(socketOption)) {
        socketPath = parser.value(socketOption);
        if (socketPath.isEmpty())
            return usageError(u"--socket needs a path."_s);
    }
    options.quiet = parser.isSet(quietOption);
    if (parser.isSet(maxClientOption)) {
        const auto mb = parseCount(parser.value(maxClientOption), 1024 * 1024);
        if (!mb || *mb == 0)
            return usageError(u"--max-client-mb needs a whole number of megabytes from 1."_s);
        options.maxClientBytes = static_cast<qint64>(*mb) * 1024 * 1024;
    }
    if (parser.isSet(answerDelayOption)) {
        const QString value = parser.value(answerDelayOption);
        const auto ms = value != u"never" ? parseCount(value, INT_MAX) : std::nullopt;
        if (value == u"never")
            options.answerDelayMs = -1;
        else if (ms)
            options.answerDelayMs = static_cast<int>(*ms);
        else
            return usageError(u"--answer-delay needs milliseconds or \"never\"."_s);
    }
    if (parser.isSet(versionOption)) {
        const auto version = parseQbxmlVersion(parser.value(versionOption));
        if (!version)
            return usageError(
                u"--qbxml-version needs a qbXML version from 1.0 to 13.0, such as 13.0 or 2.1."_s);
        options.qbxmlVersion = *version;
    }
    if (parser.isSet(recordDelayOption)) {
        const auto ms = parseCount(parser.value(recordDelayOption), 60000);
        if (!ms)
            return usageError(u"--record-delay-ms needs milliseconds from 0 to 60000."_s);
        options.recordDelayMs = static_cast<int>(*ms);
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return usageError(u"more than one company file given."_s);
    const QString companyPath = files.value(0);
    if (socketPath.isEmpty()) {
        QString error;
        socketPath = qb::wire::defaultSocketPath(&error);
        if (socketPath.isEmpty()) {
            printError(error);
            return kExitFailure;
        }
    }

    std::shared_ptr<const qbsim::CompanyFile> company;
    if (!companyPath.isEmpty()) {
        try {
            company =
                std::make_shared<const qbsim::CompanyFile>(qbsim::CompanyFile::load(companyPath));
        } catch (const Error &e) {
            printError(e.description());
            return kExitBadCompany;
        }
        if (!options.quiet)
            printError(u"company file %1: %2 customers, %3 invoices, %4 items, %5 sales reps"_s.arg(
                company->path(), QString::number(company->customers().size()),
                QString::number(company->invoices().size()),
                QString::number(company->items().size()),
                QString::number(company->salesReps().size())));
    }

    if (!quitOnSignals(app)) {
        printError(u"cannot install the signal handlers."_s);
        return kExitFailure;
    }
    qbsim::Server server(company, options);
    QString error;
    if (!server.listen(socketPath, &error)) {
        printError(error);
        return kExitFailure;
    }
    std::fputs((u"qbsim: listening on "_s + socketPath + u'\n').toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
    const int status = app.exec();
    server.close();
    return status;
}

int webconnector(QCoreApplication &app, const QStringList &args)
{
    const QCommandLineOption urlOption(u"url"_s, {}, u"URL"_s);
    const QCommandLineOption userOption(u"user"_s, {}, u"U"_s);
    const QCommandLineOption passwordOption(u"password"_s, {}, u"P"_s);
    const QCommandLineOption caOption(u"ca-cert"_s, {}, u"FILE"_s);
    const QCommandLineOption versionOption(u"qbxml-version"_s, {}, u"VERSION"_s);
    const QCommandLineOption delayOption(u"record-delay-ms"_s, {}, u"N"_s);
    const QCommandLineOption everyOption(u"every"_s, {}, u"SECONDS"_s);
    QCommandLineParser parser;
    parser.addOptions(
        {urlOption, userOption, passwordOption, caOption, versionOption, delayOption, everyOption});
    if (const auto failed = parseArguments(parser, u"webconnector"_s, args))
        return *failed;

    qbsim::WebConnectorOptions options;
    options.url = QUrl(parser.value(urlOption), QUrl::StrictMode);
    if (!parser.isSet(urlOption) || !options.url.isValid() || options.url.host().isEmpty())
        return usageError(u"--url needs the service's address, such as https://host:8443/qbwc."_s);
    if (!parser.isSet(userOption) || !parser.isSet(passwordOption))
        return usageError(u"--user and --password are needed."_s);
    options.user = parser.value(userOption);
    options.password = parser.value(passwordOption);
    options.caCertFile = parser.value(caOption);
    if (parser.isSet(versionOption)) {
        const auto version = parseQbxmlVersion(parser.value(versionOption));
        if (!version)
            return usageError(
                u"--qbxml-version needs a qbXML version from 1.0 to 13.0, such as 13.0 or 2.1."_s);
        options.qbxmlVersion = *version;
    }
    if (parser.isSet(delayOption)) {
        const auto ms = parseCount(parser.value(delayOption), 60000);
        if (!ms)
            return usageError(u"--record-delay-ms needs milliseconds from 0 to 60000."_s);
        options.recordDelayMs = static_cast<int>(*ms);
    }
    std::optional<double> every;
    if (parser.isSet(everyOption)) {
        bool ok = false;
        every = parser.value(everyOption).toDouble(&ok);
        if (!ok || !(*every >= 0.1 && *every <= 24 * 3600))
            return usageError(u"--every needs seconds from 0.1 to 86400."_s);
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1)
        return usageError(u"one company file is needed."_s);

    std::shared_ptr<const qbsim::CompanyFile> company;
    QString companyPath = files.front();
    try {
        company = std::make_shared<const qbsim::CompanyFile>(qbsim::CompanyFile::load(companyPath));
        companyPath = company->path();
    } catch (const Error &e) {
        printError(e.description()); // the service hears of it through connectionError
    }
    if (every && !quitOnSignals(app)) {
        printError(u"cannot install the signal handlers."_s);
        return kExitFailure;
    }
    qbsim::WebConnectorClient client(options, company, companyPath);
    const auto log = [](const QString &line) { printError(line); };
    bool ok = client.runUpdate(log);
    if (!every)
        return ok ? 0 : kExitFailure;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &app, [&] { ok = client.runUpdate(log); });
    timer.start(static_cast<int>(std::lround(*every * 1000)));
    app.exec();
    return ok ? 0 : kExitFailure;
}

int generate(const QStringList &args)
{
    const QCommandLineOption customersOption(u"customers"_s, {}, u"N"_s);
    const QCommandLineOption invoicesOption(u"invoices"_s, {}, u"M"_s);
    const QCommandLineOption seedOption(u"seed"_s, {}, u"S"_s);
    const QCommandLineOption outputOption(u"output"_s, {}, u"FILE"_s);
    QCommandLineParser parser;
    parser.addOptions({customersOption, invoicesOption, seedOption, outputOption});
    if (const auto failed = parseArguments(parser, u"generate"_s, args))
        return *failed;
    if (!parser.positionalArguments().isEmpty())
        return usageError(u"unknown argument %1."_s.arg(parser.positionalArguments().front()));

    qbsim::GeneratorOptions options;
    const QString output = parser.value(outputOption);
    // Reads a set `option` as a whole number from 0 to `max` into `target`; false after the
    // usage error when it is not one.
    int failure = 0;
    const auto readNumber = [&](const QCommandLineOption &option, qulonglong max, auto &target) {
        if (!parser.isSet(option))
            return true;
        const QString value = parser.value(option);
        const auto number = parseCount(value, max);
        if (!number) {
            failure = usageError(u"--%1 needs a whole number from 0 to %2, not \"%3\"."_s.arg(
                option.names().front(), QString::number(max), value));
            return false;
        }
        target = static_cast<std::remove_reference_t<decltype(target)>>(*number);
        return true;
    };
    const auto maxCount = static_cast<qulonglong>(INT_MAX);
    if (!readNumber(customersOption, maxCount, options.customers) ||
        !readNumber(invoicesOption, maxCount, options.invoices) ||
        !readNumber(seedOption, ~0ULL, options.seed))
        return failure;

    if (options.invoices > 0 && options.customers == 0) {
        printError(u"invoices need at least one customer to bill: give --customers 1 or more."_s);
        return kExitUsage;
    }
    if (output.isEmpty()) {
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly) || !qbsim::generateCompany(options, out) ||
            !out.flush()) {
            printError(u"cannot write the company file to standard output."_s);
            return kExitFailure;
        }
        return 0;
    }
    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly)) {
        printError(u"cannot write %1: %2"_s.arg(output, file.errorString()));
        return kExitFailure;
    }
    if (!qbsim::generateCompany(options, file)) {
        file.cancelWriting();
        printError(u"cannot write %1: %2"_s.arg(output, file.errorString()));
        return kExitFailure;
    }
    if (!file.commit()) {
        printError(u"cannot write %1: %2"_s.arg(output, file.errorString()));
        return kExitFailure;
    }
    return 0;
}

// Writes `bytes` to `output`, or to standard output when it is empty; 0 or the exit code.
int writeOutput(const QString &output, const QByteArray &bytes)
{
    if (output.isEmpty()) {
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly) || out.write(bytes) != bytes.size() ||
            !out.flush()) {
            printError(u"cannot write the company file to standard output."_s);
            return kExitFailure;
        }
        return 0;
    }
    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        printError(u"cannot write %1: %2"_s.arg(output, file.errorString()));
        return kExitFailure;
    }
    return 0;
}

int change(const QStringList &args)
{
    const QCommandLineOption seedOption(u"seed"_s, {}, u"S"_s);
    const QCommandLineOption editsOption(u"edits"_s, {}, u"N"_s);
    const QCommandLineOption deletionsOption(u"deletions"_s, {}, u"N"_s);
    const QCommandLineOption additionsOption(u"additions"_s, {}, u"N"_s);
    const QCommandLineOption outputOption(u"output"_s, {}, u"FILE"_s);
    QCommandLineParser parser;
    parser.addOptions({seedOption, editsOption, deletionsOption, additionsOption, outputOption});
    if (const auto failed = parseArguments(parser, u"change"_s, args))
        return *failed;
    qbsim::ChangeOptions options;
    const struct {
        const QCommandLineOption &option;
        qulonglong max;
        std::uint64_t *wide;
        int *count;
    } numbers[] = {
        {seedOption, ~0ULL, &options.seed, nullptr},
        {editsOption, 10000, nullptr, &options.edits},
        {deletionsOption, 10000, nullptr, &options.deletions},
        {additionsOption, 10000, nullptr, &options.additions},
    };
    for (const auto &n : numbers) {
        if (!parser.isSet(n.option))
            continue;
        const QString value = parser.value(n.option);
        const auto number = parseCount(value, n.max);
        if (!number)
            return usageError(u"--%1 needs a whole number from 0 to %2, not \"%3\"."_s.arg(
                n.option.names().front(), QString::number(n.max), value));
        if (n.wide)
            *n.wide = *number;
        else
            *n.count = static_cast<int>(*number);
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1)
        return usageError(u"one company file is needed."_s);
    QByteArray next;
    QStringList log;
    try {
        const qbsim::CompanyFile company = qbsim::CompanyFile::load(files.front());
        next = qbsim::changeCompany(company, options, &log);
    } catch (const Error &e) {
        printError(e.description());
        return kExitBadCompany;
    }
    for (const QString &line : std::as_const(log))
        printError(u"change: "_s + line);
    return writeOutput(parser.value(outputOption), next);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usageError(u"no command given."_s);
    const QString &command = args.front();
    if (command == u"--help" || command == u"-h" || command == u"help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == u"serve")
        return serve(app, args.mid(1));
    if (command == u"webconnector")
        return webconnector(app, args.mid(1));
    if (command == u"generate")
        return generate(args.mid(1));
    if (command == u"change")
        return change(args.mid(1));
    return usageError(u"unknown command %1."_s.arg(command));
}
