#include "RepsFixture.h"

#include "analysis/RepsNotSelling.h"
#include "base/Error.h"
#include "reporting/MemoryRows.h"

using namespace corvina;
using namespace corvina::test;
using namespace Qt::StringLiterals;

namespace {

class RepsNotSellingTest : public RepsFixture {
protected:
    // The ListIDs of the working list, in its order.
    static QStringList listIds(const RepsNotSelling &list)
    {
        QStringList ids;
        const Recordset &set = list.workingList();
        const int field = set.fieldIndex(u"ListID"_s);
        for (int r = 0; r < set.storedRowCount(); ++r)
            ids << set.storedRow(r).at(static_cast<size_t>(field)).toString();
        return ids;
    }

    // A list loaded without refreshing Reps.
    std::unique_ptr<RepsNotSelling> loaded(bool allItems, const ChosenItem &item)
    {
        auto list = std::make_unique<RepsNotSelling>(state, allItems, item);
        screen.answerNext(Answer::No);
        list->load();
        return list;
    }

    int nosellCount() { return static_cast<int>(rows(u"SELECT * FROM NoSellReps"_s).size()); }
};

struct ModeCase {
    const char *name;
    bool allItems;
    QString item;
    QStringList left;
    QString label;
    QString title;
};

} // namespace

