#include "app/ui/MainMenu.h"
#include "app/ui/QtScreen.h"
#include "localdb/LocalDb.h"
#include "localdb/SavedRecordset.h"
#include "retrieval/RetrievalDates.h"
#include "state/ProgramState.h"
#include "support/Controls.h"
#include "support/InProcessStandIn.h"
#include "support/NoFileWrites.h"
#include "support/ScriptedScreen.h"
#include "support/TempAppFolder.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace corvina;

namespace {

const QDateTime kCustTime(QDate(2026, 11, 30), QTime(14, 5, 9));
const QDateTime kInvTime(QDate(2026, 12, 1), QTime(0, 0, 0));

struct DatesRow {
    QString name;
    QDateTime date;
};

class MainMenuTest : public ::testing::Test {
protected:
    void writeDates(const std::vector<DatesRow> &rows)
    {
        CreateSavedRecordset(folder.path(), QStringLiteral("Dates"));
        const QString path = savedRecordsetPath(folder.path(), QStringLiteral("Dates"));
        Recordset dates = loadRecordset(path);
        for (const DatesRow &row : rows) {
            dates.addNew();
            dates.setValue(QStringLiteral("Name"), row.name);
            dates.setValue(QStringLiteral("Date"), row.date);
        }
        saveRecordset(dates, path);
    }

    MainMenu &loadWindow()
    {
        window = std::make_unique<MainMenu>(state);
        window->load();
        return *window;
    }

    static bool enabled(const MainMenu &w, const char *name)
    {
        const auto *action = w.findChild<QAction *>(QLatin1String(name));
        EXPECT_NE(action, nullptr) << name;
        return action && action->isEnabled();
    }

