// A refresh killed part-way leaves the copy and its refresh state as they were, and the next
// refresh starts from the same point and brings the copy exactly up to date.
#include "support/RetrievalFixture.h"
#include "support/StandIn.h"

#include "qbsim/CompanyChange.h"
#include "qbsim/CompanyFile.h"
#include "qbsim/Generator.h"
#include "retrieval/Retrievals.h"
#include "retrieval/Session.h"

#include <QBuffer>
#include <QDeadlineTimer>
#include <QSaveFile>

#include <map>

using namespace corvina;
using namespace corvina::test;
using namespace Qt::StringLiterals;

namespace {

const QStringList kTables = {u"Customers"_s,  u"CustomerJobs"_s,   u"Invoices"_s,     u"Items"_s,
                             u"KnownItems"_s, u"KnownCustomers"_s, u"RefreshStates"_s};

class RefreshKill : public RetrievalFixture {
protected:
    void writeCompany(const QByteArray &bytes)
    {
        QSaveFile file(m_company);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        ASSERT_TRUE(file.commit());
    }

    void retrieveInvoices()
    {
        screen.periodNext(u"01/01/2025"_s, QString());
        if (count(u"Invoices"_s) == 0)
            screen.answerNext(Answer::Ok); // the Hint after an invoice retrieval into nothing
        GetInvoices(state);
    }

    std::map<QString, QStringList> tables()
    {
        std::map<QString, QStringList> out;
        for (const QString &table : kTables) {
            QStringList lines;
            for (const auto &row : rows(u"SELECT * FROM \"%1\""_s.arg(table))) {
                QStringList values;
                for (const QVariant &v : row)
                    values << (v.isNull() ? u"<null>"_s : v.toString());
                lines << values.join(u'|');
            }
            lines.sort();
            out[table] = lines;
        }
        return out;
    }

    QString m_company = folder.file(u"Generated.qbw"_s);
};

} // namespace

TEST_F(RefreshKill, AKilledRefreshLeavesTheCopyAndTheNextRefreshStartsFromTheSamePoint)
{
    QByteArray generated;
    {
        QBuffer buffer(&generated);
        buffer.open(QIODevice::WriteOnly);
        qbsim::GeneratorOptions options;
        options.customers = 30;
        options.invoices = 300;
        ASSERT_TRUE(qbsim::generateCompany(options, buffer));
    }
    writeCompany(generated);
    folder.write(u"QBPath.txt"_s, m_company.toUtf8() + "\n");
    StandIn qbsim(QStringLiteral(CORVINA_QBSIM_PATH), m_company, {u"--quiet"_s});
    ASSERT_TRUE(qbsim.started()) << qbsim.log().toStdString();
    state.quickBooks().makeProcessor = nullptr;
    state.quickBooks().socketPath = qbsim.socketPath();
    GetCustomers(state);
    retrieveInvoices();
    CloseQB(state);
    const auto before = tables();
    ASSERT_FALSE(before.at(u"Invoices"_s).isEmpty());
    ASSERT_EQ(before.at(u"RefreshStates"_s).size(), 3);

    qbsim::ChangeOptions change;
    change.edits = 12;
    change.deletions = 2;
    writeCompany(qbsim::changeCompany(qbsim::CompanyFile::load(m_company), change));
    // QuickBooks taking its time over each record, so the refresh can be killed between two
    // of its answers.
    ASSERT_TRUE(qbsim.restart({u"--record-delay-ms"_s, u"100"_s}));

    QProcess runner;
    runner.start(QStringLiteral(CORVINA_REFRESH_RUNNER_PATH), {folder.path(), qbsim.socketPath()});
    ASSERT_TRUE(runner.waitForStarted(10000));
    QByteArray out;
    const QDeadlineTimer deadline(10000);
    while (!out.contains("refreshing") && !deadline.hasExpired() && runner.waitForReadyRead(100))
        out += runner.readAllStandardOutput();
    ASSERT_TRUE(out.contains("refreshing")) << out.constData();
    // Killed once the changed and deleted invoices are in, while customers are still coming.
    const QDeadlineTimer answered(20000);
    while (!qbsim.errorOutput().contains(u"TxnDeletedQueryRq"_s) && !answered.hasExpired()) {
    }
    ASSERT_TRUE(qbsim.errorOutput().contains(u"TxnDeletedQueryRq"_s))
        << qbsim.errorOutput().toStdString();
    ASSERT_EQ(runner.state(), QProcess::Running) << "the refresh ended before it was killed";
    runner.kill();
    ASSERT_TRUE(runner.waitForFinished(10000));

    EXPECT_EQ(tables(), before);

    // The next refresh starts from the same point and leaves what a full retrieval gives.
    ASSERT_TRUE(qbsim.restart({u"--quiet"_s}));
    state.quickBooks().socketPath = qbsim.socketPath();
    const std::size_t messages = screen.messages().size();
    RefreshInvoices(state);
    ASSERT_EQ(screen.messages().size(), messages) << screen.messages().back().text.toStdString();
    auto refreshed = tables();
    execute(u"DELETE FROM Invoices; DELETE FROM Items"_s);
    retrieveInvoices();
    auto full = tables();
    for (const QString &table : {u"Invoices"_s, u"Items"_s})
        EXPECT_EQ(refreshed.at(table), full.at(table)) << table.toStdString();
}
