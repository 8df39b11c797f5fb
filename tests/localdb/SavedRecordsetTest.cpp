// Saved recordsets on disk: round trips, the empty sets CreateSavedRecordset makes, refusal of
// damaged files, recovery of an unreadable one, and atomic saving.

#include "localdb/SavedRecordset.h"
#include "base/Error.h"
#include "support/NoFileWrites.h"
#include "support/TempAppFolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace corvina;
using namespace Qt::Literals::StringLiterals;
using corvina::test::TempAppFolder;

namespace {

const QDateTime kMorning(QDate(2026, 12, 8), QTime(9, 30));

void expectSameFields(const std::vector<Field> &actual, const std::vector<Field> &expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        SCOPED_TRACE(expected[i].name.toStdString());
        EXPECT_EQ(actual[i].name, expected[i].name);
        EXPECT_EQ(actual[i].kind, expected[i].kind);
        EXPECT_EQ(actual[i].definedSize, expected[i].definedSize);
    }
}

std::vector<std::vector<QVariant>> rowsOf(const Recordset &set)
{
    std::vector<std::vector<QVariant>> rows;
    for (int r = 0; r < set.storedRowCount(); ++r)
        rows.push_back(set.storedRow(r));
    return rows;
}

const std::vector<Field> kDatesFields{{u"Name"_s, FieldKind::Text, 20},
                                      {u"Date"_s, FieldKind::Date, 0}};

Recordset datesWithRows(const std::vector<std::pair<QVariant, QVariant>> &rows)
{
    Recordset set(kDatesFields);
    for (const auto &[name, date] : rows) {
        set.addNew();
        set.setValue(u"Name"_s, name);
        set.setValue(u"Date"_s, date);
    }
    return set;
}

// A valid Dates file, the base for the damaged ones below.
const QByteArray kValidDates = R"({"format": "corvina-recordset", "version": 1,
  "fields": [{"name": "Name", "kind": "text", "size": 20}, {"name": "Date", "kind": "date", "size": 0}],
  "rows": [["Cust", "2026-12-08 09:30:00"], ["Inv", null]]})";

QByteArray validDatesWith(const QByteArray &from, const QByteArray &to)
{
    QByteArray bytes = kValidDates;
    EXPECT_TRUE(bytes.contains(from));
    return bytes.replace(from, to);
}

TEST(LocalDbSaved, RoundTripKeepsFieldsAndRowsExactly)
{
    TempAppFolder folder;
    const QString path = savedRecordsetPath(folder.path(), u"Dates"_s);
    const Recordset dates = datesWithRows({{u"Cust"_s, kMorning},
                                           {u"Inv"_s, QVariant()},
                                           {QVariant(), kMorning.addDays(-400)},
                                           {u"Ünï \"q\" 'a' \\"_s, kMorning.addSecs(59)}});
    saveRecordset(dates, path);
    const Recordset loaded = loadRecordset(path);
    expectSameFields(loaded.fields(), kDatesFields);
    EXPECT_EQ(rowsOf(loaded), rowsOf(dates));
    EXPECT_FALSE(loaded.isReadOnly());
    EXPECT_EQ(loaded.position(), 0);

    const std::vector<Field> otherKinds{{u"D"_s, FieldKind::Double, 0},
                                        {u"B"_s, FieldKind::Boolean, 0},
                                        {u"I"_s, FieldKind::Integer, 0}};
    Recordset kinds(otherKinds);
    kinds.addNew();
    kinds.setValue(0, -0.125);
    kinds.setValue(1, true);
    kinds.setValue(2, std::numeric_limits<qint32>::min());
    saveRecordset(kinds, path);
    EXPECT_EQ(rowsOf(loadRecordset(path)), rowsOf(kinds));
}

TEST(LocalDbSaved, CreateMakesTheKnownSetsEmpty)
{
    const struct {
        QString name;
        std::vector<Field> fields;
    } cases[] = {
        {u"Dates"_s, kDatesFields},
        {u"ItemTypes"_s, {{u"Type"_s, FieldKind::Text, 30}}},
        {u"Something"_s, {}},
    };
    TempAppFolder folder;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        CreateSavedRecordset(folder.path(), c.name);
        const QString path = folder.file(c.name + u".adtg"_s);
        EXPECT_EQ(savedRecordsetPath(folder.path(), c.name), path);
        const Recordset set = loadRecordset(path);
        expectSameFields(set.fields(), c.fields);
        EXPECT_EQ(set.storedRowCount(), 0);
    }
}

