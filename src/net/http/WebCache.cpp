#include "net/http/WebCache.h"

#include "Shared/Logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

WebCache &WebCache::shared()
{
    static WebCache cache(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                          QStringLiteral("/morvane/wavelark/WebCache"));
    return cache;
}

WebCache::WebCache(const QString &cachePath)
    : m_cachePath(cachePath)
{
    if (!QDir().mkpath(etagCachePath()))
        qCWarning(lcNet) << "cannot create the web cache folder" << etagCachePath();
}

std::optional<WebCache::Entry> WebCache::dataForKey(const QString &key, double maxAgeSeconds) const
{
    const QFileInfo info(m_cachePath + QLatin1Char('/') + key);
    if (!info.isFile())
        return std::nullopt;
    const QDateTime stored = info.lastModified();
    const double age = double(stored.msecsTo(QDateTime::currentDateTime())) / 1000.0;
    if (age < 0 || age >= std::min(maxAgeSeconds, kInvalidationAge))
        return std::nullopt;
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return Entry{file.readAll(), stored};
}

bool WebCache::storeData(const QString &key, const QByteArray &data)
{
    QSaveFile file(m_cachePath + QLatin1Char('/') + key);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        return false;
    return file.commit();
}
