#pragma once

#include <QPaintDevice>
#include <QRect>
#include <QtGlobal>

namespace corvina {

// Every window and report gives its geometry in twips (1440 per inch). This is the one
// conversion into a paint device's units, at its logical DPI: exact for painting, rounded
// to the nearest whole pixel for widget geometry.
inline constexpr double kTwipsPerInch = 1440.0;

inline double twipsToDeviceX(const QPaintDevice &device, double twips)
{
    return twips * device.logicalDpiX() / kTwipsPerInch;
}

inline double twipsToDeviceY(const QPaintDevice &device, double twips)
{
    return twips * device.logicalDpiY() / kTwipsPerInch;
}

inline int twipsToPixelsX(const QPaintDevice *device, int twips)
{
    return qRound(twipsToDeviceX(*device, twips));
}

inline int twipsToPixelsY(const QPaintDevice *device, int twips)
{
    return qRound(twipsToDeviceY(*device, twips));
}

inline QRect twipsRect(const QPaintDevice *device, int left, int top, int width, int height)
{
    return QRect(twipsToPixelsX(device, left), twipsToPixelsY(device, top),
                 twipsToPixelsX(device, width), twipsToPixelsY(device, height));
}

} // namespace corvina