TEST(LocalDbSaved, DamagedFilesAreRefusedNamingTheFile)
{
    const struct {
        const char *damage;
        QByteArray bytes;
    } cases[] = {
        {"empty file", QByteArray()},
        {"garbage bytes", QByteArray("\x89PNG\r\n\x1a\n\0\0\xff\xfe", 12)},
        {"truncated JSON", kValidDates.left(kValidDates.size() / 2)},
        {"wrong format tag", validDatesWith("corvina-recordset", "other-recordset")},
        {"later version", validDatesWith("\"version\": 1", "\"version\": 2")},
        {"unknown field kind", validDatesWith("\"kind\": \"date\"", "\"kind\": \"when\"")},
        {"negative size", validDatesWith("\"size\": 20", "\"size\": -1")},
        {"duplicate field", validDatesWith("\"name\": \"Date\"", "\"name\": \"name\"")},
        {"row too narrow", validDatesWith("[\"Inv\", null]", "[\"Inv\"]")},
        {"row not an array", validDatesWith("[\"Inv\", null]", "{\"Inv\": null}")},
        {"bad date text", validDatesWith("2026-12-08 09:30:00", "2026-12-08T09:30:00")},
        {"number for text", validDatesWith("\"Cust\"", "12")},
        {"text too long", validDatesWith("\"Cust\"", "\"123456789012345678901\"")},
        {"no rows", validDatesWith("\"rows\"", "\"lines\"")},
    };
    TempAppFolder folder;
    const QString path = folder.file(u"Dates.adtg"_s);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.damage);
        folder.write(u"Dates.adtg"_s, c.bytes);
        try {
            loadRecordset(path);
            ADD_FAILURE() << "loaded";
        } catch (const Error &e) {
            EXPECT_EQ(e.number(), errc::kFileFailure);
            EXPECT_TRUE(e.description().startsWith(u"Dates.adtg: "_s)) << e.what();
        }
    }
    folder.write(u"Dates.adtg"_s, kValidDates);
    EXPECT_EQ(loadRecordset(path).storedRowCount(), 2); // the base itself is sound
}

TEST(LocalDbSaved, OpenKeepsAnUnreadableFileAsideAndStartsAfresh)
{
    TempAppFolder folder;
    const char raw[] = "{\"format\": \"corvina-recordset\", \"ver\xff\0";
    const QByteArray damaged(raw, sizeof raw - 1);
    folder.write(u"Dates.adtg"_s, damaged);
    folder.write(u"Dates.adtg.bad"_s, "an older casualty");

    std::optional<RecoveryNotice> notice;
    const Recordset dates = openSavedRecordset(folder.path(), u"Dates"_s, &notice);

    expectSameFields(dates.fields(), kDatesFields);
    EXPECT_EQ(dates.storedRowCount(), 0);
    EXPECT_EQ(folder.read(u"Dates.adtg.bad"_s), damaged);
    EXPECT_EQ(loadRecordset(folder.file(u"Dates.adtg"_s)).storedRowCount(), 0);

    ASSERT_TRUE(notice.has_value());
    EXPECT_EQ(notice->file, folder.file(u"Dates.adtg"_s));
    EXPECT_EQ(notice->movedTo, folder.file(u"Dates.adtg.bad"_s));
    EXPECT_FALSE(notice->fault.isEmpty());
    const QString message = notice->message();
    EXPECT_TRUE(message.contains(u"Dates.adtg "_s)) << message.toStdString();
    EXPECT_TRUE(message.contains(notice->movedTo)) << message.toStdString();
    EXPECT_TRUE(message.contains(notice->fault)) << message.toStdString();
}

