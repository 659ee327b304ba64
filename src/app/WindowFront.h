#pragma once

class QWidget;

// Brings a top-level window to the user: shown, out of the taskbar if it was minimized (keeping
// it maximized or full screen if it was), raised and activated.
// Thread: main thread.
namespace WindowFront {

void bringToFront(QWidget &window);

} // namespace WindowFront
