// Campaign list figures: a QBData.mdb with generated customers (a tenth of them with a job),
// items and invoice lines (by default 50,000 / 5,000 / 1,000,000 over three years, customers
// buying a few favourite items at their own rhythm, some stopping), then the sales read into
// memory once, each list computed, the lift suggestions for one item, each list shown in the
// Campaign Lists window (grid painted), and the rows made ready for the mail merge.
// Runs headless (offscreen) unless a platform is given.
//
//   campaign_bench [--lines N] [--customers N] [--items N] [--seed S] [--png FILE] [--folder DIR]
#include "BenchSupport.h"

#include "analysis/campaign/CampaignLists.h"
#include "analysis/campaign/CampaignMailing.h"
#include "analysis/campaign/Rfm.h"
#include "analysis/campaign/ui/CampaignLists.h"
#include "analysis/campaign/ui/CampaignPanels.h"
#include "localdb/Database.h"
#include "localdb/LocalDb.h"
#include "state/ProgramState.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>

using namespace corvina;
using namespace corvina::bench;
using namespace Qt::StringLiterals;

namespace {

const QDate kFirst(2023, 7, 1);
const int kDays = 1095;

void generate(const QString &folder, int lines, int customers, int items, quint32 seed)
{
    ensureLocalDb(folder);
    Database db = openLocalDb(folder);
    Transaction transaction(db);
    QRandomGenerator random(seed);
    Statement customer =
        db.prepare(u"INSERT INTO Customers (ListID, Name, BillAddr1, BillCity, BillState, "
                   "BillZip) VALUES (?, ?, ?, 'Springfield', 'NY', ?)"_s);
    Statement job =
        db.prepare(u"INSERT INTO CustomerJobs (ListID, FullName, CustListID) VALUES (?, ?, ?)"_s);
    for (int c = 0; c < customers; ++c) {
        const QByteArray id = "C" + QByteArray::number(c);
        customer.bindText(1, id)
            .bindText(2, "Customer " + QByteArray::number(c))
            .bindText(3, QByteArray::number(c) + " Main St")
            .bindText(4, QByteArray::number(10000 + c % 90000));
        customer.run();
        customer.reset();
        if (c % 10 == 0) {
            job.bindText(1, "J" + QByteArray::number(c))
                .bindText(2, "Customer " + QByteArray::number(c) + ":Job")
                .bindText(3, id);
            job.run();
            job.reset();
        }
    }
    const std::vector<QByteArray> kinds = {"ItemInventoryRet", "ItemServiceRet",
                                           "ItemNonInventoryRet"};
    Statement item =
        db.prepare(u"INSERT INTO Items (ListID, Name, Type, IsActive) VALUES (?, ?, ?, 1)"_s);
    for (int i = 0; i < items; ++i) {
        item.bindText(1, "I" + QByteArray::number(i))
            .bindText(2, "Item " + QByteArray::number(i))
            .bindText(3, kinds[static_cast<size_t>(i) % kinds.size()]);
        item.run();
        item.reset();
    }
    // Each customer orders every `rhythm` days, from a start to an end (some stop early),
    // each order a few lines of its favourite items or of any item.
    Statement line = db.prepare(
        u"INSERT INTO Invoices (CustListID, ItemRefID, ItemRef, InvNo, InvDate, Amt, Qty) "
        "VALUES (?, ?, ?, ?, ?, ?, 1)"_s);
    const int perCustomer = std::max(1, lines / std::max(1, customers));
    int written = 0;
    int invoice = 0;
    for (int c = 0; c < customers && written < lines; ++c) {
        const QByteArray id = (c % 10 == 0 && random.bounded(2)) ? "J" + QByteArray::number(c)
                                                                 : "C" + QByteArray::number(c);
        int favourites[3];
        for (int &f : favourites)
            f = static_cast<int>(random.bounded(static_cast<quint32>(items)));
        // From one order to twice the average, so frequencies differ.
        const int orders = 1 + static_cast<int>(random.bounded(
                                   static_cast<quint32>(std::max(1, 2 * perCustomer / 3))));
        const int start = static_cast<int>(random.bounded(static_cast<quint32>(kDays / 3)));
        const int end =
            random.bounded(4) == 0
                ? start + static_cast<int>(random.bounded(static_cast<quint32>(kDays - start)))
                : kDays;
        const int rhythm = std::max(1, (end - start) / orders);
        for (int o = 0; o < orders && written < lines; ++o) {
            const QByteArray date =
                kFirst.addDays(start + o * rhythm + static_cast<int>(random.bounded(5)))
                    .toString(u"yyyy-MM-dd 00:00:00"_s)
                    .toUtf8();
            ++invoice;
            for (int l = 0; l < 3 && written < lines; ++l, ++written) {
                const int chosen =
                    l < 2 ? favourites[random.bounded(3)]
                          : static_cast<int>(random.bounded(static_cast<quint32>(items)));
                line.bindText(1, id)
                    .bindText(2, "I" + QByteArray::number(chosen))
                    .bindText(3, "Item " + QByteArray::number(chosen))
                    .bindText(4, QByteArray::number(invoice))
                    .bindText(5, date)
                    .bindDouble(6, random.bounded(100000) / 100.0);
                line.run();
                line.reset();
            }
        }
    }
    transaction.commit();
}

QString ms(qint64 value)
{
    return QString::number(value) + u" ms"_s;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions(
        {{u"lines"_s, u"invoice lines"_s, u"n"_s, u"1000000"_s},
         {u"customers"_s, u"customers"_s, u"n"_s, u"50000"_s},
         {u"items"_s, u"items"_s, u"n"_s, u"5000"_s},
         {u"seed"_s, u"random seed"_s, u"s"_s, u"7"_s},
         {u"png"_s, u"save a picture of each tab to FILE with the tab's number before .png"_s,
          u"file"_s},
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
    std::vector<QStringList> rows;
    rows.push_back({u"generate database"_s, ms(timer.restart()), {}});

    const QDate today = kFirst.addDays(kDays + 30);
    CampaignData data;
    {
        Database db = openLocalDb(folder, Database::Mode::ReadOnly);
        timer.restart();
        data = CampaignData::load(db);
        rows.push_back({u"read the sales (once per window)"_s, ms(timer.elapsed()),
                        QString::number(data.purchases().size()) + u" purchases"_s});
    }
    const auto count = [](const CampaignResult &list) {
        return QString::number(list.rows.size()) + u" customers"_s;
    };
    timer.restart();
    const CampaignResult lapsed = lapsedCustomers(data, {}, today);
    rows.push_back({u"lapsed customers"_s, ms(timer.elapsed()), count(lapsed)});
    timer.restart();
    const CampaignResult due = dueToReorder(data, {}, today);
    rows.push_back({u"due to reorder"_s, ms(timer.elapsed()), count(due)});
    BoughtANotBParams ab;
    ab.itemA = 0;
    timer.restart();
    const auto suggestions = suggestItemsB(data, ab);
    rows.push_back({u"lift suggestions for one item"_s, ms(timer.elapsed()),
                    QString::number(suggestions.size()) + u" items"_s});
    ab.itemB = suggestions.empty() ? 1 : suggestions.front().item;
    timer.restart();
    const CampaignResult notB = boughtANotB(data, ab);
    rows.push_back({u"bought A, not B"_s, ms(timer.elapsed()), count(notB)});
    timer.restart();
    const auto scored = scoreRfm(data, today);
    const auto bars = rfmChartData(scored);
    const CampaignResult champions = rfmSegmentList(data, scored, 0);
    rows.push_back(
        {u"RFM scores, chart data, one segment"_s, ms(timer.elapsed()), count(champions)});
    {
        Database db = openLocalDb(folder);
        timer.restart();
        const Recordset mail = campaignCustomerRows(db, data, lapsed);
        rows.push_back({u"lapsed: rows for mail merge, print, export"_s, ms(timer.elapsed()),
                        QString::number(mail.storedRowCount()) + u" rows"_s});
    }

    // The window as the menu opens it, then each tab shown with its list and grid painted.
    HeadlessScreen screen;
    ProgramState state(folder, screen);
    timer.restart();
    auto *window = new CampaignLists(state);
    window->show();
    auto *tabs = window->findChild<QTabWidget *>(u"tabLists"_s);
    auto *panel = window->currentPanel();
    panel->grid()->viewport()->grab();
    rows.push_back({u"window opened, lapsed list painted"_s, ms(timer.elapsed()), {}});
    const auto picture = [&](int tab) {
        if (parser.isSet(u"png"_s))
            window->grab().save(parser.value(u"png"_s).replace(u".png"_s, u"-%1.png"_s.arg(tab)));
    };
    picture(0);
    for (int tab = 1; tab < tabs->count(); ++tab) {
        timer.restart();
        tabs->setCurrentIndex(tab);
        panel = window->currentPanel();
        if (!panel->hasList())
            panel->refresh();
        panel->grid()->viewport()->grab();
        rows.push_back({tabs->tabText(tab) + u": computed and painted"_s, ms(timer.elapsed()),
                        QString::number(panel->list().rows.size()) + u" customers"_s});
        picture(tab);
    }
    delete window;

    printTable(
        u"Campaign lists (%1 lines, %2 customers, %3 items)"_s.arg(
            parser.value(u"lines"_s), parser.value(u"customers"_s), parser.value(u"items"_s)),
        {u"step"_s, u"time"_s, u"result"_s}, rows);
    std::printf("peak RSS %s MiB\n", qPrintable(fixed(peakRssMiB(), 0)));
    return 0;
}
