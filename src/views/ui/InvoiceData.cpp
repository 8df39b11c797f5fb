#include "views/ui/InvoiceData.h"

#include "base/Error.h"
#include "base/Screen.h"
#include "localdb/LocalDb.h"
#include "reporting/ui/Twips.h"
#include "state/ProgramState.h"
#include "views/InvoiceFormat.h"
#include "views/InvoiceTotals.h"

#include <QApplication>
#include <QButtonGroup>
#include <QEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableView>

#include <QScopedValueRollback>

#include <algorithm>
#include <exception>

namespace corvina {

namespace {

constexpr QSize kClientTwips(11235, 4710);

const std::array<QString, kInvoiceSortCount> kOptionCaptions = {
    QStringLiteral("Customer"), QStringLiteral("InvNo"), QStringLiteral("InvDate"),
    QStringLiteral("Class"),    QStringLiteral("Rep"),   QStringLiteral("ShipDate")};
constexpr std::array<int, kInvoiceSortCount> kOptionLefts = {120, 1200, 2040, 3000, 3720, 4440};
constexpr int kOptionTop = 240;
constexpr QSize kOptionTwips(975, 255);

// Column widths in twips, in the grid's column order.
constexpr std::array<int, kInvoiceColumnCount> kColumnTwips = {
    2400, 1000, 1300, 1100, 1000, 1300, 1200, 1300, 1000, 2000,
    1100, 1100, 1200, 1100, 2400, 1800, 1400, 1200, 1000, 900};

// Sets Busy for as long as it lives.
class BusyPointer {
public:
    explicit BusyPointer(Screen &screen) : m_screen(screen) { m_screen.setBusyPointer(true); }
    ~BusyPointer() { m_screen.setBusyPointer(false); }
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;

private:
    Screen &m_screen;
};

} // namespace

// A control's place in pixels in the smallest window, and how it follows the window's edges
// when that is larger.
struct InvoiceData::Placement {
    QWidget *widget;
    QRect rect;
    bool followsRight;
    bool followsBottom;
    bool stretches;
};

InvoiceData::InvoiceData(ProgramState &state, QWidget *parent)
    : QWidget(parent, Qt::Window), m_state(state)
{
    setObjectName(QStringLiteral("InvoiceData"));
    setWindowTitle(QStringLiteral("Invoice Data"));
    setAttribute(Qt::WA_DeleteOnClose);
    createControls();
    placeControls();
    connectControls();
    load();
}

InvoiceData::~InvoiceData() = default;

void InvoiceData::createControls()
{
    m_list = new InvoiceList(this);

    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("DataGrid1"));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setTabKeyNavigation(false);
    m_grid->setWordWrap(false);
    m_grid->horizontalHeader()->setHighlightSections(false);
    // A row selector without numbers; rows keep one height, which large lists need.
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_grid->verticalHeader()->setFixedWidth(fontMetrics().height());

    m_sortFrame = new QGroupBox(QStringLiteral("Sort By"), this);
    m_sortFrame->setObjectName(QStringLiteral("Frame1"));
    createSortOptions();

    const auto makeLabel = [this](const char *name, const QString &caption, Qt::Alignment align) {
        auto *label = new QLabel(caption, this);
        label->setObjectName(QLatin1String(name));
        label->setAlignment(align | Qt::AlignVCenter);
        return label;
    };
    const auto makeBox = [this](const char *name) {
        auto *box = new QLineEdit(this);
        box->setObjectName(QLatin1String(name));
        box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        box->setReadOnly(true);
        return box;
    };
    m_invoiceLabel = makeLabel("Label1", QStringLiteral("Current Invoice"), Qt::AlignLeft);
    m_totalLabel = makeLabel("Label2", QStringLiteral("Total"), Qt::AlignRight);
    m_totalBox = makeBox("Text1");
    m_linesLabel = makeLabel("Label3", QStringLiteral("Items"), Qt::AlignRight);
    m_linesBox = makeBox("Text2");
}

void InvoiceData::createSortOptions()
{
    m_sortGroup = new QButtonGroup(this);
    for (int i = 0; i < kInvoiceSortCount; ++i) {
        auto *option = new QRadioButton(kOptionCaptions[static_cast<std::size_t>(i)], m_sortFrame);
        option->setObjectName(QStringLiteral("Option1"));
        option->setProperty("Index", i);
        m_sortGroup->addButton(option, i);
        m_sortOptions[static_cast<std::size_t>(i)] = option;
    }
}

