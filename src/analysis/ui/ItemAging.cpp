#include "analysis/ui/ItemAging.h"

#include "analysis/ItemAging.h"
#include "analysis/ItemAgingGrid.h"
#include "analysis/ItemAgingReport.h"
#include "analysis/ItemMonthlySales.h"
#include "analysis/ui/Custs.h"
#include "analysis/ui/ExportCrit.h"
#include "analysis/ui/ItemSalesChart.h"
#include "analysis/ui/Reps.h"
#include "base/Error.h"
#include "localdb/Database.h"
#include "reporting/ui/ReportPreview.h"
#include "reporting/ui/Twips.h"
#include "state/ProgramState.h"

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

namespace {
// The chart's width beside the grid, in twips.
constexpr int kChartWidth = 3600;
} // namespace

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
    m_periodLabel = new QLabel(this);
    named(m_periodLabel, u"Label4");
    m_grid = new QTableView(this);
    named(m_grid, u"MSHFlexGrid1");
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->verticalHeader()->hide();
    m_customersFrame = new QGroupBox(QStringLiteral("Show Customers Not Buying:"), this);
    named(m_customersFrame, u"Frame1");
    m_customersForItem = new QRadioButton(QStringLiteral("Selected Item"), m_customersFrame);
    named(m_customersForItem, u"Option1");
    m_customersForAll = new QRadioButton(QStringLiteral("All Items"), m_customersFrame);
    named(m_customersForAll, u"Option2");
    m_repsFrame = new QGroupBox(QStringLiteral("Show Reps Not Selling:"), this);
    named(m_repsFrame, u"Frame2");
    m_repsForItem = new QRadioButton(QStringLiteral("Selected Item"), m_repsFrame);
    named(m_repsForItem, u"Option3");
    m_repsForAll = new QRadioButton(QStringLiteral("All Items"), m_repsFrame);
    named(m_repsForAll, u"Option4");
    m_printButton = new QPushButton(QStringLiteral("&Print"), this);
    named(m_printButton, u"Command2");
    m_exportButton = new QPushButton(QStringLiteral("&Export"), this);
    named(m_exportButton, u"Command1");
    m_exportButton->setToolTip(QStringLiteral("Export to Excel"));
    m_filterHint = new QLabel(
        QStringLiteral("You can filter this report by entering the first few letters of the item "
                       "name or description"),
        this);
    named(m_filterHint, u"Label1");
    m_filterHint->setWordWrap(true);
    QFont hint = m_filterHint->font();
    hint.setPointSizeF(7);
    m_filterHint->setFont(hint);
    m_nameLabel = new QLabel(QStringLiteral("Name"), this);
    named(m_nameLabel, u"Label2");
    m_nameFilter = new QLineEdit(this);
    named(m_nameFilter, u"Text1");
    m_descriptionLabel = new QLabel(QStringLiteral("Desc"), this);
    named(m_descriptionLabel, u"Label3");
    m_descriptionFilter = new QLineEdit(this);
    named(m_descriptionFilter, u"Text2");
    m_salesChart = new ItemSalesChart(this);
}

void ItemAging::placeControls()
{
    // The designed window, widened on the right for the chart of the item's monthly sales.
    resize(twipsToPixelsX(this, 11580 + kChartWidth + 120), twipsToPixelsY(this, 5865));
    m_periodLabel->setGeometry(twipsRect(this, 240, 120, 4455, 255));
    m_grid->setGeometry(twipsRect(this, 120, 480, 11295, 4335));
    m_customersFrame->setGeometry(twipsRect(this, 120, 4920, 2775, 735));
    m_salesChart->setGeometry(twipsRect(this, 11535, 480, kChartWidth, 4335));
    // The option buttons take the free width of their frame so that no caption is clipped.
    m_customersForItem->setGeometry(twipsRect(this, 120, 240, 1420, 375));
    m_customersForAll->setGeometry(twipsRect(this, 1560, 240, 1175, 375));
    m_repsFrame->setGeometry(twipsRect(this, 3000, 4920, 2655, 735));
    m_repsForItem->setGeometry(twipsRect(this, 120, 240, 1420, 375));
    m_repsForAll->setGeometry(twipsRect(this, 1560, 240, 1055, 375));
    m_printButton->setGeometry(twipsRect(this, 5760, 5040, 975, 495));
    m_exportButton->setGeometry(twipsRect(this, 6840, 5040, 975, 495));
    m_filterHint->setGeometry(twipsRect(this, 7920, 4920, 1695, 855));
    m_nameLabel->setGeometry(twipsRect(this, 9720, 5040, 855, 255));
    m_nameFilter->setGeometry(twipsRect(this, 9720, 5280, 855, 285));
    m_descriptionLabel->setGeometry(twipsRect(this, 10680, 5040, 735, 255));
    m_descriptionFilter->setGeometry(twipsRect(this, 10680, 5280, 735, 285));
    // Distance from the bottom edge to the top of the frames, kept by every resize.
    m_bottomDistance = height() - m_customersFrame->y();
}

