#include "views/ui/Prev.h"

#include "reporting/ui/Twips.h"

#include <QFrame>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

namespace corvina {

namespace {

// The page bar, in twips.
constexpr int kButtonWidth = 495;
constexpr int kBarHeight = 375;
constexpr int kPageBoxLeft = 960;
constexpr int kPageBoxWidth = 975;
constexpr int kFrameWidth = 2400 + kButtonWidth;
constexpr int kCommandWidth = 1215;

} // namespace

PrevCanvas::PrevCanvas(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Canvas"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PrevCanvas::setPage(const QPixmap &page)
{
    m_page = page;
    update();
}

void PrevCanvas::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.drawPixmap(0, 0, m_page);
}

Prev::Prev(QWidget *parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("Prev"));
    setModal(true);
    createControls();
    connectControls();
}

QPushButton *Prev::makeButton(QWidget *parent, const char *name, const QString &caption, bool bold)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    // Enter in the page box must not press a button.
    button->setAutoDefault(false);
    button->setDefault(false);
    if (bold) {
        QFont font = button->font();
        font.setBold(true);
        button->setFont(font);
    }
    return button;
}

void Prev::createControls()
{
    m_canvas = new PrevCanvas(this);
    m_pageBar = new QFrame(this);
    m_pageBar->setObjectName(QStringLiteral("Frame1"));
    m_firstButton = makeButton(m_pageBar, "Command6", QStringLiteral("|<"), true);
    m_previousButton = makeButton(m_pageBar, "Command5", QStringLiteral("<"), true);
    m_pageBox = new QLineEdit(m_pageBar);
    m_pageBox->setObjectName(QStringLiteral("Text1"));
    m_pageBox->setAlignment(Qt::AlignCenter);
    m_nextButton = makeButton(m_pageBar, "Command8", QStringLiteral(">"), true);
    m_lastButton = makeButton(m_pageBar, "Command7", QStringLiteral(">|"), true);
    m_printButton = makeButton(this, "Command1", QStringLiteral("&Print"), false);
    m_cancelButton = makeButton(this, "Command2", QStringLiteral("&Cancel"), false);
}

void Prev::connectControls()
{
    connect(m_firstButton, &QPushButton::clicked, this,
            [this] { answer(PreviewAnswer::Kind::First); });
    connect(m_previousButton, &QPushButton::clicked, this, [this] {
        if (m_page > 1)
            answer(PreviewAnswer::Kind::Page, m_page - 1);
    });
    connect(m_nextButton, &QPushButton::clicked, this,
            [this] { answer(PreviewAnswer::Kind::Next); });
    connect(m_lastButton, &QPushButton::clicked, this, [this] {
        m_previousButton->setEnabled(false);
        m_firstButton->setEnabled(false);
        answer(PreviewAnswer::Kind::Last);
    });
    connect(m_pageBox, &QLineEdit::returnPressed, this, &Prev::typedPage);
    connect(m_printButton, &QPushButton::clicked, this,
            [this] { answer(PreviewAnswer::Kind::Print); });
    connect(m_cancelButton, &QPushButton::clicked, this,
            [this] { answer(PreviewAnswer::Kind::Cancel); });
}

void Prev::answer(PreviewAnswer::Kind kind, int page)
{
    emit answered(PreviewAnswer{kind, page});
}

// A typed whole number goes to that page (brought within the pages by the printing); any
// other text is put back to the page shown.
void Prev::typedPage()
{
    bool ok = false;
    const int page = m_pageBox->text().trimmed().toInt(&ok);
    if (!ok) {
        m_pageBox->setText(QString::number(m_page));
        m_pageBox->selectAll();
        return;
    }
    answer(PreviewAnswer::Kind::Page, page);
}

void Prev::reject()
{
    answer(PreviewAnswer::Kind::Cancel);
}

void Prev::placeOnScreen()
{
    const QScreen *screen = this->screen();
    setGeometry(screen ? screen->geometry() : QRect(0, 0, 800, 600));
    layOut();
}

void Prev::layOut()
{
    m_canvas->setGeometry(rect());
    const int barWidth = twipsToPixelsX(this, kFrameWidth);
    const int barHeight = twipsToPixelsY(this, kBarHeight);
    const int buttonWidth = twipsToPixelsX(this, kButtonWidth);
    const int frameLeft = (width() - barWidth) / 2;
    const int frameTop = height() - barHeight;
    m_pageBar->setGeometry(frameLeft, frameTop, barWidth, barHeight);
    m_firstButton->setGeometry(0, 0, buttonWidth, barHeight);
    m_previousButton->setGeometry(twipsToPixelsX(this, 480), 0, buttonWidth, barHeight);
    m_pageBox->setGeometry(twipsToPixelsX(this, kPageBoxLeft), 0,
                           twipsToPixelsX(this, kPageBoxWidth), barHeight);
    m_nextButton->setGeometry(twipsToPixelsX(this, 1920), 0, buttonWidth, barHeight);
    m_lastButton->setGeometry(twipsToPixelsX(this, 2400), 0, buttonWidth, barHeight);

    // "&Print" and "&Cancel" right of the bar, with three equal gaps up to the right edge.
    const int commandWidth = twipsToPixelsX(this, kCommandWidth);
    const int gap = (width() - frameLeft - barWidth - 2 * commandWidth) / 3;
    m_printButton->setGeometry(frameLeft + barWidth + gap, frameTop, commandWidth, barHeight);
    m_cancelButton->setGeometry(m_printButton->geometry().right() + 1 + gap, frameTop, commandWidth,
                                barHeight);
}

void Prev::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    layOut();
}

QPixmap Prev::blankPage() const
{
    const qreal ratio = devicePixelRatioF();
    QPixmap page(m_canvas->size() * ratio);
    page.setDevicePixelRatio(ratio);
    page.fill(Qt::white);
    return page;
}

void Prev::showPage(const QPixmap &page, int pageNumber)
{
    m_page = pageNumber;
    m_canvas->setPage(page);
    m_pageBox->setText(QString::number(pageNumber));
}

} // namespace corvina
