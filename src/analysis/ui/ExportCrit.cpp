#include "analysis/ui/ExportCrit.h"

#include "state/ProgramState.h"
#include "views/ui/CustTwips.h"

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
    setTabOrder(Option1, Option2);
    setTabOrder(Option2, Option3);
    setTabOrder(Option3, Command1);
    Option1->setFocus();
}

void ExportCrit::createControls()
{
    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto option = [this](const QString &name, const QString &caption) {
        auto *button = new QRadioButton(caption, Frame1);
        button->setObjectName(name);
        return button;
    };
    Option1 = option(QStringLiteral("Option1"), QStringLiteral("Export only items with sales"));
    Option2 = option(QStringLiteral("Option2"), QStringLiteral("Export only items with no sales"));
    Option3 = option(QStringLiteral("Option3"), QStringLiteral("Export all items"));
    Command1 = new QPushButton(QStringLiteral("&OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);
}

void ExportCrit::layOut()
{
    setFixedSize(twipsToPixelsX(this, 4680), twipsToPixelsY(this, 3090));
    Frame1->setGeometry(twipsRect(this, 840, 120, 2895, 1695));
    Option1->setGeometry(twipsRect(this, 240, 240, 2415, 375));
    Option2->setGeometry(twipsRect(this, 240, 720, 2535, 375));
    Option3->setGeometry(twipsRect(this, 240, 1200, 2535, 375));
    Command1->setGeometry(twipsRect(this, 1560, 2160, 1575, 615));
    // In a font wider than the designed one the captions need more room: the options and
    // the frame widen, and the dialog with them, keeping the frame and button centred.
    int needed = 0;
    for (QRadioButton *button : {Option1, Option2, Option3})
        needed = std::max(needed, button->sizeHint().width());
    const int extra = needed - Option2->width();
    if (extra <= 0)
        return;
    for (QRadioButton *button : {Option1, Option2, Option3})
        button->resize(needed, button->height());
    Frame1->resize(Frame1->width() + extra, Frame1->height());
    const int dialogWidth = std::max(width(), Frame1->width() + 2 * Frame1->x());
    setFixedSize(dialogWidth, height());
    Frame1->move((dialogWidth - Frame1->width()) / 2, Frame1->y());
    Command1->move((dialogWidth - Command1->width()) / 2, Command1->y());
}

ExportCriterion ExportCrit::criterion() const
{
    if (Option1->isChecked())
        return ExportCriterion::WithSales;
    if (Option2->isChecked())
        return ExportCriterion::WithoutSales;
    return ExportCriterion::AllItems;
}

void exportItemAnalyzer(ProgramState &state, const ItemFilter &filter, QWidget *parent,
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
    exportItemAnalyzerTo(state, filter, criterion, target);
}

} // namespace corvina