// Each option at its design place, or right after the previous one where the screen's font
// needs more room; an option never reaches under the next, so a click lands on one option.
// Returns the width the frame needs around them.
int InvoiceData::placeSortOptions()
{
    int right = 0;
    for (std::size_t i = 0; i < m_sortOptions.size(); ++i) {
        const int designLeft = twipsToPixelsX(this, kOptionLefts[i]);
        const int nextLeft = i + 1 < m_sortOptions.size()
                                 ? twipsToPixelsX(this, kOptionLefts[i + 1])
                                 : designLeft + twipsToPixelsX(this, kOptionTwips.width());
        const int left = std::max(designLeft, right);
        const int width =
            std::max(std::min(twipsToPixelsX(this, kOptionTwips.width()), nextLeft - designLeft),
                     m_sortOptions[i]->sizeHint().width());
        const int height = std::max(twipsToPixelsY(this, kOptionTwips.height()),
                                    m_sortOptions[i]->sizeHint().height());
        m_sortOptions[i]->setGeometry(left, twipsToPixelsY(this, kOptionTop), width, height);
        right = left + width;
    }
    return right + twipsToPixelsX(this, kOptionLefts[0]);
}

// The design layout, widened where the screen's font needs more room than the design gave:
// the options move right, "Current Invoice" grows to the left, the boxes take their text's
// height, and the window widens by what the bottom row then needs. It is also the smallest
// size; in a larger window the grid takes the extra room, and the controls below follow.
void InvoiceData::placeControls()
{
    QRect frame = twipsRect(this, 120, 3960, 5535, 615);
    frame.setWidth(std::max(frame.width(), placeSortOptions()));
    QRect text1 = twipsRect(this, 8760, 4200, 1095, 285);
    QRect text2 = twipsRect(this, 10080, 4200, 855, 285);
    text1.setHeight(std::max(text1.height(), m_totalBox->sizeHint().height()));
    text2.setHeight(text1.height());
    QRect label1 = twipsRect(this, 7560, 4200, 1095, 255);
    label1.setLeft(
        std::min(label1.left(), label1.right() + 1 - m_invoiceLabel->sizeHint().width()));
    label1.setHeight(text1.height());

    const int crowding = std::max(0, frame.right() + twipsToPixelsX(this, 240) - label1.left());
    const auto right = [crowding](QRect rect) { return rect.translated(crowding, 0); };
    QRect grid = twipsRect(this, 120, 120, 10935, 3735);
    grid.setWidth(grid.width() + crowding);
    m_placements = {
        {m_grid, grid, false, false, true},
        {m_sortFrame, frame, false, true, false},
        {m_invoiceLabel, right(label1), true, true, false},
        {m_totalLabel, right(twipsRect(this, 9120, 3960, 735, 255)), true, true, false},
        {m_totalBox, right(text1), true, true, false},
        {m_linesLabel, right(twipsRect(this, 10080, 3960, 735, 255)), true, true, false},
        {m_linesBox, right(text2), true, true, false},
    };
    m_smallest = QSize(twipsToPixelsX(this, kClientTwips.width()) + crowding,
                       twipsToPixelsY(this, kClientTwips.height()));
    setMinimumSize(m_smallest);
    resize(m_smallest);
}

void InvoiceData::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const QSize extra = (size() - m_smallest).expandedTo(QSize(0, 0));
    for (const Placement &place : m_placements) {
        QRect rect = place.rect;
        if (place.stretches)
            rect.setSize(rect.size() + extra);
        rect.translate(place.followsRight ? extra.width() : 0,
                       place.followsBottom ? extra.height() : 0);
        place.widget->setGeometry(rect);
    }
}

void InvoiceData::connectControls()
{
    connect(m_sortGroup, &QButtonGroup::idToggled, this, &InvoiceData::optionToggled);
    connect(
        m_list, &InvoiceList::refreshFailed, this,
        [this](const QString &description, qint32 number) { reportError(description, number); });
}

