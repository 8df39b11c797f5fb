#pragma once

// A small company file and helpers that ask the query engine and read its answers, for the
// query engine's tests.

#include "qbsim/QueryEngine.h"

#include "base/Error.h"
#include "qbsim/CompanyFile.h"
#include "qbxml/ComErrors.h"

#include <QBuffer>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

using namespace corvina;
using namespace corvina::qbsim;
using namespace Qt::Literals::StringLiterals;
namespace hr = corvina::qb::hr;

namespace {

// Customers: two active, one inactive, one job. Items: one inactive. Reps: one inactive.
// Invoices on 2003-01-01, 2003-05-06 and 2003-12-31, the second with a LinkedTxn, a plain line,
// a group line and custom fields after the lines.
const QByteArray kCompany = R"(<?xml version="1.0" ?>
<QBXML><QBXMLMsgsRs>
<CustomerQueryRs statusCode="0" statusSeverity="Info" statusMessage="Status OK">
  <CustomerRet><ListID>C1</ListID><Name>Alder Creek</Name><FullName>Alder Creek</FullName><IsActive>true</IsActive><FutureField>kept</FutureField></CustomerRet>
  <CustomerRet><ListID>C2</ListID><Name>Remodel</Name><FullName>Alder Creek:Remodel</FullName><ParentRef><ListID>C1</ListID><FullName>Alder Creek</FullName></ParentRef><Sublevel>1</Sublevel></CustomerRet>
  <CustomerRet><ListID>C3</ListID><Name>Birch &amp; Co</Name><FullName>Birch &amp; Co</FullName><IsActive>false</IsActive></CustomerRet>
  <CustomerRet><ListID>C4</ListID><Name>Cedar</Name><FullName>Cedar</FullName></CustomerRet>
</CustomerQueryRs>
<ItemQueryRs statusCode="0" statusSeverity="Info">
  <ItemServiceRet><ListID>I1</ListID><Name>Install</Name><FullName>Install</FullName><IsActive>true</IsActive></ItemServiceRet>
  <ItemSubtotalRet><ListID>I2</ListID><Name>Subtotal</Name><IsActive>false</IsActive></ItemSubtotalRet>
  <ItemGroupRet><ListID>I3</ListID><Name>Door Kit</Name></ItemGroupRet>
</ItemQueryRs>
<SalesRepQueryRs statusCode="0" statusSeverity="Info">
  <SalesRepRet><ListID>R1</ListID><Initial>JMH</Initial><IsActive>true</IsActive></SalesRepRet>
  <SalesRepRet><ListID>R2</ListID><Initial>RT</Initial><IsActive>false</IsActive></SalesRepRet>
</SalesRepQueryRs>
<InvoiceQueryRs statusCode="0" statusSeverity="Info">
  <InvoiceRet><TxnID>T1</TxnID><TxnDate>2003-01-01</TxnDate><RefNumber>1001</RefNumber>
    <InvoiceLineRet><TxnLineID>L1</TxnLineID></InvoiceLineRet>
  </InvoiceRet>
  <InvoiceRet><TxnID>T2</TxnID><TxnDate>2003-05-06</TxnDate><RefNumber>A-1002</RefNumber>
    <LinkedTxn><TxnID>P1</TxnID></LinkedTxn>
    <InvoiceLineRet><TxnLineID>L2</TxnLineID></InvoiceLineRet>
    <InvoiceLineGroupRet><TxnLineID>G1</TxnLineID><InvoiceLineRet><TxnLineID>L3</TxnLineID></InvoiceLineRet></InvoiceLineGroupRet>
    <DataExtRet><DataExtName>Region</DataExtName></DataExtRet>
  </InvoiceRet>
  <InvoiceRet><TxnID>T3</TxnID><TxnDate>2003-12-31</TxnDate><RefNumber>1003</RefNumber></InvoiceRet>
</InvoiceQueryRs>
</QBXMLMsgsRs></QBXML>
)";

