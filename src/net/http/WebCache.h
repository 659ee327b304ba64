#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// The request layer's disk cache: one file per cache key in the folder "WebCache" of the user's
// cache folder ($XDG_CACHE_HOME/morvane/wavelark/WebCache), with the subfolder "etag". Requests
// with the no-cache policy never read or write it.
// Thread: main thread.
class WebCache
{
public:
    // Made (with its folders) on first use.
    static WebCache &shared();

    QString cachePath() const { return m_cachePath; }
    QString etagCachePath() const { return m_cachePath + QStringLiteral("/etag"); }

    struct Entry
    {
        QByteArray data;
        QDateTime timestamp;
    };
    // The entry stored for `key` if it is younger than `maxAgeSeconds`.
    std::optional<Entry> dataForKey(const QString &key, double maxAgeSeconds) const;
    bool storeData(const QString &key, const QByteArray &data);

    // Entries older than this are never worth keeping, whatever a request asks.
    static constexpr double kInvalidationAge = 86400.0;

private:
    explicit WebCache(const QString &cachePath);

    QString m_cachePath;
};
