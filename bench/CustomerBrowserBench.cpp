// Customer browser figures: 100,000 customers generated into a temporary QBData.mdb, then
// the window opened, filtered and searched as a user would, against the floor (SQLite
// stepping through every row and column of the table without keeping anything).
//
//   customer_browser_bench [--customers N] [--seed S] [--keep]
#include "BenchSupport.h"

#include "base/Screen.h"
#include "localdb/Database.h"
#include "localdb/LocalDb.h"
#include "state/ProgramState.h"
#include "views/CustomerBrowser.h"
#include "views/CustomerGridModel.h"
#include "views/ui/CustData.h"

#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <random>

using namespace corvina;
using namespace corvina::bench;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

const char *const kStates[] = {"AL", "AK", "AZ", "AR", "CA", "CO", "CT", "DE", "FL", "GA",
                               "HI", "ID", "IL", "IN", "IA", "KS", "KY", "LA", "ME", "MD",
                               "MA", "MI", "MN", "MS", "MO", "MT", "NE", "NV", "NH", "NJ",
                               "NM", "NY", "NC", "ND", "OH", "OK", "OR", "PA", "RI", "SC",
                               "SD", "TN", "TX", "UT", "VT", "VA", "WA", "WV", "WI", "WY"};
const char *const kTypes[] = {"Retail",   "Wholesale",          "Commercial", "Residential",
                              "Referral", "From advertisement", "Government", "Non-profit"};
const char *const kFirst[] = {"Anna", "Brian", "Carla", "Dmitri", "Elena", "Farid", "Greta",
                              "Hugo", "Ines",  "Jonas", "Kira",   "Liam",  "Mona",  "Nils",
                              "Olga", "Pavel", "Rosa",  "Sven",   "Tara",  "Umar"};
const char *const kLast[] = {"Archer",  "Baker",  "Castillo", "Dunn",    "Eriksen",
                             "Fischer", "Garcia", "Holm",     "Ivanova", "Jensen",
                             "Keller",  "Lund",   "Moreau",   "Novak",   "O'Brien",
                             "Petrov",  "Quinn",  "Rossi",    "Schmidt", "Tanaka"};

