#pragma once

#include <QString>

// Path texts as the converter names its files: the extension is what follows the last dot of
// the last component (none for a name that only starts with a dot).
// Thread: any.
namespace PathText {

QString lastComponent(const QString &path);
QString pathExtension(const QString &path);
QString deletingPathExtension(const QString &path);
// The last component without its extension: /in/a.b.flac -> a.b
QString baseName(const QString &path);

} // namespace PathText
