#pragma once

#include <QRect>
#include <QWidget>

namespace corvina {

// Window geometry given in twips (1440 per inch), in pixels at the logical DPI of the
// widget's screen.
inline int twipsToPixelsX(const QWidget *widget, int twips)
{
    return qRound(twips * widget->logicalDpiX() / 1440.0);
}

inline int twipsToPixelsY(const QWidget *widget, int twips)
{
    return qRound(twips * widget->logicalDpiY() / 1440.0);
}

inline QRect twipsRect(const QWidget *widget, int left, int top, int width, int height)
{
    return QRect(twipsToPixelsX(widget, left), twipsToPixelsY(widget, top),
                 twipsToPixelsX(widget, width), twipsToPixelsY(widget, height));
}

} // namespace corvina
