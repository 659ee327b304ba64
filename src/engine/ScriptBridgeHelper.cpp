#include "engine/ScriptBridgeHelper.h"

void ScriptBridgeHelper::syncItunesLibrary(const QString &playlistName, const QString &filePath,
                                           QString *error)
{
    Q_UNUSED(playlistName);
    Q_UNUSED(filePath);
    if (error)
        error->clear();
}