    test::TempAppFolder folder;
    test::ScriptedScreen screen;
    ProgramState state{folder.path(), screen};
    std::unique_ptr<MainMenu> window;
};

TEST_F(MainMenuTest, HasTheMenuTreeWithItsNamesAndCaptions)
{
    MainMenu &w = loadWindow();
    EXPECT_EQ(w.objectName(), QStringLiteral("MainMenu"));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Corvina Main Menu"));

    const QList<QAction *> top = w.menuBar()->actions();
    ASSERT_EQ(top.size(), 3);
    EXPECT_EQ(top[0]->text(), QStringLiteral("&Customers"));
    EXPECT_EQ(top[0]->menu()->objectName(), QStringLiteral("mnuCust"));
    EXPECT_EQ(top[1]->text(), QStringLiteral("&Invoices"));
    EXPECT_EQ(top[1]->menu()->objectName(), QStringLiteral("mnuInv"));
    EXPECT_EQ(top[2]->objectName(), QStringLiteral("mnuItemAging"));
    EXPECT_EQ(top[2]->text(), QStringLiteral("&Item Analyzer"));
    EXPECT_EQ(top[2]->menu(), nullptr) << "the Item Analyzer entry runs at once";

    const auto entries = [](QMenu *menu) {
        QStringList seen;
        for (QAction *a : menu->actions())
            seen << a->objectName() + QLatin1Char('=') + a->text();
        return seen;
    };
    EXPECT_EQ(
        entries(top[0]->menu()),
        (QStringList{QStringLiteral("mnuRetCust=&Retrieve Customers"),
                     QStringLiteral("mnuDispCust=&Display Customer Data"),
                     QStringLiteral("CustSales=&Customer Sales by State, Zip"),
                     QStringLiteral("mnuLML=Letters && Mailing Labels"),
                     QStringLiteral("mnuCampaign=Campaign &Lists"), QStringLiteral("mnuAboutBar="),
                     QStringLiteral("mnuAbout=&About Corvina"),
                     QStringLiteral("mnuRefCust=Re&fresh Customers")}));
    EXPECT_EQ(entries(top[1]->menu()),
              (QStringList{QStringLiteral("mnuRetInv=&Retrieve Invoices"),
                           QStringLiteral("mnuDispInv=&Display Invoice Data"), QStringLiteral("="),
                           QStringLiteral("mnuQBConnection=QuickBooks &Connection..."),
                           QStringLiteral("mnuRefInv=Re&fresh Invoices")}));
    EXPECT_EQ(w.findChild<QLabel *>(QStringLiteral("Label4"))->text(),
              QStringLiteral("Last Customer Retrieval"));
    EXPECT_EQ(w.findChild<QLabel *>(QStringLiteral("Label2"))->text(),
              QStringLiteral("Last Invoice Retrieval"));
}

// The About box tells a user where QBData.mdb is for the mail merge, and is always there.
TEST_F(MainMenuTest, AboutNamesTheApplicationFolder)
{
    MainMenu &w = loadWindow();
    ASSERT_TRUE(enabled(w, "mnuAbout"));
    screen.answerNext(Answer::Ok);
    w.findChild<QAction *>(QStringLiteral("mnuAbout"))->trigger();

    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_EQ(screen.messages().front().title, QStringLiteral("About Corvina"));
    EXPECT_TRUE(screen.messages().front().text.contains(u'\r' + folder.path()))
        << screen.messages().front().text.toStdString();
}

TEST_F(MainMenuTest, FirstStartMakesAnEmptyDatesFileAndEnablesOnlyTheRetrievals)
{
    MainMenu &w = loadWindow();

    const Recordset dates =
        loadRecordset(savedRecordsetPath(folder.path(), QStringLiteral("Dates")));
    EXPECT_EQ(dates.fields().size(), 2u);
    EXPECT_EQ(dates.storedRowCount(), 0);
    EXPECT_TRUE(test::control<QLineEdit>(&w, "Cust")->text().isEmpty());
    EXPECT_TRUE(test::control<QLineEdit>(&w, "Inv")->text().isEmpty());
    for (const char *on : {"mnuRetCust", "mnuRetInv", "CustSales"})
        EXPECT_TRUE(enabled(w, on)) << on;
    for (const char *off : {"mnuDispCust", "mnuLML", "mnuDispInv", "mnuItemAging", "mnuCampaign"})
        EXPECT_FALSE(enabled(w, off)) << off;
    EXPECT_TRUE(screen.messages().empty());
}

struct StartupCase {
    const char *name;
    std::vector<DatesRow> rows;
    std::optional<QDateTime> cust;
    std::optional<QDateTime> inv;
};

TEST_F(MainMenuTest, StartUpShowsTheTimesAndEnablesWhatHasDataBehindIt)
{
    const QDateTime later = kCustTime.addDays(3);
    const std::vector<StartupCase> cases = {
        {"only a Cust row", {{QStringLiteral("Cust"), kCustTime}}, kCustTime, std::nullopt},
        {"a cust row in other case is ignored", {{QStringLiteral("cust"), kCustTime}}, {}, {}},
        {"both rows",
         {{QStringLiteral("Inv"), kInvTime}, {QStringLiteral("Cust"), kCustTime}},
         kCustTime,
         kInvTime},
        {"the later of two rows with one name wins",
         {{QStringLiteral("Cust"), kCustTime},
          {QStringLiteral("Other"), kInvTime},
          {QStringLiteral("Cust"), later}},
         later,
         std::nullopt},
    };
    for (const StartupCase &c : cases) {
        SCOPED_TRACE(c.name);
        writeDates(c.rows);
        MainMenu &w = loadWindow();
        EXPECT_EQ(test::control<QLineEdit>(&w, "Cust")->text(),
                  c.cust ? generalDateText(*c.cust) : QString());
        EXPECT_EQ(test::control<QLineEdit>(&w, "Inv")->text(),
                  c.inv ? generalDateText(*c.inv) : QString());
        EXPECT_EQ(enabled(w, "mnuDispCust"), c.cust.has_value());
        EXPECT_EQ(enabled(w, "mnuLML"), c.cust.has_value());
        EXPECT_EQ(enabled(w, "mnuDispInv"), c.inv.has_value());
        EXPECT_EQ(enabled(w, "mnuItemAging"), c.inv.has_value());
        EXPECT_EQ(enabled(w, "mnuCampaign"), c.inv.has_value());
    }
}

TEST_F(MainMenuTest, AnUnreadableDatesFileIsKeptAsideAndStartUpGoesOn)
{
    folder.write(QStringLiteral("Dates.adtg"), QByteArray("\x00\x01garbage", 9));
    screen.answerNext(Answer::Ok);
    MainMenu &w = loadWindow();

    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_TRUE(screen.messages().front().text.contains(QStringLiteral("Dates.adtg")));
    EXPECT_TRUE(screen.messages().front().text.contains(QStringLiteral("Dates.adtg.bad")));
    EXPECT_EQ(folder.read(QStringLiteral("Dates.adtg.bad")), QByteArray("\x00\x01garbage", 9));
    EXPECT_EQ(loadRecordset(folder.file(QStringLiteral("Dates.adtg"))).storedRowCount(), 0);
    EXPECT_TRUE(test::control<QLineEdit>(&w, "Cust")->text().isEmpty());
    EXPECT_FALSE(enabled(w, "mnuDispCust"));
}

TEST_F(MainMenuTest, ADatesFileWithoutItsDateFieldIsKeptAsideAtStartUp)
{
    const QByteArray nameOnly = R"({"format": "corvina-recordset", "version": 1,
        "fields": [{"name": "Name", "kind": "text", "size": 20}], "rows": [["Cust"]]})";
    folder.write(QStringLiteral("Dates.adtg"), nameOnly);
    screen.answerNext(Answer::Ok);
    MainMenu &w = loadWindow();

    ASSERT_EQ(screen.messages().size(), 1u);
    const QString text = screen.messages().front().text;
    EXPECT_TRUE(text.contains(QStringLiteral("\"Date\""))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Dates.adtg.bad"))) << text.toStdString();
    EXPECT_EQ(folder.read(QStringLiteral("Dates.adtg.bad")), nameOnly);
    const Recordset remade = loadRecordset(folder.file(QStringLiteral("Dates.adtg")));
    EXPECT_GE(remade.fieldIndex(QStringLiteral("Date")), 0);
    EXPECT_TRUE(test::control<QLineEdit>(&w, "Cust")->text().isEmpty());
}

