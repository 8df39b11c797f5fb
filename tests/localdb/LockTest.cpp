// Writes refused because another process holds QBData.mdb: corvina_lockholder keeps a write
// transaction open in a separate process.

#include "base/Error.h"
#include "localdb/Database.h"
#include "localdb/LocalDb.h"
#include "support/TempAppFolder.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <functional>

using namespace corvina;
using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;
using corvina::test::TempAppFolder;

namespace {

// Returns once the holder has the lock; `extra` are its further arguments.
void startHolder(QProcess &holder, const QString &database, const QStringList &extra = {})
{
    holder.start(QStringLiteral(CORVINA_LOCKHOLDER_PATH), QStringList{database} + extra);
    ASSERT_TRUE(holder.waitForStarted(10000)) << holder.errorString().toStdString();
    QByteArray output;
    while (!output.contains("locked")) {
        ASSERT_TRUE(holder.waitForReadyRead(10000))
            << "no lock taken: " << holder.readAllStandardError().toStdString();
        output += holder.readAllStandardOutput();
    }
}

void insertRep(Database &db)
{
    db.execute(u"INSERT INTO Reps (Rep) VALUES (?)"_s, {u"ours"_s});
}

TEST(LocalDbLock, WritesAreRefusedWhileAnotherProgramHoldsTheDatabase)
{
    TempAppFolder folder;
    ensureLocalDb(folder.path());
    Database db = openLocalDb(folder.path());
    db.setBusyTimeout(200ms);
    QProcess holder;
    startHolder(holder, localDbPath(folder.path()));

    const std::pair<const char *, std::function<void()>> writes[] = {
        {"begin a transaction", [&] { Transaction transaction(db); }},
        {"insert a row", [&] { insertRep(db); }},
        {"empty a table", [&] { db.deleteAll(u"Reps"_s); }},
    };
    for (const auto &[name, write] : writes) {
        SCOPED_TRACE(name);
        try {
            write();
            ADD_FAILURE() << "the write went through";
        } catch (const Error &e) {
            EXPECT_EQ(e.number(), -2147467259);
            EXPECT_TRUE(e.description().contains(u"QBData.mdb"_s)) << e.what();
        }
    }
    EXPECT_EQ(db.countRows(u"Reps"_s), 0); // reading goes on

    holder.write("\n");
    ASSERT_TRUE(holder.waitForFinished(10000));
    Transaction transaction(db);
    insertRep(db);
    transaction.commit();
    EXPECT_EQ(db.countRows(u"Reps"_s), 1);
}

TEST(LocalDbLock, ALockReleasedWithinTheBusyTimeoutIsWaitedOut)
{
    TempAppFolder folder;
    ensureLocalDb(folder.path());
    Database db = openLocalDb(folder.path()); // the default timeout, 2 s
    QProcess holder;
    startHolder(holder, localDbPath(folder.path()), {u"300"_s}); // holds 300 ms
    EXPECT_NO_THROW(insertRep(db));
    EXPECT_TRUE(holder.waitForFinished(10000));
    EXPECT_EQ(db.countRows(u"Reps"_s), 1);
}

} // namespace
