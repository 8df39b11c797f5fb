#include "retrieval/Session.h"

#include "base/Error.h"
#include "base/Screen.h"
#include "qbxml/ComErrors.h"
#include "qbxml/SocketRequestProcessor.h"
#include "retrieval/RetrievalSupport.h"
#include "state/ProgramState.h"
#include "webconnector/WebConnectorRequestProcessor.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

#include <optional>

namespace corvina {

namespace {

const QString kAppId = QStringLiteral("1234");
const QString kAppName = QStringLiteral("Fenwick");
constexpr qsizetype kMaxPathLength = 4096;
const QChar kCR(13);

// The first line decoded in the system's encoding; nothing when it cannot be a company-file
// path: undecodable text, control characters or an absurd length, as left by an editor
// accident or a disk fault.
std::optional<QString> decodePath(const QByteArray &raw)
{
    if (raw.size() > kMaxPathLength)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::System);
    const QString line = decoder.decode(raw);
    if (decoder.hasError())
        return std::nullopt;
    if (std::any_of(line.cbegin(), line.cend(),
                    [](QChar c) { return c.unicode() < 32 && c != u'\t'; }))
        return std::nullopt;
    return line;
}

// Step 1: the remembered path, or empty. The file is only read (it may well be read-only);
// when missing it is created empty. A file whose first line is rubbish is kept aside as
// QBPath.txt.bad and treated as empty, with a notice.
QString readSavedPath(ProgramState &state)
{
    const QString path = state.appFile(appfile::kQbPath);
    QFile file(path);
    if (!file.exists()) {
        if (!file.open(QIODevice::WriteOnly))
            throw Error(errc::kFileFailure,
                        QStringLiteral("%1 cannot be made: %2").arg(path, file.errorString()));
        return {};
    }
    if (!file.open(QIODevice::ReadOnly))
        throw Error(errc::kFileFailure,
                    QStringLiteral("%1 cannot be opened: %2").arg(path, file.errorString()));
    QByteArray raw = file.readLine(kMaxPathLength + 2);
    file.close();
    while (raw.endsWith('\n') || raw.endsWith('\r'))
        raw.chop(1);
    if (const auto line = decodePath(raw))
        return *line;

    const QString aside = path + QStringLiteral(".bad");
    QFile::remove(aside);
    if (!QFile::rename(path, aside) || !QFile(path).open(QIODevice::WriteOnly))
        throw Error(errc::kFileFailure,
                    QStringLiteral("%1 holds no usable path and cannot be replaced.").arg(path));
    state.screen().message(QStringLiteral("%1 did not hold a company file path. It was kept as %2, "
                                          "and the path will be saved again.")
                               .arg(appfile::kQbPath, aside),
                           kAppTitle, Buttons::Ok);
    return {};
}

// Step 8: the first line of QBPath.txt becomes the session's company file.
void writeSavedPath(ProgramState &state, const QString &companyFile)
{
    QSaveFile file(state.appFile(appfile::kQbPath));
    if (!file.open(QIODevice::WriteOnly))
        throw Error(errc::kFileFailure, file.errorString());
    file.write(companyFile.toLocal8Bit() + '\n');
    if (!file.commit())
        throw Error(
            errc::kFileFailure,
            QStringLiteral("%1 could not be written: %2").arg(file.fileName(), file.errorString()));
}

QString fileNameOf(const QString &path)
{
    const qsizetype cut = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'));
    return cut < 0 ? path : path.mid(cut + 1);
}

// QuickBooks has been silent for `waited`: true when the user wants to wait on.
bool keepWaiting(Screen &screen, std::chrono::milliseconds waited)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(waited).count();
    const QString span = seconds >= 120 ? QStringLiteral("%1 minutes").arg(seconds / 60)
                                        : QStringLiteral("%1 seconds").arg(seconds);
    const QString text =
        QStringLiteral("Quickbooks has not answered for %1. A large company file can take a long "
                       "time.")
            .arg(span) +
        kCR + kCR +
        QStringLiteral("Do you want to keep waiting? Click \"No\" to stop waiting; the "
                       "QBData database keeps what it holds.");
    return screen.message(text, QStringLiteral("Waiting for Quickbooks"), Buttons::YesNo) ==
           Answer::Yes;
}

// Nobody has called from the Web Connector for `waited`: true when the user wants to wait on.
bool keepWaitingForWebConnector(Screen &screen, std::chrono::milliseconds waited)
{
    const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(waited).count();
    const QString text =
        QStringLiteral("The QuickBooks Web Connector has not called for %1 minute%2.")
            .arg(minutes)
            .arg(minutes == 1 ? QString() : QStringLiteral("s")) +
        kCR + kCR +
        QStringLiteral("Do you want to keep waiting? Click \"No\" to stop waiting; the QBData "
                       "database keeps what it holds.");
    return screen.message(text, QStringLiteral("Waiting for the Web Connector"), Buttons::YesNo) ==
           Answer::Yes;
}

