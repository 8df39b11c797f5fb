#include "InProcessStandIn.h"

#include "base/Error.h"
#include "qbsim/CompanyFile.h"
#include "qbsim/QueryEngine.h"
#include "qbxml/ComErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace corvina::test {

class InProcessStandIn::Processor : public qb::RequestProcessor {
public:
    explicit Processor(InProcessStandIn &owner) : m_owner(owner) {}
    ~Processor() override
    {
        if (m_inSession)
            --m_owner.m_openSessions;
    }

    void openConnection(const QString &, const QString &) override
    {
        m_owner.checkFailure(Call::OpenConnection);
        ++m_owner.m_connections;
        m_connected = true;
    }

    void beginSession(const QString &companyFile, int openMode) override
    {
        m_owner.checkFailure(Call::BeginSession);
        if (!m_connected || m_inSession)
            throw Error(qb::hr::kUnexpected, qb::hr::description(qb::hr::kUnexpected));
        if (openMode < 0 || openMode > 2)
            throw Error(qb::hr::kInvalidArgument, qb::hr::description(qb::hr::kInvalidArgument));
        if (!m_owner.m_company)
            throw Error(qb::hr::kNoAutoLogin, qb::hr::description(qb::hr::kNoAutoLogin));
        if (!companyFile.isEmpty() &&
            QDir::cleanPath(QFileInfo(companyFile).absoluteFilePath()) != m_owner.m_company->path())
            throw Error(qb::hr::kOtherFileOpen, qb::hr::description(qb::hr::kOtherFileOpen));
        m_inSession = true;
        m_session = qbsim::QuerySession(
            m_owner.m_reportedNewest.isNull() ? QVersionNumber(13, 0) : m_owner.m_reportedNewest);
        ++m_owner.m_sessions;
        ++m_owner.m_openSessions;
    }

    QString currentCompanyFile() override
    {
        m_owner.checkFailure(Call::CurrentCompanyFile);
        requireSession();
        return m_owner.m_company->path();
    }

    QByteArray processRequest(QByteArrayView request) override
    {
        m_owner.checkFailure(Call::ProcessRequest);
        requireSession();
        ++m_owner.m_requests;
        m_owner.m_requestLog.append(request.toByteArray());
        if (m_owner.m_failingRequest && m_owner.m_failingRequest->first == m_owner.m_requests)
            throw Error(m_owner.m_failingRequest->second,
                        qb::hr::description(m_owner.m_failingRequest->second));
        return qbsim::processRequest(*m_owner.m_company, m_session, request);
    }

    void sendAhead(QByteArrayView request) override
    {
        m_owner.m_aheadLog.append(request.toByteArray());
    }

    QList<QVersionNumber> supportedQbxmlVersions() override
    {
        requireSession();
        return m_owner.m_reportedNewest.isNull() ? QList<QVersionNumber>()
                                                 : m_session.supportedVersions();
    }

    void endSession() override
    {
        m_owner.checkFailure(Call::EndSession);
        if (m_inSession) {
            m_inSession = false;
            m_session.clear();
            --m_owner.m_openSessions;
        }
    }

    void closeConnection() override
    {
        m_owner.checkFailure(Call::CloseConnection);
        endSession();
        m_connected = false;
    }

private:
    void requireSession() const
    {
        if (!m_inSession || !m_owner.m_company)
            throw Error(qb::hr::kUnexpected, qb::hr::description(qb::hr::kUnexpected));
    }

    InProcessStandIn &m_owner;
    bool m_connected = false;
    bool m_inSession = false;
    qbsim::QuerySession m_session;
};

InProcessStandIn::InProcessStandIn(const QString &companyFile)
{
    if (!companyFile.isEmpty())
        open(companyFile);
}

InProcessStandIn::~InProcessStandIn() = default;

void InProcessStandIn::open(const QString &companyFile)
{
    m_company = std::make_shared<qbsim::CompanyFile>(qbsim::CompanyFile::load(companyFile));
}

void InProcessStandIn::closeCompany()
{
    m_company.reset();
}

QString InProcessStandIn::companyPath() const
{
    return m_company ? m_company->path() : QString();
}

void InProcessStandIn::failNext(Call call, std::int32_t number, const QString &description)
{
    m_failures.push_back(
        {call, number, description.isEmpty() ? qb::hr::description(number) : description});
}

void InProcessStandIn::failRequest(int request, std::int32_t number)
{
    m_failingRequest = std::make_pair(request, number);
}

void InProcessStandIn::checkFailure(Call call)
{
    for (auto it = m_failures.begin(); it != m_failures.end(); ++it) {
        if (it->call == call) {
            const Failure failure = *it;
            m_failures.erase(it);
            throw Error(failure.number, failure.description);
        }
    }
}

std::function<std::unique_ptr<qb::RequestProcessor>()> InProcessStandIn::factory()
{
    return [this] { return std::make_unique<Processor>(*this); };
}

QString writeCompany(const QString &folder, const QByteArray &customers, const QByteArray &invoices,
                     const QByteArray &items, const QByteArray &reps, const QString &name)
{
    const auto list = [](const char *rs, const QByteArray &records) {
        return QByteArray("<") + rs +
               " statusCode=\"0\" statusSeverity=\"Info\" statusMessage=\"Status OK\">" + records +
               "</" + rs + ">\n";
    };
    QByteArray doc = "<?xml version=\"1.0\" ?>\n<?qbxml version=\"2.1\"?>\n<QBXML><QBXMLMsgsRs>\n";
    doc += list("CustomerQueryRs", customers) + list("InvoiceQueryRs", invoices) +
           list("ItemQueryRs", items) + list("SalesRepQueryRs", reps);
    doc += "</QBXMLMsgsRs></QBXML>\n";
    const QString path = QDir(folder).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(doc) != doc.size())
        return {};
    return path;
}

} // namespace corvina::test
