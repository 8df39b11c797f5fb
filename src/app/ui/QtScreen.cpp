#include "app/ui/QtScreen.h"

#include "analysis/ui/ItemTypes.h"
#include "app/ui/MainMenu.h"
#include "app/ui/Status.h"
#include "retrieval/ui/Dates.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace corvina {

QtScreen::QtScreen() = default;

QtScreen::~QtScreen()
{
    setBusyPointer(false);
}

Answer QtScreen::message(const QString &text, const QString &title, Buttons buttons)
{
    QMessageBox box(QMessageBox::NoIcon, title, QString(), QMessageBox::NoButton, m_main);
    box.setTextFormat(Qt::PlainText);
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setText(shown);
    switch (buttons) {
    case Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case Buttons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    // A box that may be answered while the busy pointer is up still needs the arrow.
    const bool wasBusy = m_busy;
    setBusyPointer(false);
    const int result = box.exec();
    setBusyPointer(wasBusy);
    switch (result) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Ok: return Answer::Ok;
    default: return buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
    }
}

void QtScreen::showStatus()
{
    m_status = std::make_unique<Status>();
    m_status->show();
}

int QtScreen::statusBarDesignWidth() const
{
    return m_status ? m_status->barDesignWidth() : 0;
}

void QtScreen::setStatusText(const QString &text)
{
    if (m_status)
        m_status->setMessage(text);
}

void QtScreen::setStatusBar(int width, bool visible)
{
    if (m_status)
        m_status->setBar(width, visible);
}

void QtScreen::playStatusAnimation(const QString &clipPath)
{
    if (m_status)
        m_status->playClip(clipPath);
}

void QtScreen::stopStatusAnimation()
{
    if (m_status)
        m_status->stopClip();
}

void QtScreen::closeStatus()
{
    m_status.reset();
}

void QtScreen::setBusyPointer(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

void QtScreen::yield()
{
    QCoreApplication::processEvents();
}

QString QtScreen::boxText(RetrievalBox box) const
{
    return m_main ? m_main->boxText(box) : QString();
}

void QtScreen::setBoxText(RetrievalBox box, const QString &text)
{
    if (m_main)
        m_main->setBoxText(box, text);
}

void QtScreen::enableEntry(MenuEntry entry)
{
    if (m_main)
        m_main->enableEntry(entry);
}

QDateTime QtScreen::now() const
{
    return QDateTime::currentDateTime();
}

std::optional<RetrievalPeriod> QtScreen::askRetrievalPeriod()
{
    Dates dialog(now().date(), m_main);
    const bool wasBusy = m_busy;
    setBusyPointer(false);
    const int result = dialog.exec();
    setBusyPointer(wasBusy);
    if (result != QDialog::Accepted)
        return std::nullopt;
    return RetrievalPeriod{dialog.fromText(), dialog.toText()};
}

std::optional<QStringList> QtScreen::askExcludedItemKinds(const QStringList &kinds,
                                                          const QStringList &selected)
{
    ItemTypes dialog(kinds, selected, m_main);
    const bool wasBusy = m_busy;
    setBusyPointer(false);
    const int result = dialog.exec();
    setBusyPointer(wasBusy);
    if (result != QDialog::Accepted)
        return std::nullopt;
    return dialog.selectedKinds();
}

void QtScreen::showMainWindow()
{
    if (!m_main)
        return;
    m_main->show();
    m_main->raise();
    m_main->activateWindow();
}

} // namespace corvina
