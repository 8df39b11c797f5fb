#include "localdb/TextRule.h"
#include "localdb/Database.h"
#include "localdb/LocalDb.h"
#include "support/TempAppFolder.h"

#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <random>

using namespace corvina;
using namespace Qt::StringLiterals;

namespace {

int sign(int value)
{
    return (value > 0) - (value < 0);
}

int compareUtf8(const QString &a, const QString &b)
{
    return compareWithoutCase(QByteArrayView(a.toUtf8()), QByteArrayView(b.toUtf8()));
}

// Random texts over letters that have case partners inside and outside ASCII, letters
// without one, and a character outside the Basic Multilingual Plane.
QString randomText(std::mt19937 &random)
{
    static const QList<char32_t> alphabet = {
        U'a', U'A', U'z',      U'_',  U'É',  U'é',          U'ß',          U'Σ',         U'σ',
        U'ς', U'K', U'\u212A', U'Ａ', U'ａ', U'\U0001F600', U'\U00010400', U'\U00010428'};
    QString text;
    const int length = static_cast<int>(random() % 5);
    for (int i = 0; i < length; ++i) {
        const char32_t c =
            alphabet[static_cast<qsizetype>(random() % static_cast<std::size_t>(alphabet.size()))];
        text += QString::fromUcs4(&c, 1);
    }
    return text;
}

} // namespace

TEST(TextRuleTest, CaseVariantsBeyondAsciiAreOneText)
{
    const std::pair<QString, QString> same[] = {
        {u"ÉMILE"_s, u"émile"_s},
        {u"ΣΊΣΥΦΟΣ"_s, u"σίσυφος"_s},    // final sigma folds like sigma
        {u"\u212Aelvin"_s, u"kelvin"_s}, // the Kelvin sign is a K
        {u"ＡＢＣ"_s, u"ａｂｃ"_s},
        {u"\U00010400"_s, u"\U00010428"_s}, // a case pair outside the BMP
    };
    for (const auto &[a, b] : same) {
        SCOPED_TRACE(a.toStdString());
        EXPECT_EQ(compareWithoutCase(a, b), 0);
        EXPECT_EQ(compareUtf8(a, b), 0);
        EXPECT_EQ(caseKey(a), caseKey(b));
        EXPECT_TRUE(startsWithWithoutCase(a + u" and more"_s, b));
        EXPECT_TRUE(startsWithWithoutCase(QByteArrayView((a + u" and more"_s).toUtf8()),
                                          QByteArrayView(b.toUtf8())));
        EXPECT_FALSE(startsWithWithoutCase(a, b + u"x"_s));
    }
    // No folding that changes length: ß stays apart from ss, and accents are not dropped.
    EXPECT_NE(compareWithoutCase(u"Straße"_s, u"STRASSE"_s), 0);
    EXPECT_NE(compareWithoutCase(u"Émile"_s, u"Emile"_s), 0);
    // Code point order after folding; a text sorts before a longer one it begins.
    EXPECT_LT(compareWithoutCase(u"Zed"_s, u"émile"_s), 0);
    EXPECT_LT(compareWithoutCase(u"ÉMILE"_s, u"émiles"_s), 0);
    EXPECT_LT(compareWithoutCase(u"\uFFFD"_s, u"\U0001F600"_s), 0);
}

// The QString and UTF-8 comparisons and the key agree on every pair, and key bytes order as
// the texts compare: they are one rule.
TEST(TextRuleTest, ComparisonsAndKeysAgree)
{
    std::mt19937 random(2026);
    for (int i = 0; i < 20000; ++i) {
        const QString a = randomText(random);
        const QString b = randomText(random);
        const int expected = sign(compareWithoutCase(a, b));
        ASSERT_EQ(sign(compareUtf8(a, b)), expected) << a.toStdString() << " " << b.toStdString();
        const std::string keyA = caseKey(QByteArrayView(a.toUtf8()));
        const std::string keyB = caseKey(QByteArrayView(b.toUtf8()));
        ASSERT_EQ(sign(keyA.compare(keyB)), expected) << a.toStdString() << " " << b.toStdString();
        ASSERT_EQ(caseKey(a) == caseKey(b), expected == 0);
    }
}

// Other programs read the file with SQLite's own NOCASE; on ASCII the two are the same.
TEST(TextRuleTest, AsciiIsSqliteOwnNocase)
{
    std::mt19937 random(7);
    const std::string letters = "aAbBzZ_@[`{~09 ";
    for (int i = 0; i < 20000; ++i) {
        std::string a;
        std::string b;
        for (auto *s : {&a, &b}) {
            for (auto n = random() % 6; n > 0; --n)
                s->push_back(letters[random() % letters.size()]);
        }
        ASSERT_EQ(sign(compareWithoutCase(QByteArrayView(a), QByteArrayView(b))),
                  sign(sqlite3_stricmp(a.c_str(), b.c_str())))
            << a << " " << b;
    }
}

