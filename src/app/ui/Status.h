#pragma once

#include <QWidget>

class QFrame;
class QLabel;
class QMovie;

namespace corvina {

// The small modeless window long operations show: the step text, a progress bar and a
// transfer animation. It has no logic; StatusDisplay drives it through the screen.
class Status : public QWidget {
    Q_OBJECT

public:
    explicit Status(QWidget *parent = nullptr);
    ~Status() override;

    // The width of a full bar, as laid out.
    int barDesignWidth() const noexcept { return m_designWidth; }
    void setBar(int width, bool visible);
    // Plays the clip repeatedly; false (and nothing shown) when it cannot be read.
    bool playClip(const QString &path);
    void stopClip();
    void setMessage(const QString &text);

private:
    void createControls();

    QMovie *m_movie = nullptr;
    int m_designWidth = 0;
    QLabel *m_message = nullptr;
    QFrame *m_bar = nullptr;
    QLabel *m_animation = nullptr;
};

} // namespace corvina
