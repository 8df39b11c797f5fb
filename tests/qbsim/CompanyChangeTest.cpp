// The next version of a company after a day's work: a valid company file whose changes carry
// later times, whose names agree everywhere, and which is the same for the same seed.

#include "qbsim/CompanyChange.h"

#include "GeneratedCompany.h"
#include "base/Error.h"
#include "qbsim/CompanyFile.h"
#include "qbsim/QueryEngine.h"
#include "qbsim/XmlTree.h"

#include <QBuffer>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace corvina;
using namespace corvina::qbsim;
using namespace Qt::Literals::StringLiterals;

namespace {

CompanyFile read(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return CompanyFile::read(buffer, u"/companies/Changed.qbxml"_s);
}

QSet<QString> idsOf(const std::vector<ListRecord> &records)
{
    QSet<QString> ids;
    for (const ListRecord &r : records)
        ids.insert(r.listId);
    return ids;
}

QSet<QString> txnIdsOf(const CompanyFile &company)
{
    QSet<QString> ids;
    for (const InvoiceRecord &r : company.invoices())
        ids.insert(r.txnId);
    return ids;
}

// Every reference to a customer or item names it by its present FullName, and every
// customer's FullName is its parent's followed by its own Name.
void expectNamesAgree(const CompanyFile &company)
{
    QHash<QString, QString> names;
    for (const auto *list : {&company.customers(), &company.items()})
        for (const ListRecord &r : *list)
            names.insert(r.listId, r.fullName);
    std::function<void(const Element &)> check = [&](const Element &e) {
        for (const Element &child : e.children) {
            const QString id = child.childText(u"ListID");
            if (child.name.endsWith(u"Ref"_s) && child.child(u"FullName")) {
                if (child.name == u"CustomerRef" || child.name == u"ItemRef" ||
                    (child.name == u"ParentRef" && e.name == u"CustomerRet")) {
                    EXPECT_TRUE(names.contains(id))
                        << child.name.toStdString() << " to a missing " << id.toStdString();
                }
                if (names.contains(id)) {
                    EXPECT_EQ(child.childText(u"FullName"), names[id]) << child.name.toStdString();
                }
            }
            check(child);
        }
    };
    for (const ListRecord &r : company.customers()) {
        const Element customer = parseElement(company.xml(r.xml));
        check(customer);
        const Element *parent = customer.child(u"ParentRef");
        const QString expected =
            (parent ? names.value(parent->childText(u"ListID")) + u':' : QString()) +
            customer.childText(u"Name");
        EXPECT_EQ(r.fullName, expected);
        EXPECT_EQ(customer.childText(u"Sublevel").toInt(), r.fullName.count(u':'));
    }
    for (const InvoiceRecord &r : company.invoices())
        check(parseElement(company.xml(r.xml)));
}

// Creation never follows modification, in every record.
void expectTimesInOrder(const CompanyFile &company)
{
    for (const auto *list : {&company.customers(), &company.items(), &company.salesReps()})
        for (const ListRecord &r : *list)
            EXPECT_LE(r.created, r.modified) << r.listId.toStdString();
    for (const InvoiceRecord &r : company.invoices())
        EXPECT_LE(r.created, r.modified) << r.txnId.toStdString();
}

} // namespace

TEST(CompanyChange, WritesTheNextVersionWithTheWorkAsked)
{
    const QByteArray original = test::generate(30, 250, 11);
    const CompanyFile before = read(original);
    expectTimesInOrder(before);

    ChangeOptions options;
    options.seed = 7;
    options.edits = 8;
    options.deletions = 3;
    options.additions = 6;
    QStringList log;
    const CompanyFile after = read(changeCompany(before, options, &log));
    EXPECT_EQ(log.size(), 17) << log.join(u'\n').toStdString();
    expectTimesInOrder(after);
    expectNamesAgree(after);

    // Two invoices and one unused customer or item deleted, remembered with the day's times.
    ASSERT_EQ(after.deletedTxns().size(), 2u);
    ASSERT_EQ(after.deletedLists().size(), 1u);
    const QSet<QString> invoicesBefore = txnIdsOf(before), invoicesAfter = txnIdsOf(after);
    for (const DeletedRecord &d : after.deletedTxns()) {
        EXPECT_TRUE(invoicesBefore.contains(d.id));
        EXPECT_FALSE(invoicesAfter.contains(d.id));
        EXPECT_GT(d.deleted, before.latestTime());
    }
    const DeletedRecord &gone = after.deletedLists().front();
    EXPECT_FALSE(idsOf(after.customers()).contains(gone.id) ||
                 idsOf(after.items()).contains(gone.id));
    EXPECT_TRUE(idsOf(before.customers()).contains(gone.id) ||
                idsOf(before.items()).contains(gone.id));

    // Four invoices and two customers or jobs added; nothing else appears or vanishes.
    EXPECT_EQ(after.invoices().size(), before.invoices().size() - 2 + 4);
    EXPECT_EQ(after.customers().size() + after.items().size(),
              before.customers().size() + before.items().size() - 1 + 2);
    EXPECT_EQ((invoicesAfter - invoicesBefore).size(), 4);

    // Everything changed happened on the following day, and only changed records moved.
    const qint64 dayEnd = before.latestTime() + 2 * 86400;
    int changed = 0;
    const auto count = [&](qint64 modified) {
        if (modified > before.latestTime()) {
            EXPECT_LT(modified, dayEnd);
            ++changed;
        }
    };
    for (const auto *list : {&after.customers(), &after.items()})
        for (const ListRecord &r : *list)
            count(r.modified);
    for (const InvoiceRecord &r : after.invoices())
        count(r.modified);
    EXPECT_GE(changed, options.edits + 6);
    EXPECT_GT(after.latestTime(), before.latestTime());
    EXPECT_LT(after.latestTime(), dayEnd);
}

