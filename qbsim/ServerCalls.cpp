#include "qbsim/Server.h"

#include "base/Error.h"
#include "qbsim/CompanyFile.h"
#include "qbsim/QueryEngine.h"
#include "qbsim/ServerClient.h"
#include "qbxml/ComErrors.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QTimer>

#include <chrono>

#include <new>

// The calls of the request processor's interface, as the server answers them.
namespace corvina::qbsim {

namespace {

using namespace Qt::Literals::StringLiterals;
namespace hr = qb::hr;
namespace wire = qb::wire;

QString hex(std::int32_t number)
{
    return u"0x"_s + QString::number(static_cast<std::uint32_t>(number), 16).toUpper();
}

QString normalPath(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

const QString kMalformed = u"Malformed request frame."_s;

QString errorOutcome(std::int32_t number, const QString &description)
{
    return u"error %1 %2"_s.arg(hex(number), description);
}

} // namespace

void Server::openConnection(Client &client, wire::PayloadReader &args)
{
    const auto appId = args.str();
    const auto appName = args.str();
    if (!appId || !appName || !args.atEnd()) {
        log(client, u"OpenConnection"_s, kMalformed);
        sendError(client, hr::kInvalidArgument, kMalformed);
        return;
    }
    const QString call = u"OpenConnection(\"%1\", \"%2\")"_s.arg(*appId, *appName);
    if (client.connectionOpen) {
        const QString message = u"OpenConnection was called while a connection is open."_s;
        log(client, call, errorOutcome(hr::kUnexpected, message));
        sendError(client, hr::kUnexpected, message);
        return;
    }
    client.connectionOpen = true;
    client.appName = *appName;
    log(client, call, u"ok"_s);
    sendOk(client);
}

void Server::beginSession(Client &client, wire::PayloadReader &args)
{
    const auto path = args.str();
    const auto mode = args.i32();
    if (!path || !mode || !args.atEnd()) {
        log(client, u"BeginSession"_s, kMalformed);
        sendError(client, hr::kInvalidArgument, kMalformed);
        return;
    }
    const QString call = u"BeginSession(\"%1\", %2)"_s.arg(*path, QString::number(*mode));
    const auto refuse = [&](std::int32_t number, const QString &description) {
        log(client, call, errorOutcome(number, description));
        sendError(client, number, description);
    };
    if (!client.connectionOpen)
        return refuse(hr::kUnexpected, u"BeginSession was called before OpenConnection."_s);
    if (client.sessionOpen)
        return refuse(hr::kUnexpected, u"BeginSession was called while a session is open."_s);
    if (*mode < 0 || *mode > 2)
        return refuse(
            hr::kInvalidArgument,
            u"Open mode %1 is not 0 (single-user), 1 (multi-user) or 2 (either)."_s.arg(*mode));
    if (!m_company)
        return refuse(hr::kNoAutoLogin, hr::description(hr::kNoAutoLogin));
    if (!path->isEmpty() && !isOpenFile(*path))
        return refuse(hr::kOtherFileOpen, hr::description(hr::kOtherFileOpen));
    client.sessionOpen = true;
    client.session = QuerySession(m_options.qbxmlVersion);
    log(client, call, u"ok"_s);
    sendOk(client);
}

bool Server::isOpenFile(const QString &path) const
{
    const QString wanted = normalPath(path);
    const QString open = normalPath(m_company->path());
    if (wanted == open)
        return true;
    const QFileInfo wantedInfo(wanted);
    const QFileInfo openInfo(open);
    return wantedInfo.exists() && openInfo.exists() &&
           wantedInfo.canonicalFilePath() == openInfo.canonicalFilePath();
}

void Server::currentCompanyFile(Client &client, wire::PayloadReader &args)
{
    const QString call = u"CurrentCompanyFile"_s;
    if (!args.atEnd()) {
        log(client, call, kMalformed);
        sendError(client, hr::kInvalidArgument, kMalformed);
        return;
    }
    if (!client.sessionOpen) {
        const QString message = client.connectionOpen
                                    ? u"CurrentCompanyFile was called outside a session."_s
                                    : u"CurrentCompanyFile was called before OpenConnection."_s;
        log(client, call, errorOutcome(hr::kUnexpected, message));
        sendError(client, hr::kUnexpected, message);
        return;
    }
    log(client, call, m_company->path());
    sendOk(client, m_company->path().toUtf8());
}

void Server::processRequest(Client &client, wire::PayloadReader &args)
{
    const auto request = args.bytes();
    if (!request || !args.atEnd()) {
        log(client, u"ProcessRequest"_s, kMalformed);
        sendError(client, hr::kInvalidArgument, kMalformed);
        return;
    }
    const QString call = u"ProcessRequest(%1 bytes)"_s.arg(request->size());
    if (!client.sessionOpen) {
        const QString message = client.connectionOpen
                                    ? u"ProcessRequest was called outside a session."_s
                                    : u"ProcessRequest was called before OpenConnection."_s;
        log(client, call, errorOutcome(hr::kUnexpected, message));
        sendError(client, hr::kUnexpected, message);
        return;
    }
    RequestReport report;
    try {
        const QByteArray response =
            qbsim::processRequest(*m_company, client.session, *request, report);
        log(client, call, u"ok, %1 bytes, %2 records"_s.arg(response.size()).arg(report.records));
        for (qsizetype i = 0; i < report.requests.size(); ++i)
            log(client, u"  "_s + report.requests[i], report.outcomes[i]);
        const qint64 delay = qint64(m_options.recordDelayMs) * report.records;
        if (delay <= 0) {
            sendOk(client, response);
            return;
        }
        // Held back: nothing more is read from this client until the answer goes out.
        client.stalled = true;
        QLocalSocket *socket = client.socket;
        QTimer::singleShot(std::chrono::milliseconds(delay), this, [this, socket, response] {
            const auto it = m_clients.find(socket);
            if (it == m_clients.end())
                return;
            Client &held = *it->second;
            held.stalled = false;
            sendOk(held, response);
            serve(held);
        });
    } catch (const Error &e) {
        QString outcome = errorOutcome(e.number(), e.description());
        if (!report.diagnostic.isEmpty())
            outcome += u" ("_s + report.diagnostic + u')';
        log(client, call, outcome);
        sendError(client, e.number(), e.description());
    } catch (const std::bad_alloc &) {
        const QString message = u"Not enough memory for the answer."_s;
        log(client, call, message);
        sendError(client, hr::kCouldNotAccess, message);
    }
}

void Server::endSession(Client &client, wire::PayloadReader &args)
{
    if (!args.atEnd()) {
        log(client, u"EndSession"_s, kMalformed);
        sendError(client, hr::kInvalidArgument, kMalformed);
        return;
    }
    client.sessionOpen = false;
    client.session.clear();
    log(client, u"EndSession"_s, u"ok"_s);
    sendOk(client);
}

void Server::closeConnection(Client &client, wire::PayloadReader &args)
{
    if (!args.atEnd()) {
        log(client, u"CloseConnection"_s, kMalformed);
        sendError(client, hr::kInvalidArgument, kMalformed);
        return;
    }
    client.sessionOpen = false;
    client.connectionOpen = false;
    client.session.clear();
    log(client, u"CloseConnection"_s, u"ok"_s);
    sendOk(client);
}

} // namespace corvina::qbsim
