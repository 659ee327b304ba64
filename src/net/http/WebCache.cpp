#include "net/http/WebCache.h"

#include "AppInfo.h"
#include "Shared/BoundedFile.h"
#include "Shared/Logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <utility>
#include <vector>

WebCache &WebCache::shared()
{
    static WebCache cache(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                          QLatin1Char('/') + QLatin1String(AppInfo::kMakerFolder) +
                          QLatin1Char('/') + QLatin1String(AppInfo::kProductFolder) +
                          QStringLiteral("/WebCache"));
    return cache;
}

WebCache::WebCache(const QString &cachePath)
    : m_cachePath(cachePath)
{
    if (!QDir().mkpath(m_cachePath))
        qCWarning(lcNet) << "cannot create the web cache folder" << m_cachePath;
}

void WebCache::setMaximumSize(qint64 bytes)
{
    m_maxBytes = std::max<qint64>(bytes, 0);
    trim();
}

qint64 WebCache::size()
{
    loadIndex();
    return m_totalBytes;
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
    BoundedFile::Result read = BoundedFile::read(info.filePath(), maxEntryBytes());
    if (!read.isRead())
        return std::nullopt;
    return Entry{std::move(read.bytes), stored};
}

bool WebCache::storeData(const QString &key, const QByteArray &data)
{
    // One picture may not push out everything else.
    if (data.size() > maxEntryBytes())
        return false;
    loadIndex();
    const QString path = m_cachePath + QLatin1Char('/') + key;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        return false;
    m_totalBytes -= m_entries.value(key).bytes;
    m_entries.insert(key, Known{data.size(), m_nextRank++});
    m_totalBytes += data.size();
    trim();
    return true;
}

qint64 WebCache::maxEntryBytes() const
{
    return m_maxBytes / kEntryShare;
}

void WebCache::loadIndex()
{
    if (m_indexed)
        return;
    m_indexed = true;
    // Oldest first, so that the ranks given below follow the times of the entries.
    const QFileInfoList entries =
        QDir(m_cachePath).entryInfoList(QDir::Files | QDir::Hidden, QDir::Time | QDir::Reversed);
    const QDateTime now = QDateTime::currentDateTime();
    for (const QFileInfo &entry : entries) {
        // Expired entries are never read again: they only take room.
        if (entry.lastModified().msecsTo(now) >= qint64(kInvalidationAge * 1000.0)) {
            QFile::remove(entry.filePath());
            continue;
        }
        m_entries.insert(entry.fileName(), Known{entry.size(), m_nextRank++});
        m_totalBytes += entry.size();
    }
}

// Over the limit, the oldest entries go until a quarter of the room is free again, so that a
// window full of new pictures does not sort the folder for every one of them.
void WebCache::trim()
{
    if (!m_indexed || m_totalBytes <= m_maxBytes)
        return;
    std::vector<std::pair<qint64, QString>> byAge;
    byAge.reserve(size_t(m_entries.size()));
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it)
        byAge.emplace_back(it->rank, it.key());
    std::sort(byAge.begin(), byAge.end());
    const qint64 target = m_maxBytes - m_maxBytes / 4;
    for (const auto &entry : byAge) {
        if (m_totalBytes <= target)
            break;
        QFile::remove(m_cachePath + QLatin1Char('/') + entry.second);
        m_totalBytes -= m_entries.take(entry.second).bytes;
    }
    qCInfo(lcNet).noquote() << QStringLiteral("web cache trimmed to %1 bytes").arg(m_totalBytes);
}
