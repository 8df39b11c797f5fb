#include "views/ui/CustData.h"

#include "base/Error.h"
#include "base/Screen.h"
#include "localdb/LocalDb.h"
#include "reporting/ui/Twips.h"
#include "state/ProgramState.h"
#include "views/CustomerGridModel.h"
#include "views/ui/CustFlds.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

namespace corvina {

namespace {

// The window's client area in twips; the grid takes any extra room.
constexpr int kWidth = 11415;
constexpr int kHeight = 5790;

const QChar kCr = QChar(u'\r');

} // namespace

CustData::CustData(ProgramState &state, QWidget *parent)
    : QWidget(parent, Qt::Window), m_state(state)
{
    setObjectName(QStringLiteral("CustData"));
    setWindowTitle(QStringLiteral("Customer Data"));
    setAttribute(Qt::WA_DeleteOnClose);
    createControls();
    resize(twipsToPixelsX(this, kWidth), twipsToPixelsY(this, kHeight));
    placeControls();
    connectControls();
    load();
}

CustData::~CustData()
{
    // Dialogs printing this window's list go before the list does.
    qDeleteAll(findChildren<CustFlds *>(Qt::FindDirectChildrenOnly));
    m_model->setBrowser(nullptr);
}

void CustData::createControls()
{
    m_model = new CustomerGridModel(this);
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("DataGrid1"));
    m_grid->setModel(m_model);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 6);
    m_grid->setColumnWidth(0, 2 * m_grid->horizontalHeader()->defaultSectionSize());

    m_countLabel = new QLabel(QStringLiteral("Count"), this);
    m_countLabel->setObjectName(QStringLiteral("Label1"));
    m_countBox = new QLineEdit(this);
    m_countBox->setObjectName(QStringLiteral("Text1"));
    m_countBox->setReadOnly(true);
    m_goToLabel = new QLabel(QStringLiteral("Go To"), this);
    m_goToLabel->setObjectName(QStringLiteral("Label2"));
    m_goToBox = new QLineEdit(this);
    m_goToBox->setObjectName(QStringLiteral("Text2"));
    m_goToBox->setToolTip(
        QStringLiteral("Enter the first letter of a customer to quickly go there"));
    createFilterControls();
    m_clearFilterButton = new QPushButton(QStringLiteral("&Clear Filter"), this);
    m_clearFilterButton->setObjectName(QStringLiteral("Command1"));
    m_clearFilterButton->setEnabled(false);
    m_printButton = new QPushButton(QStringLiteral("&Print"), this);
    m_printButton->setObjectName(QStringLiteral("Command2"));
}

void CustData::createFilterControls()
{
    m_filterFrame = new QGroupBox(QStringLiteral("Filter By"), this);
    m_filterFrame->setObjectName(QStringLiteral("Frame1"));
    // The frame is one control high: a border drawn below its title would cut through the
    // combos, so only the title shows, left of them.
    m_filterFrame->setStyleSheet(QStringLiteral(
        "QGroupBox#Frame1 { border: none; margin-top: 0; padding: 0; }"
        "QGroupBox#Frame1::title { subcontrol-origin: padding; left: 0; top: 9px; }"));
    const auto makeCombo = [this](const char *name, CustomerBrowser::Combo combo) {
        auto *box = new QComboBox(m_filterFrame);
        box->setObjectName(QLatin1String(name));
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setEditText(CustomerBrowser::initialText(combo));
        return box;
    };
    m_stateCombo = makeCombo("DataCombo1", CustomerBrowser::Combo::State);
    m_typeCombo = makeCombo("DataCombo2", CustomerBrowser::Combo::Type);
}

// Design positions in twips; extra room beyond the design size goes to the grid, and the
// controls under it keep their distance from the bottom edge.
void CustData::placeControls()
{
    const int dx = width() - twipsToPixelsX(this, kWidth);
    const int dy = height() - twipsToPixelsY(this, kHeight);
    const auto place = [&](QWidget *widget, int left, int top, int w, int h) {
        widget->setGeometry(twipsRect(this, left, top, w, h).translated(0, dy));
    };
    m_grid->setGeometry(twipsRect(this, 120, 240, 11175, 4815).adjusted(0, 0, dx, dy));
    place(m_countLabel, 120, 5280, 615, 255);
    place(m_countBox, 720, 5280, 855, 285);
    place(m_goToLabel, 1920, 5280, 495, 255);
    place(m_goToBox, 2520, 5280, 855, 285);
    place(m_filterFrame, 3600, 5160, 4095, 495);
    m_stateCombo->setGeometry(twipsRect(this, 960, 120, 1455, 315));
    m_typeCombo->setGeometry(twipsRect(this, 2520, 120, 1455, 315));
    place(m_clearFilterButton, 7920, 5160, 1215, 495);
    place(m_printButton, 9600, 5160, 1215, 495);
}

void CustData::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeControls();
}

void CustData::connectControls()
{
    connect(m_stateCombo, &QComboBox::editTextChanged, this,
            [this] { filterChanged(CustomerBrowser::Combo::State); });
    connect(m_typeCombo, &QComboBox::editTextChanged, this,
            [this] { filterChanged(CustomerBrowser::Combo::Type); });
    connect(m_goToBox, &QLineEdit::textChanged, this, &CustData::goToTyped);
    connect(m_clearFilterButton, &QPushButton::clicked, this, &CustData::reload);
    connect(m_printButton, &QPushButton::clicked, this, &CustData::print);
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                gridRowChanged(current.isValid() ? current.row() : -1);
            });
}

