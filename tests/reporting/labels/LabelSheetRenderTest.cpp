#include "reporting/labels/ui/LabelDocument.h"
#include "views/ui/MailingLabels.h"

#include "reporting/ui/ReportDocument.h"
#include "reporting/ui/ReportPreview.h"
#include "state/ProgramState.h"
#include "support/PdfText.h"
#include "support/ScriptedScreen.h"
#include "support/TempAppFolder.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

using namespace corvina;
using namespace Qt::StringLiterals;

namespace {

// Customers "Name 01".."Name n", listed in the reverse of their zip order, every fifth one
// without a street.
MailingList customers(int n)
{
    MailingList list{u"Test labels"_s, {}, true};
    for (int i = n; i >= 1; --i) {
        const QString number = u"%1"_s.arg(i, 2, 10, QChar(u'0'));
        list.entries.push_back(MailingAddress{u"Name "_s + number,
                                              {i % 5 == 0 ? QString() : u"%1 Elm St"_s.arg(i)},
                                              u"Omaha"_s,
                                              u"NE"_s,
                                              u"681"_s + number});
    }
    return list;
}

QStringList pagesOf(const QString &pdf)
{
    QStringList pages = test::pdfText(pdf).split(u'\f');
    while (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// The usable names in zip order: every number not a multiple of five.
QStringList usableNames(int n)
{
    QStringList names;
    for (int i = 1; i <= n; ++i) {
        if (i % 5 != 0)
            names << u"Name %1"_s.arg(i, 2, 10, QChar(u'0'));
    }
    return names;
}

void expectPages(const QStringList &pages, const QStringList &names, int perSheet)
{
    for (int i = 0; i < names.size(); ++i) {
        const int page = i / perSheet;
        ASSERT_LT(page, pages.size());
        EXPECT_TRUE(pages[page].contains(names[i]))
            << names[i].toStdString() << " on page " << page + 1;
        for (int other = 0; other < pages.size(); ++other) {
            if (other != page) {
                EXPECT_FALSE(pages[other].contains(names[i])) << names[i].toStdString();
            }
        }
    }
}

class LabelSheetRender : public ::testing::TestWithParam<int> {};

TEST_P(LabelSheetRender, RightNamesOnTheRightPage)
{
    const LabelSheet sheet = MailingLabels::sheets()[size_t(GetParam())];
    const int n = 45; // 36 usable: two sheets of either kind
    auto rows = std::make_shared<const LabelRows>(labelRows(customers(n)));
    EXPECT_EQ(rows->unusable, 9);
    LabelDocument document(rows, sheet, u"Labels"_s);
    EXPECT_EQ(document.pages().pageCount(), 2);

    test::TempAppFolder folder;
    const QString pdf = folder.file(u"labels.pdf"_s);
    QString error;
    ASSERT_TRUE(reporting::exportPdf(document, pdf, &error)) << error.toStdString();
    const QStringList pages = pagesOf(pdf);
    ASSERT_EQ(pages.size(), 2);
    expectPages(pages, usableNames(n), sheet.perSheet());
    EXPECT_TRUE(pages[0].contains(u"1 Elm St"_s));
    EXPECT_TRUE(pages[0].contains(u"Omaha, NE 68101"_s));
}

INSTANTIATE_TEST_SUITE_P(BothSheets, LabelSheetRender, ::testing::Values(0, 1));

TEST(LabelDocument, TooLongTextIsShrunkOrCutAndCounted)
{
    MailingList list{
        u"t"_s,
        {MailingAddress{u"Short"_s, {u"1 A St"_s}, u"Omaha"_s, u"NE"_s, u"68101"_s},
         MailingAddress{u"A Rather Long Company Name Incorporated"_s,
                        {u"2 B St"_s},
                        u"Omaha"_s,
                        u"NE"_s,
                        u"68102"_s},
         MailingAddress{
             QString(30, u'W') + u" Tail"_s, {u"3 C St"_s}, u"Omaha"_s, u"NE"_s, u"68103"_s}},
        true};
    LabelDocument document(std::make_shared<const LabelRows>(labelRows(list)), usLetter30(),
                           u"t"_s);
    EXPECT_TRUE(document.fitMore(100));
    EXPECT_EQ(document.fitted(0).pointSize, usLetter30().pointSize);
    EXPECT_LT(document.fitted(1).pointSize, usLetter30().pointSize);
    EXPECT_FALSE(document.fitted(1).cut);
    EXPECT_TRUE(document.fitted(2).cut);
    EXPECT_EQ(document.cutCount(), 1);

    test::TempAppFolder folder;
    const QString pdf = folder.file(u"cut.pdf"_s);
    ASSERT_TRUE(reporting::exportPdf(document, pdf));
    const QString text = test::pdfText(pdf);
    EXPECT_TRUE(text.contains(u"A Rather Long Company Name Incorporated"_s));
    EXPECT_TRUE(text.contains(u"WWW\u2026"_s));
    EXPECT_FALSE(text.contains(u"Tail"_s));
}

TEST(MailingLabelsWindow, SaysWhatWasLeftOutAndSwitchesSheets)
{
    test::TempAppFolder folder;
    test::ScriptedScreen screen;
    ProgramState state(folder.path(), screen);
    QPointer<MailingLabels> window = showMailingLabels(state, customers(45));
    auto *summary = window->findChild<QLabel *>(u"summaryLabel"_s);
    ASSERT_NE(summary, nullptr);
    EXPECT_TRUE(summary->text().startsWith(u"36 labels; 9 left out without a usable mailing "
                                           u"address"_s))
        << summary->text().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->document().allFitted(); }));
    EXPECT_TRUE(summary->text().contains(u"0 shortened"_s)) << summary->text().toStdString();

    window->chooseSheet(1);
    EXPECT_EQ(window->document().sheet().perSheet(), 21);
    EXPECT_EQ(window->findChild<QComboBox *>(u"sheetBox"_s)->currentIndex(), 1);
    auto *count = window->preview()->findChild<QLabel *>(u"pageCountLabel"_s);
    EXPECT_EQ(count->text(), u"of 2"_s);
    const QString pdf = folder.file(u"saved.pdf"_s);
    EXPECT_TRUE(window->savePdf(pdf));
    EXPECT_EQ(pagesOf(pdf).size(), 2);
    delete window.data();
}

} // namespace