// Start-up used to end in an uncaught exception when Dates.adtg could not be made anew.
TEST_F(MainMenuTest, StartUpGoesOnWithoutTheDatesWhenDatesAdtgCannotBeMade)
{
    const QString dates = folder.file(QStringLiteral("Dates.adtg"));
    std::size_t seen = 0;
    const auto expectRunsWithoutDates = [&](const char *why) {
        SCOPED_TRACE(why);
        ASSERT_EQ(screen.messages().size(), ++seen);
        const QString text = screen.messages().back().text;
        EXPECT_TRUE(text.contains(QStringLiteral("Dates.adtg"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("could not be made in ") + folder.path()))
            << text.toStdString();
        EXPECT_TRUE(test::control<QLineEdit>(window, "Cust")->text().isEmpty());
        EXPECT_TRUE(enabled(*window, "mnuRetCust"));
        EXPECT_TRUE(enabled(*window, "mnuRetInv"));
        EXPECT_FALSE(enabled(*window, "mnuDispCust"));
        QFile::remove(dates);
        QFile::remove(dates + QStringLiteral(".bad"));
    };

    ASSERT_TRUE(QFile::link(folder.file(QStringLiteral("gone/Dates.adtg")), dates));
    screen.answerNext(Answer::Ok);
    loadWindow();
    expectRunsWithoutDates("a link to a folder that does not exist");

    for (const bool damaged : {false, true}) {
        if (damaged)
            folder.write(QStringLiteral("Dates.adtg"), "garbage");
        screen.answerNext(Answer::Ok);
        {
            const test::NoFileWrites blocked; // as on a full disk
            loadWindow();
        }
        expectRunsWithoutDates(damaged ? "damaged, nothing can be written"
                                       : "missing, nothing can be written");
    }

    if (geteuid() != 0) {
        folder.write(QStringLiteral("Dates.adtg"), "garbage");
        QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner);
        screen.answerNext(Answer::Ok);
        loadWindow();
        QFile::setPermissions(folder.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        expectRunsWithoutDates("damaged, in a read-only folder");
    }
}

TEST_F(MainMenuTest, ARetrievalEnablesItsEntriesAtOnce)
{
    QtScreen qtScreen;
    ProgramState live(folder.path(), qtScreen);
    MainMenu w(live);
    qtScreen.attachMainWindow(&w);
    w.load();
    ASSERT_FALSE(enabled(w, "mnuDispCust"));

    // What a customer retrieval does when it has finished.
    Screen &procedures = qtScreen;
    procedures.setBoxText(RetrievalBox::Cust, generalDateText(kCustTime));
    procedures.enableEntry(MenuEntry::DispCust);
    procedures.enableEntry(MenuEntry::LettersAndLabels);

    EXPECT_EQ(test::control<QLineEdit>(&w, "Cust")->text(), generalDateText(kCustTime));
    EXPECT_EQ(procedures.boxText(RetrievalBox::Cust), generalDateText(kCustTime));
    EXPECT_TRUE(enabled(w, "mnuDispCust"));
    EXPECT_TRUE(enabled(w, "mnuLML"));
    EXPECT_FALSE(enabled(w, "mnuDispInv"));
    EXPECT_FALSE(enabled(w, "mnuItemAging"));

    procedures.enableEntry(MenuEntry::DispInv);
    procedures.enableEntry(MenuEntry::ItemAging);
    EXPECT_TRUE(enabled(w, "mnuDispInv"));
    EXPECT_TRUE(enabled(w, "mnuItemAging"));
}

TEST(GeneralDateText, ShowsTheTimeOnlyWhenItIsNotMidnight)
{
    const QString withTime = generalDateText(kCustTime);
    const QString midnight = generalDateText(kInvTime);
    EXPECT_TRUE(withTime.contains(QStringLiteral("05:09")) ||
                withTime.contains(QStringLiteral("5:09")))
        << withTime.toStdString();
    EXPECT_EQ(midnight, QLocale().toString(kInvTime.date(), QLocale::ShortFormat));
}

} // namespace