TEST(TextRuleTest, MalformedUtf8ComparesAsReplacementCharacters)
{
    const QByteArray broken("a\xC3", 2);
    EXPECT_EQ(compareWithoutCase(QByteArrayView(broken), QByteArrayView("A\xEF\xBF\xBD")), 0);
    EXPECT_EQ(caseKey(QByteArrayView(broken)), std::string("a\xEF\xBF\xBD"));
}

class TextRuleSqlTest : public ::testing::Test {
protected:
    TextRuleSqlTest()
    {
        ensureLocalDb(folder.path());
        Database db = openLocalDb(folder.path());
        db.execute(u"INSERT INTO Customers (ListID, Name) VALUES ('C1', 'émile'), "
                   "('C2', 'Zed'), ('C3', 'ÉMILE'), ('C4', 'Émilf'), ('C5', 'zed')"_s);
        db.execute(u"INSERT INTO CustomerJobs (ListID, FullName, CustListID) VALUES "
                   "('J1', 'émile:Été', 'C1'), ('J2', 'Zed:Hiver', 'C2')"_s);
    }

    static QStringList column(Statement &statement)
    {
        QStringList values;
        while (statement.step())
            values << statement.value(0).toString();
        return values;
    }

    test::TempAppFolder folder;
};

TEST_F(TextRuleSqlTest, EveryConnectionComparesNocaseColumnsByTheRule)
{
    for (const auto mode : {Database::Mode::ReadWrite, Database::Mode::ReadOnly}) {
        Database db = openLocalDb(folder.path(), mode);
        Statement literal = db.prepare(u"SELECT 'Émile' = 'émile' COLLATE NOCASE"_s);
        ASSERT_TRUE(literal.step());
        EXPECT_EQ(literal.integer(0), 1);

        Statement equal =
            db.prepare(u"SELECT ListID FROM Customers WHERE Name = ? ORDER BY rowid"_s);
        equal.bind(1, u"ÉMILE"_s);
        EXPECT_EQ(column(equal), (QStringList{u"C1"_s, u"C3"_s}));

        Statement groups =
            db.prepare(u"SELECT Count(*) FROM Customers GROUP BY Name ORDER BY Name, Min(rowid)"_s);
        EXPECT_EQ(column(groups), (QStringList{u"2"_s, u"2"_s, u"1"_s}));

        Statement ordered = db.prepare(u"SELECT Name FROM Customers ORDER BY Name, rowid"_s);
        const QStringList names = column(ordered);
        EXPECT_EQ(names, (QStringList{u"Zed"_s, u"zed"_s, u"émile"_s, u"ÉMILE"_s, u"Émilf"_s}));
        for (qsizetype i = 1; i < names.size(); ++i)
            EXPECT_LE(compareWithoutCase(names[i - 1], names[i]), 0);
    }
}

// The file stays readable by programs that know only SQLite's own NOCASE: the mail-merge
// ODBC driver, or any SQLite tool. The indexed columns hold ASCII list identifiers, on which
// both collations agree, so the indexes are sound for them too.
TEST_F(TextRuleSqlTest, PlainSqliteAndTheOdbcDriverReadTheFile)
{
    const QString path = localDbPath(folder.path());
    sqlite3 *plain = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.toUtf8().constData(), &plain, SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
    const auto single = [plain](const char *sql) {
        sqlite3_stmt *st = nullptr;
        std::string value;
        if (sqlite3_prepare_v2(plain, sql, -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            value = reinterpret_cast<const char *>(sqlite3_column_text(st, 0));
        sqlite3_finalize(st);
        return value;
    };
    EXPECT_EQ(single("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(single("SELECT FullName FROM CustomerJobs INDEXED BY CustomerJobsByListID "
                     "WHERE ListID = 'j1'"),
              "émile:Été");
    EXPECT_EQ(single("SELECT Count(*) FROM Customers WHERE Name = 'ÉMILE'"), "1"); // ASCII rule
    sqlite3_close(plain);

    const QString isql = QStandardPaths::findExecutable(u"isql"_s);
    if (isql.isEmpty())
        GTEST_SKIP() << "isql (unixodbc) is missing";
    QProcess p;
    p.start(isql, {u"-k"_s, u"DRIVER=SQLite3;Database="_s + path, u"-b"_s, u"-d|"_s});
    p.write("SELECT FullName FROM CustomerJobs WHERE ListID = 'J1'\n"
            "SELECT Name FROM Customers ORDER BY rowid\n");
    p.closeWriteChannel();
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        GTEST_SKIP() << "the SQLite ODBC driver is missing";
    EXPECT_EQ(
        QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts),
        (QStringList{u"émile:Été"_s, u"émile"_s, u"Zed"_s, u"ÉMILE"_s, u"Émilf"_s, u"zed"_s}));
}