TEST(LocalDbSaved, OpenCreatesAMissingFileAndReadsAGoodOne)
{
    TempAppFolder folder;
    std::optional<RecoveryNotice> notice = RecoveryNotice{};
    const Recordset fresh = openSavedRecordset(folder.path(), u"ItemTypes"_s, &notice);
    EXPECT_FALSE(notice.has_value());
    EXPECT_EQ(fresh.fields().size(), 1u);
    EXPECT_TRUE(folder.exists(u"ItemTypes.adtg"_s));

    saveRecordset(datesWithRows({{u"Cust"_s, kMorning}}), folder.file(u"Dates.adtg"_s));
    const Recordset dates = openSavedRecordset(folder.path(), u"Dates"_s, &notice);
    EXPECT_FALSE(notice.has_value());
    EXPECT_EQ(rowsOf(dates), (std::vector<std::vector<QVariant>>{{u"Cust"_s, kMorning}}));
    EXPECT_FALSE(folder.exists(u"Dates.adtg.bad"_s));
}

TEST(LocalDbSaved, OpenSetsAsideASetWithoutTheFieldsItIsMadeWith)
{
    const struct {
        const char *damage;
        QString name;
        QByteArray bytes;
        QString missing;
    } cases[] = {
        {"no Date field", u"Dates"_s,
         R"({"format": "corvina-recordset", "version": 1,
             "fields": [{"name": "Name", "kind": "text", "size": 20}], "rows": [["Cust"]]})",
         u"Date"_s},
        {"no Name field", u"Dates"_s, validDatesWith("\"name\": \"Name\"", "\"name\": \"Title\""),
         u"Name"_s},
        {"Date holds text", u"Dates"_s, validDatesWith("\"kind\": \"date\"", "\"kind\": \"text\""),
         u"Date"_s},
        {"no Type field", u"ItemTypes"_s,
         R"({"format": "corvina-recordset", "version": 1,
             "fields": [{"name": "Kind", "kind": "text", "size": 30}], "rows": [["Service"]]})",
         u"Type"_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.damage);
        TempAppFolder folder;
        const QString file = c.name + u".adtg"_s;
        folder.write(file, c.bytes);
        std::optional<RecoveryNotice> notice;
        const Recordset set = openSavedRecordset(folder.path(), c.name, &notice);

        ASSERT_TRUE(notice.has_value());
        EXPECT_TRUE(notice->fault.contains(u'"' + c.missing + u'"')) << notice->fault.toStdString();
        EXPECT_EQ(folder.read(file + u".bad"_s), c.bytes);
        EXPECT_EQ(set.storedRowCount(), 0);
        EXPECT_GE(set.fieldIndex(c.missing), 0);
        EXPECT_GE(loadRecordset(folder.file(file)).fieldIndex(c.missing), 0);
    }

    // A field more than the set is made with does no harm.
    TempAppFolder folder;
    folder.write(
        u"Dates.adtg"_s,
        validDatesWith("\"size\": 0}]", "\"size\": 0}, {\"name\": \"Note\", \"kind\": \"text\"}]")
            .replace("null]", "null, null]")
            .replace("09:30:00\"]", "09:30:00\", \"x\"]"));
    std::optional<RecoveryNotice> notice;
    EXPECT_EQ(openSavedRecordset(folder.path(), u"Dates"_s, &notice).storedRowCount(), 2);
    EXPECT_FALSE(notice.has_value());
}

