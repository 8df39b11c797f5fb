// Item Analyzer figures: a QBData.mdb with generated customers, items and invoice lines
// (by default 50,000 / 5,000 / 1,000,000), then the two-level result built from it, and
// the Item Analyzer run as the menu starts it (exclusion question answered with the
// remembered choice) up to the window's first painted grid, and the memory of the process.
//
//   item_aging_bench [--lines N] [--customers N] [--items N] [--seed S] [--png FILE]
//                    [--folder DIR]   (reuses DIR's database when it has one)
#include "BenchSupport.h"

#include "analysis/ItemAging.h"
#include "analysis/ItemAgingExport.h"
#include "analysis/ItemAgingGrid.h"
#include "analysis/ItemAgingReport.h"
#include "analysis/ui/ItemAging.h"
#include "localdb/Database.h"
#include "localdb/LocalDb.h"
#include "reporting/ui/ReportPreview.h"
#include "state/ProgramState.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTableView>
#include <QTemporaryDir>

using namespace corvina;
using namespace corvina::bench;
using namespace Qt::StringLiterals;

namespace {

QByteArray customerName(int n)
{
    return "Customer " + QByteArray::number(n);
}

void generate(const QString &folder, int lines, int customers, int items, quint32 seed)
{
    ensureLocalDb(folder);
    Database db = openLocalDb(folder);
    Transaction transaction(db);
    QRandomGenerator random(seed);
    const std::vector<QByteArray> states = {"CA", "NY", "TX", "WA", "FL", "OR"};
    const std::vector<QByteArray> kinds = {"ItemInventoryRet", "ItemServiceRet",
                                           "ItemNonInventoryRet", "ItemOtherChargeRet"};

    Statement customer = db.prepare(
        u"INSERT INTO Customers (ListID, Name, BillState, CustType) VALUES (?, ?, ?, ?)"_s);
    for (int c = 0; c < customers; ++c) {
        customer.bindText(1, "C" + QByteArray::number(c))
            .bindText(2, customerName(c))
            .bindText(3, states[static_cast<size_t>(c) % states.size()])
            .bindText(4, c % 3 == 0 ? "Retail" : "Wholesale");
        customer.run();
        customer.reset();
    }
    Statement item = db.prepare(
        u"INSERT INTO Items (ListID, Name, \"Desc\", Type, IsActive) VALUES (?, ?, ?, ?, ?)"_s);
    for (int i = 0; i < items; ++i) {
        item.bindText(1, "I" + QByteArray::number(i))
            .bindText(2, "Item " + QByteArray::number(i))
            .bindText(3, "Description of item " + QByteArray::number(i))
            .bindText(4, kinds[static_cast<size_t>(i) % kinds.size()])
            .bindInt64(5, i % 20 == 0 ? 0 : 1);
        item.run();
        item.reset();
    }
    Statement line =
        db.prepare(u"INSERT INTO Invoices (Customer, ItemRefID, InvNo, Qty, Amt, InvDate, Class) "
                   "VALUES (?, ?, ?, ?, ?, ?, ?)"_s);
    const QDate first(2023, 1, 1);
    for (int l = 0; l < lines; ++l) {
        const int c =
            static_cast<int>(random.bounded(static_cast<quint32>(customers + customers / 50)));
        const QDate date = first.addDays(l * 1095LL / lines);
        line.bindText(1, customerName(c)) // a few names are not in Customers
            .bindText(2, "I" + QByteArray::number(random.bounded(static_cast<quint32>(items))))
            .bindText(3, QByteArray::number(l / 4))
            .bindDouble(4, random.bounded(1, 20))
            .bindDouble(5, random.bounded(100000) / 100.0)
            .bindText(6, date.toString(u"yyyy-MM-dd 00:00:00"_s).toUtf8())
            .bindText(7, l % 7 == 0 ? "Retail" : "Wholesale");
        line.run();
        line.reset();
    }
    transaction.commit();
}

} // namespace

