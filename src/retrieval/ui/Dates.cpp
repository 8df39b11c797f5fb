#include "retrieval/ui/Dates.h"

#include "retrieval/PeriodText.h"

#include <QDate>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace corvina {

Dates::Dates(QDate today, QWidget *parent) : QDialog(parent), m_today(today)
{
    setObjectName(QStringLiteral("Dates"));
    setWindowTitle(QStringLiteral("Period To Retrieve"));
    createControls();
    layOut();
    Edate->setText(typedDateText(m_today));
    setTabOrder(Bdate, Edate);
    setTabOrder(Edate, Command1);
    Bdate->setFocus();
}

void Dates::createControls()
{
    Label1 = new QLabel(
        QStringLiteral("Select the beginning and ending date of invoices to be retrieved. "
                       "Leave both dates blank to retrieve all invoices."),
        this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label2 = new QLabel(QStringLiteral("From"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Bdate = new QLineEdit(this);
    Bdate->setObjectName(QStringLiteral("Bdate"));
    Label3 = new QLabel(QStringLiteral("To"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Edate = new QLineEdit(this);
    Edate->setObjectName(QStringLiteral("Edate"));
    Command1 = new QPushButton(QStringLiteral("&OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    // Enter in the boxes moves on; only on the button does it confirm.
    Command1->setDefault(false);
    Command1->setAutoDefault(true);

    Label2->setBuddy(Bdate);
    Label3->setBuddy(Edate);
    Bdate->installEventFilter(this);
    Edate->installEventFilter(this);
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);
}

void Dates::layOut()
{
    auto *boxes = new QGridLayout;
    boxes->addWidget(Label2, 0, 0);
    boxes->addWidget(Bdate, 0, 1);
    boxes->addWidget(Label3, 1, 0);
    boxes->addWidget(Edate, 1, 1);
    boxes->setColumnStretch(1, 1);

    auto *page = new QVBoxLayout(this);
    page->addWidget(Label1);
    page->addLayout(boxes);
    page->addWidget(Command1, 0, Qt::AlignHCenter);
    setMinimumWidth(360);
}

void Dates::normalise(QLineEdit *box)
{
    if (const auto date = readTypedDate(box->text(), m_today))
        box->setText(typedDateText(*date));
}

bool Dates::eventFilter(QObject *watched, QEvent *event)
{
    auto *box = qobject_cast<QLineEdit *>(watched);
    if (!box)
        return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            focusNextChild();
            return true;
        }
        break;
    }
    case QEvent::FocusOut: normalise(box); break;
    case QEvent::FocusIn:
        if (box == Edate) {
            // After the box's own focus handling, which sets a selection of its own.
            QTimer::singleShot(0, Edate, [this] {
                const int start = Edate->selectionStart() >= 0 ? Edate->selectionStart()
                                                               : Edate->cursorPosition();
                Edate->setSelection(start, 20);
            });
        }
        break;
    default: break;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace corvina
