#include "views/ui/CustData.h"

#include "base/Error.h"
#include "localdb/LocalDb.h"
#include "state/ProgramState.h"
#include "base/Screen.h"
#include "views/CustomerGridModel.h"
#include "views/ui/CustFlds.h"
#include "views/ui/CustTwips.h"

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
    DataGrid1 = new QTableView(this);
    DataGrid1->setObjectName(QStringLiteral("DataGrid1"));
    DataGrid1->setModel(m_model);
    DataGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DataGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DataGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DataGrid1->verticalHeader()->setDefaultSectionSize(DataGrid1->fontMetrics().height() + 6);
    DataGrid1->setColumnWidth(0, 2 * DataGrid1->horizontalHeader()->defaultSectionSize());

    Label1 = new QLabel(QStringLiteral("Count"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    Label2 = new QLabel(QStringLiteral("Go To"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Text2 = new QLineEdit(this);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setToolTip(QStringLiteral("Enter the first letter of a customer to quickly go there"));
    createFilterControls();
    Command1 = new QPushButton(QStringLiteral("&Clear Filter"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setEnabled(false);
    Command2 = new QPushButton(QStringLiteral("&Print"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
}

void CustData::createFilterControls()
{
    Frame1 = new QGroupBox(QStringLiteral("Filter By"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    // The frame is one control high: a border drawn below its title would cut through the
    // combos, so only the title shows, left of them.
    Frame1->setStyleSheet(QStringLiteral(
        "QGroupBox#Frame1 { border: none; margin-top: 0; padding: 0; }"
        "QGroupBox#Frame1::title { subcontrol-origin: padding; left: 0; top: 9px; }"));
    const auto makeCombo = [this](const char *name, CustomerBrowser::Combo combo) {
        auto *box = new QComboBox(Frame1);
        box->setObjectName(QLatin1String(name));
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setEditText(CustomerBrowser::initialText(combo));
        return box;
    };
    DataCombo1 = makeCombo("DataCombo1", CustomerBrowser::Combo::State);
    DataCombo2 = makeCombo("DataCombo2", CustomerBrowser::Combo::Type);
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
    DataGrid1->setGeometry(twipsRect(this, 120, 240, 11175, 4815).adjusted(0, 0, dx, dy));
    place(Label1, 120, 5280, 615, 255);
    place(Text1, 720, 5280, 855, 285);
    place(Label2, 1920, 5280, 495, 255);
    place(Text2, 2520, 5280, 855, 285);
    place(Frame1, 3600, 5160, 4095, 495);
    DataCombo1->setGeometry(twipsRect(this, 960, 120, 1455, 315));
    DataCombo2->setGeometry(twipsRect(this, 2520, 120, 1455, 315));
    place(Command1, 7920, 5160, 1215, 495);
    place(Command2, 9600, 5160, 1215, 495);
}

void CustData::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeControls();
}

void CustData::connectControls()
{
    connect(DataCombo1, &QComboBox::editTextChanged, this,
            [this] { filterChanged(CustomerBrowser::Combo::State); });
    connect(DataCombo2, &QComboBox::editTextChanged, this,
            [this] { filterChanged(CustomerBrowser::Combo::Type); });
    connect(Text2, &QLineEdit::textChanged, this, &CustData::goToTyped);
    connect(Command1, &QPushButton::clicked, this, &CustData::reload);
    connect(Command2, &QPushButton::clicked, this, &CustData::print);
    connect(DataGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
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
    const QSignalBlocker stateBlocker(DataCombo1);
    const QSignalBlocker typeBlocker(DataCombo2);
    DataCombo1->addItems(m_browser->stateList());
    DataCombo2->addItems(m_browser->typeList());
    // No entry is chosen; the combos read their initial texts.
    DataCombo1->setCurrentIndex(-1);
    DataCombo2->setCurrentIndex(-1);
    DataCombo1->setEditText(CustomerBrowser::initialText(CustomerBrowser::Combo::State));
    DataCombo2->setEditText(CustomerBrowser::initialText(CustomerBrowser::Combo::Type));
}

void CustData::unload()
{
    qDeleteAll(findChildren<CustFlds *>(Qt::FindDirectChildrenOnly));
    m_quiet = true;
    m_model->setBrowser(nullptr);
    m_quiet = false;
    m_browser.reset();
    const QSignalBlocker stateBlocker(DataCombo1);
    const QSignalBlocker typeBlocker(DataCombo2);
    const QSignalBlocker goToBlocker(Text2);
    DataCombo1->clear();
    DataCombo2->clear();
    DataCombo1->setEditText(CustomerBrowser::initialText(CustomerBrowser::Combo::State));
    DataCombo2->setEditText(CustomerBrowser::initialText(CustomerBrowser::Combo::Type));
    Text1->clear();
    Text2->clear();
    Command1->setEnabled(false);
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
    const QString text = (state ? DataCombo1 : DataCombo2)->currentText();
    const QString otherText = (state ? DataCombo2 : DataCombo1)->currentText();
    m_quiet = true;
    m_model->comboChanged(changed, text, otherText);
    m_quiet = false;
    showCount();
    showCurrentRow();
    Command1->setEnabled(true);
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
    Text2->clear();
}

void CustData::print()
{
    auto *dialog = new CustFlds(m_state.screen(), *this, this);
    dialog->show();
}

void CustData::showCount()
{
    Text1->setText(QString::number(m_browser ? m_browser->rowCount() : 0));
}

void CustData::showCurrentRow()
{
    QItemSelectionModel *selection = DataGrid1->selectionModel();
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
        DataGrid1->scrollTo(index);
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
