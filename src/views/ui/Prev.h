#pragma once

#include "views/FieldPrintJob.h"

#include <QDialog>
#include <QPixmap>

class QFrame;
class QLineEdit;
class QPushButton;

namespace corvina {

// The preview's page: shows the last page drawn until the next one replaces it.
class PrevCanvas : public QWidget {
    Q_OBJECT
public:
    explicit PrevCanvas(QWidget *parent = nullptr);
    void setPage(const QPixmap &page);
    const QPixmap &page() const noexcept { return m_page; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_page;
};

// The full-screen preview of the customer field printing: one page at a time, the page bar
// ("|<", "<", the page box, ">", ">|"), "&Print" and "&Cancel". It draws nothing itself: each
// button answers through answered(), and the printing dialog shows the page that follows.
// Modal while shown; Escape cancels. ">|" leaves "<" and "|<" disabled for the rest of the
// preview.
class Prev : public QDialog {
    Q_OBJECT
public:
    explicit Prev(QWidget *parent = nullptr);

    // Moves the window to the top left corner and sizes it to the whole screen.
    void placeOnScreen();
    // An empty page the size of the canvas, for the next page to be drawn on.
    QPixmap blankPage() const;
    // Shows a drawn page and its number in the page box (which answers nothing).
    void showPage(const QPixmap &page, int pageNumber);
    int pageNumber() const noexcept { return m_page; }
    // The page shown now.
    const QPixmap &shownPage() const { return m_canvas->page(); }

    void reject() override;

signals:
    void answered(const corvina::PreviewAnswer &answer);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void createControls();
    void connectControls();
    void layOut();
    QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption, bool bold);
    void answer(PreviewAnswer::Kind kind, int page = 0);
    void typedPage();

    int m_page = 0;
    PrevCanvas *m_canvas = nullptr;
    QFrame *m_pageBar = nullptr;
    QPushButton *m_firstButton = nullptr;
    QPushButton *m_previousButton = nullptr;
    QLineEdit *m_pageBox = nullptr;
    QPushButton *m_nextButton = nullptr;
    QPushButton *m_lastButton = nullptr;
    QPushButton *m_printButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};

} // namespace corvina
