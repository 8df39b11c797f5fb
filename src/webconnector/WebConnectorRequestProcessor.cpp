#include "webconnector/WebConnectorRequestProcessor.h"

#include "base/Error.h"
#include "qbxml/ComErrors.h"

#include <QCoreApplication>
#include <QDir>
#include <QScopeGuard>
#include <QTimer>

namespace corvina::wc {

namespace {

QString normalisedPath(const QString &path)
{
    return QString(path).replace(u'/', u'\\').trimmed().toLower();
}

} // namespace

std::optional<std::int32_t> parseHresult(const QString &text)
{
    const QString t = text.trimmed();
    bool ok = false;
    qint64 value = 0;
    if (t.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive))
        value = t.mid(2).toLongLong(&ok, 16);
    else
        value = t.toLongLong(&ok, 10);
    if (!ok || value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

WebConnectorRequestProcessor::WebConnectorRequestProcessor(WebConnectorService &service,
                                                           Options options, Hooks hooks)
    : m_service(service), m_options(options), m_hooks(std::move(hooks))
{
    m_idle.setSingleShot(true);
    QObject::connect(&m_idle, &QTimer::timeout, [this] { endIdleUpdate(); });
    // A service on its own thread posts this to the waiting loop below, which then looks again
    // at once instead of at its next tick.
    QObject::connect(&m_service, &WebConnectorService::changed, &m_wake, [] {});
}

void WebConnectorRequestProcessor::endIdleUpdate()
{
    if (!m_inUpdate || m_busy)
        return;
    m_service.endUpdate(m_problem);
    m_inUpdate = false;
    m_resumable = true;
    m_ahead.reset();
}

WebConnectorRequestProcessor::~WebConnectorRequestProcessor()
{
    m_service.wantUpdate(false);
    if (m_inUpdate)
        m_service.endUpdate(m_problem);
}

std::chrono::steady_clock::time_point WebConnectorRequestProcessor::now() const
{
    return m_hooks.clock ? m_hooks.clock() : std::chrono::steady_clock::now();
}

QString WebConnectorRequestProcessor::waitingText(const QString &caller, int scheduleMinutes)
{
    const QString where =
        caller.isEmpty()
            ? QStringLiteral("on the Windows PC where QuickBooks runs")
            : QStringLiteral("on the Windows PC where QuickBooks runs (it last called from %1)")
                  .arg(caller);
    const QString when = scheduleMinutes > 0
                             ? QStringLiteral("It calls on its own schedule, every %1 minute%2.")
                                   .arg(scheduleMinutes)
                                   .arg(scheduleMinutes == 1 ? QString() : QStringLiteral("s"))
                             : QStringLiteral("It calls on its own schedule.");
    return QStringLiteral(
               "Waiting for the QuickBooks Web Connector %1 to call. %2 To start at once, click "
               "\"Update Selected\" in the Web Connector.")
        .arg(where, when);
}

template <class Ready> void WebConnectorRequestProcessor::waitUntil(Ready ready, Wait kind)
{
    // Sleeps in the event loop until something happens (a call, a paint, the tick); the tick
    // wakes it regularly so that time limits are seen without any call. processEvents with a
    // time limit would not sleep: it drops WaitForMoreEvents and the loop would spin.
    QTimer tick;
    tick.start(50);
    const auto started = now();
    auto lastAsked = started;
    while (!ready()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        if (m_hooks.yield)
            m_hooks.yield();
        if (ready())
            return;
        if (auto error = m_service.takeConnectionError()) {
            m_inUpdate = false;
            failFromHresult(*error, true);
        }
        if (kind == Wait::ForCall) {
            if (m_options.patience.count() > 0 && now() - lastAsked >= m_options.patience) {
                const auto waited =
                    std::chrono::duration_cast<std::chrono::milliseconds>(now() - started);
                if (!m_hooks.keepWaiting || !m_hooks.keepWaiting(waited)) {
                    m_service.wantUpdate(false);
                    fail(qb::hr::kAborted,
                         QStringLiteral(
                             "You stopped waiting for the QuickBooks Web Connector. The QBData "
                             "database keeps what it holds."),
                         true);
                }
                lastAsked = now();
            }
            continue;
        }
        if (!m_service.updateRunning()) {
            m_inUpdate = false;
            fail(qb::hr::kCouldNotAccess,
                 QStringLiteral("The QuickBooks Web Connector ended the update before Corvina had "
                                "its data. The "
                                "QBData database keeps what it held."),
                 true);
        }
        const auto quiet =
            std::min(std::chrono::duration_cast<std::chrono::milliseconds>(now() - started),
                     m_service.sinceLastCall());
        if (quiet > m_options.quietTimeout) {
            const auto seconds =
                std::chrono::duration_cast<std::chrono::seconds>(m_options.quietTimeout).count();
            const QString text =
                QStringLiteral("The QuickBooks Web Connector stopped calling: it has not called "
                               "for %1 seconds in "
                               "the middle of an update. The QBData database keeps what it held.")
                    .arg(seconds);
            m_service.abandonUpdate(
                QStringLiteral("Corvina stopped the update: the Web Connector did not call for "
                               "%1 seconds.")
                    .arg(seconds));
            m_inUpdate = false;
            fail(qb::hr::kCouldNotAccess, text, true);
        }
    }
}

void WebConnectorRequestProcessor::fail(std::int32_t number, const QString &text, bool lost)
{
    if (lost)
        m_lost = true;
    throw Error(number, text);
}

void WebConnectorRequestProcessor::failFromHresult(const WebConnectorService::Reply &reply,
                                                   bool lost)
{
    const auto number = parseHresult(reply.hresult);
    const std::int32_t n = number.value_or(qb::hr::kUnexpected);
    QString text = qb::hr::description(n);
    if (text.isEmpty())
        text = reply.message.isEmpty()
                   ? QStringLiteral("QuickBooks reported the error %1.").arg(reply.hresult)
                   : reply.message;
    m_problem = text;
    fail(n, text, lost);
}

void WebConnectorRequestProcessor::waitForUpdate()
{
    m_ahead.reset(); // belonged to an update that is over
    m_service.wantUpdate(true);
    if (m_hooks.showWaiting)
        m_hooks.showWaiting(waitingText(m_service.lastCaller(), m_options.scheduleMinutes));
    waitUntil([this] { return m_service.updateRunning() && !m_service.updateWanted(); },
              Wait::ForCall);
    m_inUpdate = true;
    m_problem.clear();
}

void WebConnectorRequestProcessor::openConnection(const QString &, const QString &)
{
    if (m_inUpdate)
        return;
    m_lost = false;
    m_resumable = false;
    m_busy = true;
    const auto done = qScopeGuard([this] { m_busy = false; });
    waitForUpdate();
}

// The session's update ended while idle: the next update must be on the session's company file.
void WebConnectorRequestProcessor::resumeUpdate()
{
    m_resumable = false;
    waitForUpdate();
    waitUntil([this] { return m_service.firstCall().has_value(); }, Wait::InUpdate);
    const QString file = m_service.firstCall()->companyFile;
    if (normalisedPath(file) != normalisedPath(m_companyFile)) {
        m_problem = QStringLiteral("QuickBooks has %1 open; Corvina works with %2.")
                        .arg(file, m_companyFile);
        m_service.endUpdate(m_problem);
        m_inUpdate = false;
        fail(qb::hr::kOtherFileOpen, qb::hr::description(qb::hr::kOtherFileOpen), true);
    }
}

void WebConnectorRequestProcessor::beginSession(const QString &companyFile, int)
{
    if (!m_inUpdate)
        fail(qb::hr::kUnexpected, qb::hr::description(qb::hr::kUnexpected), false);
    m_busy = true;
    const auto done = qScopeGuard([this] {
        m_busy = false;
        if (m_inUpdate)
            m_idle.start(m_options.idleEnd);
    });
    waitUntil([this] { return m_service.firstCall().has_value(); }, Wait::InUpdate);
    m_companyFile = m_service.firstCall()->companyFile;
    if (!companyFile.isEmpty() && normalisedPath(companyFile) != normalisedPath(m_companyFile)) {
        m_problem = QStringLiteral("QuickBooks has %1 open; Corvina works with %2.")
                        .arg(m_companyFile, companyFile);
        m_service.endUpdate(m_problem);
        m_inUpdate = false;
        fail(qb::hr::kOtherFileOpen, qb::hr::description(qb::hr::kOtherFileOpen), false);
    }
}

QString WebConnectorRequestProcessor::currentCompanyFile()
{
    return m_companyFile;
}

QByteArray WebConnectorRequestProcessor::processRequest(QByteArrayView qbxmlRequest)
{
    m_idle.stop();
    m_busy = true;
    const auto done = qScopeGuard([this] {
        m_busy = false;
        if (m_inUpdate)
            m_idle.start(m_options.idleEnd);
    });
    if (!m_inUpdate && m_resumable)
        resumeUpdate();
    if (!m_inUpdate)
        fail(qb::hr::kUnexpected, qb::hr::description(qb::hr::kUnexpected), false);
    std::optional<WebConnectorService::Reply> reply;
    const auto takeReply = [&] { return (reply = m_service.takeReply()).has_value(); };
    const std::optional<QByteArray> ahead = std::exchange(m_ahead, std::nullopt);
    if (ahead && *ahead != qbxmlRequest) {
        // Another request than the one announced: its answer is waited for and dropped.
        waitUntil(takeReply, Wait::InUpdate);
        reply.reset();
    }
    if (!ahead || *ahead != qbxmlRequest)
        m_service.sendRequest(qbxmlRequest.toByteArray());
    waitUntil(takeReply, Wait::InUpdate);
    if (!reply->hresult.trimmed().isEmpty())
        failFromHresult(*reply, false);
    return reply->response;
}

void WebConnectorRequestProcessor::sendAhead(QByteArrayView qbxmlRequest)
{
    // Only between the requests of a running update; otherwise processRequest sends it.
    if (!m_inUpdate || m_ahead || m_busy)
        return;
    m_service.sendRequest(qbxmlRequest.toByteArray());
    m_ahead = qbxmlRequest.toByteArray();
}

void WebConnectorRequestProcessor::endSession()
{
    m_idle.stop();
    m_resumable = false;
    m_ahead.reset(); // an answer still to come is dropped with the update
    if (m_inUpdate)
        m_service.endUpdate(m_problem);
    m_inUpdate = false;
}

void WebConnectorRequestProcessor::closeConnection()
{
    endSession();
    m_service.wantUpdate(false);
}

QList<QVersionNumber> WebConnectorRequestProcessor::supportedQbxmlVersions()
{
    const auto &first = m_service.firstCall();
    if (!first)
        return {};
    if (!first->host.versions.isEmpty())
        return first->host.versions;
    if (first->majorVersion > 0)
        return {QVersionNumber(first->majorVersion, first->minorVersion)};
    return {};
}

QString WebConnectorRequestProcessor::hostAnswerDamage() const
{
    const auto &first = m_service.firstCall();
    return first ? first->host.damage : QString();
}

} // namespace corvina::wc
