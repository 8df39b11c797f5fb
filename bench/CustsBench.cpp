// Customers-not-buying figures: customers, items and invoice lines generated into a
// temporary QBData.mdb, then the list built for one item and for all items, saved into
// NoBuyCustomers and exported to a workbook, with time and memory for each step.
//
//   custs_bench [--customers N] [--items N] [--lines N]
#include "BenchSupport.h"

#include "analysis/CustsNotBuying.h"
#include "localdb/Database.h"
#include "localdb/LocalDb.h"
#include "state/ProgramState.h"

#include <QCommandLineParser>
#include <QCoreApplication>
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

void fill(const QString &folder, int customers, int items, int lines)
{
    Database db = Database::open(folder + QStringLiteral("/QBData.mdb"));
    Transaction transaction(db);
    Statement customer =
        db.prepare(QStringLiteral("INSERT INTO Customers (ListID, Name, BillAddr1, BillCity, "
                                  "BillState, BillZip, Phone, CustType) "
                                  "VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
    for (int c = 0; c < customers; ++c) {
        customer.bindAll({QStringLiteral("C%1").arg(c),
                          QStringLiteral("Customer %1").arg(c, 6, 10, QLatin1Char('0')),
                          QStringLiteral("%1 Main St").arg(c), QStringLiteral("Springfield"),
                          QStringLiteral("NY"), QStringLiteral("12345"),
                          QStringLiteral("555-%1").arg(c), QStringLiteral("Retail")});
        customer.run();
        customer.reset();
    }
    // Customers are drawn from the first 90%, so some never buy anything.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> pickCustomer(0, customers * 9 / 10 - 1);
    std::uniform_int_distribution<int> pickItem(0, items - 1);
    Statement line = db.prepare(
        QStringLiteral("INSERT INTO Invoices (CustListID, ItemRef, InvNo) VALUES (?, ?, ?)"));
    for (int l = 0; l < lines; ++l) {
        line.bindText(1, QByteArray("C") + QByteArray::number(pickCustomer(random)));
        line.bindText(2, QByteArray("Item ") + QByteArray::number(pickItem(random)));
        line.bindText(3, QByteArray::number(l / 4));
        line.run();
        line.reset();
    }
    transaction.commit();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption customersOption(QStringLiteral("customers"),
                                             QStringLiteral("customers"), QStringLiteral("N"),
                                             QStringLiteral("50000"));
    const QCommandLineOption itemsOption(QStringLiteral("items"), QStringLiteral("items"),
                                         QStringLiteral("N"), QStringLiteral("5000"));
    const QCommandLineOption linesOption(QStringLiteral("lines"), QStringLiteral("invoice lines"),
                                         QStringLiteral("N"), QStringLiteral("1000000"));
    parser.addOptions({customersOption, itemsOption, linesOption});
    parser.process(app);
    const int customers = parser.value(customersOption).toInt();
    const int items = parser.value(itemsOption).toInt();
    const int lines = parser.value(linesOption).toInt();

    QTemporaryDir dir;
    if (!ensureLocalDb(dir.path())) {
        std::fprintf(stderr, "could not make the database\n");
        return 1;
    }
    auto start = Clock::now();
    fill(dir.path(), customers, items, lines);
    std::printf("filled %d customers, %d items, %d lines in %.0f ms\n", customers, items, lines,
                msSince(start));

    HeadlessScreen screen;
    ProgramState state(dir.path(), screen);
    std::vector<QStringList> rows;
    auto measure = [&rows](const QString &step, const std::function<int()> &run) {
        const double before = rssMiB();
        const auto began = Clock::now();
        const int count = run();
        rows.push_back({step, QString::number(count), fixed(msSince(began), 1),
                        fixed(rssMiB() - before, 1), fixed(peakRssMiB(), 1)});
    };
    CustsNotBuying one(state, false, QStringLiteral("Item 17"));
    measure(QStringLiteral("not buying one item"), [&one] {
        one.load();
        return one.list().storedRowCount();
    });
    CustsNotBuying all(state, true, {});
    measure(QStringLiteral("not buying any item"), [&all] {
        all.load();
        return all.list().storedRowCount();
    });
    measure(QStringLiteral("save one item's list"), [&one] {
        one.saveForMailMerge();
        return one.list().storedRowCount();
    });
    measure(QStringLiteral("export one item's list"), [&one, &dir] {
        one.exportTo(dir.path());
        return one.list().storedRowCount();
    });
    printTable(QStringLiteral("Customers not buying"),
               {QStringLiteral("step"), QStringLiteral("customers"), QStringLiteral("ms"),
                QStringLiteral("+MiB"), QStringLiteral("peak MiB")},
               rows);
    return 0;
}