TEST_F(MainMenuTest, RetrieveEntriesRunTheRetrievalsOneAtATime)
{
    ensureLocalDb(folder.path());
    test::InProcessStandIn standIn(
        QStringLiteral(CORVINA_SOURCE_DIR "/tests/data/qbxml/company-small.qbxml"));
    state.quickBooks().makeProcessor = standIn.factory();
    folder.write(QStringLiteral("QBPath.txt"), standIn.companyPath().toUtf8() + "\n");
    MainMenu &w = loadWindow();

    test::control<QAction>(&w, "mnuRetCust")->trigger();
    EXPECT_EQ(standIn.requests(), 1);
    EXPECT_FALSE(screen.boxText(RetrievalBox::Cust).isEmpty());

    // A retrieval started while one runs is refused with a message.
    screen.answerNext(Answer::Ok);
    state.runRetrieval([&](ProgramState &) { test::control<QAction>(&w, "mnuRetInv")->trigger(); });
    ASSERT_EQ(screen.messages().size(), 1u);
    EXPECT_TRUE(screen.messages()[0].text.contains(QStringLiteral("already running")));
    EXPECT_FALSE(state.retrievalRunning());

    screen.periodNext(QString(), QString());
    screen.answerNext(Answer::Ok); // the Hint
    test::control<QAction>(&w, "mnuRetInv")->trigger();
    EXPECT_FALSE(screen.boxText(RetrievalBox::Inv).isEmpty());
    EXPECT_TRUE(screen.entryEnabled(MenuEntry::ItemAging));
}