int main(int argc, char **argv)
{
    // Runs headless unless a platform is asked for.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{u"lines"_s, u"invoice lines"_s, u"n"_s, u"1000000"_s},
                       {u"customers"_s, u"customers"_s, u"n"_s, u"50000"_s},
                       {u"items"_s, u"items"_s, u"n"_s, u"5000"_s},
                       {u"seed"_s, u"random seed"_s, u"s"_s, u"7"_s},
                       {u"png"_s, u"save the window's picture to FILE"_s, u"file"_s},
                       {u"folder"_s, u"keep the database in DIR"_s, u"dir"_s}});
    parser.process(app);
    QTemporaryDir temporary;
    const QString folder = parser.isSet(u"folder"_s) ? parser.value(u"folder"_s) : temporary.path();
    QElapsedTimer timer;
    timer.start();
    if (!QFileInfo::exists(folder + u"/QBData.mdb"_s)) {
        QDir().mkpath(folder);
        generate(folder, parser.value(u"lines"_s).toInt(), parser.value(u"customers"_s).toInt(),
                 parser.value(u"items"_s).toInt(), parser.value(u"seed"_s).toUInt());
    }
    const qint64 generated = timer.restart();

    auto result = buildItemAging(folder, {});
    const qint64 built = timer.elapsed();
    // The grouping by SQLite alone, rows stepped but not read, for comparison.
    timer.restart();
    {
        Database db = openLocalDb(folder, Database::Mode::ReadOnly);
        Statement grouped = db.prepare(
            u"Select Customer, ItemRefID, Count(InvNo), Sum(Qty), Sum(Amt), Max(InvDate), "
            "Min(InvDate), Last(Class, rowid) From Invoices Group By Customer, ItemRefID"_s);
        while (grouped.step()) {
        }
    }
    const qint64 sqlOnly = timer.elapsed();
    timer.restart();
    {
        Database db = openLocalDb(folder, Database::Mode::ReadOnly);
        Statement lines =
            db.prepare(u"Select Customer, ItemRefID, InvNo, Qty, Amt, Cast(InvDate As Text), Class "
                       "From Invoices Order By rowid"_s);
        while (lines.step()) {
            for (int c = 0; c < 7; ++c)
                (void)lines.value(c);
        }
    }
    const qint64 readOnly = timer.elapsed();
    int children = 0;
    for (int row = 0; row < result->count(); ++row)
        children += result->children(row, u"Child"_s)->count();
    const int items = result->count();

    // The menu's run: GetItemAging, the window opened and its grid painted once.
    result.reset();
    HeadlessScreen screen;
    ProgramState state(folder, screen);
    timer.restart();
    ItemAging *window = nullptr;
    GetItemAging(state, [&] {
        window = new ItemAging(state);
        window->show();
    });
    qint64 firstPaint = -1;
    qint64 reportPage = -1;
    qint64 exported = -1;
    qint64 exportedAll = -1;
    if (window) {
        window->findChild<QTableView *>(u"MSHFlexGrid1"_s)->viewport()->grab();
        firstPaint = timer.elapsed();
        if (parser.isSet(u"png"_s))
            window->grab().save(parser.value(u"png"_s));

        // "&Print": DataReport1 over every shown item, up to its first page on screen.
        timer.restart();
        reporting::ReportPreview *preview =
            reporting::showReport(window->model()->shownItems(), itemAgingReportLayout(), window);
        preview->grab();
        reportPage = timer.elapsed();
        delete preview;

        // "&Export" of the items with sales, then of every row.
        QTemporaryDir documents;
        timer.restart();
        exportItemAgingTo(state, window->model()->filter(), ExportCriterion::WithSales,
                          documents.path());
        exported = timer.elapsed();
        timer.restart();
        exportItemAgingTo(state, window->model()->filter(), ExportCriterion::AllItems,
                          documents.path());
        exportedAll = timer.elapsed();
        delete window;
    }
    const auto seconds = [](qint64 ms) {
        return fixed(static_cast<double>(ms) / 1000.0, 2) + u" s"_s;
    };

    printTable(
        u"Item Analyzer"_s, {u"step"_s, u"figure"_s},
        {{u"generate database"_s, fixed(static_cast<double>(generated) / 1000.0, 2) + u" s"_s},
         {u"build two-level result"_s, fixed(static_cast<double>(built) / 1000.0, 2) + u" s"_s},
         {u"menu to first painted grid"_s, seconds(firstPaint)},
         {u"DataReport1: first preview page shown"_s, seconds(reportPage)},
         {u"export, items with sales"_s, seconds(exported)},
         {u"export, all items"_s, seconds(exportedAll)},
         {u"SQLite grouping alone"_s, fixed(static_cast<double>(sqlOnly) / 1000.0, 2) + u" s"_s},
         {u"reading every line's values"_s,
          fixed(static_cast<double>(readOnly) / 1000.0, 2) + u" s"_s},
         {u"items / customer rows"_s,
          QString::number(items) + u" / "_s + QString::number(children)},
         {u"resident memory"_s, fixed(rssMiB(), 1) + u" MiB"_s},
         {u"peak resident memory"_s, fixed(peakRssMiB(), 1) + u" MiB"_s}});
    return 0;
}
