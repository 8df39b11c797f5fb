#include "analysis/ui/ItemTypes.h"

#include "reporting/ui/Twips.h"

#include <QFont>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace corvina {

namespace {

const QString kExplanation =
    QStringLiteral("One or more of your item types may not be meaningful in the ") +
    QStringLiteral(
        "Item Analyzer report. For example, if one of your item types is included on most ") +
    QStringLiteral(
        "invoices regardless of the products sold (e.g. shipping costs), then customer ") +
    QStringLiteral(
        "statistics on that item type such as number of purchases, total amount purchased ") +
    QStringLiteral(
        "(quantity and dollars) and the period over which purchases were made would not ") +
    QStringLiteral("be relevant.") + QStringLiteral("\r\n\r\n") +
    QStringLiteral("Select the item type(s), if any, to be excluded ") +
    QStringLiteral("from your Item Analyzer report.");

} // namespace

ItemTypes::ItemTypes(const QStringList &kinds, const QStringList &selected, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ItemTypes"));
    setWindowTitle(QStringLiteral("Exclude Item Types"));
    // The controls are placed for an 8-point font; a larger one would clip the explanation.
    QFont small = font();
    small.setPointSizeF(8);
    setFont(small);
    createControls();
    layOut();
    fill(kinds, selected);
}

void ItemTypes::createControls()
{
    m_explanation = new QLabel(kExplanation, this);
    m_explanation->setObjectName(QStringLiteral("Label1"));
    m_explanation->setWordWrap(true);
    m_explanation->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_kindList = new QListWidget(this);
    m_kindList->setObjectName(QStringLiteral("List1"));
    m_kindList->setSelectionMode(QAbstractItemView::MultiSelection);
    m_okButton = new QPushButton(QStringLiteral("&OK"), this);
    m_okButton->setObjectName(QStringLiteral("Command1"));
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
}

void ItemTypes::layOut()
{
    setFixedSize(twipsToPixelsX(this, 6330), twipsToPixelsY(this, 3735));
    // A little higher and down to just above the list, so no line of the explanation is clipped.
    m_explanation->setGeometry(twipsRect(this, 120, 60, 6135, 1720));
    m_kindList->setGeometry(twipsRect(this, 2078, 1800, 2175, 1035));
    m_okButton->setGeometry(twipsRect(this, 2558, 3000, 1215, 495));
}

void ItemTypes::fill(const QStringList &kinds, const QStringList &selected)
{
    for (const QString &kind : kinds) {
        auto *entry = new QListWidgetItem(kind, m_kindList);
        entry->setSelected(selected.contains(kind));
    }
}

QStringList ItemTypes::selectedKinds() const
{
    QStringList kinds;
    for (int row = 0; row < m_kindList->count(); ++row) {
        if (m_kindList->item(row)->isSelected())
            kinds.append(m_kindList->item(row)->text());
    }
    return kinds;
}

} // namespace corvina