std::unique_ptr<qb::RequestProcessor> makeProcessor(ProgramState &state)
{
    QuickBooksLink &link = state.quickBooks();
    if (link.makeProcessor)
        return link.makeProcessor();
    if (link.webConnector) {
        Screen &screen = state.screen();
        StatusDisplay &status = state.status();
        wc::WebConnectorRequestProcessor::Hooks hooks;
        hooks.yield = [&screen] { screen.yield(); };
        hooks.showWaiting = [&status](const QString &text) {
            if (status.isOpen())
                status.step(text);
        };
        hooks.keepWaiting = [&screen](std::chrono::milliseconds waited) {
            return keepWaitingForWebConnector(screen, waited);
        };
        hooks.clock = [&screen] { return screen.steadyNow(); };
        return std::make_unique<wc::WebConnectorRequestProcessor>(
            *link.webConnector, link.webConnectorOptions, std::move(hooks));
    }
    auto processor = std::make_unique<qb::SocketRequestProcessor>(link.socketPath);
    Screen &screen = state.screen();
    processor->setWaitHook([&screen] { screen.yield(); });
    processor->setPatience(link.answerPatience, [&screen](std::chrono::milliseconds waited) {
        return keepWaiting(screen, waited);
    });
    return processor;
}

} // namespace

QString rememberedCompanyFile(ProgramState &state)
{
    QFile file(state.appFile(appfile::kQbPath));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray raw = file.readLine(kMaxPathLength + 2);
    while (raw.endsWith('\n') || raw.endsWith('\r'))
        raw.chop(1);
    return decodePath(raw).value_or(QString());
}

bool OpenQB(ProgramState &state)
{
    QuickBooksLink &link = state.quickBooks();
    Screen &screen = state.screen();
    bool result = false;
    ProcedureStep step(0);
    QString savedPath;
    try {
        step.reach(10);
        savedPath = readSavedPath(state);
        step.reach(20);
        if (savedPath.isEmpty()) {
            const QString question =
                QStringLiteral(
                    "The company file that you want Tallis to work with must be open in "
                    "Quickbooks before we proceed further. I can then retrieve and save the "
                    "location of your company file for future reference.") +
                kCR + kCR + QStringLiteral("Is Quickbooks open?");
            if (screen.message(question, QStringLiteral("Open Quickbooks"), Buttons::YesNoCancel) !=
                Answer::Yes)
                return false;
        }
    } catch (const Error &e) {
        state.showError(QStringLiteral("OpenQB"), e.description(), e.number(), step.number());
        return false;
    }

    for (;;) {
        try {
            step.reach(30);
            link.sessionManager.reset();
            link.sessionManager = std::make_unique<qb::SessionManager>(makeProcessor(state));
            // A lost link ends the session at once, so no retrieval relies on it again.
            link.sessionManager->setLostHandler([&link] { link.sessionOpen = false; });
            step.reach(40);
            link.sessionManager->openConnection(kAppId, kAppName);
            step.reach(50);
            link.sessionManager->beginSession(savedPath, qb::OpenMode::DontCare);
            step.reach(60);
            link.requests = link.sessionManager->createMsgSetRequest(2, 1);
            step.reach(70);
            link.sessionOpen = true;
            result = true;
            step.reach(80);
            if (savedPath.isEmpty())
                writeSavedPath(state, link.sessionManager->currentCompanyFileName());
            return true;
        } catch (const Error &e) {
            if (e.number() == qb::hr::kOtherFileOpen) {
                const QString text =
                    e.description() +
                    QStringLiteral(
                        " To try again, close the company file you now have open in Quickbooks, "
                        "and if you haven't already configured it for automatic login, open the "
                        "company file ") +
                    fileNameOf(savedPath) +
                    QStringLiteral(". Then click \"Yes\" below to continue.");
                if (screen.message(text, QStringLiteral("Wrong Company File Open"),
                                   Buttons::YesNo) == Answer::Yes)
                    continue;
                return false;
            }
            if (e.number() == qb::hr::kNoAutoLogin) {
                screen.message(e.description() +
                                   QStringLiteral(" Make sure you company file is open in "
                                                  "Quickbooks, and then try again."),
                               QStringLiteral("Open Company File"), Buttons::Ok);
                return false;
            }
            reportFailure(state, QStringLiteral("OpenQB"), e, step.number());
            return result && link.sessionOpen;
        }
    }
}

bool endLostSession(ProgramState &state)
{
    QuickBooksLink &link = state.quickBooks();
    if (!link.sessionManager || !link.sessionManager->linkLost())
        return false;
    link.sessionManager.reset();
    link.requests.reset();
    link.sessionOpen = false;
    return true;
}

void CloseQB(ProgramState &state)
{
    QuickBooksLink &link = state.quickBooks();
    if (endLostSession(state))
        return;
    if (link.sessionManager) {
        // Whatever happens, the state ends empty; a failure still reaches the caller.
        std::unique_ptr<qb::SessionManager> manager = std::move(link.sessionManager);
        link.requests.reset();
        link.sessionOpen = false;
        if (manager->inSession())
            manager->endSession();
        manager->closeConnection();
        return;
    }
    link.requests.reset();
    link.sessionOpen = false;
}

} // namespace corvina