TEST(CompanyChange, SameSeedSameBytesAndChangesOfChangesFollowEachOther)
{
    const CompanyFile start = read(test::generate(25, 150, 3));
    ChangeOptions options;
    const QByteArray once = changeCompany(start, options);
    EXPECT_EQ(changeCompany(start, options), once);
    options.seed = 2;
    EXPECT_NE(changeCompany(start, options), once);

    // A change of a change: the query engine hands out exactly what the day changed.
    QByteArray bytes = once;
    qint64 previous = read(once).latestTime();
    for (std::uint64_t seed = 10; seed < 13; ++seed) {
        SCOPED_TRACE(seed);
        const CompanyFile company = read(bytes);
        options.seed = seed;
        bytes = changeCompany(company, options);
        const CompanyFile next = read(bytes);
        expectNamesAgree(next);
        EXPECT_GT(next.latestTime(), previous);
        previous = next.latestTime();

        const QString since =
            QDateTime::fromSecsSinceEpoch(company.latestTime() + 1, QTimeZone::utc())
                .toString(Qt::ISODate);
        const QByteArray answer = processRequest(
            next, "<?qbxml version=\"2.1\"?><QBXML><QBXMLMsgsRq onError=\"continueOnError\">"
                  "<InvoiceQueryRq><ModifiedDateRangeFilter><FromModifiedDate>" +
                      since.toUtf8() +
                      "</FromModifiedDate></ModifiedDateRangeFilter></InvoiceQueryRq>"
                      "<TxnDeletedQueryRq><TxnDelType>Invoice</TxnDelType><DeletedDateRangeFilter>"
                      "<FromDeletedDate>" +
                      since.toUtf8() +
                      "</FromDeletedDate></DeletedDateRangeFilter></TxnDeletedQueryRq>"
                      "</QBXMLMsgsRq></QBXML>");
        qsizetype modified = 0;
        for (const InvoiceRecord &r : next.invoices())
            modified += r.modified > company.latestTime() ? 1 : 0;
        EXPECT_GT(modified, 0);
        EXPECT_EQ(answer.count("<InvoiceRet>"), modified);
        EXPECT_EQ(answer.count("<TxnDeletedRet>"), 1); // the default deletes one invoice
    }
}

TEST(CompanyChange, OverAFewSeedsEveryKindOfWorkHappens)
{
    const CompanyFile start = read(test::generate(30, 200, 5));
    QStringList all;
    for (std::uint64_t seed = 1; seed <= 4; ++seed) {
        ChangeOptions options;
        options.seed = seed;
        options.edits = 8;
        options.deletions = 3;
        options.additions = 6;
        QStringList log;
        changeCompany(start, options, &log);
        all += log;
    }
    const QString text = all.join(u'\n');
    for (const char *kind : {": quantity of a line", ": a line added", ": a line removed",
                             ": dated", "made inactive", "made a job of", "item ", "customer ",
                             "renamed", "invoice ", " deleted", "job ", " added for"}) {
        EXPECT_TRUE(text.contains(QLatin1StringView(kind))) << kind << "\n" << text.toStdString();
    }
    // Some dates move by years, in or out of a year's period.
    static const QRegularExpression moved(u"dated (\\d{4})-\\d\\d-\\d\\d instead of (\\d{4})"_s);
    bool byYears = false;
    for (auto it = moved.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        byYears = byYears || m.captured(1) != m.captured(2);
    }
    EXPECT_TRUE(byYears) << text.toStdString();
}

TEST(CompanyChange, RefusesACompanyWithoutTimes)
{
    const CompanyFile timeless =
        read("<QBXML><QBXMLMsgsRs><CustomerQueryRs><CustomerRet><ListID>C</ListID><Name>A</Name>"
             "</CustomerRet></CustomerQueryRs><InvoiceQueryRs/></QBXMLMsgsRs></QBXML>");
    try {
        changeCompany(timeless, {});
        ADD_FAILURE() << "changed";
    } catch (const Error &e) {
        EXPECT_TRUE(e.description().contains(u"TimeModified"_s)) << e.description().toStdString();
    }
}
