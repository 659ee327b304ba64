#include "model/MVMediaInfoItem.h"

MVMediaInfoItem::MVMediaInfoItem(const MVMediaInfoItem &other)
{
    copyProbeFields(other);
}

MVMediaInfoItem &MVMediaInfoItem::operator=(const MVMediaInfoItem &other)
{
    if (this != &other)
        copyProbeFields(other);
    return *this;
}

void MVMediaInfoItem::copyProbeFields(const MVMediaInfoItem &other)
{
    setFilePath(other.filePath());
    m_duration = other.m_duration;
    m_startTime = other.m_startTime;
    m_pixWidth = other.m_pixWidth;
    m_pixHeight = other.m_pixHeight;
    m_eumMediaType = other.m_eumMediaType;
    m_videoBitrate = other.m_videoBitrate;
    m_audioBitrate = other.m_audioBitrate;
    m_audioSampleRate = other.m_audioSampleRate;
    m_audioChannels = other.m_audioChannels;
    m_coverStreamIndex = other.m_coverStreamIndex;
    setCoverCodecName(other.coverCodecName());
    setTags(other.tags());
}

QString MVMediaInfoItem::filePath() const
{
    QMutexLocker locker(&m_textLock);
    return m_filePath;
}

void MVMediaInfoItem::setFilePath(const QString &path)
{
    QMutexLocker locker(&m_textLock);
    m_filePath = path;
}

QString MVMediaInfoItem::coverCodecName() const
{
    QMutexLocker locker(&m_textLock);
    return m_coverCodecName;
}

void MVMediaInfoItem::setCoverCodecName(const QString &name)
{
    QMutexLocker locker(&m_textLock);
    m_coverCodecName = name;
}

TrackTags MVMediaInfoItem::tags() const
{
    QMutexLocker locker(&m_textLock);
    return m_tags;
}

void MVMediaInfoItem::setTags(const TrackTags &tags)
{
    QMutexLocker locker(&m_textLock);
    m_tags = tags;
}