void ItemAging::load()
{
    if (m_state.itemAging())
        m_periodLabel->setText(periodAnalyzedText(*m_state.itemAging()));
    m_model = new ItemAgingGridModel(m_state.itemAging(), this);
    m_grid->setModel(m_model);
    m_grid->setWordWrap(false);
    m_grid->setColumnWidth(ItemAgingGridModel::Fixed, twipsToPixelsX(this, 240));
    m_grid->setColumnHidden(ItemAgingGridModel::ItemListID, true);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 4);
}

void ItemAging::connectHandlers()
{
    connect(m_nameFilter, &QLineEdit::textChanged, this,
            [this](const QString &t) { filterOn(QStringLiteral("Name"), t); });
    connect(m_descriptionFilter, &QLineEdit::textChanged, this,
            [this](const QString &t) { filterOn(QStringLiteral("Desc"), t); });
    // Every click counts, also on an option already set: it shows the list again for the
    // item of the current row (the user may have closed it or moved to another item).
    connect(m_customersForItem, &QRadioButton::clicked, this, [this](bool on) {
        if (!on)
            return;
        makeColumnOneCurrent();
        showCusts(m_state, false, currentItem());
    });
    connect(m_customersForAll, &QRadioButton::clicked, this, [this](bool on) {
        if (!on)
            return;
        makeColumnOneCurrent();
        showCusts(m_state, true, currentItem());
    });
    connect(m_repsForItem, &QRadioButton::clicked, this, [this](bool on) {
        if (!on)
            return;
        makeColumnOneCurrent();
        showReps(m_state, false, currentItem());
    });
    // "All Items" of the reps leaves the current column where it is.
    connect(m_repsForAll, &QRadioButton::clicked, this, [this](bool on) {
        if (on)
            showReps(m_state, true, currentItem());
    });
    connect(m_exportButton, &QPushButton::clicked, this,
            [this] { exportItemAging(m_state, m_model->filter(), this); });
    connect(m_printButton, &QPushButton::clicked, this, &ItemAging::print);
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &ItemAging::showItemSales);
}

void ItemAging::showItemSales()
{
    const ChosenItem item = currentItem();
    if (item.name.isEmpty() && item.listId.isEmpty()) {
        m_salesChart->showSales({}, QStringLiteral("Select an item to see its sales by month"));
        return;
    }
    const auto [first, last] = analysedPeriod(*m_state.itemAging());
    try {
        Database db =
            Database::open(m_state.appFile(QStringLiteral("QBData.mdb")), Database::Mode::ReadOnly);
        m_salesChart->showSales(itemMonthlySales(db, item, first, last));
    } catch (const Error &e) {
        m_salesChart->showSales({},
                                QStringLiteral("The sales could not be read: ") + e.description());
    }
}

void ItemAging::filterOn(const QString &field, const QString &text)
{
    // One filter at a time: typing in one box replaces the other's; an empty box shows all.
    m_model->setFilter(ItemFilter{field, text});
}

void ItemAging::makeColumnOneCurrent()
{
    const QModelIndex current = m_grid->currentIndex();
    const int row = current.isValid() ? current.row() : 0;
    if (m_model->rowCount() > 0)
        m_grid->setCurrentIndex(m_model->index(row, ItemAgingGridModel::Name));
}

ChosenItem ItemAging::currentItem() const
{
    const QModelIndex current = m_grid->currentIndex();
    if (!current.isValid())
        return {};
    return {m_model->itemNameAt(current.row()), m_model->itemListIdAt(current.row())};
}

void ItemAging::print()
{
    reporting::showReport(m_model->shownItems(), itemAgingReportLayout(), this);
}

void ItemAging::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_bottomDistance == 0)
        return;
    // The bottom row keeps its distance from the bottom edge; the grid takes the rest,
    // never less than nothing.
    const int frameTop = std::max(m_grid->y(), height() - m_bottomDistance);
    const int lift = twipsToPixelsY(this, 50);
    m_customersFrame->move(m_customersFrame->x(), frameTop);
    m_repsFrame->move(m_repsFrame->x(), frameTop);
    for (QWidget *w :
         {static_cast<QWidget *>(m_printButton), static_cast<QWidget *>(m_exportButton),
          static_cast<QWidget *>(m_filterHint), static_cast<QWidget *>(m_nameLabel),
          static_cast<QWidget *>(m_descriptionLabel)})
        w->move(w->x(), frameTop + lift);
    m_nameFilter->move(m_nameFilter->x(), m_nameLabel->y() + m_nameLabel->height());
    m_descriptionFilter->move(m_descriptionFilter->x(),
                              m_descriptionLabel->y() + m_descriptionLabel->height());
    m_grid->resize(m_grid->width(), frameTop - m_grid->y());
    m_salesChart->resize(m_salesChart->width(), m_grid->height());
}

void runItemAging(ProgramState &state, QWidget *parent)
{
    (void)parent;
    GetItemAging(state, [&state] { (new ItemAging(state))->show(); });
}

} // namespace corvina
