#include "model/MVMediaInfoItem.h"

MVMediaInfoItem::MVMediaInfoItem(const MVMediaInfoItem &other)
{
    *this = other;
}

MVMediaInfoItem &MVMediaInfoItem::operator=(const MVMediaInfoItem &other)
{
    if (this == &other)
        return *this;
    // Taken whole under the other record's lock, then stored under this one's: never both locks
    // at once.
    Fields probe;
    {
        QMutexLocker locker(&other.m_textLock);
        probe = other.m_probe;
    }
    QMutexLocker locker(&m_textLock);
    m_probe = std::move(probe);
    return *this;
}

QString MVMediaInfoItem::filePath() const
{
    QMutexLocker locker(&m_textLock);
    return m_probe.filePath;
}

void MVMediaInfoItem::setFilePath(const QString &path)
{
    QMutexLocker locker(&m_textLock);
    m_probe.filePath = path;
}

QString MVMediaInfoItem::coverCodecName() const
{
    QMutexLocker locker(&m_textLock);
    return m_probe.coverCodecName;
}

void MVMediaInfoItem::setCoverCodecName(const QString &name)
{
    QMutexLocker locker(&m_textLock);
    m_probe.coverCodecName = name;
}

TrackTags MVMediaInfoItem::tags() const
{
    QMutexLocker locker(&m_textLock);
    return m_probe.tags;
}

void MVMediaInfoItem::setTags(const TrackTags &tags)
{
    QMutexLocker locker(&m_textLock);
    m_probe.tags = tags;
}
