#include "ScriptedWebConnector.h"

namespace corvina::test {

using wc::soap::Operation;
using Result = SoapTestClient::Result;

ScriptedWebConnector::ScriptedWebConnector(SoapTestClient &client, Script script)
    : m_client(client), m_script(std::move(script))
{
}

void ScriptedWebConnector::note(Operation op, const QString &answer)
{
    m_log << wc::soap::operationName(op) + QStringLiteral("=") + answer;
}

void ScriptedWebConnector::start()
{
    m_client.call(Operation::ServerVersion, {}, [this](Result r) {
        note(Operation::ServerVersion, r.values.value(0));
        m_client.call(Operation::ClientVersion,
                      {{QStringLiteral("strVersion"), QStringLiteral("2.3.0.215")}},
                      [this](Result r2) {
                          note(Operation::ClientVersion, r2.values.value(0));
                          authenticate();
                      });
    });
}

void ScriptedWebConnector::authenticate()
{
    m_client.call(Operation::Authenticate,
                  {{QStringLiteral("strUserName"), m_script.user},
                   {QStringLiteral("strPassword"), m_script.password}},
                  [this](Result r) {
                      note(Operation::Authenticate, r.values.value(1));
                      m_ticket = r.values.value(0);
                      const QString status = r.values.value(1);
                      if (r.values.size() < 2 || status == QStringLiteral("nvu") ||
                          status == QStringLiteral("none") || status == QStringLiteral("busy")) {
                          m_finished = true;
                          return;
                      }
                      if (m_script.connectionError) {
                          m_client.call(
                              Operation::ConnectionError,
                              {{QStringLiteral("ticket"), m_ticket},
                               {QStringLiteral("hresult"), m_script.connectionError->hresult},
                               {QStringLiteral("message"), m_script.connectionError->message}},
                              [this](Result r2) {
                                  note(Operation::ConnectionError, r2.values.value(0));
                                  m_finished = true;
                              });
                          return;
                      }
                      sendRequest();
                  });
}

void ScriptedWebConnector::sendRequest()
{
    SoapTestClient::Arguments args{
        {QStringLiteral("ticket"), m_ticket},
        {QStringLiteral("strHCPResponse"), m_first ? m_script.hcpResponse : QString()},
        {QStringLiteral("strCompanyFileName"), m_script.companyFile},
        {QStringLiteral("qbXMLCountry"), QStringLiteral("US")},
        {QStringLiteral("qbXMLMajorVers"), QStringLiteral("13")},
        {QStringLiteral("qbXMLMinorVers"), QStringLiteral("0")}};
    m_first = false;
    m_client.call(Operation::SendRequestXml, args, [this](Result r) {
        const QString request = r.values.value(0);
        note(Operation::SendRequestXml, request.isEmpty() ? QString() : QStringLiteral("request"));
        if (!r.fault.isEmpty()) {
            m_finished = true;
            return;
        }
        if (request.isEmpty()) {
            closeWith(Operation::GetLastError);
            return;
        }
        m_requests << request;
        if (m_script.quietAfterRequests >= 0 && m_requests.size() > m_script.quietAfterRequests) {
            m_finished = true; // goes quiet: this request is never answered
            return;
        }
        const Answer answer =
            m_script.answer ? m_script.answer(request) : Answer{"<QBXML/>", {}, {}};
        m_client.call(Operation::ReceiveResponseXml,
                      {{QStringLiteral("ticket"), m_ticket},
                       {QStringLiteral("response"), QString::fromUtf8(answer.response)},
                       {QStringLiteral("hresult"), answer.hresult},
                       {QStringLiteral("message"), answer.message}},
                      [this](Result r2) {
                          const QString value = r2.values.value(0);
                          note(Operation::ReceiveResponseXml, value);
                          const int percent = value.toInt();
                          if (!r2.fault.isEmpty() || value.isEmpty())
                              m_finished = true;
                          else if (percent >= 100)
                              closeWith(Operation::CloseConnection);
                          else if (percent < 0)
                              closeWith(Operation::GetLastError);
                          else
                              sendRequest();
                      });
    });
}

void ScriptedWebConnector::closeWith(Operation op)
{
    m_client.call(op, {{QStringLiteral("ticket"), m_ticket}}, [this, op](Result r) {
        note(op, r.values.value(0));
        if (op == Operation::GetLastError)
            closeWith(Operation::CloseConnection);
        else
            m_finished = true;
    });
}

} // namespace corvina::test
