#include "model/PreferenceDefaults.h"

#include "AppInfo.h"
#include "Shared/GlobalFun.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace PreferenceDefaults {
namespace {

bool somethingAt(const QString &path)
{
    struct stat status;
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0;
}

QString folderBelowHome(const QString &pattern)
{
    return GlobalFun::RealHomeDirectory() + QLatin1Char('/') +
           pattern.arg(QLatin1String(AppInfo::kBundleIdentifier));
}

} // namespace

QString defaultVideoOutputFolder()
{
    return folderBelowHome(QStringLiteral("Music/%1/Video Converted"));
}

QString defaultAudioOutputFolder()
{
    return folderBelowHome(QStringLiteral("Music/%1/Audio Converted"));
}

QString defaultSnapShotFolder()
{
    return folderBelowHome(QStringLiteral("Movies/%1/SnapShots"));
}

QVariantMap registeredDefaults()
{
    return {
        {PrefKeys::AppMaxConvertNum, 3},
        {PrefKeys::AppVideoOutputFolder, defaultVideoOutputFolder()},
        {PrefKeys::AppAudioOutputFolder, defaultAudioOutputFolder()},
        {PrefKeys::AppSnapShotFolder, defaultSnapShotFolder()},
        {PrefKeys::AppBSyncToiTunes, true},
        {PrefKeys::AppDefaultAudioCodecName, QStringLiteral("AAC Audio (m4a)")},
        {PrefKeys::AppDefaultVideoCodecName, QStringLiteral("iPhone4,iPod touch 4")},
        {PrefKeys::DefaultProfile, QStringLiteral("iPod")},
        {PrefKeys::UseIBooksAuthor, false},
        {PrefKeys::PreferedFormatName, QStringLiteral("MP3 Audio")},
        {PrefKeys::PlaylistName, QStringLiteral("MORVANE Wavelark")},
        {PrefKeys::DoubleSamepleRate, 44100.0},
        {PrefKeys::DoubleBitRate, 320.0},
        {PrefKeys::AppKeepCoverArt, true},
        {PrefKeys::AppOnlineServices, true},
        {PrefKeys::AppOpenOutputFolder, true},
        {PrefKeys::AppOutputNamePattern, QString()},
        {PrefKeys::AppPortableNames, false},
        {PrefKeys::AppId3v23, false},
        {PrefKeys::AppCoverMaxSize, 0},
        {PrefKeys::AppMp3VbrQuality, 2},
        {PrefKeys::AppVorbisQuality, 6},
        {PrefKeys::AppFlacCompressionLevel, 5},
    };
}

bool keepsStoredOutputFolder(const QString &folder)
{
    if (folder.isEmpty())
        return false;
    if (somethingAt(folder))
        return true;
    // Deleted from a disk that is there: forgotten, the default applies again. A folder whose
    // parent is missing too is on a disk or share that is not connected: it stays, and a run
    // asks about it instead of quietly writing elsewhere.
    return !somethingAt(QFileInfo(folder).absolutePath());
}

void registerDefaults(UserDefaults &store)
{
    if (store.hasStoredValue(PrefKeys::AppAudioOutputFolder) &&
        !keepsStoredOutputFolder(store.stringForKey(PrefKeys::AppAudioOutputFolder)))
        store.removeObjectForKey(PrefKeys::AppAudioOutputFolder);

    // All three on every start, the snapshot folder too: docs/ARCHITECTURE.md, "Kept as they are".
    GlobalFun::MakeSureFolderExsist(defaultVideoOutputFolder());
    GlobalFun::MakeSureFolderExsist(defaultAudioOutputFolder());
    GlobalFun::MakeSureFolderExsist(defaultSnapShotFolder());

    store.registerDefaults(registeredDefaults());
}

} // namespace PreferenceDefaults