void CustData::load()
{
    int step = 0;
    try {
        loadSteps(step);
    } catch (const Error &error) {
        reportLoadError(step, error.description());
    } catch (const std::exception &error) {
        reportLoadError(step, QString::fromLocal8Bit(error.what()));
    }
}

void CustData::reportLoadError(int step, const QString &description)
{
    const QString twoLines = QString(2, kCr);
    m_state.screen().message(
        QStringLiteral("An unexpected error has occurred while loading form CustData on line ") +
            QString::number(step) + twoLines + description + twoLines +
            QStringLiteral("Current Path: ") + m_state.appFolder(),
        kAppTitle, Buttons::Ok);
}

void CustData::loadSteps(int &step)
{
    step = OpenConnection;
    Database db = openLocalDb(m_state.appFolder(), Database::Mode::ReadOnly);

    step = OpenCustomers;
    m_browser = std::make_unique<CustomerBrowser>(CustomerTable::load(std::move(db)));
    m_quiet = true;
    m_model->setBrowser(m_browser.get());
    m_quiet = false;
    showCurrentRow();

    step = ShowCount;
    showCount();

    step = OpenLists;
    const QSignalBlocker stateBlocker(m_stateCombo);
    const QSignalBlocker typeBlocker(m_typeCombo);
    m_stateCombo->addItems(m_browser->stateList());
    m_typeCombo->addItems(m_browser->typeList());
    // No entry is chosen; the combos read their initial texts.
    m_stateCombo->setCurrentIndex(-1);
    m_typeCombo->setCurrentIndex(-1);
    m_stateCombo->setEditText(CustomerBrowser::initialText(CustomerBrowser::Combo::State));
    m_typeCombo->setEditText(CustomerBrowser::initialText(CustomerBrowser::Combo::Type));
}

void CustData::unload()
{
    qDeleteAll(findChildren<CustFlds *>(Qt::FindDirectChildrenOnly));
    m_quiet = true;
    m_model->setBrowser(nullptr);
    m_quiet = false;
    m_browser.reset();
    const QSignalBlocker stateBlocker(m_stateCombo);
    const QSignalBlocker typeBlocker(m_typeCombo);
    const QSignalBlocker goToBlocker(m_goToBox);
    m_stateCombo->clear();
    m_typeCombo->clear();
    m_stateCombo->setEditText(CustomerBrowser::initialText(CustomerBrowser::Combo::State));
    m_typeCombo->setEditText(CustomerBrowser::initialText(CustomerBrowser::Combo::Type));
    m_countBox->clear();
    m_goToBox->clear();
    m_clearFilterButton->setEnabled(false);
}

void CustData::reload()
{
    unload();
    load();
}

void CustData::filterChanged(CustomerBrowser::Combo changed)
{
    if (!m_browser)
        return;
    const bool state = changed == CustomerBrowser::Combo::State;
    const QString text = (state ? m_stateCombo : m_typeCombo)->currentText();
    const QString otherText = (state ? m_typeCombo : m_stateCombo)->currentText();
    m_quiet = true;
    m_model->comboChanged(changed, text, otherText);
    m_quiet = false;
    showCount();
    showCurrentRow();
    m_clearFilterButton->setEnabled(true);
}

// Each character typed jumps to the first customer whose name begins with it; the box is
// then emptied for the next one.
void CustData::goToTyped(const QString &text)
{
    if (text.isEmpty())
        return;
    if (m_browser) {
        m_browser->goTo(text);
        showCurrentRow();
    }
    m_goToBox->clear();
}

void CustData::print()
{
    auto *dialog = new CustFlds(m_state.screen(), *this, this);
    dialog->show();
}

void CustData::showCount()
{
    m_countBox->setText(QString::number(m_browser ? m_browser->rowCount() : 0));
}

void CustData::showCurrentRow()
{
    QItemSelectionModel *selection = m_grid->selectionModel();
    const int row = m_browser ? m_browser->currentRow() : -1;
    m_quiet = true;
    if (row < 0) {
        selection->clearSelection();
        selection->clearCurrentIndex();
    } else {
        const int column = std::max(selection->currentIndex().column(), 0);
        const QModelIndex index = m_model->index(row, column);
        selection->setCurrentIndex(index,
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_grid->scrollTo(index);
    }
    m_quiet = false;
}

void CustData::gridRowChanged(int row)
{
    if (!m_quiet && m_browser)
        m_browser->setCurrentRow(row);
}

CustomerList &CustData::printList()
{
    if (m_browser)
        return *m_browser;
    return m_noList;
}

// The filters in force, which after the empty state entry may differ from what the combos read.
FieldPrintHeader CustData::printHeader() const
{
    FieldPrintHeader header;
    header.title = QStringLiteral("Customer Data");
    if (m_browser && m_browser->stateFilter())
        header.lines << QStringLiteral("State Filter: ") + *m_browser->stateFilter();
    if (m_browser && m_browser->typeFilter())
        header.lines << QStringLiteral("Type Filter: ") + *m_browser->typeFilter();
    return header;
}

CustData *showCustData(ProgramState &state)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *open = qobject_cast<CustData *>(widget);
        // A window hidden while its list prints is busy; the menu is hidden with it.
        if (!open || open->isHidden())
            continue;
        open->reload();
        open->setWindowState(open->windowState() & ~Qt::WindowMinimized);
        open->raise();
        open->activateWindow();
        return open;
    }
    auto *window = new CustData(state);
    window->show();
    return window;
}

} // namespace corvina
