#include "Shared/FolderBookmark.h"

#include <QCborMap>
#include <QCborValue>
#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace {

const QString kPathKey = QStringLiteral("path");
const QString kDeviceKey = QStringLiteral("dev");
const QString kInodeKey = QStringLiteral("ino");

bool statPath(const QString &path, struct stat *status)
{
    return ::stat(QFile::encodeName(path).constData(), status) == 0;
}

} // namespace

QByteArray FolderBookmark::create(const QString &path)
{
    struct stat status;
    if (path.isEmpty() || !statPath(path, &status))
        return QByteArray();
    QCborMap map;
    map.insert(kPathKey, QDir::cleanPath(QDir(path).absolutePath()));
    map.insert(kDeviceKey, qint64(status.st_dev));
    map.insert(kInodeKey, qint64(status.st_ino));
    return map.toCborValue().toCbor();
}

FolderBookmark::Resolution FolderBookmark::resolve(const QByteArray &data, QString *path)
{
    const QCborValue value = QCborValue::fromCbor(data);
    if (!value.isMap())
        return Resolution::Invalid;
    const QCborMap map = value.toMap();
    const QString recordedPath = map.value(kPathKey).toString();
    if (recordedPath.isEmpty() || !map.value(kDeviceKey).isInteger() ||
        !map.value(kInodeKey).isInteger())
        return Resolution::Invalid;
    if (path)
        *path = recordedPath;
    struct stat status;
    if (!statPath(recordedPath, &status))
        return Resolution::Missing;
    const bool same = qint64(status.st_dev) == map.value(kDeviceKey).toInteger() &&
                      qint64(status.st_ino) == map.value(kInodeKey).toInteger();
    return same ? Resolution::Resolved : Resolution::Stale;
}
