#pragma once

#include "SoapTestClient.h"

#include <functional>

namespace corvina::test {

// Plays the Web Connector against a service, asynchronously, in its order: serverVersion,
// clientVersion, authenticate, then sendRequestXML / receiveResponseXML pairs (strHCPResponse
// on the first call only) until the service answers 100, then closeConnection; getLastError
// after an empty request or a negative percentage. Every call and answer is logged.
class ScriptedWebConnector {
public:
    struct Answer {
        QByteArray response;
        QString hresult;
        QString message;
    };
    struct Script {
        QString user = QStringLiteral("corvina");
        QString password;
        QString companyFile = QStringLiteral("C:\\Company\\Fenwick.qbw");
        QString hcpResponse;
        // Answers each request; unset answers an empty QBXML document.
        std::function<Answer(const QString &request)> answer;
        // Instead of the first sendRequestXML, report that QuickBooks cannot be reached.
        std::optional<Answer> connectionError;
        // Stop calling (go quiet) after this many requests were received; -1 never.
        int quietAfterRequests = -1;
    };

    ScriptedWebConnector(SoapTestClient &client, Script script);

    // Starts one update from the event loop.
    void start();
    bool finished() const { return m_finished; }
    // "operation" or "operation=answer" per call, in order.
    const QStringList &log() const { return m_log; }
    QStringList requests() const { return m_requests; }
    QString ticket() const { return m_ticket; }

private:
    void authenticate();
    void sendRequest();
    void closeWith(wc::soap::Operation op);
    void note(wc::soap::Operation op, const QString &answer);

    SoapTestClient &m_client;
    Script m_script;
    QString m_ticket;
    bool m_first = true;
    bool m_finished = false;
    QStringList m_log;
    QStringList m_requests;
};

} // namespace corvina::test
