#include "localdb/TableReplace.h"
#include "base/Error.h"
#include "localdb/Database.h"
#include "localdb/Recordset.h"
#include "support/TempAppFolder.h"

#include <gtest/gtest.h>

using namespace corvina;
using namespace Qt::StringLiterals;

namespace {

using Rows = std::vector<QVariantList>;

class TableReplaceTest : public ::testing::Test {
protected:
    TableReplaceTest()
    {
        db.execute(u"CREATE TABLE Source (ListID TEXT, Name TEXT, Extra TEXT);"
                   "INSERT INTO Source VALUES ('C1', 'Émile', 'x'), ('C2', 'Zed', 'y');"
                   "CREATE TABLE Target (Item TEXT, NAME TEXT NOT NULL, listid TEXT);"_s);
    }

    Rows target()
    {
        Statement rows = db.prepare(u"SELECT * FROM Target ORDER BY rowid"_s);
        Rows out;
        while (rows.step())
            out.push_back(rows.values());
        return out;
    }

    bool replace(const QString &sql, const QVariant &stamp)
    {
        const Recordset list = Recordset::fromQuery(db, sql);
        return replaceTableRows(db, u"Target"_s, list, u"Source"_s, u"Item"_s, stamp,
                                [this](const QVariant &previous) {
                                    asked.push_back(previous);
                                    return answer;
                                });
    }

    test::TempAppFolder folder;
    Database db = Database::create(folder.file(u"replace.db"_s));
    std::vector<QVariant> asked;
    bool answer = true;
};

const Rows kHinge = {{u"Hinge"_s, u"Émile"_s, u"C1"_s}, {u"Hinge"_s, u"Zed"_s, u"C2"_s}};

} // namespace

// Columns are matched by name without case, the stamp fills its column, and the question is
// asked only when there are rows to lose, with the stamp they were saved under.
TEST_F(TableReplaceTest, ReplacesTheRowsAskingOnlyWhenThereAreRowsToLose)
{
    EXPECT_TRUE(replace(u"SELECT * FROM Source"_s, u"Hinge"_s));
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(target(), kHinge);

    answer = false;
    EXPECT_FALSE(replace(u"SELECT * FROM Source WHERE ListID = 'C2'"_s, u"Door"_s));
    EXPECT_EQ(asked, std::vector<QVariant>{u"Hinge"_s});
    EXPECT_EQ(target(), kHinge);

    answer = true;
    EXPECT_TRUE(replace(u"SELECT * FROM Source WHERE ListID = 'C2'"_s, u"Door"_s));
    EXPECT_EQ(target(), (Rows{{u"Door"_s, u"Zed"_s, u"C2"_s}}));
}

TEST_F(TableReplaceTest, AColumnTheListLacksIsNamedBeforeAnythingIsAskedOrChanged)
{
    ASSERT_TRUE(replace(u"SELECT * FROM Source"_s, u"Hinge"_s));
    try {
        replace(u"SELECT ListID, Extra FROM Source"_s, u"Door"_s);
        FAIL() << "no error";
    } catch (const Error &e) {
        EXPECT_EQ(e.description(),
                  u"The Target table has a column NAME, which the Source table lacks."_s);
    }
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(target(), kHinge);
}

TEST_F(TableReplaceTest, AFailedInsertLeavesTheEarlierRows)
{
    ASSERT_TRUE(replace(u"SELECT * FROM Source"_s, u"Hinge"_s));
    db.execute(u"INSERT INTO Source VALUES ('C3', NULL, 'z')"_s);
    EXPECT_THROW(replace(u"SELECT * FROM Source"_s, u"Door"_s), Error);
    EXPECT_EQ(target(), kHinge);
    EXPECT_FALSE(db.inTransaction());
}