TEST_F(RepsNotSellingTest, TakesTheSellingRepsOutOfTheListOnly)
{
    const ModeCase cases[] = {
        // Invoice lines without a rep match no one, not even the rep without a short name.
        {"selected item",
         false,
         u"Hinge 3in"_s,
         {u"R2"_s, u"R3"_s, u"R4"_s},
         u"Rep(s) who have not sold item: Hinge 3in"_s,
         u"Reps Not Selling Item Hinge 3in"_s},
        // An apostrophe in the item; the invoice names the rep in other case.
        {"apostrophe",
         false,
         u"O'Neil's Door"_s,
         {u"R1"_s, u"R2"_s, u"R4"_s},
         u"Rep(s) who have not sold item: O'Neil's Door"_s,
         u"Reps Not Selling Item O'Neil's Door"_s},
        {"item nobody sold", false, u"Nothing"_s, {u"R1"_s, u"R2"_s, u"R3"_s, u"R4"_s}, {}, {}},
        // Unknown and empty sales reps do not stop the later ones from being taken out.
        {"all items",
         true,
         u"Hinge 3in"_s,
         {u"R2"_s, u"R4"_s},
         u"Rep(s) who have not sold any of the items listed"_s,
         u"Reps Not Selling Any of the Items Shown"_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto list = loaded(c.allItems, c.item);
        EXPECT_EQ(listIds(*list), c.left);
        if (!c.label.isEmpty()) {
            EXPECT_EQ(list->labelCaption(), c.label);
            EXPECT_EQ(list->reportTitle(), c.title);
        }
        EXPECT_EQ(rows(u"SELECT * FROM Reps"_s).size(), 4u); // the table keeps every rep
        // The report reads the same rows.
        auto report = list->reportRows();
        ASSERT_EQ(report->count(), static_cast<int>(c.left.size()));
        for (int r = 0; r < report->count(); ++r)
            EXPECT_EQ(report->value(r, report->fieldIndex(u"ListID"_s)).toString(), c.left[r]);
    }
    EXPECT_EQ(standIn.requests(), 0);
    ASSERT_EQ(screen.messages().size(), 4u);
    EXPECT_EQ(screen.messages()[0].text, u"Do you want to update your Reps listing?"_s);
    EXPECT_EQ(screen.messages()[0].title, u"Update Reps"_s);
    EXPECT_EQ(screen.messages()[0].buttons, Buttons::YesNo);
}

// Lines of a sub-item carry its full name; the item is matched on its ListID.
TEST_F(RepsNotSellingTest, ItemsWithAListIdAreMatchedOnIt)
{
    execute(u"INSERT INTO Invoices (InvNo, ItemRef, ItemRefID, SalesRep) VALUES "
            u"('7', 'Hardware:Deadbolt', 'I9', 'KO'), ('8', 'Doors:Deadbolt', 'I8', 'JMH')"_s);
    auto list = loaded(false, ChosenItem(u"Deadbolt"_s, u"I9"_s));
    EXPECT_EQ(listIds(*list), (QStringList{u"R1"_s, u"R2"_s, u"R3"_s}));
    EXPECT_EQ(list->labelCaption(), u"Rep(s) who have not sold item: Deadbolt"_s);
}

TEST_F(RepsNotSellingTest, UpdateYesRefreshesRepsFromQuickBooksFirst)
{
    // JMH sold the hinge; the new rep without a short name is never matched.
    useCompanyReps(qbRep("Q1", "JMH", "Jamie M. Howell") + qbRep("Q2", {}, "Robin Tanaka") +
                   qbRep("Q3", "ST", "Sam Tull"));
    RepsNotSelling list(state, false, u"Hinge 3in"_s);
    screen.answerNext(Answer::Yes);
    list.load();
    EXPECT_EQ(listIds(list), (QStringList{u"Q2"_s, u"Q3"_s}));
    EXPECT_EQ(rows(u"SELECT * FROM Reps"_s).size(), 3u);
    EXPECT_EQ(standIn.openSessions(), 0);
    EXPECT_FALSE(screen.statusOpen());
}

TEST_F(RepsNotSellingTest, EmptyRepsTableRefreshesWithoutAsking)
{
    execute(u"DELETE FROM Reps"_s);
    useCompanyReps(qbRep("Q1", "NWR", "Noel W. Reyes") + qbRep("Q2", "KO", "Kim O'Hara"));
    RepsNotSelling list(state, true, {});
    list.load();
    EXPECT_TRUE(screen.messages().empty());
    EXPECT_EQ(listIds(list), QStringList{u"Q2"_s});
}

TEST_F(RepsNotSellingTest, RefreshRefusedWhileAnotherRetrievalRunsKeepsTheTable)
{
    RepsNotSelling list(state, false, u"Hinge 3in"_s);
    screen.answerNext(Answer::Yes); // update
    screen.answerNext(Answer::Ok);  // already running
    state.runRetrieval([&](ProgramState &) { list.load(); });
    EXPECT_EQ(screen.messages().size(), 2u);
    EXPECT_EQ(standIn.requests(), 0);
    EXPECT_EQ(listIds(list), (QStringList{u"R2"_s, u"R3"_s, u"R4"_s}));
}

TEST_F(RepsNotSellingTest, SaveReplacesNoSellRepsOnlyWhenTheUserAgrees)
{
    auto hinge = loaded(false, u"Hinge 3in"_s);
    screen.answerNext(Answer::Ok);
    EXPECT_TRUE(hinge->saveForMailMerge()); // empty table: no question
    ASSERT_EQ(screen.messages().size(), 2u);
    EXPECT_EQ(screen.messages()[1].title, u"Data Saved"_s);
    EXPECT_EQ(screen.messages()[1].text,
              u"All Reps not selling the selected item(s) have been added to the NoSellReps table "
              u"in the QBData.mdb "
              u"database. Reference these in your mail merge document(s)."_s);
    const auto saved = rows(u"SELECT Item, ListID, Rep, Name FROM NoSellReps ORDER BY rowid"_s);
    ASSERT_EQ(saved.size(), 3u);
    EXPECT_EQ(saved[0][0], u"Hinge 3in"_s);
    EXPECT_EQ(saved[0][1], u"R2"_s);
    EXPECT_TRUE(saved[0][2].isNull());
    EXPECT_EQ(saved[0][3], u"Robin Tanaka"_s);
    EXPECT_EQ(saved[2][3], u"Kim O'Hara"_s);

    // Over earlier rows: asked with their item; No changes nothing and says nothing more.
    auto all = loaded(true, {});
    screen.answerNext(Answer::No);
    EXPECT_FALSE(all->saveForMailMerge());
    ASSERT_EQ(screen.messages().size(), 4u);
    EXPECT_EQ(screen.messages()[3].text,
              u"This will delete all Reps who did not sell item Hinge 3in. Proceed?"_s);
    EXPECT_EQ(screen.messages()[3].title, u"Delete Previous Reps"_s);
    EXPECT_EQ(screen.messages()[3].buttons, Buttons::YesNo);
    EXPECT_EQ(nosellCount(), 3);

    // Yes replaces every row, stamped "All Items"; the next save names that.
    screen.answerNext(Answer::Yes);
    screen.answerNext(Answer::Ok);
    EXPECT_TRUE(all->saveForMailMerge());
    EXPECT_EQ(
        rows(u"SELECT Item, ListID FROM NoSellReps ORDER BY rowid"_s),
        (std::vector<std::vector<QVariant>>{{u"All Items"_s, u"R2"_s}, {u"All Items"_s, u"R4"_s}}));
    screen.answerNext(Answer::No);
    EXPECT_FALSE(all->saveForMailMerge());
    EXPECT_EQ(screen.messages().back().text,
              u"This will delete all Reps who did not sell any of the listed items. Proceed?"_s);
    EXPECT_EQ(screen.unansweredMessages(), 0);
}

TEST_F(RepsNotSellingTest, EmptyListSavedOverEarlierRowsLeavesTheTableEmpty)
{
    execute(u"INSERT INTO NoSellReps (Item, Rep) VALUES ('Old', 'X')"_s);
    execute(u"INSERT INTO Invoices (InvNo, ItemRef, SalesRep) VALUES ('6', 'Pull', 'KO')"_s);
    execute(u"DELETE FROM Reps WHERE ListID = 'R2'"_s);
    auto all = loaded(true, {});
    ASSERT_EQ(all->workingList().storedRowCount(), 0);
    screen.answerNext(Answer::Yes);
    screen.answerNext(Answer::Ok);
    EXPECT_TRUE(all->saveForMailMerge());
    EXPECT_EQ(nosellCount(), 0);
}

TEST_F(RepsNotSellingTest, FailedSaveKeepsTheEarlierRowsAndSaysNothingSaved)
{
    execute(
        u"INSERT INTO NoSellReps (Item, ListID, Rep) VALUES ('Old', 'X1', 'X'), ('Old', 'X2', 'Y');"
        u"CREATE TRIGGER RefuseKim BEFORE INSERT ON NoSellReps WHEN NEW.Rep = 'KO' "
        u"BEGIN SELECT RAISE(ABORT, 'refused'); END"_s);
    auto hinge = loaded(false, u"Hinge 3in"_s);
    screen.answerNext(Answer::Yes);
    EXPECT_THROW(hinge->saveForMailMerge(), Error);
    EXPECT_EQ(rows(u"SELECT ListID FROM NoSellReps ORDER BY rowid"_s),
              (std::vector<std::vector<QVariant>>{{u"X1"_s}, {u"X2"_s}}));
    EXPECT_EQ(screen.messages().back().title, u"Delete Previous Reps"_s); // no "Data Saved"
}

// Both mail-merge saves follow one rule: every column of the table is filled from the list
// column of the same name, quoted whatever it is called; a column the list lacks fails the
// save before anything is asked or removed.
TEST_F(RepsNotSellingTest, SaveQuotesColumnNamesAndRefusesAColumnRepsLacks)
{
    execute(u"ALTER TABLE Reps ADD COLUMN \"Order\" TEXT;"
            u"ALTER TABLE NoSellReps ADD COLUMN \"Order\" TEXT;"
            u"UPDATE Reps SET \"Order\" = 'first' WHERE ListID = 'R2'"_s);
    auto hinge = loaded(false, u"Hinge 3in"_s);
    screen.answerNext(Answer::Ok);
    EXPECT_TRUE(hinge->saveForMailMerge());
    EXPECT_EQ(rows(u"SELECT ListID, \"Order\" FROM NoSellReps ORDER BY rowid LIMIT 1"_s),
              (std::vector<std::vector<QVariant>>{{u"R2"_s, u"first"_s}}));

    execute(u"ALTER TABLE NoSellReps ADD COLUMN Region TEXT"_s);
    const auto before = screen.messages().size();
    try {
        hinge->saveForMailMerge();
        ADD_FAILURE() << "saved without a Region column in Reps";
    } catch (const Error &e) {
        EXPECT_TRUE(e.description().contains(u"Region"_s)) << e.description().toStdString();
        EXPECT_TRUE(e.description().contains(u"Reps"_s));
    }
    EXPECT_EQ(screen.messages().size(), before); // not even asked
    EXPECT_EQ(nosellCount(), 3);
}
