#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

#include <optional>

// The request layer's disk cache: one file per cache key in the folder "WebCache" of the user's
// cache folder ($XDG_CACHE_HOME/morvane/wavelark/WebCache). Requests with the no-cache
// policy never read or write it. The folder is bounded: entries older than
// kInvalidationAge are removed, and once the entries take more than the limit (kMaxBytes) the
// oldest go; an entry larger than a sixteenth of the limit is not kept at all.
// Thread: main thread.
class WebCache
{
public:
    // Made (with its folders) on first use.
    static WebCache &shared();

    QString cachePath() const { return m_cachePath; }

    struct Entry
    {
        QByteArray data;
        QDateTime timestamp;
    };
    // The entry stored for `key` if it is younger than `maxAgeSeconds`.
    std::optional<Entry> dataForKey(const QString &key, double maxAgeSeconds) const;
    bool storeData(const QString &key, const QByteArray &data);

    // The bytes the entries take now.
    qint64 size();
    // Changes the limit (tests, a smaller disk), trimming at once.
    void setMaximumSize(qint64 bytes);
    qint64 maximumSize() const { return m_maxBytes; }

    static constexpr qint64 kMaxBytes = 64 * 1024 * 1024;
    static constexpr qint64 kEntryShare = 16;

    // Entries older than this are never worth keeping, whatever a request asks.
    static constexpr double kInvalidationAge = 86400.0;

private:
    explicit WebCache(const QString &cachePath);

    qint64 maxEntryBytes() const;
    // Learns the entries on disk once (removing the expired ones); stores keep it current.
    void loadIndex();
    void trim();

    QString m_cachePath;
    qint64 m_maxBytes = kMaxBytes;
    struct Known
    {
        qint64 bytes = 0;
        qint64 rank = 0; // larger is newer
    };
    bool m_indexed = false;
    QHash<QString, Known> m_entries;
    qint64 m_nextRank = 0;
    qint64 m_totalBytes = 0;
};
