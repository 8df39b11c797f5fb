// The in-memory recordset: cursor, search, filter, sort, editing and its refusals.

#include "localdb/Recordset.h"
#include "base/Error.h"
#include "localdb/Database.h"
#include "localdb/LocalDb.h"
#include "support/TempAppFolder.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace corvina;
using namespace Qt::Literals::StringLiterals;

namespace {

// Fields Name (text, 20), Amt (double), Type (text); one row per (Name, Amt).
Recordset makeSet(const std::vector<std::pair<QVariant, QVariant>> &rows)
{
    Recordset set({{u"Name"_s, FieldKind::Text, 20},
                   {u"Amt"_s, FieldKind::Double, 0},
                   {u"Type"_s, FieldKind::Text, 0}});
    for (const auto &[name, amt] : rows) {
        set.addNew();
        set.setValue(u"Name"_s, name);
        set.setValue(u"Amt"_s, amt);
    }
    set.moveFirst();
    return set;
}

// "Name:Amt" of every visible row ("-" for empty), leaving the cursor at EOF.
QString visibleRows(Recordset &set)
{
    QStringList rows;
    const auto text = [](const QVariant &v) { return v.isNull() ? u"-"_s : v.toString(); };
    for (set.moveFirst(); !set.eof(); set.moveNext())
        rows << text(set.value(u"Name"_s)) + u':' + text(set.value(u"Amt"_s));
    return rows.join(u' ');
}

void expectRefused(const std::function<void()> &action)
{
    try {
        action();
        ADD_FAILURE() << "not refused";
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), errc::kDatabaseFailure);
    }
}

TEST(LocalDbRecordset, CursorStopsAtTheEnds)
{
    Recordset empty = makeSet({});
    EXPECT_TRUE(empty.bof() && empty.eof());
    empty.moveNext();
    EXPECT_TRUE(empty.bof() && empty.eof());
    expectRefused([&] { empty.value(0); });

    Recordset set = makeSet({{u"a"_s, 1}, {u"b"_s, 2}});
    EXPECT_FALSE(set.bof() || set.eof());
    set.moveNext();
    set.moveNext();
    set.moveNext();
    EXPECT_TRUE(set.eof());
    EXPECT_EQ(set.position(), 2);
    expectRefused([&] { set.value(u"Name"_s); });
    set.movePrevious();
    EXPECT_EQ(set.value(u"NAME"_s), QVariant(u"b"_s)); // field names ignore case
    set.moveTo(-5);
    EXPECT_TRUE(set.bof());
}

TEST(LocalDbRecordset, FindSearchesForwardFromTheCurrentRowInclusive)
{
    Recordset set = makeSet({{u"Ann"_s, 1}, {u"Bob"_s, 2}, {u"Cy"_s, 3}, {u"bob"_s, 4}});
    const RowPredicate isBob = fieldEquals(u"Name"_s, u"BOB"_s);
    set.moveNext();
    ASSERT_TRUE(set.find(isBob));
    EXPECT_EQ(set.position(), 1);
    set.moveNext();
    ASSERT_TRUE(set.find(isBob));
    EXPECT_EQ(set.position(), 3);
    set.moveNext();
    EXPECT_FALSE(set.find(isBob));
    EXPECT_TRUE(set.eof());

    set.moveFirst();
    EXPECT_TRUE(set.find(fieldStartsWith(u"Name"_s, u"c"_s)));
    EXPECT_EQ(set.position(), 2);
    set.moveFirst();
    EXPECT_FALSE(set.find(fieldEquals(u"Name"_s, u"BOB"_s, Qt::CaseSensitive)));
    expectRefused([&] { set.moveFirst(), set.find(fieldEquals(u"Nope"_s, 1)); });
}

TEST(LocalDbRecordset, FilterShowsMatchingRowsAndRowsAddedUnderIt)
{
    Recordset set = makeSet({{u"a"_s, 1}, {u"b"_s, 2}, {u"c"_s, 1}, {u"d"_s, 2}});
    set.setFilter(fieldEquals(u"Amt"_s, 1));
    EXPECT_EQ(set.recordCount(), 2);
    EXPECT_EQ(set.value(u"Name"_s), QVariant(u"a"_s));

    set.addNew(); // fails the filter, yet is shown and current
    EXPECT_EQ(set.position(), 2);
    set.setValue(u"Name"_s, u"new"_s);
    EXPECT_EQ(visibleRows(set), u"a:1 c:1 new:-"_s);

    set.moveFirst();
    set.deleteCurrent();
    EXPECT_EQ(set.value(u"Name"_s), QVariant(u"c"_s));
    set.sort({{u"Name"_s, false}});
    EXPECT_EQ(visibleRows(set), u"new:- c:1"_s);

    set.clearFilter();
    EXPECT_EQ(visibleRows(set), u"new:- d:2 c:1 b:2"_s);
    set.setFilter(fieldStartsWith(u"Name"_s, u"zz"_s));
    EXPECT_TRUE(set.bof() && set.eof());
}

