#pragma once

#include "model/LSMedia.h"

#include <QString>
#include <QStringList>

// Turns command-line paths into conversion items the way the window's loader does.
// Thread: the main thread (probing blocks for a moment per file).
namespace CliInputs {

// The files to convert, in order: a folder gives its FLAC and Ogg files at any depth; a file (or
// a link of any kind) is kept when its extension is flac or ogg in any case. Every other path is
// described in `skipped`.
QStringList acceptedFiles(const QStringList &paths, QStringList *skipped);

} // namespace CliInputs
