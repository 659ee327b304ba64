#pragma once

#include <QString>

// Files a finished conversion into the user's music library: into the user playlist called
// `playlistName` (created first in the list when no playlist has exactly that name), or into the
// library alone when the name is empty.
class ScriptBridgeHelper
{
public:
    static void syncItunesLibrary(const QString &playlistName, const QString &filePath,
                                  QString *error = nullptr);
};
