#include "analysis/ui/Custs.h"

#include "analysis/CustsNotBuying.h"
#include "analysis/RecordsetGridModel.h"
#include "analysis/ui/ItemAging.h"
#include "analysis/ui/SingleWindow.h"
#include "base/Error.h"
#include "base/Screen.h"
#include "reporting/ui/Twips.h"
#include "state/ProgramState.h"
#include "views/ui/CustFlds.h"
#include "views/ui/MailingLabels.h"

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
    m_caption->setText(m_list->labelCaption());
    m_itemBox->setText(m_list->item());
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
    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("Label1"));
    m_caption->setWordWrap(true);
    m_itemBox = new QLineEdit(this);
    m_itemBox->setObjectName(QStringLiteral("Item"));
    // The saved rows are stamped with this text: it shows the item, it is not for editing.
    m_itemBox->setReadOnly(true);
    m_model = new RecordsetGridModel(
        {QStringLiteral("Name"), QStringLiteral("BillState"), QStringLiteral("CustType")},
        [](const QVariant &value) { return QVariant(customerValueText(value)); }, this);
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("DataGrid1"));
    m_grid->setModel(m_model);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 6);
    m_mailMergeBox =
        new QCheckBox(QStringLiteral("Add these customers to the database for Mail Merge"), this);
    m_mailMergeBox->setObjectName(QStringLiteral("Check1"));
    m_printButton = new QPushButton(QStringLiteral("&Print"), this);
    m_printButton->setObjectName(QStringLiteral("Command1"));
    m_exportButton = new QPushButton(QStringLiteral("&Export"), this);
    m_exportButton->setObjectName(QStringLiteral("Command2"));

    connect(m_mailMergeBox, &QCheckBox::clicked, this, &Custs::checkClicked);
    connect(m_printButton, &QPushButton::clicked, this, &Custs::print);
    connect(m_exportButton, &QPushButton::clicked, this, &Custs::exportList);

    m_labelsButton = new QPushButton(QStringLiteral("Mailing &Labels"), this);
    m_labelsButton->setObjectName(QStringLiteral("labelsButton"));
    connect(m_labelsButton, &QPushButton::clicked, this, &Custs::printLabels);
}

void Custs::layOut(bool allItems)
{
    setFixedSize(twipsToPixelsX(this, 7095), twipsToPixelsY(this, 3675));
    m_caption->setGeometry(twipsRect(this, 120, 120, allItems ? 3015 * 3 / 2 : 3015, 375));
    m_itemBox->setGeometry(twipsRect(this, 3240, 120, 1335, 285));
    m_itemBox->setVisible(!allItems);
    m_grid->setGeometry(twipsRect(this, 120, 600, 6855, 2415));
    m_mailMergeBox->setGeometry(twipsRect(this, 120, 3240, 4095, 255));
    m_printButton->setGeometry(twipsRect(this, 4440, 3120, 1215, 495));
    m_exportButton->setGeometry(twipsRect(this, 5760, 3120, 1215, 495));
    // Beside the item box, in the free corner above the grid.
    m_labelsButton->setGeometry(twipsRect(this, 5760, 90, 1215, 420));
    // In a font wider than the designed one the check box's caption needs more room: the
    // buttons move right and the window and grid widen by as much.
    if (m_mailMergeBox->sizeHint().width() > m_mailMergeBox->width())
        m_mailMergeBox->resize(m_mailMergeBox->sizeHint().width(), m_mailMergeBox->height());
    const int extra = m_mailMergeBox->width() -
                      (m_printButton->x() - twipsToPixelsX(this, 105) - m_mailMergeBox->x());
    if (extra > 0) {
        m_printButton->move(m_printButton->x() + extra, m_printButton->y());
        m_exportButton->move(m_exportButton->x() + extra, m_exportButton->y());
        m_labelsButton->move(m_labelsButton->x() + extra, m_labelsButton->y());
        m_grid->resize(m_grid->width() + extra, m_grid->height());
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
    m_grid->resizeColumnsToContents();
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
        const QSignalBlocker blocker(m_mailMergeBox);
        m_mailMergeBox->setChecked(false);
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

void Custs::printLabels()
{
    showMailingLabels(m_state, mailingListFromCustomers(m_list->list(), m_list->title()), this);
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
    return showSingleWindow<Custs>(
        [&](Custs &open) {
            return open.customers().allItems() == allItems &&
                   (allItems || open.customers().chosenItem() == item);
        },
        [&] { return new Custs(state, allItems, item, parent); });
}

void Custs::reportError(const QString &description, std::int32_t number)
{
    m_state.showError(QStringLiteral("Custs"), description, number, 0);
}

} // namespace corvina
