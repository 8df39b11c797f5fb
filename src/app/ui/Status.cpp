#include "app/ui/Status.h"

#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMovie>

namespace corvina {

namespace {
constexpr int kMargin = 14;
constexpr int kWidth = 380;
constexpr int kBarHeight = 14;
} // namespace

Status::Status(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Status"));
    setWindowTitle(QStringLiteral("Status"));
    createControls();
}

Status::~Status() = default;

void Status::createControls()
{
    // Fixed positions, as a small form would have them; the bar's width is set directly.
    const int inner = kWidth - 2 * kMargin;
    Msg = new QLabel(this);
    Msg->setObjectName(QStringLiteral("Msg"));
    Msg->setWordWrap(true);
    Msg->setGeometry(kMargin, kMargin, inner, 40);

    Animation1 = new QLabel(this);
    Animation1->setObjectName(QStringLiteral("Animation1"));
    Animation1->setAlignment(Qt::AlignCenter);
    Animation1->setGeometry(kMargin, kMargin + 46, inner, 54);

    auto *track = new QFrame(this);
    track->setObjectName(QStringLiteral("Track"));
    track->setFrameShape(QFrame::Box);
    track->setGeometry(kMargin - 1, kMargin + 108 - 1, inner + 2, kBarHeight + 2);

    Shape1 = new QFrame(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setAutoFillBackground(true);
    QPalette palette = Shape1->palette();
    palette.setColor(QPalette::Window, QColor(0x2a, 0x6f, 0xb5));
    Shape1->setPalette(palette);
    Shape1->setGeometry(kMargin, kMargin + 108, inner, kBarHeight);
    m_designWidth = inner;

    setFixedSize(kWidth, kMargin + 108 + kBarHeight + kMargin);
}

void Status::setBar(int width, bool visible)
{
    Shape1->resize(width, Shape1->height());
    Shape1->setVisible(visible && width > 0);
}

bool Status::playClip(const QString &path)
{
    stopClip();
    if (!QFileInfo::exists(path))
        return false;
    auto *movie = new QMovie(path, QByteArray(), this);
    if (!movie->isValid()) {
        delete movie;
        return false;
    }
    m_movie = movie;
    Animation1->setMovie(m_movie);
    m_movie->start();
    return true;
}

void Status::stopClip()
{
    if (!m_movie)
        return;
    m_movie->stop();
    Animation1->clear();
    delete m_movie;
    m_movie = nullptr;
}

} // namespace corvina
