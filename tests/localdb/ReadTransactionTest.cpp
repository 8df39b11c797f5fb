#include "base/Error.h"
#include "localdb/Database.h"
#include "support/TempAppFolder.h"

#include <gtest/gtest.h>

using namespace corvina;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

class ReadTransactionTest : public ::testing::Test {
protected:
    ReadTransactionTest()
    {
        Database db = Database::create(path);
        db.execute(u"CREATE TABLE Lines (Name TEXT); INSERT INTO Lines VALUES ('a'), ('b')"_s);
    }

    static std::int64_t count(Database &db) { return db.countRows(u"Lines"_s); }

    test::TempAppFolder folder;
    QString path = folder.file(u"read.db"_s);
};

} // namespace

// What is read inside the guard is one state of the file: another connection's write either
// waits for the guard (and is refused as a lock) or stays unseen until it ends.
TEST_F(ReadTransactionTest, ReadsInsideSeeOneStateOfTheFile)
{
    Database reader = Database::open(path, Database::Mode::ReadOnly);
    Database writer = Database::open(path);
    writer.setBusyTimeout(50ms);
    ReadTransaction snapshot(reader);
    EXPECT_TRUE(reader.inTransaction());
    EXPECT_EQ(count(reader), 2);
    bool written = false;
    try {
        writer.execute(u"INSERT INTO Lines VALUES ('c')"_s);
        written = true;
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), errc::kTableLocked);
    }
    EXPECT_EQ(count(reader), 2);

    snapshot.end();
    EXPECT_FALSE(reader.inTransaction());
    if (!written)
        writer.execute(u"INSERT INTO Lines VALUES ('c')"_s);
    EXPECT_EQ(count(reader), 3);
    snapshot.end(); // a second end does nothing
}

TEST_F(ReadTransactionTest, EndsWhenItGoesOutOfScope)
{
    Database db = Database::open(path);
    {
        ReadTransaction snapshot(db);
        EXPECT_EQ(count(db), 2);
        EXPECT_TRUE(db.inTransaction());
    }
    EXPECT_FALSE(db.inTransaction());
}

// Inside a transaction already open the guard reads in it and leaves it to its owner.
TEST_F(ReadTransactionTest, UsesATransactionAlreadyOpenAndLeavesItOpen)
{
    Database db = Database::open(path);
    Transaction write(db);
    db.execute(u"INSERT INTO Lines VALUES ('c')"_s);
    {
        ReadTransaction snapshot(db);
        EXPECT_EQ(count(db), 3);
    }
    EXPECT_TRUE(db.inTransaction());
    write.commit();
    EXPECT_FALSE(db.inTransaction());
    EXPECT_EQ(count(db), 3);
}
