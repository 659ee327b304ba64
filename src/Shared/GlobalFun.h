#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

// Stateless helpers shared by every layer: time texts, the unique output path, recursive listing,
// accepted input extensions, identity and version texts for reports, folder creation.
// Thread: any. The user id (getGUID) lives in the model, beside the store it is kept in
// (model/UserIdentity).
class GlobalFun
{
public:
    GlobalFun() = delete;

    // "HH:MM:SS" of the whole seconds; hours are not limited to two digits.
    static QString getTimeStringBySecond(double seconds);
    // Seconds of "H:M:S[.fraction]"; the first piece is always hours. A null text gives 0.
    static double getSecondsByTimeString(const QString &timeText);

    // True when a folder exists at `path` afterwards (missing parents are created). This name
    // and fileListAtDirenctory's keep their spelling: docs/ARCHITECTURE.md, "Kept as they are".
    static bool MakeSureFolderExsist(const QString &path);
    // `path` with extension `extension`, numbered "name(1).ext", "name(2).ext"... until it names
    // nothing that exists.
    static QString makeSureFullPathIdentical(const QString &path, const QString &extension);
    // Every file below `folder` (depth first, file system order) whose extension is in `filter`,
    // ignoring case. Folder links are followed, each folder at most once.
    static QStringList fileListAtDirenctory(const QString &folder, const QStringList &filter);
    // The input extensions the converter accepts: "flac" and "ogg".
    static QStringList getSupportedFmts();
    // The extensions of the other audio files taken when "Also convert other audio files" is on
    // (WAV, AIFF, M4A, MP3, Opus, WavPack, APE, WMA and their kin); inside folders these are the
    // files looked at, while a file named by itself is taken whatever its name and judged by its
    // content.
    static QStringList otherAudioFmts();

    static void getMajor(int *major, int *minor, int *bugFix);
    static QString getSystemVersionString();
    static QString getAppVersion();
    static QString getAppBuildNumber();
    static QString getAppBuildVersion();
    static QString bundleID();
    // Three-piece form of a version text: "2" -> "2.0.0", "1.2.3.4" -> "1.2.3".
    static QString threePieceVersion(const QString &version);

    // The home folder of the real user from the user database, not from $HOME. Tests point it
    // elsewhere with the environment variable WAVELARK_TEST_HOME.
    static QString RealHomeDirectory();
    static QString computerModel();

    // A persistent reference to a local folder or file (see FolderBookmark); empty on failure.
    static QByteArray BookmarkDataForURL(const QUrl &url);
};
