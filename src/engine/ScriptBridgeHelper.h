#pragma once

#include <QString>

#include <functional>
#include <memory>

class MusicApplication;

// Files a finished conversion into the user's music library: into the user playlist called
// `playlistName` (created first in the list when no playlist has exactly that name), or into the
// library alone when the name is empty.
//
// Thread: any. Syncs run one at a time under one process-wide lock, so two conversions that end
// together neither create the playlist twice nor lose an entry.
class ScriptBridgeHelper
{
public:
    // Failures are logged and, when `error` is given, described there (cleared on success).
    // `replaced`: the file took the place of one added before, whose entries are brought up to
    // date (MusicApplication::update) instead of added a second time.
    static void syncItunesLibrary(const QString &playlistName, const QString &filePath,
                                  QString *error = nullptr, bool replaced = false);

    // Every sync addresses the music application afresh through this factory; the default one
    // opens the playlist folder of the user's Music folder. An empty function restores it.
    using ApplicationFactory = std::function<std::unique_ptr<MusicApplication>()>;
    static void setApplicationFactory(ApplicationFactory factory);
};
