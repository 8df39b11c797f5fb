#pragma once

#include <QApplication>
#include <QWidget>

namespace corvina {

// Shows the one window of type W: an open one that `sameContent(window)` accepts is only
// brought forward; every other open one of that type is closed, and `make()` makes the new
// one, which is shown.
template <typename W, typename SameContent, typename Make>
W *showSingleWindow(SameContent sameContent, Make make)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *open = qobject_cast<W *>(widget);
        if (!open || open->isHidden())
            continue;
        if (sameContent(*open)) {
            open->show();
            open->raise();
            open->activateWindow();
            return open;
        }
        open->close();
    }
    W *window = make();
    window->show();
    return window;
}

} // namespace corvina