void InvoiceData::load()
{
    int step = OpenList;
    try {
        BusyPointer busy(m_state.screen());
        m_list->open(localDbPath(m_state.appFolder()));
        bindGrid();
        step = SortByCustomer;
        {
            const QSignalBlocker quiet(m_sortGroup);
            m_sortOptions[0]->setChecked(true);
        }
        m_list->sortBy(InvoiceSort::Customer);
        step = FormatColumns;
        formatColumns();
        step = TakeTotals;
        m_totals = std::make_unique<InvoiceTotals>(m_list->connection());
        step = ShowTotals;
        showFirstLine();
    } catch (const std::exception &failure) {
        const auto *error = dynamic_cast<const Error *>(&failure);
        const QString description =
            error ? error->description() : QString::fromLocal8Bit(failure.what());
        const QString breakTwice(2, QLatin1Char('\r'));
        m_state.screen().message(QStringLiteral("Error while loading InvoiceData form on line ") +
                                     QString::number(step) + breakTwice + description + breakTwice +
                                     QStringLiteral("Current Path: ") + m_state.appFolder(),
                                 kAppTitle, Buttons::Ok);
    }
}

void InvoiceData::reload()
{
    // The totals read through the list's connection, which opening the list again replaces.
    m_totals.reset();
    load();
}

void InvoiceData::bindGrid()
{
    if (m_grid->model() == m_list)
        return;
    m_grid->setModel(m_list);
    // After the view's own handling of a reset, which clears its current cell.
    connect(m_list, &InvoiceList::modelReset, this, [this] {
        try {
            showFirstLine();
        } catch (const Error &error) {
            reportError(error);
        }
    });
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (!current.isValid() || m_settingCurrent)
                    return;
                try {
                    showTotalsOf(current.row());
                } catch (const Error &error) {
                    reportError(error);
                }
            });
}

void InvoiceData::formatColumns()
{
    for (int column = 0; column < kInvoiceColumnCount; ++column)
        m_grid->setColumnWidth(
            column, twipsToPixelsX(this, kColumnTwips[static_cast<std::size_t>(column)]));
    m_grid->setColumnHidden(static_cast<int>(InvoiceColumn::ItemRefID), true);
}

// Throws Error.
void InvoiceData::showTotalsOf(int row)
{
    if (!m_totals)
        return;
    const InvoiceTotal total = m_totals->of(m_list->invoiceAt(row));
    m_totalBox->setText(currencyText(total.amount));
    m_linesBox->setText(QString::number(total.lines));
}

// After the list was read (anew): the first line is current, and its invoice's totals show
// (0.00 and 0 when there is no line). Throws Error.
void InvoiceData::showFirstLine()
{
    if (m_list->rowCount() > 0) {
        const QScopedValueRollback quiet(m_settingCurrent, true);
        m_grid->setCurrentIndex(m_list->index(0, 0));
    }
    showTotalsOf(0);
}

void InvoiceData::optionToggled(int index, bool checked)
{
    if (!checked || !m_list->isOpen())
        return;
    try {
        BusyPointer busy(m_state.screen());
        m_list->sortBy(static_cast<InvoiceSort>(index));
        m_grid->scrollTo(m_grid->currentIndex());
    } catch (const Error &error) {
        // The grid keeps the order it shows; so does the option.
        const QSignalBlocker quiet(m_sortGroup);
        m_sortOptions[static_cast<std::size_t>(m_list->sort())]->setChecked(true);
        reportError(error);
    }
}

void InvoiceData::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isActiveWindow())
        return;
    try {
        m_list->refreshIfChanged();
    } catch (const Error &error) {
        reportError(error);
    }
}

void InvoiceData::reportError(const Error &error)
{
    reportError(error.description(), error.number());
}

void InvoiceData::reportError(const QString &description, qint32 number)
{
    m_state.showError(QStringLiteral("InvoiceData"), description, number, 0);
}

InvoiceData *showInvoiceData(ProgramState &state)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *open = qobject_cast<InvoiceData *>(widget)) {
            open->reload();
            open->setWindowState(open->windowState() & ~Qt::WindowMinimized);
            open->show();
            open->raise();
            open->activateWindow();
            return open;
        }
    }
    auto *window = new InvoiceData(state);
    window->show();
    return window;
}

} // namespace corvina