inline const CompanyFile &company()
{
    static const CompanyFile file = [] {
        QBuffer buffer;
        buffer.setData(kCompany);
        buffer.open(QIODevice::ReadOnly);
        return CompanyFile::read(buffer, u"/companies/Test.qbxml"_s);
    }();
    return file;
}

inline QByteArray envelope(const QByteArray &requests, const char *onError = "continueOnError",
                           const char *version = "2.1")
{
    return "<?xml version=\"1.0\"?>\n<?qbxml version=\"" + QByteArray(version) +
           "\"?>\n<QBXML>\n<QBXMLMsgsRq onError=\"" + onError + "\">\n" + requests +
           "\n</QBXMLMsgsRq>\n</QBXML>\n";
}

// One …Rs of an answer, read back.
struct Rs {
    QString name;
    QString requestId;
    bool hasRequestId = false;
    int statusCode = -1;
    QString severity;
    QString message;
    QStringList ids;        // ListID / TxnID of each record
    QStringList lineIds;    // TxnLineID of invoice lines, group members included
    QStringList linkedTxns; // TxnID inside LinkedTxn
    int customFields = 0;   // DataExtRet elements
    QStringList unknown;    // text of FutureField
    QString iteratorId;
    int remaining = -1;   // iteratorRemainingCount, -1 when absent
    QStringList versions; // SupportedQBXMLVersion
};

inline std::vector<Rs> parse(const QByteArray &answer)
{
    std::vector<Rs> result;
    QXmlStreamReader reader(answer);
    QStringList path;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            path.append(reader.name().toString());
            const QString &name = path.back();
            if (path.size() == 3) {
                Rs rs;
                rs.name = name;
                const QXmlStreamAttributes a = reader.attributes();
                rs.hasRequestId = a.hasAttribute(QLatin1StringView("requestID"));
                rs.requestId = a.value(QLatin1StringView("requestID")).toString();
                rs.statusCode = a.value(QLatin1StringView("statusCode")).toInt();
                rs.severity = a.value(QLatin1StringView("statusSeverity")).toString();
                rs.message = a.value(QLatin1StringView("statusMessage")).toString();
                rs.iteratorId = a.value(QLatin1StringView("iteratorID")).toString();
                if (a.hasAttribute(QLatin1StringView("iteratorRemainingCount")))
                    rs.remaining = a.value(QLatin1StringView("iteratorRemainingCount")).toInt();
                result.push_back(rs);
            } else if (name == u"SupportedQBXMLVersion") {
                result.back().versions.append(reader.readElementText());
                path.removeLast();
            } else if (name == u"DataExtRet") {
                ++result.back().customFields;
            } else if (path.size() == 5 && (name == u"ListID" || name == u"TxnID")) {
                result.back().ids.append(reader.readElementText());
                path.removeLast();
            } else if (name == u"TxnLineID") {
                result.back().lineIds.append(reader.readElementText());
                path.removeLast();
            } else if (name == u"TxnID" && path.contains(u"LinkedTxn"_s)) {
                result.back().linkedTxns.append(reader.readElementText());
                path.removeLast();
            } else if (name == u"FutureField") {
                result.back().unknown.append(reader.readElementText());
                path.removeLast();
            }
        } else if (reader.isEndElement()) {
            path.removeLast();
        }
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString() << answer.toStdString();
    return result;
}

inline std::vector<Rs> ask(const QByteArray &requests, const char *onError = "continueOnError")
{
    return parse(processRequest(company(), envelope(requests, onError)));
}

inline Rs askOne(const QByteArray &request)
{
    const auto answer = ask(request);
    EXPECT_EQ(answer.size(), 1u);
    return answer.empty() ? Rs{} : answer.front();
}

inline const QString kNotAvailable =
    u"This feature is not enabled or not available in this version of QuickBooks."_s;

} // namespace
