#pragma once

#include "model/LSMedia.h"

#include <QString>
#include <QStringList>

// Turns command-line paths into conversion items the way the window's loader does.
// Thread: the main thread (probing blocks for a moment per file).
namespace CliInputs {

// The files to convert, in order, chosen as the window chooses them (InputCollector); every
// path not taken is described in `skipped` as "path: reason". `roots`, when given, receives for
// each file the named path that led to it (its source root).
QStringList acceptedFiles(const QStringList &paths, QStringList *skipped,
                          QStringList *roots = nullptr);

} // namespace CliInputs
