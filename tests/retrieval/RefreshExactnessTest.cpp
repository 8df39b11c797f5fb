// A refresh leaves the local copy exactly as a full retrieval of the same company would: a
// generated company is retrieved once, then changed day after day by the stand-in's own
// `change` (edits, deletions, additions: date moves, removed lines, renames, deactivations, a
// customer becoming a job) and refreshed after each day; after each, Customers, CustomerJobs,
// Invoices and Items equal a full retrieval into a second application folder, compared as
// multisets of rows. The refresh asks QuickBooks only for what changed.

#include "support/InProcessStandIn.h"
#include "support/LocalDbRows.h"
#include "support/ScriptedScreen.h"
#include "support/TempAppFolder.h"

#include "localdb/LocalDb.h"
#include "qbsim/CompanyChange.h"
#include "qbsim/CompanyFile.h"
#include "qbsim/Generator.h"
#include "retrieval/Retrievals.h"
#include "state/ProgramState.h"

#include <QBuffer>
#include <QFile>
#include <QSaveFile>

#include <gtest/gtest.h>

#include <algorithm>

using namespace corvina;
using namespace corvina::test;
using namespace Qt::StringLiterals;

namespace {

const QStringList kTables = {u"Customers"_s, u"CustomerJobs"_s, u"Invoices"_s, u"Items"_s};

// The period both sides retrieve: it cuts through the generated years, so invoices whose date
// moves by years cross it in both directions.
const QString kFrom = u"01/01/2025"_s;
const QString kTo = u"06/30/2026"_s;

// One application folder with its own stand-in and scripted screen.
struct Side {
    TempAppFolder folder;
    ScriptedScreen screen;
    ProgramState state{folder.path(), screen};
    InProcessStandIn standIn;

    explicit Side(const QString &company)
    {
        ensureLocalDb(folder.path());
        state.quickBooks().makeProcessor = standIn.factory();
        screen.setNow(QDateTime(QDate(2026, 12, 8), QTime(9, 0)));
        open(company);
        folder.write(u"QBPath.txt"_s, standIn.companyPath().toUtf8() + "\n");
    }
    void open(const QString &company) { standIn.open(company); }

    void retrieveAll()
    {
        GetCustomers(state);
        screen.periodNext(kFrom, kTo);
        screen.answerNext(Answer::Ok); // the hint shown after the first invoice retrieval
        GetInvoices(state);
    }

    // Every row of the table, each as one text, sorted: a multiset of rows.
    QStringList rows(const QString &table) const
    {
        QStringList out;
        for (const auto &row : localDbRows(folder.path(), u"SELECT * FROM \"%1\""_s.arg(table))) {
            QStringList values;
            for (const QVariant &v : row)
                values << (v.isNull() ? u"<null>"_s : v.toString());
            out << values.join(QChar(0x1f));
        }
        out.sort();
        return out;
    }
};

QByteArray generated(int customers, int invoices, std::uint64_t seed)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    qbsim::GeneratorOptions options;
    options.customers = customers;
    options.invoices = invoices;
    options.seed = seed;
    EXPECT_TRUE(qbsim::generateCompany(options, buffer));
    return bytes;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    ASSERT_TRUE(file.commit());
}

// The rows that differ between the two sides, for a readable failure.
std::string difference(const QStringList &refreshed, const QStringList &full)
{
    QStringList onlyRefreshed, onlyFull;
    std::set_difference(refreshed.begin(), refreshed.end(), full.begin(), full.end(),
                        std::back_inserter(onlyRefreshed));
    std::set_difference(full.begin(), full.end(), refreshed.begin(), refreshed.end(),
                        std::back_inserter(onlyFull));
    QString text = u"%1 rows refreshed, %2 retrieved\n"_s.arg(refreshed.size()).arg(full.size());
    for (const QString &row : onlyRefreshed.mid(0, 5))
        text += u"  only after refresh: "_s + QString(row).replace(QChar(0x1f), u" | "_s) + u'\n';
    for (const QString &row : onlyFull.mid(0, 5))
        text += u"  only after retrieval: "_s + QString(row).replace(QChar(0x1f), u" | "_s) + u'\n';
    return text.toStdString();
}

} // namespace

TEST(RefreshExactness, EachDaysRefreshEqualsAFullRetrievalOfTheSameCompany)
{
    TempAppFolder files;
    const QString company = files.file(u"Company.qbw"_s);
    writeFile(company, generated(60, 600, 2026));

    Side refreshed(company);
    refreshed.retrieveAll();
    ASSERT_GT(refreshed.rows(u"Invoices"_s).size(), 100);
    ASSERT_EQ(refreshed.screen.messages().size(), 1u);

    QStringList changeLog;
    for (std::uint64_t seed : {11u, 12u, 13u, 14u, 15u, 16u, 17u, 18u}) {
        SCOPED_TRACE(u"day of seed %1"_s.arg(seed).toStdString());
        qbsim::ChangeOptions change;
        change.seed = seed;
        change.edits = 14; // enough to go through every kind of edit
        change.deletions = 3;
        change.additions = 6;
        const qbsim::CompanyFile before = qbsim::CompanyFile::load(company);
        QStringList day;
        writeFile(company, qbsim::changeCompany(before, change, &day));
        changeLog += day;
        refreshed.open(company);

        const int requestsBefore = refreshed.standIn.requests();
        RefreshCustomers(refreshed.state);
        RefreshInvoices(refreshed.state);
        ASSERT_EQ(refreshed.screen.messages().size(), 1u)
            << "the refresh fell back or failed: "
            << refreshed.screen.messages().back().text.toStdString();

        // Only what changed was asked for: every customer, item and invoice query carries a
        // modified-since filter.
        const QList<QByteArray> log = refreshed.standIn.requestLog().mid(requestsBefore);
        ASSERT_FALSE(log.isEmpty());
        for (const QByteArray &request : log) {
            for (const char *query : {"<CustomerQueryRq", "<ItemQueryRq", "<InvoiceQueryRq"}) {
                if (request.contains(query)) {
                    EXPECT_TRUE(request.contains("FromModifiedDate"))
                        << "a query without a modified-since filter: " << request.toStdString();
                }
            }
        }

        Side full(company);
        full.retrieveAll();
        for (const QString &table : kTables) {
            SCOPED_TRACE(table.toStdString());
            const QStringList got = refreshed.rows(table), want = full.rows(table);
            EXPECT_TRUE(got == want) << difference(got, want);
        }
    }
    // The days went through every kind of change the exactness depends on.
    const QString all = changeLog.join(u'\n');
    for (const char *kind :
         {"renamed", "made inactive", "made a job", "deleted", "instead of", "line removed"})
        EXPECT_TRUE(all.contains(QLatin1String(kind), Qt::CaseInsensitive))
            << "no change of kind " << kind << " in:\n"
            << all.toStdString();
}