// Fills Customers with `count` rows in one transaction: every column a retrieval fills for
// a typical customer, a few left empty as QuickBooks leaves them.
void generate(Database &db, int count, unsigned seed)
{
    std::mt19937 random(seed);
    const auto pick = [&](const auto &array) {
        const auto n = std::size(array);
        return QByteArray(array[std::uniform_int_distribution<std::size_t>(0, n - 1)(random)]);
    };
    const auto digits = [&](int n) {
        QByteArray text;
        for (int i = 0; i < n; ++i)
            text += static_cast<char>('0' + std::uniform_int_distribution<int>(0, 9)(random));
        return text;
    };
    Transaction transaction(db);
    Statement insert =
        db.prepare(QStringLiteral("Insert Into Customers (ListID, Name, IsActive, CompanyName, "
                                  "Salutation, FirstName, LastName, FullName, "
                                  "BillAddr1, BillAddr2, BillCity, BillState, BillZip, ShipAddr1, "
                                  "ShipAddr2, ShipCity, ShipState, ShipZip, "
                                  "Phone, Fax, Email, Contact, CustType, Terms, SalesRep, "
                                  "OpenBalance, OpenBalanceDate, SalesTaxCodeRef, "
                                  "AccountNo, CreditLimit, PrefPaymentMethod) "
                                  "Values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                                  "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (int i = 0; i < count; ++i) {
        const QByteArray first = pick(kFirst);
        const QByteArray last = pick(kLast);
        const QByteArray company = last + " " + pick(kTypes) + " " + QByteArray::number(i);
        const QByteArray name = company;
        const QByteArray state = pick(kStates);
        const QByteArray street = digits(4) + " " + pick(kLast) + " Street";
        const QByteArray city = pick(kLast) + "ville";
        const QByteArray zip = digits(5);
        int c = 1;
        insert.bindText(c++, "80000" + QByteArray::number(i) + "-1234567890");
        insert.bindText(c++, name);
        insert.bindInt64(c++, i % 17 != 0);
        insert.bindText(c++, company);
        insert.bindText(c++, i % 2 ? "Mr." : "Ms.");
        insert.bindText(c++, first);
        insert.bindText(c++, last);
        insert.bindText(c++, first + " " + last);
        insert.bindText(c++, company);
        insert.bindText(c++, street);
        insert.bindText(c++, city);
        insert.bindText(c++, state);
        insert.bindText(c++, zip);
        insert.bindText(c++, company);
        insert.bindText(c++, street);
        insert.bindText(c++, city);
        insert.bindText(c++, state);
        insert.bindText(c++, zip);
        insert.bindText(c++, "(" + digits(3) + ") " + digits(3) + "-" + digits(4));
        insert.bindText(c++, "(" + digits(3) + ") " + digits(3) + "-" + digits(4));
        insert.bindText(c++, first.toLower() + "." + last.toLower() + "@example.com");
        insert.bindText(c++, first + " " + last);
        insert.bindText(c++, pick(kTypes));
        insert.bindText(c++, "Net 30");
        insert.bindText(c++, pick(kFirst).left(2).toUpper());
        insert.bindDouble(c++, std::uniform_int_distribution<int>(0, 1000000)(random) / 100.0);
        insert.bindText(c++, "2026-0" + QByteArray::number(1 + i % 9) + "-15 00:00:00");
        insert.bindText(c++, i % 3 ? "Tax" : "Non");
        insert.bindText(c++, digits(8));
        insert.bindDouble(c++, 5000);
        insert.bindText(c++, i % 2 ? "Check" : "Visa");
        insert.run();
        insert.reset();
    }
    transaction.commit();
}

// The floor: every row and column stepped through by SQLite, nothing kept.
double floorMs(const QString &path)
{
    const auto start = Clock::now();
    Database db = Database::open(path, Database::Mode::ReadOnly);
    Statement rows = db.prepare(QStringLiteral("Select * From Customers"));
    std::size_t bytes = 0;
    const int columns = rows.columnCount();
    while (rows.step()) {
        for (int c = 0; c < columns; ++c)
            bytes += static_cast<std::size_t>(rows.text(c).size());
    }
    const double ms = msSince(start);
    std::fprintf(stderr, "floor read %zu bytes\n", bytes);
    return ms;
}

template <typename F> double timed(F &&work)
{
    const auto start = Clock::now();
    work();
    return msSince(start);
}

void settle()
{
    QApplication::processEvents();
    QApplication::processEvents();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("customers"), QStringLiteral("Customers to generate."),
                      QStringLiteral("N"), QStringLiteral("100000")});
    parser.addOption({QStringLiteral("seed"), QStringLiteral("Generator seed."),
                      QStringLiteral("S"), QStringLiteral("2026")});
    parser.addOption(
        {QStringLiteral("keep"), QStringLiteral("Keep the generated application folder.")});
    parser.process(app);
    const int count = parser.value(QStringLiteral("customers")).toInt();
    const unsigned seed = parser.value(QStringLiteral("seed")).toUInt();

    QTemporaryDir folder;
    folder.setAutoRemove(!parser.isSet(QStringLiteral("keep")));
    if (parser.isSet(QStringLiteral("keep")))
        std::fprintf(stderr, "application folder %s\n", qPrintable(folder.path()));
    ensureLocalDb(folder.path());
    {
        Database db = openLocalDb(folder.path());
        const double ms = timed([&] { generate(db, count, seed); });
        std::fprintf(stderr, "generated %d customers in %.0f ms\n", count, ms);
    }
    const double floor = floorMs(localDbPath(folder.path()));

    // The model alone.
    CustomerTable table;
    const double before = rssMiB();
    const double loadMs = timed([&] {
        Database db = openLocalDb(folder.path(), Database::Mode::ReadOnly);
        table = CustomerTable::load(std::move(db));
    });
    const double tableMiB = rssMiB() - before;
    const std::size_t held = table.memoryBytes();
    CustomerBrowser browser;
    const double listsMs = timed([&] { browser = CustomerBrowser(std::move(table)); });
    const double modelFilterMs = timed([&] {
        browser.comboChanged(CustomerBrowser::Combo::State, QStringLiteral("CA"),
                             QStringLiteral("Type"));
    });
    const int caRows = browser.rowCount();
    browser.clearFilter();
    const double goToMissMs = timed([&] { browser.goTo(QStringLiteral("#")); });
    // Every value of every row, as printing all fields reads them.
    const double readAllMs = timed([&] {
        for (int r = 0; r < browser.rowCount(); ++r)
            for (int c = 0; c < browser.table().columnCount(); ++c)
                browser.value(r, c);
    });

    // The window, as the user meets it.
    HeadlessScreen screen;
    ProgramState state(folder.path(), screen);
    CustData *window = nullptr;
    const double openMs = timed([&] {
        window = new CustData(state);
        window->show();
        settle();
    });
    // The controls the user works, found by their names.
    auto *stateCombo = window->findChild<QComboBox *>(QStringLiteral("DataCombo1"));
    auto *typeCombo = window->findChild<QComboBox *>(QStringLiteral("DataCombo2"));
    auto *countBox = window->findChild<QLineEdit *>(QStringLiteral("Text1"));
    auto *goToBox = window->findChild<QLineEdit *>(QStringLiteral("Text2"));
    auto *clearButton = window->findChild<QPushButton *>(QStringLiteral("Command1"));
    const double stateMs = timed([&] {
        stateCombo->setEditText(QStringLiteral("ca"));
        settle();
    });
    const QString stateCount = countBox->text();
    const double bothMs = timed([&] {
        typeCombo->setEditText(QStringLiteral("Retail"));
        settle();
    });
    const QString bothCount = countBox->text();
    const double clearMs = timed([&] {
        stateCombo->setEditText(QString());
        settle();
    });
    const QString allCount = countBox->text();
    const double goToMs = timed([&] {
        goToBox->setText(QStringLiteral("t"));
        settle();
    });
    const double reloadMs = timed([&] {
        clearButton->click();
        settle();
    });
    window->close();
    settle();

    const auto row = [&](const QString &work, double ms, const QString &target,
                         const QString &note) {
        return QStringList{work, fixed(ms, 1), fixed(ms / floor, 2), target, note};
    };
    printTable(
        QStringLiteral(
            "Customer browser, %1 customers (floor: SQLite steps every row and column, %2 ms)")
            .arg(count)
            .arg(fixed(floor, 1)),
        {QStringLiteral("work"), QStringLiteral("ms"), QStringLiteral("× floor"),
         QStringLiteral("target"), QStringLiteral("note")},
        {
            row(QStringLiteral("snapshot load (CustomerTable)"), loadMs, QStringLiteral("-"),
                QStringLiteral("%1 MiB held, RSS +%2 MiB")
                    .arg(fixed(static_cast<double>(held) / 1048576.0, 1), fixed(tableMiB, 1))),
            row(QStringLiteral("state and type lists"), listsMs, QStringLiteral("-"), {}),
            row(QStringLiteral("model filter, state CA"), modelFilterMs, QStringLiteral("-"),
                QStringLiteral("%1 rows").arg(caRows)),
            row(QStringLiteral("model Go To, no match"), goToMissMs, QStringLiteral("-"), {}),
            row(QStringLiteral("read every value in list order"), readAllMs, QStringLiteral("-"),
                QStringLiteral("as printing all fields does")),
            row(QStringLiteral("window open to first paint"), openMs, QStringLiteral("< 500"), {}),
            row(QStringLiteral("filter: state ca"), stateMs, QStringLiteral("< 100"),
                stateCount + QStringLiteral(" rows")),
            row(QStringLiteral("filter: then type Retail"), bothMs, QStringLiteral("< 100"),
                bothCount + QStringLiteral(" rows")),
            row(QStringLiteral("filter: empty state (all)"), clearMs, QStringLiteral("< 100"),
                allCount + QStringLiteral(" rows")),
            row(QStringLiteral("Go To \"t\""), goToMs, QStringLiteral("-"), {}),
            row(QStringLiteral("Clear Filter (reload)"), reloadMs, QStringLiteral("-"), {}),
        });
    std::printf("peak RSS %.0f MiB\n", peakRssMiB());
    return 0;
}
