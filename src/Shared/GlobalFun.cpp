#include "Shared/GlobalFun.h"

#include "AppInfo.h"
#include "Shared/FolderBookmark.h"
#include "Shared/InputCollector.h"
#include "Shared/LenientNumber.h"
#include "Shared/PathText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <vector>

namespace {

bool somethingExistsAt(const QString &path)
{
    struct stat status;
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0;
}

QString passwordDatabaseHome()
{
    const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<size_t>(suggested) : 16384);
    struct passwd entry;
    struct passwd *found = nullptr;
    while (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE)
        buffer.resize(buffer.size() * 2);
    if (!found || !found->pw_dir)
        return QString();
    return QFile::decodeName(found->pw_dir);
}

// VERSION_ID of /etc/os-release, such as "12" or "22.04".
QString osReleaseVersion()
{
    QFile file(QStringLiteral("/etc/os-release"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1String("VERSION_ID="))) {
            QString value = line.mid(11);
            value.remove(QLatin1Char('"'));
            value.remove(QLatin1Char('\''));
            return value;
        }
    }
    return QString();
}

} // namespace

QString GlobalFun::getTimeStringBySecond(double seconds)
{
    const qint64 whole = std::isfinite(seconds) ? static_cast<qint64>(seconds) : 0;
    const qint64 hours = whole / 3600;
    const qint64 minutes = (whole % 3600) / 60;
    const qint64 rest = whole % 60;
    QString text;
    if (hours >= 0)
        text += QString::asprintf("%02lld:", static_cast<long long>(hours));
    text += QString::asprintf("%02lld:", static_cast<long long>(minutes));
    text += QString::asprintf("%02lld", static_cast<long long>(rest));
    return text;
}

double GlobalFun::getSecondsByTimeString(const QString &timeText)
{
    if (timeText.isNull())
        return 0.0;
    static const double weights[] = {3600.0, 60.0, 1.0};
    const QList<QStringView> pieces = QStringView(timeText).split(QLatin1Char(':'));
    double seconds = 0.0;
    for (qsizetype i = 0; i < pieces.size() && i < 3; ++i)
        seconds += LenientNumber::toDouble(pieces[i]) * weights[i];
    return seconds;
}

bool GlobalFun::MakeSureFolderExsist(const QString &path)
{
    if (path.isNull())
        return false;
    const QFileInfo info(path);
    if (info.exists() && info.isDir())
        return true;
    return QDir().mkpath(path);
}

QString GlobalFun::makeSureFullPathIdentical(const QString &path, const QString &extension)
{
    QString candidate = path;
    if (PathText::pathExtension(candidate) != extension)
        candidate += QLatin1Char('.') + extension;
    if (!somethingExistsAt(candidate))
        return candidate;

    // Only the file name is numbered: a "(n)" in a folder name is part of that folder.
    const qsizetype slash = candidate.lastIndexOf(QLatin1Char('/'));
    const QString folder = candidate.left(slash + 1);
    QString name = candidate.mid(slash + 1);
    int number = 1;
    for (;;) {
        const QString existingExtension = PathText::pathExtension(name);
        QString base = PathText::deletingPathExtension(name);
        const QString tag = QStringLiteral("(%1)").arg(number);
        if (!name.contains(tag)) {
            base += tag;
        } else {
            ++number;
            base.replace(tag, QStringLiteral("(%1)").arg(number));
        }
        name = base + QLatin1Char('.') + existingExtension;
        candidate = folder + name;
        if (!somethingExistsAt(candidate))
            return candidate;
    }
}

QStringList GlobalFun::fileListAtDirenctory(const QString &folder, const QStringList &filter)
{
    return InputCollector::listFolder(folder, filter);
}

QStringList GlobalFun::getSupportedFmts()
{
    return {QStringLiteral("flac"), QStringLiteral("ogg")};
}

QStringList GlobalFun::otherAudioFmts()
{
    static const QStringList extensions{
        QStringLiteral("wav"),  QStringLiteral("wave"), QStringLiteral("aif"),
        QStringLiteral("aiff"), QStringLiteral("aifc"), QStringLiteral("m4a"),
        QStringLiteral("m4b"),  QStringLiteral("mp4"),  QStringLiteral("aac"),
        QStringLiteral("mp3"),  QStringLiteral("mp2"),  QStringLiteral("opus"),
        QStringLiteral("oga"),  QStringLiteral("spx"),  QStringLiteral("wv"),
        QStringLiteral("ape"),  QStringLiteral("wma"),  QStringLiteral("asf"),
        QStringLiteral("mka"),  QStringLiteral("caf"),  QStringLiteral("au"),
        QStringLiteral("ac3"),  QStringLiteral("mpc"),  QStringLiteral("tta"),
    };
    return extensions;
}

void GlobalFun::getMajor(int *major, int *minor, int *bugFix)
{
    const QStringList pieces = osReleaseVersion().split(QLatin1Char('.'));
    int *targets[] = {major, minor, bugFix};
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        const int value = i < pieces.size() ? pieces[i].toInt(&ok) : 0;
        if (!ok)
            return;
        if (targets[i])
            *targets[i] = value;
    }
}

QString GlobalFun::getSystemVersionString()
{
    int major = 0;
    int minor = 0;
    int bugFix = 0;
    getMajor(&major, &minor, &bugFix);
    return QString::asprintf("%u.%u.%u", unsigned(major), unsigned(minor), unsigned(bugFix));
}

QString GlobalFun::threePieceVersion(const QString &version)
{
    QStringList pieces = version.split(QLatin1Char('.'));
    while (pieces.size() < 3)
        pieces.append(QStringLiteral("0"));
    while (pieces.size() > 3)
        pieces.removeLast();
    return pieces.join(QLatin1Char('.'));
}

QString GlobalFun::getAppVersion()
{
    return threePieceVersion(QLatin1String(AppInfo::kShortVersion));
}

QString GlobalFun::getAppBuildNumber()
{
    return QLatin1String(AppInfo::kBuildNumber);
}

QString GlobalFun::getAppBuildVersion()
{
    return getAppVersion() + QLatin1Char('.') + getAppBuildNumber();
}

QString GlobalFun::bundleID()
{
    return QLatin1String(AppInfo::kBundleIdentifier);
}

QString GlobalFun::RealHomeDirectory()
{
    const QString testHome = qEnvironmentVariable("WAVELARK_TEST_HOME");
    if (!testHome.isEmpty())
        return testHome;
    const QString home = passwordDatabaseHome();
    return home.isEmpty() ? QDir::homePath() : home;
}

QString GlobalFun::computerModel()
{
    // Fixed on purpose: docs/ARCHITECTURE.md, "Kept as they are".
    return QStringLiteral("Mac");
}

QByteArray GlobalFun::BookmarkDataForURL(const QUrl &url)
{
    if (url.isEmpty() || !url.isLocalFile())
        return QByteArray();
    return FolderBookmark::create(url.toLocalFile());
}
