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
    m_toBox->setText(typedDateText(m_today));
    setTabOrder(m_fromBox, m_toBox);
    setTabOrder(m_toBox, m_okButton);
    m_fromBox->setFocus();
}

void Dates::createControls()
{
    m_instructions = new QLabel(
        QStringLiteral("Select the beginning and ending date of invoices to be retrieved. "
                       "Leave both dates blank to retrieve all invoices."),
        this);
    m_instructions->setObjectName(QStringLiteral("Label1"));
    m_instructions->setWordWrap(true);
    m_fromLabel = new QLabel(QStringLiteral("From"), this);
    m_fromLabel->setObjectName(QStringLiteral("Label2"));
    m_fromBox = new QLineEdit(this);
    m_fromBox->setObjectName(QStringLiteral("Bdate"));
    m_toLabel = new QLabel(QStringLiteral("To"), this);
    m_toLabel->setObjectName(QStringLiteral("Label3"));
    m_toBox = new QLineEdit(this);
    m_toBox->setObjectName(QStringLiteral("Edate"));
    m_okButton = new QPushButton(QStringLiteral("&OK"), this);
    m_okButton->setObjectName(QStringLiteral("Command1"));
    // Enter in the boxes moves on; only on the button does it confirm.
    m_okButton->setDefault(false);
    m_okButton->setAutoDefault(true);

    m_fromLabel->setBuddy(m_fromBox);
    m_toLabel->setBuddy(m_toBox);
    m_fromBox->installEventFilter(this);
    m_toBox->installEventFilter(this);
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
}

void Dates::layOut()
{
    auto *boxes = new QGridLayout;
    boxes->addWidget(m_fromLabel, 0, 0);
    boxes->addWidget(m_fromBox, 0, 1);
    boxes->addWidget(m_toLabel, 1, 0);
    boxes->addWidget(m_toBox, 1, 1);
    boxes->setColumnStretch(1, 1);

    auto *page = new QVBoxLayout(this);
    page->addWidget(m_instructions);
    page->addLayout(boxes);
    page->addWidget(m_okButton, 0, Qt::AlignHCenter);
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
        if (box == m_toBox) {
            // After the box's own focus handling, which sets a selection of its own.
            QTimer::singleShot(0, m_toBox, [this] {
                const int start = m_toBox->selectionStart() >= 0 ? m_toBox->selectionStart()
                                                                 : m_toBox->cursorPosition();
                m_toBox->setSelection(start, 20);
            });
        }
        break;
    default: break;
    }
    return QDialog::eventFilter(watched, event);
}

QString Dates::fromText() const
{
    return m_fromBox->text();
}

QString Dates::toText() const
{
    return m_toBox->text();
}

} // namespace corvina
