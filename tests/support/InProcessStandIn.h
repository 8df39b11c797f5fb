#pragma once

#include "qbxml/RequestProcessor.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVersionNumber>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace corvina::qbsim {
class CompanyFile;
}

namespace corvina::test {

// The QuickBooks stand-in answering in the test's own process: the company file and query
// engine of qbsim behind the request-processor calls, with the session rules QuickBooks
// applies (a session needs a connection; no open file refuses the login; another path than
// the open file is refused). Tests can change the open file, make a call fail, and count
// connections. Hand `factory()` to the program state as its way to reach QuickBooks.
class InProcessStandIn {
public:
    enum class Call {
        OpenConnection,
        BeginSession,
        CurrentCompanyFile,
        ProcessRequest,
        EndSession,
        CloseConnection
    };

    // An empty path runs with no company file open.
    explicit InProcessStandIn(const QString &companyFile = {});
    ~InProcessStandIn();

    void open(const QString &companyFile);
    void closeCompany();
    QString companyPath() const;

    // The next call of this kind fails with the error instead of being answered.
    void failNext(Call call, std::int32_t number, const QString &description = {});
    // The qbXML request numbered `request` (counted from 1 over the stand-in's life, as
    // requests() counts) fails with the error instead of being answered.
    void failRequest(int request, std::int32_t number);
    // Reports the qbXML versions up to `newest` when asked (HostQuery), and speaks only
    // those. Until called the stand-in reports none, as an older stand-in did, and reads
    // every version up to 13.0.
    void reportVersions(const QVersionNumber &newest) { m_reportedNewest = newest; }

    int connections() const { return m_connections; }
    int sessions() const { return m_sessions; }
    int requests() const { return m_requests; }
    // Calls whose session is still open (begun and not ended).
    int openSessions() const { return m_openSessions; }
    // Every qbXML request answered, oldest first.
    const QList<QByteArray> &requestLog() const { return m_requestLog; }
    // Every request announced ahead of its processRequest (sendAhead), oldest first.
    const QList<QByteArray> &aheadLog() const { return m_aheadLog; }

    std::function<std::unique_ptr<qb::RequestProcessor>()> factory();

private:
    class Processor;
    friend class Processor;
    void checkFailure(Call call);

    std::shared_ptr<qbsim::CompanyFile> m_company;
    struct Failure {
        Call call;
        std::int32_t number;
        QString description;
    };
    std::deque<Failure> m_failures;
    int m_connections = 0;
    int m_sessions = 0;
    int m_requests = 0;
    int m_openSessions = 0;
    QList<QByteArray> m_requestLog;
    QList<QByteArray> m_aheadLog;
    std::optional<std::pair<int, std::int32_t>> m_failingRequest;
    QVersionNumber m_reportedNewest;
};

// Writes a company file holding the given record elements (each the XML of its …Ret
// elements; empty = no records) and returns its path inside `folder`.
QString writeCompany(const QString &folder, const QByteArray &customers, const QByteArray &invoices,
                     const QByteArray &items, const QByteArray &reps,
                     const QString &name = QStringLiteral("Company.qbw"));

} // namespace corvina::test
