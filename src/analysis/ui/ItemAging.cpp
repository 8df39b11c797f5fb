#include "analysis/ui/ItemAging.h"

#include "analysis/ItemAging.h"
#include "analysis/ItemAgingGrid.h"
#include "analysis/ItemAgingReport.h"
#include "analysis/ui/Custs.h"
#include "analysis/ui/ExportCrit.h"
#include "analysis/ui/Reps.h"
#include "base/Error.h"
#include "reporting/ui/ReportPreview.h"
#include "state/ProgramState.h"
#include "views/ui/CustTwips.h"

#include <QFont>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QTableView>

namespace corvina {

ItemAging::ItemAging(ProgramState &state, QWidget *parent)
    : QWidget(parent, Qt::Window), m_state(state)
{
    setObjectName(QStringLiteral("ItemAging"));
    setWindowTitle(QStringLiteral("Item Analyzer"));
    setAttribute(Qt::WA_DeleteOnClose);
    // The controls are placed for an 8-point font; a larger one would clip the captions.
    QFont small = font();
    small.setPointSizeF(8);
    setFont(small);
    createControls();
    placeControls();
    load();
    connectHandlers();
}

ItemAging::~ItemAging()
{
    // The result lives as long as its window.
    m_state.itemAging().reset();
}

void ItemAging::createControls()
{
    const auto named = [](QWidget *w, const char16_t *name) {
        w->setObjectName(QString::fromUtf16(name));
        return w;
    };
    Label4 = new QLabel(this);
    named(Label4, u"Label4");
    MSHFlexGrid1 = new QTableView(this);
    named(MSHFlexGrid1, u"MSHFlexGrid1");
    MSHFlexGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MSHFlexGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    MSHFlexGrid1->verticalHeader()->hide();
    Frame1 = new QGroupBox(QStringLiteral("Show Customers Not Buying:"), this);
    named(Frame1, u"Frame1");
    Option1 = new QRadioButton(QStringLiteral("Selected Item"), Frame1);
    named(Option1, u"Option1");
    Option2 = new QRadioButton(QStringLiteral("All Items"), Frame1);
    named(Option2, u"Option2");
    Frame2 = new QGroupBox(QStringLiteral("Show Reps Not Selling:"), this);
    named(Frame2, u"Frame2");
    Option3 = new QRadioButton(QStringLiteral("Selected Item"), Frame2);
    named(Option3, u"Option3");
    Option4 = new QRadioButton(QStringLiteral("All Items"), Frame2);
    named(Option4, u"Option4");
    Command2 = new QPushButton(QStringLiteral("&Print"), this);
    named(Command2, u"Command2");
    Command1 = new QPushButton(QStringLiteral("&Export"), this);
    named(Command1, u"Command1");
    Command1->setToolTip(QStringLiteral("Export to Excel"));
    Label1 = new QLabel(
        QStringLiteral("You can filter this report by entering the first few letters of the item "
                       "name or description"),
        this);
    named(Label1, u"Label1");
    Label1->setWordWrap(true);
    QFont hint = Label1->font();
    hint.setPointSizeF(7);
    Label1->setFont(hint);
    Label2 = new QLabel(QStringLiteral("Name"), this);
    named(Label2, u"Label2");
    Text1 = new QLineEdit(this);
    named(Text1, u"Text1");
    Label3 = new QLabel(QStringLiteral("Desc"), this);
    named(Label3, u"Label3");
    Text2 = new QLineEdit(this);
    named(Text2, u"Text2");
}

void ItemAging::placeControls()
{
    resize(twipsToPixelsX(this, 11580), twipsToPixelsY(this, 5865));
    Label4->setGeometry(twipsRect(this, 240, 120, 4455, 255));
    MSHFlexGrid1->setGeometry(twipsRect(this, 120, 480, 11295, 4335));
    Frame1->setGeometry(twipsRect(this, 120, 4920, 2775, 735));
    // The option buttons take the free width of their frame so that no caption is clipped.
    Option1->setGeometry(twipsRect(this, 120, 240, 1420, 375));
    Option2->setGeometry(twipsRect(this, 1560, 240, 1175, 375));
    Frame2->setGeometry(twipsRect(this, 3000, 4920, 2655, 735));
    Option3->setGeometry(twipsRect(this, 120, 240, 1420, 375));
    Option4->setGeometry(twipsRect(this, 1560, 240, 1055, 375));
    Command2->setGeometry(twipsRect(this, 5760, 5040, 975, 495));
    Command1->setGeometry(twipsRect(this, 6840, 5040, 975, 495));
    Label1->setGeometry(twipsRect(this, 7920, 4920, 1695, 855));
    Label2->setGeometry(twipsRect(this, 9720, 5040, 855, 255));
    Text1->setGeometry(twipsRect(this, 9720, 5280, 855, 285));
    Label3->setGeometry(twipsRect(this, 10680, 5040, 735, 255));
    Text2->setGeometry(twipsRect(this, 10680, 5280, 735, 285));
    // Distance from the bottom edge to the top of the frames, kept by every resize.
    m_bottomDistance = height() - Frame1->y();
}

void ItemAging::load()
{
    if (m_state.itemAging())
        Label4->setText(periodAnalyzedText(*m_state.itemAging()));
    m_model = new ItemAgingGridModel(m_state.itemAging(), this);
    MSHFlexGrid1->setModel(m_model);
    MSHFlexGrid1->setWordWrap(false);
    MSHFlexGrid1->setColumnWidth(ItemAgingGridModel::Fixed, twipsToPixelsX(this, 240));
    MSHFlexGrid1->setColumnHidden(ItemAgingGridModel::ItemListID, true);
    MSHFlexGrid1->verticalHeader()->setDefaultSectionSize(MSHFlexGrid1->fontMetrics().height() + 4);
}

void ItemAging::connectHandlers()
{
    connect(Text1, &QLineEdit::textChanged, this,
            [this](const QString &t) { filterOn(QStringLiteral("Name"), t); });
    connect(Text2, &QLineEdit::textChanged, this,
            [this](const QString &t) { filterOn(QStringLiteral("Desc"), t); });
    // Every click counts, also on an option already set: it shows the list again for the
    // item of the current row (the user may have closed it or moved to another item).
    connect(Option1, &QRadioButton::clicked, this, [this](bool on) {
        if (!on)
            return;
        makeColumnOneCurrent();
        showCusts(m_state, false, currentItem());
    });
    connect(Option2, &QRadioButton::clicked, this, [this](bool on) {
        if (!on)
            return;
        makeColumnOneCurrent();
        showCusts(m_state, true, currentItem());
    });
    connect(Option3, &QRadioButton::clicked, this, [this](bool on) {
        if (!on)
            return;
        makeColumnOneCurrent();
        showReps(m_state, false, currentItem());
    });
    // "All Items" of the reps leaves the current column where it is.
    connect(Option4, &QRadioButton::clicked, this, [this](bool on) {
        if (on)
            showReps(m_state, true, currentItem());
    });
    connect(Command1, &QPushButton::clicked, this,
            [this] { exportItemAnalyzer(m_state, m_model->filter(), this); });
    connect(Command2, &QPushButton::clicked, this, &ItemAging::print);
}

void ItemAging::filterOn(const QString &field, const QString &text)
{
    // One filter at a time: typing in one box replaces the other's; an empty box shows all.
    m_model->setFilter(ItemFilter{field, text});
}

void ItemAging::makeColumnOneCurrent()
{
    const QModelIndex current = MSHFlexGrid1->currentIndex();
    const int row = current.isValid() ? current.row() : 0;
    if (m_model->rowCount() > 0)
        MSHFlexGrid1->setCurrentIndex(m_model->index(row, ItemAgingGridModel::Name));
}

ChosenItem ItemAging::currentItem() const
{
    const QModelIndex current = MSHFlexGrid1->currentIndex();
    if (!current.isValid())
        return {};
    return {m_model->itemNameAt(current.row()), m_model->itemListIdAt(current.row())};
}

void ItemAging::print()
{
    reporting::showReport(m_model->shownItems(), dataReport1Layout(), this);
}

void ItemAging::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_bottomDistance == 0)
        return;
    // The bottom row keeps its distance from the bottom edge; the grid takes the rest,
    // never less than nothing.
    const int frameTop = std::max(MSHFlexGrid1->y(), height() - m_bottomDistance);
    const int lift = twipsToPixelsY(this, 50);
    Frame1->move(Frame1->x(), frameTop);
    Frame2->move(Frame2->x(), frameTop);
    for (QWidget *w : {static_cast<QWidget *>(Command2), static_cast<QWidget *>(Command1),
                       static_cast<QWidget *>(Label1), static_cast<QWidget *>(Label2),
                       static_cast<QWidget *>(Label3)})
        w->move(w->x(), frameTop + lift);
    Text1->move(Text1->x(), Label2->y() + Label2->height());
    Text2->move(Text2->x(), Label3->y() + Label3->height());
    MSHFlexGrid1->resize(MSHFlexGrid1->width(), frameTop - MSHFlexGrid1->y());
}

void runItemAnalyzer(ProgramState &state, QWidget *parent)
{
    (void)parent;
    GetItemAging(state, [&state] { (new ItemAging(state))->show(); });
}

} // namespace corvina
