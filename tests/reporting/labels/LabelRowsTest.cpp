#include "reporting/labels/LabelFit.h"
#include "reporting/labels/LabelSheet.h"
#include "reporting/labels/MailingList.h"

#include "localdb/Database.h"
#include "localdb/LocalDb.h"
#include "localdb/Recordset.h"
#include "support/TempAppFolder.h"

#include <gtest/gtest.h>

using namespace corvina;
using namespace Qt::StringLiterals;

namespace {

MailingAddress at(const QString &name, const QString &street, const QString &city,
                  const QString &state, const QString &zip)
{
    return MailingAddress{name, {street}, city, state, zip};
}

QStringList firstLines(const LabelRows &rows)
{
    QStringList out;
    for (const LabelRow &row : rows.labels)
        out << row.lines.first();
    return out;
}

TEST(LabelRows, OneLabelPerAddressIgnoringCasePunctuationAndSpacing)
{
    MailingList list{u"t"_s,
                     {at(u"Acme"_s, u"12 Main St."_s, u"Omaha"_s, u"NE"_s, u"68157"_s),
                      at(u"ACME Inc"_s, u"12  main st"_s, u"OMAHA"_s, u"ne"_s, u"68157"_s),
                      at(u"Acme West"_s, u"12 Main, St"_s, u"Omaha,"_s, u"N.E."_s, u"68157"_s),
                      // Another suite is another address.
                      at(u"Acme East"_s, u"12 Main St Suite 2"_s, u"Omaha"_s, u"NE"_s, u"68157"_s)},
                     true};
    const LabelRows rows = labelRows(list);
    EXPECT_EQ(rows.duplicates, 2);
    EXPECT_EQ(rows.unusable, 0);
    // The first entry of an address names its label.
    EXPECT_EQ(firstLines(rows), (QStringList{u"Acme"_s, u"Acme East"_s}));
    EXPECT_EQ(rows.labels[0].lines,
              (QStringList{u"Acme"_s, u"12 Main St."_s, u"Omaha, NE 68157"_s}));
}

TEST(LabelRows, SortedByZipThenCityAndNameWithoutZipLast)
{
    MailingList list{u"t"_s,
                     {at(u"Nine"_s, u"1 A St"_s, u"San Francisco"_s, u"CA"_s, u"94105"_s),
                      at(u"NoZip"_s, u"2 B St"_s, u"London"_s, u"UK"_s, {}),
                      at(u"Boston"_s, u"3 C St"_s, u"Boston"_s, u"MA"_s, u"02134"_s),
                      at(u"Zeta"_s, u"4 D St"_s, u"New York"_s, u"NY"_s, u"10001"_s),
                      at(u"Alpha"_s, u"5 E St"_s, u"New York"_s, u"NY"_s, u"10001"_s),
                      at(u"Plus4"_s, u"6 F St"_s, u"Boston"_s, u"MA"_s, u"02134-1234"_s)},
                     true};
    EXPECT_EQ(firstLines(labelRows(list)),
              (QStringList{u"Boston"_s, u"Plus4"_s, u"Alpha"_s, u"Zeta"_s, u"Nine"_s, u"NoZip"_s}));
}

TEST(LabelRows, EntriesWithoutUsableAddressAreLeftOutAndCounted)
{
    MailingList list{u"t"_s,
                     {at(u"Fine"_s, u"1 A St"_s, u"Omaha"_s, u"NE"_s, u"68157"_s),
                      at(u"No street"_s, {}, u"Omaha"_s, u"NE"_s, u"68157"_s),
                      at(u"No city"_s, u"1 B St"_s, {}, u"NE"_s, u"68157"_s),
                      at(u"No state or zip"_s, u"1 C St"_s, u"Omaha"_s, {}, {}),
                      // Addr1 holding only the addressee is no street.
                      at(u"Only Name"_s, u"only name"_s, u"Omaha"_s, u"NE"_s, u"68157"_s),
                      at(u"   "_s, u"  "_s, u" "_s, {}, {})},
                     true};
    const LabelRows rows = labelRows(list);
    EXPECT_EQ(firstLines(rows), QStringList{u"Fine"_s});
    EXPECT_EQ(rows.unusable, 5);
}

TEST(LabelRows, CustomerRowsPrintTheAddresseeOnce)
{
    Recordset customers({{u"Name"_s},
                         {u"CompanyName"_s},
                         {u"FirstName"_s},
                         {u"LastName"_s},
                         {u"BillAddr1"_s},
                         {u"BillAddr2"_s},
                         {u"BillCity"_s},
                         {u"BillState"_s},
                         {u"BillZip"_s}});
    const auto add = [&customers](const QVariantList &values) {
        customers.addNew();
        for (int i = 0; i < values.size(); ++i)
            customers.setValue(i, values[i]);
    };
    // Addr1 names the company (QuickBooks' habit): not repeated above it.
    add({u"Natural"_s,
         u"Natural Foods Inc."_s,
         {},
         {},
         u"Natural Foods Inc."_s,
         u"580 Hill Lane"_s,
         u"Omaha"_s,
         u"NE"_s,
         u"68157"_s});
    // Addr1 is the street: the person's name goes above it.
    add({u"Adams, S"_s,
         {},
         u"Steven"_s,
         u"Adams"_s,
         u"2835 Elm Lane"_s,
         {},
         u"Denver"_s,
         u"CO"_s,
         u"80283"_s});
    const LabelRows rows = labelRows(mailingListFromCustomers(customers, u"t"_s));
    ASSERT_EQ(rows.labels.size(), 2u);
    EXPECT_EQ(rows.labels[0].lines,
              (QStringList{u"Natural Foods Inc."_s, u"580 Hill Lane"_s, u"Omaha, NE 68157"_s}));
    EXPECT_EQ(rows.labels[1].lines,
              (QStringList{u"Steven Adams"_s, u"2835 Elm Lane"_s, u"Denver, CO 80283"_s}));
}

TEST(LabelRows, RepsGetNameLabelsInNameOrder)
{
    Recordset reps({{u"ListID"_s}, {u"Rep"_s}, {u"Name"_s}});
    for (const auto &[rep, name] : {std::pair{u"ZW"_s, u"Zoe West"_s},
                                    {u"AB"_s, u"Al Bo"_s},
                                    {u"XX"_s, QString()},
                                    {QString(), QString()}}) {
        reps.addNew();
        reps.setValue(u"Rep"_s, rep.isEmpty() ? QVariant() : QVariant(rep));
        reps.setValue(u"Name"_s, name.isEmpty() ? QVariant() : QVariant(name));
    }
    const MailingList list = mailingListFromReps(reps, u"t"_s);
    EXPECT_FALSE(list.needsAddress);
    const LabelRows rows = labelRows(list);
    EXPECT_EQ(rows.unusable, 1);
    ASSERT_EQ(rows.labels.size(), 3u);
    EXPECT_EQ(rows.labels[0].lines, (QStringList{u"Al Bo"_s, u"AB"_s}));
    EXPECT_EQ(rows.labels[1].lines, QStringList{u"XX"_s});
    EXPECT_EQ(rows.labels[2].lines, (QStringList{u"Zoe West"_s, u"ZW"_s}));
}

TEST(LabelRows, CustomerIdsReadTheirCustomersAndJobsStandForTheirCustomer)
{
    test::TempAppFolder folder;
    ASSERT_TRUE(ensureLocalDb(folder.path()));
    Database db = Database::open(folder.file(u"QBData.mdb"_s));
    db.execute(u"INSERT INTO Customers (ListID, Name, BillAddr1, BillCity, BillState, BillZip) "
               u"VALUES ('C1', 'Acme', '1 A St', 'Omaha', 'NE', '68157'), "
               u"('C2', 'O''Neil', '2 B St', 'Boston', 'MA', '02134');"
               u"INSERT INTO CustomerJobs (ListID, FullName, CustListID) VALUES "
               u"('J1', 'Acme:Roof', 'C1')"_s);
    const MailingList list =
        mailingListForCustomerIds(db, {u"C2"_s, u"J1"_s, u"nobody"_s, u"C1"_s}, u"t"_s);
    ASSERT_EQ(list.entries.size(), 3u);
    EXPECT_EQ(list.entries[0].name, u"O'Neil"_s);
    EXPECT_EQ(list.entries[1].name, u"Acme"_s);
    const LabelRows rows = labelRows(list);
    EXPECT_EQ(firstLines(rows), (QStringList{u"O'Neil"_s, u"Acme"_s}));
    EXPECT_EQ(rows.duplicates, 1);
}

// Widths proportional to the characters: half the point size each; lines 1.25 sizes apart.
class FixedPitch : public TextMeasure {
public:
    double width(const QString &text, double pointSize) const override
    {
        return static_cast<double>(text.size()) * pointSize * 0.5;
    }
    double lineHeight(double pointSize) const override { return pointSize * 1.25; }
};

TEST(LabelFit, ShrinksInHalfPointsThenCutsWithAnEllipsis)
{
    const FixedPitch measure;
    // 20 characters at 10 pt are 100 pt wide: fits a 100 pt box as it is.
    FittedLabel f = fitLabel({QString(20, u'a')}, 100, 50, 10, 6, measure);
    EXPECT_EQ(f.pointSize, 10);
    EXPECT_FALSE(f.cut);
    // 24 characters need 8.33 pt or less: 8 pt, the largest half point that fits.
    f = fitLabel({QString(24, u'a'), u"b"_s}, 100, 50, 10, 6, measure);
    EXPECT_EQ(f.pointSize, 8);
    EXPECT_FALSE(f.cut);
    EXPECT_EQ(f.lines, (QStringList{QString(24, u'a'), u"b"_s}));
    // 40 characters would need 5 pt: cut at 6 pt to 32 characters and the ellipsis (99 pt).
    f = fitLabel({u"short"_s, QString(40, u'x')}, 100, 50, 10, 6, measure);
    EXPECT_EQ(f.pointSize, 6);
    EXPECT_TRUE(f.cut);
    EXPECT_EQ(f.lines[0], u"short"_s);
    EXPECT_EQ(f.lines[1], QString(32, u'x') + u"\u2026"_s);
    EXPECT_LE(measure.width(f.lines[1], 6), 100);
}

TEST(LabelFit, TooManyLinesShrinkThenKeepTheLastLine)
{
    const FixedPitch measure;
    // Five lines at 10 pt take 62.5 pt; a 50 pt box takes them at 8 pt.
    const QStringList five{u"n"_s, u"a"_s, u"b"_s, u"c"_s, u"city"_s};
    FittedLabel f = fitLabel(five, 100, 50, 10, 6, measure);
    EXPECT_EQ(f.pointSize, 8);
    EXPECT_FALSE(f.cut);
    // A 20 pt box holds two lines at 6 pt: the first, marked as cut, and the last.
    f = fitLabel(five, 100, 20, 10, 6, measure);
    EXPECT_TRUE(f.cut);
    EXPECT_EQ(f.lines, (QStringList{u"n\u2026"_s, u"city"_s}));
}

TEST(LabelSheet, SheetsHoldTheirLabelsInsideThePaper)
{
    for (const LabelSheet &sheet : {usLetter30(), a4Sheet21()}) {
        const reporting::TwipRect last = sheet.labelRect(sheet.perSheet() - 1);
        EXPECT_LE(last.left + last.width, sheet.pageWidth) << sheet.name.toStdString();
        EXPECT_LE(last.top + last.height, sheet.pageHeight) << sheet.name.toStdString();
        // Centred across the paper, to within a twip or two of rounding.
        EXPECT_NEAR(sheet.pageWidth - (last.left + last.width), sheet.left, 2);
    }
    EXPECT_EQ(usLetter30().perSheet(), 30);
    EXPECT_EQ(a4Sheet21().perSheet(), 21);
    EXPECT_EQ(usLetter30().labelRect(4).left, usLetter30().labelRect(1).left);
}

} // namespace
