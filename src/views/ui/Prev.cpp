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
    canvas = new PrevCanvas(this);
    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Command6 = makeButton(Frame1, "Command6", QStringLiteral("|<"), true);
    Command5 = makeButton(Frame1, "Command5", QStringLiteral("<"), true);
    Text1 = new QLineEdit(Frame1);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setAlignment(Qt::AlignCenter);
    Command8 = makeButton(Frame1, "Command8", QStringLiteral(">"), true);
    Command7 = makeButton(Frame1, "Command7", QStringLiteral(">|"), true);
    Command1 = makeButton(this, "Command1", QStringLiteral("&Print"), false);
    Command2 = makeButton(this, "Command2", QStringLiteral("&Cancel"), false);
}

void Prev::connectControls()
{
    connect(Command6, &QPushButton::clicked, this, [this] { answer(PreviewAnswer::Kind::First); });
    connect(Command5, &QPushButton::clicked, this, [this] {
        if (m_page > 1)
            answer(PreviewAnswer::Kind::Page, m_page - 1);
    });
    connect(Command8, &QPushButton::clicked, this, [this] { answer(PreviewAnswer::Kind::Next); });
    connect(Command7, &QPushButton::clicked, this, [this] {
        Command5->setEnabled(false);
        Command6->setEnabled(false);
        answer(PreviewAnswer::Kind::Last);
    });
    connect(Text1, &QLineEdit::returnPressed, this, &Prev::typedPage);
    connect(Command1, &QPushButton::clicked, this, [this] { answer(PreviewAnswer::Kind::Print); });
    connect(Command2, &QPushButton::clicked, this, [this] { answer(PreviewAnswer::Kind::Cancel); });
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
    const int page = Text1->text().trimmed().toInt(&ok);
    if (!ok) {
        Text1->setText(QString::number(m_page));
        Text1->selectAll();
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
    canvas->setGeometry(rect());
    const int barWidth = twipsToPixelsX(this, kFrameWidth);
    const int barHeight = twipsToPixelsY(this, kBarHeight);
    const int buttonWidth = twipsToPixelsX(this, kButtonWidth);
    const int frameLeft = (width() - barWidth) / 2;
    const int frameTop = height() - barHeight;
    Frame1->setGeometry(frameLeft, frameTop, barWidth, barHeight);
    Command6->setGeometry(0, 0, buttonWidth, barHeight);
    Command5->setGeometry(twipsToPixelsX(this, 480), 0, buttonWidth, barHeight);
    Text1->setGeometry(twipsToPixelsX(this, kPageBoxLeft), 0, twipsToPixelsX(this, kPageBoxWidth),
                       barHeight);
    Command8->setGeometry(twipsToPixelsX(this, 1920), 0, buttonWidth, barHeight);
    Command7->setGeometry(twipsToPixelsX(this, 2400), 0, buttonWidth, barHeight);

    // "&Print" and "&Cancel" right of the bar, with three equal gaps up to the right edge.
    const int commandWidth = twipsToPixelsX(this, kCommandWidth);
    const int gap = (width() - frameLeft - barWidth - 2 * commandWidth) / 3;
    Command1->setGeometry(frameLeft + barWidth + gap, frameTop, commandWidth, barHeight);
    Command2->setGeometry(Command1->geometry().right() + 1 + gap, frameTop, commandWidth,
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
    QPixmap page(canvas->size() * ratio);
    page.setDevicePixelRatio(ratio);
    page.fill(Qt::white);
    return page;
}

void Prev::showPage(const QPixmap &page, int pageNumber)
{
    m_page = pageNumber;
    canvas->setPage(page);
    Text1->setText(QString::number(pageNumber));
}

} // namespace corvina
