#pragma once

#include <QString>
#include <QVariantMap>

class UserDefaults;

// The start-up registration of the preference defaults.
// Thread: any, but it runs once while the main window starts.
namespace PreferenceDefaults {

// The three default folders below the user's home: video, audio, snapshots.
QString defaultVideoOutputFolder();
QString defaultAudioOutputFolder();
QString defaultSnapShotFolder();

// The thirteen registered defaults.
QVariantMap registeredDefaults();

// Forgets a stored audio output folder that no longer exists, creates the default folders and
// registers the defaults in `store`. Nothing is written to the store's file.
void registerDefaults(UserDefaults &store);
// Whether a stored output folder stays stored at start: it is there (a folder, or a file that a
// run will report), or its parent is missing too (a disk or share that is not connected).
bool keepsStoredOutputFolder(const QString &folder);

} // namespace PreferenceDefaults
