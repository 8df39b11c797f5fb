#include "analysis/ui/ExportCrit.h"

#include "reporting/ui/Twips.h"
#include "state/ProgramState.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>

namespace corvina {

ExportCrit::ExportCrit(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ExportCrit"));
    setWindowTitle(QStringLiteral("Export Criteria"));
    createControls();
    layOut();
    setTabOrder(m_withSales, m_withoutSales);
    setTabOrder(m_withoutSales, m_allItems);
    setTabOrder(m_allItems, m_okButton);
    m_withSales->setFocus();
}

void ExportCrit::createControls()
{
    m_rowsFrame = new QGroupBox(this);
    m_rowsFrame->setObjectName(QStringLiteral("Frame1"));
    auto option = [this](const QString &name, const QString &caption) {
        auto *button = new QRadioButton(caption, m_rowsFrame);
        button->setObjectName(name);
        return button;
    };
    m_withSales = option(QStringLiteral("Option1"), QStringLiteral("Export only items with sales"));
    m_withoutSales =
        option(QStringLiteral("Option2"), QStringLiteral("Export only items with no sales"));
    m_allItems = option(QStringLiteral("Option3"), QStringLiteral("Export all items"));
    m_okButton = new QPushButton(QStringLiteral("&OK"), this);
    m_okButton->setObjectName(QStringLiteral("Command1"));
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
}

void ExportCrit::layOut()
{
    setFixedSize(twipsToPixelsX(this, 4680), twipsToPixelsY(this, 3090));
    m_rowsFrame->setGeometry(twipsRect(this, 840, 120, 2895, 1695));
    m_withSales->setGeometry(twipsRect(this, 240, 240, 2415, 375));
    m_withoutSales->setGeometry(twipsRect(this, 240, 720, 2535, 375));
    m_allItems->setGeometry(twipsRect(this, 240, 1200, 2535, 375));
    m_okButton->setGeometry(twipsRect(this, 1560, 2160, 1575, 615));
    // In a font wider than the designed one the captions need more room: the options and
    // the frame widen, and the dialog with them, keeping the frame and button centred.
    int needed = 0;
    for (QRadioButton *button : {m_withSales, m_withoutSales, m_allItems})
        needed = std::max(needed, button->sizeHint().width());
    const int extra = needed - m_withoutSales->width();
    if (extra <= 0)
        return;
    for (QRadioButton *button : {m_withSales, m_withoutSales, m_allItems})
        button->resize(needed, button->height());
    m_rowsFrame->resize(m_rowsFrame->width() + extra, m_rowsFrame->height());
    const int dialogWidth = std::max(width(), m_rowsFrame->width() + 2 * m_rowsFrame->x());
    setFixedSize(dialogWidth, height());
    m_rowsFrame->move((dialogWidth - m_rowsFrame->width()) / 2, m_rowsFrame->y());
    m_okButton->move((dialogWidth - m_okButton->width()) / 2, m_okButton->y());
}

ExportCriterion ExportCrit::criterion() const
{
    if (m_withSales->isChecked())
        return ExportCriterion::WithSales;
    if (m_withoutSales->isChecked())
        return ExportCriterion::WithoutSales;
    return ExportCriterion::AllItems;
}

void exportItemAging(ProgramState &state, const ItemFilter &filter, QWidget *parent,
                     const QString &folder)
{
    ExportCrit dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const ExportCriterion criterion = dialog.criterion();
    dialog.hide();
    const QString target = folder.isEmpty()
                               ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                               : folder;
    exportItemAgingTo(state, filter, criterion, target);
}

} // namespace corvina
