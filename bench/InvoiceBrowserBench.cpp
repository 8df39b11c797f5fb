// Invoice browser figures: a QBData.mdb with a million generated invoice lines, the
// InvoiceData window opened on it offscreen (load and first paint), each of the six sorts
// (sort and repaint), the totals of a current line, a jump to a far row, and the memory
// of the process. Beside each sort, the same order computed by SQLite alone
// ("ORDER BY column, Customer, rowid"), the way a plain query would get it.
//
//   invoice_browser_bench [--lines N] [--customers N] [--seed S]
#include "BenchSupport.h"

#include "base/Screen.h"
#include "localdb/Database.h"
#include "localdb/LocalDb.h"
#include "state/ProgramState.h"
#include "views/ui/InvoiceData.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTableView>
#include <QTemporaryDir>

#include <array>
#include <cstdio>

using namespace corvina;
using namespace corvina::bench;
using namespace Qt::StringLiterals;

namespace {

QByteArray pick(QRandomGenerator &random, const std::vector<QByteArray> &values)
{
    return values[random.bounded(static_cast<quint32>(values.size()))];
}

// Invoices of 1 to 6 lines in date order over three years, for random customers, with the
// columns a retrieval fills; some ship dates and classes are empty.
void generate(const QString &folder, int lines, int customers, quint32 seed)
{
    ensureLocalDb(folder);
    Database db = openLocalDb(folder);
    Transaction transaction(db);
    Statement insert = db.prepare(
        u"INSERT INTO Invoices (CustListID, Class, Customer, DueDate, FOB, Memo, PO, InvNo, "
        u"SalesRep, "
        "ShipDate, ShipMethod, Terms, InvDate, Amt, LineClass, \"Desc\", ItemRefID, ItemRef, "
        "RateAmt, "
        "RatePct, Qty) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s);
    QRandomGenerator random(seed);
    const std::vector<QByteArray> classes = {"Retail", "Wholesale",  "Online",    "Service",
                                             "Export", "Government", "Education", "Repairs"};
    const std::vector<QByteArray> methods = {"UPS", "FedEx", "USPS", "Truck", "Pickup"};
    const std::vector<QByteArray> terms = {"Net 30", "Net 15", "Due on receipt", "2% 10 Net 30"};
    const std::vector<QByteArray> words = {"Acme", "Blue",    "Cedar",    "Delta",
                                           "Echo", "Falcon",  "Granite",  "Harbor",
                                           "Iris", "Juniper", "Keystone", "Lumen"};
    const QDate first(2023, 1, 1);
    int written = 0;
    int invoice = 10000;
    while (written < lines) {
        const auto customer =
            static_cast<std::size_t>(random.bounded(static_cast<quint32>(customers)));
        const QByteArray customerName = words[customer % words.size()] + ' ' +
                                        words[(customer / words.size()) % words.size()] + " #" +
                                        QByteArray::number(static_cast<qulonglong>(customer));
        const QByteArray listId =
            "8000" + QByteArray::number(static_cast<qulonglong>(customer)) + "-1197759000";
        const QDate date = first.addDays(static_cast<qint64>(written) * 1095 / lines);
        const QByteArray invDate = date.toString(u"yyyy-MM-dd 00:00:00"_s).toUtf8();
        const QByteArray due = date.addDays(30).toString(u"yyyy-MM-dd 00:00:00"_s).toUtf8();
        const QByteArray ship =
            date.addDays(random.bounded(10)).toString(u"yyyy-MM-dd 00:00:00"_s).toUtf8();
        const bool shipped = random.bounded(5) != 0;
        const QByteArray cls = random.bounded(6) != 0 ? pick(random, classes) : QByteArray();
        const QByteArray rep = "R" + QByteArray::number(random.bounded(25));
        const QByteArray method = pick(random, methods);
        const QByteArray term = pick(random, terms);
        const QByteArray invNo = QByteArray::number(++invoice);
        const QByteArray po = "PO-" + QByteArray::number(random.bounded(100000));
        const int count = 1 + static_cast<int>(random.bounded(6));
        for (int line = 0; line < count && written < lines; ++line, ++written) {
            const int item = static_cast<int>(random.bounded(5000));
            const double qty = 1 + random.bounded(20);
            const double rate = static_cast<double>(random.bounded(100000)) / 100.0;
            insert.bindText(1, listId);
            cls.isNull() ? insert.bindNull(2) : insert.bindText(2, cls);
            insert.bindText(3, customerName).bindText(4, due).bindText(5, "Origin");
            line == 0 ? insert.bindText(6, "Thank you for your business") : insert.bindNull(6);
            insert.bindText(7, po).bindText(8, invNo).bindText(9, rep);
            shipped ? insert.bindText(10, ship) : insert.bindNull(10);
            insert.bindText(11, method).bindText(12, term).bindText(13, invDate);
            insert.bindDouble(14, qty * rate).bindNull(15);
            insert.bindText(16, "Item description " + QByteArray::number(item));
            insert.bindText(17, "8000" + QByteArray::number(item) + "-1197000000");
            insert.bindText(18, "Parts:Item " + QByteArray::number(item));
            insert.bindDouble(19, rate).bindNull(20).bindDouble(21, qty);
            insert.run();
        }
    }
    transaction.commit();
}

double secondsOf(QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// Runs in a child: the window from construction (its load) to its first painted grid, then
// each sort to its repaint, with this process's memory.
void browse(const QString &folder)
{
    HeadlessScreen screen;
    ProgramState state(folder, screen);
    resetPeak();
    const double rssBefore = rssMiB();

    QElapsedTimer timer;
    timer.start();
    auto *window = new InvoiceData(state);
    const double load = secondsOf(timer);
    window->show();
    window->grab(); // paints the grid: the first rows are read here
    const double open = secondsOf(timer);
    std::vector<std::pair<QString, double>> results = {
        {u"load"_s, load},
        {u"open"_s, open},
        {u"rows"_s, static_cast<double>(window->list()->rowCount())},
        {u"rss_open"_s, rssMiB()}};

    // The sort options (each named "Option1", placed by "Index") and the grid, by name.
    std::array<QRadioButton *, kInvoiceSortCount> options{};
    for (QRadioButton *option : window->findChildren<QRadioButton *>(u"Option1"_s))
        options[static_cast<std::size_t>(option->property("Index").toInt())] = option;
    auto *grid = window->findChild<QTableView *>(u"DataGrid1"_s);
    for (const int option : {1, 2, 3, 4, 5, 0}) {
        timer.restart();
        options[static_cast<std::size_t>(option)]->click();
        window->grab();
        results.emplace_back(u"sort%1"_s.arg(option), secondsOf(timer));
    }
    // An order chosen before is kept while the table stays as listed.
    timer.restart();
    options[1]->click();
    window->grab();
    results.emplace_back(u"again"_s, secondsOf(timer));

    // Totals of a current line, and a jump to a far row (a block of lines read on view).
    QRandomGenerator random(7);
    const int rows = window->list()->rowCount();
    constexpr int kMoves = 200;
    timer.restart();
    for (int i = 0; i < kMoves; ++i) {
        const QModelIndex target =
            window->list()->index(static_cast<int>(random.bounded(static_cast<quint32>(rows))), 1);
        grid->setCurrentIndex(target);
        grid->scrollTo(target);
        window->grab();
    }
    results.emplace_back(u"jump_ms"_s, secondsOf(timer) * 1000.0 / kMoves);

    results.emplace_back(u"rss_before"_s, rssBefore);
    results.emplace_back(u"rss_end"_s, rssMiB());
    results.emplace_back(u"peak"_s, peakRssMiB());
    delete window;
    report(results);
}

// Runs in a child: each order as SQLite alone would give it, rowids read into memory.
void sqliteOrders(const QString &folder)
{
    Database db = openLocalDb(folder, Database::Mode::ReadOnly);
    std::vector<std::pair<QString, double>> results;
    const QStringList columns = {u"Customer"_s, u"InvNo"_s,    u"InvDate"_s,
                                 u"Class"_s,    u"SalesRep"_s, u"ShipDate"_s};
    for (int option = 0; option < columns.size(); ++option) {
        QElapsedTimer timer;
        timer.start();
        const QString tail = option == 0 ? u"rowid"_s : u"Customer, rowid"_s;
        Statement order =
            db.prepare(u"SELECT rowid FROM Invoices ORDER BY %1, %2"_s.arg(columns[option], tail));
        std::vector<qint64> rowids;
        while (order.step())
            rowids.push_back(order.value(0).toLongLong());
        results.emplace_back(u"sort%1"_s.arg(option), secondsOf(timer));
    }
    report(results);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() > 2 && args[1] == u"step") {
        if (args[2] == u"generate")
            generate(args[3], args[4].toInt(), args[5].toInt(), args[6].toUInt());
        else if (args[2] == u"browse")
            browse(args[3]);
        else if (args[2] == u"sqlite")
            sqliteOrders(args[3]);
        return 0;
    }

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({u"lines"_s, u"Invoice lines to generate."_s, u"N"_s, u"1000000"_s});
    parser.addOption({u"customers"_s, u"Customers the invoices go to."_s, u"N"_s, u"50000"_s});
    parser.addOption({u"seed"_s, u"Seed of the generated lines."_s, u"S"_s, u"2026"_s});
    parser.process(app);

    QTemporaryDir folder;
    QElapsedTimer timer;
    timer.start();
    runChild({u"step"_s, u"generate"_s, folder.path(), parser.value(u"lines"_s),
              parser.value(u"customers"_s), parser.value(u"seed"_s)});
    const double generated = secondsOf(timer);
    const double fileMiB =
        static_cast<double>(QFileInfo(localDbPath(folder.path())).size()) / (1024.0 * 1024.0);

    const Result browse = runChild({u"step"_s, u"browse"_s, folder.path()});
    const Result sqlite = runChild({u"step"_s, u"sqlite"_s, folder.path()});

    std::printf(
        "%s invoice lines; QBData.mdb %s MiB, generated in %s s; RSS before the window %s MiB\n\n",
        qPrintable(QString::number(browse.number(u"rows"_s), 'f', 0)),
        qPrintable(fixed(fileMiB, 1)), qPrintable(fixed(generated, 1)),
        qPrintable(fixed(browse.number(u"rss_before"_s), 0)));
    const QStringList options = {u"Customer"_s, u"InvNo"_s, u"InvDate"_s,
                                 u"Class"_s,    u"Rep"_s,   u"ShipDate"_s};
    std::vector<QStringList> rows;
    rows.push_back({u"open: load (list in customer order)"_s, fixed(browse.number(u"load"_s), 3),
                    fixed(sqlite.number(u"sort0"_s), 3), u"-"_s});
    rows.push_back({u"open: load + first painted grid"_s, fixed(browse.number(u"open"_s), 3),
                    u"-"_s, u"< 1 s"_s});
    for (const int option : {1, 2, 3, 4, 5, 0}) {
        const QString key = u"sort%1"_s.arg(option);
        const QString what = option == 0
                                 ? u"re-sort by Customer (the order of the load) + repaint"_s
                                 : u"re-sort by %1 + repaint"_s.arg(options[option]);
        rows.push_back(
            {what, fixed(browse.number(key), 3), fixed(sqlite.number(key), 3), u"< 1 s"_s});
    }
    rows.push_back({u"re-sort by InvNo again + repaint"_s, fixed(browse.number(u"again"_s), 3),
                    u"-"_s, u"< 1 s"_s});
    rows.push_back({u"move to a random line: totals + rows read + repaint"_s,
                    fixed(browse.number(u"jump_ms"_s) / 1000.0, 4), u"-"_s, u"-"_s});
    printTable(u"Invoice browser"_s,
               {u"step"_s, u"seconds"_s, u"SQLite ORDER BY alone, s"_s, u"target"_s}, rows);
    std::printf("\n");
    printTable(u"Memory of the browsing process"_s, {u"when"_s, u"RSS MiB"_s, u"target"_s},
               {{u"window open"_s, fixed(browse.number(u"rss_open"_s), 0), u"-"_s},
                {u"after the sorts and moves"_s, fixed(browse.number(u"rss_end"_s), 0), u"-"_s},
                {u"peak"_s, fixed(browse.number(u"peak"_s), 0), u"< 500"_s}});
    return 0;
}