TEST(LocalDbSaved, OpenGoesOnWithAnEmptySetWhenNoFileCanBeMade)
{
    const auto expectGoesOn = [](const TempAppFolder &folder,
                                 const std::optional<RecoveryNotice> &notice,
                                 const Recordset &set) {
        expectSameFields(set.fields(), kDatesFields);
        EXPECT_EQ(set.storedRowCount(), 0);
        ASSERT_TRUE(notice.has_value());
        EXPECT_FALSE(notice->remakeFault.isEmpty());
        const QString message = notice->message();
        EXPECT_TRUE(message.contains(u"Dates.adtg"_s)) << message.toStdString();
        EXPECT_TRUE(message.contains(folder.path())) << message.toStdString();
        EXPECT_TRUE(message.contains(notice->remakeFault)) << message.toStdString();
    };
    std::optional<RecoveryNotice> notice;
    {
        SCOPED_TRACE("a link to a file in a folder that does not exist");
        TempAppFolder folder;
        ASSERT_TRUE(QFile::link(folder.file(u"gone/Dates.adtg"_s), folder.file(u"Dates.adtg"_s)));
        const Recordset set = openSavedRecordset(folder.path(), u"Dates"_s, &notice);
        expectGoesOn(folder, notice, set);
        EXPECT_TRUE(notice->missing);
        EXPECT_TRUE(notice->message().contains(folder.file(u"gone/Dates.adtg"_s)));
        EXPECT_TRUE(QFileInfo(folder.file(u"Dates.adtg"_s)).isSymLink()); // left for the user
    }
    {
        SCOPED_TRACE("missing, and nothing can be written");
        TempAppFolder folder;
        const test::NoFileWrites blocked;
        const Recordset set = openSavedRecordset(folder.path(), u"Dates"_s, &notice);
        expectGoesOn(folder, notice, set);
        EXPECT_TRUE(notice->missing);
        EXPECT_TRUE(notice->movedTo.isEmpty());
    }
    {
        SCOPED_TRACE("damaged, and nothing can be written");
        TempAppFolder folder;
        folder.write(u"Dates.adtg"_s, "garbage");
        std::optional<Recordset> set;
        {
            const test::NoFileWrites blocked;
            set = openSavedRecordset(folder.path(), u"Dates"_s, &notice);
        }
        expectGoesOn(folder, notice, *set);
        EXPECT_FALSE(notice->missing);
        EXPECT_EQ(folder.read(u"Dates.adtg.bad"_s), "garbage");
        EXPECT_TRUE(notice->message().contains(notice->movedTo));
    }
    if (geteuid() != 0) {
        SCOPED_TRACE("damaged, in a read-only folder");
        TempAppFolder folder;
        folder.write(u"Dates.adtg"_s, "garbage");
        QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner);
        const Recordset set = openSavedRecordset(folder.path(), u"Dates"_s, &notice);
        QFile::setPermissions(folder.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        expectGoesOn(folder, notice, set);
        EXPECT_TRUE(notice->movedTo.isEmpty());
        EXPECT_EQ(folder.read(u"Dates.adtg"_s), "garbage");
    }
}

// ---- atomic saving --------------------------------------------------------------------

void expectSaveFails(const Recordset &set, const QString &path)
{
    try {
        saveRecordset(set, path);
        ADD_FAILURE() << "saved";
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), errc::kFileFailure);
        EXPECT_TRUE(e.description().contains(QFileInfo(path).fileName())) << e.what();
    }
}

Recordset manyDates(int rows)
{
    Recordset set(kDatesFields);
    for (int i = 0; i < rows; ++i) {
        set.addNew();
        set.setValue(u"Name"_s, u"Row %1"_s.arg(i));
        set.setValue(u"Date"_s, kMorning.addSecs(i));
    }
    return set;
}

TEST(LocalDbSaved, FailedSavesLeaveTheOldFileIntact)
{
    TempAppFolder folder;
    expectSaveFails(manyDates(1), folder.file(u"gone/Dates.adtg"_s));

    const QString path = folder.file(u"Dates.adtg"_s);
    saveRecordset(manyDates(2), path);
    const QByteArray before = folder.read(u"Dates.adtg"_s);

    // A cap on the size of files this process writes makes the new file fail partway, as a
    // full disk would; unlike folder permissions it binds root too.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit capped = saved;
    capped.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &capped), 0);
    expectSaveFails(manyDates(2000), path);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(folder.read(u"Dates.adtg"_s), before);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{u"Dates.adtg"_s});
    {
        // A small file fails only when its buffer is written out, at the end.
        const test::NoFileWrites blocked;
        expectSaveFails(manyDates(1), path);
    }
    EXPECT_EQ(folder.read(u"Dates.adtg"_s), before);

    if (geteuid() != 0) {
        QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner);
        expectSaveFails(manyDates(5), path);
        QFile::setPermissions(folder.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        EXPECT_EQ(folder.read(u"Dates.adtg"_s), before);
    }
}

} // namespace
