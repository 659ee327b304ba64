#pragma once

#include "preferences/FolderPanel.h"

#include <QString>

#include <functional>

class QWidget;

// The question asked at Start when the output folder does not exist (a disk or share that is not
// connected): create it, choose another one (stored in the preferences) or cancel. `retry` is
// called after the first two, to start again.
//
// Thread: main thread.
namespace MissingOutputFolder {

void ask(QWidget *window, const QString &folder, const FolderPanel::Chooser &chooseFolder,
         const std::function<void()> &retry);

} // namespace MissingOutputFolder
