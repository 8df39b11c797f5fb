// qbsim: the QuickBooks stand-in. `serve` answers the request library over a Unix-domain
// socket from a company file; `generate` writes a company file.

#include "base/Error.h"
#include "qbsim/CompanyFile.h"
#include "qbsim/Generator.h"
#include "qbsim/Server.h"
#include "qbxml/Wire.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QStringList>

#include <climits>
#include <csignal>
#include <cstdio>
#include <optional>

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
    "              [COMPANY_FILE]\n"
    "      Answers QuickBooks calls on the socket PATH (default: corvina-qbsim.sock in\n"
    "      $XDG_RUNTIME_DIR) from COMPANY_FILE, a qbXML query answer document. Without a\n"
    "      file no company file is open. --quiet: no log line per call on stderr.\n"
    "      --max-client-mb: the most held for one client, its unread answers and partial\n"
    "      requests (default 256); clients past it are dropped. --answer-delay: hold each\n"
    "      qbXML answer back MS milliseconds, or for ever, as a slow QuickBooks would.\n"
    "  qbsim generate [--customers N] [--invoices M] [--seed S] [--output FILE]\n"
    "      Writes a generated company file to FILE or standard output\n"
    "      (defaults: 40 customers, 300 invoices, seed 1).\n"
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

// The value after an option, taken from `args` at `i`; nullopt when missing.
std::optional<QString> optionValue(const QStringList &args, qsizetype &i)
{
    if (i + 1 >= args.size())
        return std::nullopt;
    return args[++i];
}

std::optional<qulonglong> parseCount(const QString &text, qulonglong max)
{
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok);
    if (!ok || text.startsWith(u'+') || value > max)
        return std::nullopt;
    return value;
}

int serve(QCoreApplication &app, const QStringList &args)
{
    QString socketPath;
    QString companyPath;
    qbsim::ServerOptions options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == u"--socket") {
            const auto value = optionValue(args, i);
            if (!value || value->isEmpty())
                return usageError(u"--socket needs a path."_s);
            socketPath = *value;
        } else if (arg == u"--quiet") {
            options.quiet = true;
        } else if (arg == u"--max-client-mb") {
            const auto value = optionValue(args, i);
            const auto mb = value ? parseCount(*value, 1024 * 1024) : std::nullopt;
            if (!mb || *mb == 0)
                return usageError(u"--max-client-mb needs a whole number of megabytes from 1."_s);
            options.maxClientBytes = static_cast<qint64>(*mb) * 1024 * 1024;
        } else if (arg == u"--answer-delay") {
            const auto value = optionValue(args, i);
            const auto ms = value && *value != u"never" ? parseCount(*value, INT_MAX) : std::nullopt;
            if (value && *value == u"never")
                options.answerDelayMs = -1;
            else if (ms)
                options.answerDelayMs = static_cast<int>(*ms);
            else
                return usageError(u"--answer-delay needs milliseconds or \"never\"."_s);
        } else if (arg.startsWith(u'-')) {
            return usageError(u"unknown option %1."_s.arg(arg));
        } else if (companyPath.isEmpty()) {
            companyPath = arg;
        } else {
            return usageError(u"more than one company file given."_s);
        }
    }
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


int generate(const QStringList &args)
{
    qbsim::GeneratorOptions options;
    QString output;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg != u"--customers" && arg != u"--invoices" && arg != u"--seed" && arg != u"--output")
            return usageError(u"unknown argument %1."_s.arg(arg));
        const auto value = optionValue(args, i);
        if (!value)
            return usageError(u"%1 needs a value."_s.arg(arg));
        if (arg == u"--output") {
            output = *value;
            continue;
        }
        const qulonglong max = arg == u"--seed" ? ~0ULL : static_cast<qulonglong>(INT_MAX);
        const auto number = parseCount(*value, max);
        if (!number)
            return usageError(u"%1 needs a whole number from 0 to %2, not \"%3\"."_s.arg(
                arg, QString::number(max), *value));
        if (arg == u"--customers")
            options.customers = static_cast<int>(*number);
        else if (arg == u"--invoices")
            options.invoices = static_cast<int>(*number);
        else
            options.seed = *number;
    }

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
    if (command == u"generate")
        return generate(args.mid(1));
    return usageError(u"unknown command %1."_s.arg(command));
}
