#include "analysis/ui/Custs.h"

#include "analysis/CustsGridModel.h"
#include "analysis/CustsNotBuying.h"
#include "analysis/ui/ItemAging.h"
#include "base/Error.h"
#include "state/ProgramState.h"
#include "base/Screen.h"
#include "views/ui/CustFlds.h"
#include "views/ui/CustTwips.h"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QTableView>

namespace corvina {

Custs::Custs(ProgramState &state, bool allItems, const ChosenItem &item, QWidget *parent)
    : QWidget(parent, Qt::Window), m_state(state),
      m_list(std::make_unique<CustsNotBuying>(state, allItems, item)), m_printList(m_list->list())
{
    setObjectName(QStringLiteral("Custs"));
    setWindowTitle(QStringLiteral("Non-Buying Customer Data"));
    setAttribute(Qt::WA_DeleteOnClose);
    createControls();
    layOut(allItems);
    Label1->setText(m_list->labelCaption());
    Item->setText(m_list->item());
    load();
    move(0, 0);
}

Custs::~Custs()
{
    // The printing dialogs read this window's list.
    qDeleteAll(findChildren<CustFlds *>(Qt::FindDirectChildrenOnly));
    m_model->setList(nullptr);
}

void Custs::createControls()
{
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Item = new QLineEdit(this);
    Item->setObjectName(QStringLiteral("Item"));
    // The saved rows are stamped with this text: it shows the item, it is not for editing.
    Item->setReadOnly(true);
    m_model = new CustsGridModel(this);
    DataGrid1 = new QTableView(this);
    DataGrid1->setObjectName(QStringLiteral("DataGrid1"));
    DataGrid1->setModel(m_model);
    DataGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DataGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DataGrid1->verticalHeader()->setDefaultSectionSize(DataGrid1->fontMetrics().height() + 6);
    Check1 =
        new QCheckBox(QStringLiteral("Add these customers to the database for Mail Merge"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Command1 = new QPushButton(QStringLiteral("&Print"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2 = new QPushButton(QStringLiteral("&Export"), this);
    Command2->setObjectName(QStringLiteral("Command2"));

    connect(Check1, &QCheckBox::clicked, this, &Custs::checkClicked);
    connect(Command1, &QPushButton::clicked, this, &Custs::print);
    connect(Command2, &QPushButton::clicked, this, &Custs::exportList);
}

void Custs::layOut(bool allItems)
{
    setFixedSize(twipsToPixelsX(this, 7095), twipsToPixelsY(this, 3675));
    Label1->setGeometry(twipsRect(this, 120, 120, allItems ? 3015 * 3 / 2 : 3015, 375));
    Item->setGeometry(twipsRect(this, 3240, 120, 1335, 285));
    Item->setVisible(!allItems);
    DataGrid1->setGeometry(twipsRect(this, 120, 600, 6855, 2415));
    Check1->setGeometry(twipsRect(this, 120, 3240, 4095, 255));
    Command1->setGeometry(twipsRect(this, 4440, 3120, 1215, 495));
    Command2->setGeometry(twipsRect(this, 5760, 3120, 1215, 495));
    // In a font wider than the designed one the check box's caption needs more room: the
    // buttons move right and the window and grid widen by as much.
    if (Check1->sizeHint().width() > Check1->width())
        Check1->resize(Check1->sizeHint().width(), Check1->height());
    const int extra = Check1->width() - (Command1->x() - twipsToPixelsX(this, 105) - Check1->x());
    if (extra > 0) {
        Command1->move(Command1->x() + extra, Command1->y());
        Command2->move(Command2->x() + extra, Command2->y());
        DataGrid1->resize(DataGrid1->width() + extra, DataGrid1->height());
        setFixedSize(width() + extra, height());
    }
}

void Custs::load()
{
    m_state.screen().setBusyPointer(true);
    try {
        m_list->load();
    } catch (const Error &e) {
        reportError(e.description(), e.number());
    }
    m_model->setList(&m_list->list());
    DataGrid1->resizeColumnsToContents();
    m_state.screen().setBusyPointer(false);
}

void Custs::checkClicked(bool checked)
{
    if (!checked) {
        m_list->list().moveFirst();
        return;
    }
    bool saved = false;
    try {
        saved = m_list->saveForMailMerge();
    } catch (const Error &e) {
        // Said every time, not only as the program's first error: the user has to know
        // that the mail merge would read the earlier rows.
        m_state.screen().message(
            QStringLiteral("The customers could not be added to the NoBuyCustomers table; "
                           "it keeps its earlier rows.") +
                QChar(13) + e.description(),
            QStringLiteral("Customers Not Added"), Buttons::Ok);
    }
    if (!saved) {
        const QSignalBlocker blocker(Check1);
        Check1->setChecked(false);
        m_list->list().moveFirst();
    }
}

void Custs::print()
{
    auto *dialog = new CustFlds(m_state.screen(), *this, this);
    dialog->show();
}

void Custs::exportList()
{
    const QString folder = m_exportFolder.isEmpty()
                               ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                               : m_exportFolder;
    m_list->exportTo(folder);
}

QList<QWidget *> Custs::printWindows()
{
    QList<QWidget *> windows{this};
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (qobject_cast<ItemAging *>(window))
            windows << window;
    }
    return windows;
}

FieldPrintHeader Custs::printHeader() const
{
    FieldPrintHeader header;
    header.title = m_list->title();
    return header;
}

Custs *showCusts(ProgramState &state, bool allItems, const ChosenItem &item, QWidget *parent)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *open = qobject_cast<Custs *>(widget);
        if (!open || open->isHidden())
            continue;
        if (open->customers().allItems() == allItems &&
            (allItems || open->customers().chosenItem() == item)) {
            open->show();
            open->raise();
            open->activateWindow();
            return open;
        }
        open->close();
    }
    auto *window = new Custs(state, allItems, item, parent);
    window->show();
    return window;
}

void Custs::reportError(const QString &description, std::int32_t number)
{
    m_state.showError(QStringLiteral("Custs"), description, number, 0);
}

} // namespace corvina