// One window of each browser: choosing the entry again brings the open one forward, read
// afresh, instead of opening another.
TEST_F(MainMenuTest, DisplayEntriesBringTheOpenBrowserForwardReadAfresh)
{
    ensureLocalDb(folder.path());
    MainMenu &w = loadWindow();
    const auto windowsNamed = [](const QString &name) {
        QList<QWidget *> found;
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (top->objectName() == name)
                found << top;
        }
        return found;
    };
    const auto countBox = [](QWidget *browser, const char *name) {
        return browser->findChild<QLineEdit *>(QLatin1String(name))->text();
    };
    w.enableEntry(MenuEntry::DispCust);
    w.enableEntry(MenuEntry::DispInv);
    test::control<QAction>(&w, "mnuDispCust")->trigger();
    test::control<QAction>(&w, "mnuDispInv")->trigger();
    ASSERT_EQ(windowsNamed(QStringLiteral("CustData")).size(), 1);
    ASSERT_EQ(windowsNamed(QStringLiteral("InvoiceData")).size(), 1);
    QWidget *customers = windowsNamed(QStringLiteral("CustData")).front();
    QWidget *invoices = windowsNamed(QStringLiteral("InvoiceData")).front();
    EXPECT_EQ(countBox(customers, "Text1"), QStringLiteral("0"));
    EXPECT_EQ(countBox(invoices, "Text2"), QStringLiteral("0"));

    {
        Database db = openLocalDb(folder.path());
        db.execute(QStringLiteral(
            "INSERT INTO Customers (ListID, Name) VALUES ('C1', 'Acme'), ('C2', 'Bolt Co');"
            "INSERT INTO Invoices (Customer, InvNo, Amt) VALUES ('Acme', '7', 2.5), "
            "('Acme', '7', 1)"));
    }
    test::control<QAction>(&w, "mnuDispCust")->trigger();
    test::control<QAction>(&w, "mnuDispInv")->trigger();
    EXPECT_EQ(windowsNamed(QStringLiteral("CustData")), QList<QWidget *>{customers});
    EXPECT_EQ(windowsNamed(QStringLiteral("InvoiceData")), QList<QWidget *>{invoices});
    EXPECT_EQ(countBox(customers, "Text1"), QStringLiteral("2"));
    EXPECT_EQ(countBox(invoices, "Text2"), QStringLiteral("2"));
    for (QWidget *opened : {customers, invoices}) {
        EXPECT_TRUE(opened->isVisible());
        opened->close(); // they delete themselves
    }
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(windowsNamed(QStringLiteral("CustData")).isEmpty());
    EXPECT_TRUE(windowsNamed(QStringLiteral("InvoiceData")).isEmpty());
    EXPECT_TRUE(screen.messages().empty());
}

TEST_F(MainMenuTest, ItemAnalyzerEntryAsksForKindsAndOpensTheAnalyzer)
{
    ensureLocalDb(folder.path());
    {
        Database db = openLocalDb(folder.path());
        db.execute(QStringLiteral("INSERT INTO Items (Name, ListID, Type, IsActive) VALUES "
                                  "('Hinge', 'I1', 'ItemInventoryRet', 1)"));
    }
    MainMenu &w = loadWindow();
    w.enableEntry(MenuEntry::ItemAging);
    screen.excludedKindsNext({});
    test::control<QAction>(&w, "mnuItemAging")->trigger();
    ASSERT_TRUE(state.itemAging());
    EXPECT_EQ(state.itemAging()->count(), 1);
    QWidget *analyzer = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (top->objectName() == QStringLiteral("ItemAging"))
            analyzer = top;
    }
    ASSERT_NE(analyzer, nullptr);
    EXPECT_TRUE(analyzer->isVisible());
    analyzer->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(state.itemAging()); // closing the analyzer releases its result
}
