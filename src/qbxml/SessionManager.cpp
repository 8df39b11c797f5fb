#include "qbxml/SessionManager.h"

namespace corvina::qb {

SessionManager::SessionManager(std::unique_ptr<RequestProcessor> processor)
    : m_processor(std::move(processor))
{
}

SessionManager::~SessionManager()
{
    try {
        if (m_connected)
            m_processor->closeConnection();
    } catch (...) {
        // Releasing a manager never fails; the stand-in drops the session with the socket.
    }
}

template <class Call> auto SessionManager::guarded(Call call) -> decltype(call())
{
    try {
        return call();
    } catch (...) {
        if (m_processor->linkLost() && !m_lost) {
            m_lost = true;
            m_connected = false;
            m_inSession = false;
            if (m_onLost)
                m_onLost();
        }
        throw;
    }
}

void SessionManager::openConnection(const QString &appId, const QString &appName)
{
    guarded([&] { m_processor->openConnection(appId, appName); });
    m_connected = true;
    m_lost = false;
}

void SessionManager::beginSession(const QString &companyFile, OpenMode mode)
{
    guarded([&] { m_processor->beginSession(companyFile, static_cast<int>(mode)); });
    m_inSession = true;
    m_hostVersions.reset();
}

QString SessionManager::currentCompanyFileName()
{
    return guarded([&] { return m_processor->currentCompanyFile(); });
}

std::unique_ptr<RequestSet> SessionManager::createMsgSetRequest(int majorVersion,
                                                                int minorVersion) const
{
    return std::make_unique<RequestSet>(majorVersion, minorVersion);
}

ResponseSet SessionManager::doRequests(const RequestSet &requests)
{
    return doRequests(requests, {});
}

ResponseSet SessionManager::doRequests(const RequestSet &requests,
                                       const std::function<void(QByteArrayView answer)> &arrived)
{
    const QByteArray answer =
        guarded([&] { return m_processor->processRequest(requests.toQbxml()); });
    if (arrived)
        arrived(answer);
    return ResponseSet::parse(answer);
}

void SessionManager::sendAhead(const RequestSet &requests)
{
    guarded([&] { m_processor->sendAhead(requests.toQbxml()); });
}

QList<QVersionNumber> SessionManager::supportedQbxmlVersions()
{
    if (!m_hostVersions)
        m_hostVersions = guarded([&] { return m_processor->supportedQbxmlVersions(); });
    return *m_hostVersions;
}

void SessionManager::endSession()
{
    m_inSession = false;
    guarded([&] { m_processor->endSession(); });
}

void SessionManager::closeConnection()
{
    m_connected = false;
    m_inSession = false;
    guarded([&] { m_processor->closeConnection(); });
}

} // namespace corvina::qb