TEST(LocalDbRecordset, SortIsStableCaseInsensitiveWithEmptyValuesFirst)
{
    Recordset set = makeSet({{u"bob"_s, 1},
                             {u"Ann"_s, 2},
                             {QVariant(), 3},
                             {u"ann"_s, 4},
                             {u"BOB"_s, QVariant()},
                             {u"Cy"_s, 6},
                             {u"ann"_s, 7}});
    const struct {
        std::vector<Recordset::SortKey> keys;
        QString expected;
    } cases[] = {
        {{{u"name"_s, true}}, u"-:3 Ann:2 ann:4 ann:7 bob:1 BOB:- Cy:6"_s},
        {{{u"Name"_s, true}, {u"Amt"_s, false}}, u"-:3 ann:7 ann:4 Ann:2 bob:1 BOB:- Cy:6"_s},
        {{{u"Amt"_s, true}}, u"BOB:- bob:1 Ann:2 -:3 ann:4 Cy:6 ann:7"_s},
        {{{u"Name"_s, false}}, u"Cy:6 BOB:- bob:1 Ann:2 ann:4 ann:7 -:3"_s}, // ties keep order
    };
    for (const auto &c : cases) {
        set.sort(c.keys);
        EXPECT_EQ(set.position(), 0);
        EXPECT_EQ(visibleRows(set), c.expected);
    }
    expectRefused([&] { set.sort({{u"Nope"_s, true}}); });
}

TEST(LocalDbRecordset, DeleteLeavesTheCursorOnTheFollowingRow)
{
    Recordset set = makeSet({{u"a"_s, 1}, {u"b"_s, 2}, {u"c"_s, 3}});
    set.moveTo(1);
    set.deleteCurrent();
    EXPECT_EQ(set.value(u"Name"_s), QVariant(u"c"_s));
    set.deleteCurrent();
    EXPECT_TRUE(set.eof());
    EXPECT_EQ(visibleRows(set), u"a:1"_s);
}

TEST(LocalDbRecordset, ValuesAreStoredAsTheFieldsKindOrRefused)
{
    Recordset set({{u"Text"_s, FieldKind::Text, 5},
                   {u"Date"_s, FieldKind::Date, 0},
                   {u"Boolean"_s, FieldKind::Boolean, 0},
                   {u"Integer"_s, FieldKind::Integer, 0}});
    set.addNew();
    const QDateTime noon(QDate(2024, 1, 5), QTime(12, 0));
    const struct {
        const char *field;
        QVariant given;
        QVariant stored; // null here and given non-null: refused
    } cases[] = {
        {"Text", u"12345"_s, u"12345"_s},
        {"Text", u"123456"_s, {}},
        {"Date", u"2024-01-05 12:00:00"_s, noon},
        {"Date", QDateTime(QDate(2024, 1, 5), QTime(12, 0, 0, 750)), noon},
        {"Date", u"next Tuesday"_s, {}},
        {"Boolean", 0, false},
        {"Boolean", u"maybe"_s, {}},
        {"Integer", u" 12 "_s, 12},
        {"Integer", 2.5, 2},
        {"Integer", u"1e10"_s, {}},
    };
    for (const auto &c : cases) {
        const QString field = QString::fromUtf8(c.field);
        SCOPED_TRACE((field + u" <- "_s + c.given.toString()).toStdString());
        set.setValue(field, QVariant());
        if (c.stored.isNull()) {
            expectRefused([&] { set.setValue(field, c.given); });
            EXPECT_TRUE(set.value(field).isNull());
        } else {
            set.setValue(field, c.given);
            EXPECT_EQ(set.value(field), c.stored);
            EXPECT_EQ(set.value(field).typeId(), c.stored.typeId());
        }
    }
    expectRefused([&] { set.setValue(u"Nope"_s, 1); });
    expectRefused([&] { set.appendField({u"Later"_s, FieldKind::Text, 0}); });
}

TEST(LocalDbRecordset, QuerySnapshotHoldsTheRowsAndRefusesWrites)
{
    corvina::test::TempAppFolder folder;
    ensureLocalDb(folder.path());
    Database db = openLocalDb(folder.path());
    const QDateTime due(QDate(2024, 3, 1), QTime(0, 0));
    const QString insert = u"INSERT INTO Invoices (Customer, DueDate, Amt) VALUES (?, ?, ?)"_s;
    db.execute(insert, {u"Ann"_s, due, 10.5});
    db.execute(insert, {u"Bob"_s, QVariant(), 2});

    Recordset set =
        Recordset::fromQuery(db,
                             u"SELECT Customer, DueDate, Amt, COUNT(*) OVER () AS N FROM Invoices "
                             "WHERE Amt > ? ORDER BY Customer"_s,
                             {1});
    EXPECT_TRUE(set.isReadOnly());
    const std::vector<std::pair<QString, FieldKind>> fields{{u"Customer"_s, FieldKind::Text},
                                                            {u"DueDate"_s, FieldKind::Date},
                                                            {u"Amt"_s, FieldKind::Double},
                                                            {u"N"_s, FieldKind::Integer}};
    ASSERT_EQ(set.fields().size(), fields.size());
    for (size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(set.fields()[i].name, fields[i].first);
        EXPECT_EQ(set.fields()[i].kind, fields[i].second);
    }
    EXPECT_EQ(set.storedRow(0), (std::vector<QVariant>{u"Ann"_s, due, 10.5, 2}));
    EXPECT_EQ(set.storedRow(1), (std::vector<QVariant>{u"Bob"_s, QVariant(), 2.0, 2}));

    expectRefused([&] { set.setValue(0, u"x"_s); });
    expectRefused([&] { set.addNew(); });
    expectRefused([&] { set.deleteCurrent(); });
    EXPECT_EQ(set.recordCount(), 2);
}

} // namespace
