#include "app/WindowFront.h"

#include <QWidget>

namespace WindowFront {

void bringToFront(QWidget &window)
{
    // showNormal() would also undo a maximized window; only the minimized flag goes.
    const Qt::WindowStates state = window.windowState();
    if (state & Qt::WindowMinimized)
        window.setWindowState((state & ~Qt::WindowMinimized) | Qt::WindowActive);
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace WindowFront
