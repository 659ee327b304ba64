#pragma once

#include <functional>

class QMessageBox;
class QWidget;

// The questions asked before a run is ended by a key press or by quitting. Each opens
// window-modal on `window`, wide enough for its title, and calls `confirmed` only when the user
// agrees; the box deletes itself when answered.
//
// Thread: main thread.
namespace RunQuestions {

// Escape during a run: "Stop converting?", continuing is the default.
QMessageBox *askToStop(QWidget *window, const std::function<void()> &confirmed);
// Quitting during a run: "Stop converting and quit?", stopping and quitting is the default.
QMessageBox *askToStopAndQuit(QWidget *window, const std::function<void()> &confirmed);

} // namespace RunQuestions
