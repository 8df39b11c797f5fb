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
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("Msg"));
    m_message->setWordWrap(true);
    m_message->setGeometry(kMargin, kMargin, inner, 40);

    m_animation = new QLabel(this);
    m_animation->setObjectName(QStringLiteral("Animation1"));
    m_animation->setAlignment(Qt::AlignCenter);
    m_animation->setGeometry(kMargin, kMargin + 46, inner, 54);

    auto *track = new QFrame(this);
    track->setObjectName(QStringLiteral("Track"));
    track->setFrameShape(QFrame::Box);
    track->setGeometry(kMargin - 1, kMargin + 108 - 1, inner + 2, kBarHeight + 2);

    m_bar = new QFrame(this);
    m_bar->setObjectName(QStringLiteral("Shape1"));
    m_bar->setAutoFillBackground(true);
    QPalette palette = m_bar->palette();
    palette.setColor(QPalette::Window, QColor(0x2a, 0x6f, 0xb5));
    m_bar->setPalette(palette);
    m_bar->setGeometry(kMargin, kMargin + 108, inner, kBarHeight);
    m_designWidth = inner;

    setFixedSize(kWidth, kMargin + 108 + kBarHeight + kMargin);
}

void Status::setBar(int width, bool visible)
{
    m_bar->resize(width, m_bar->height());
    m_bar->setVisible(visible && width > 0);
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
    m_animation->setMovie(m_movie);
    m_movie->start();
    return true;
}

void Status::stopClip()
{
    if (!m_movie)
        return;
    m_movie->stop();
    m_animation->clear();
    delete m_movie;
    m_movie = nullptr;
}

void Status::setMessage(const QString &text)
{
    m_message->setText(text);
}

} // namespace corvina
