#pragma once

#include "model/TrackTags.h"

#include <QMutex>
#include <QString>

// The probe record of one media file: what the media information provider found in it.
// The loader fills it on its own thread before the item is shared; afterwards it is only read.
// The text field is read and replaced whole under the record's lock, so any thread may read it.
class MVMediaInfoItem
{
public:
    enum MediaType : qint32 {
        MediaTypeUnknown = 0,
        MediaTypeAudio = 1, // audio only
        MediaTypeVideo = 2,
    };

    MVMediaInfoItem() = default;
    MVMediaInfoItem(const MVMediaInfoItem &other);
    MVMediaInfoItem &operator=(const MVMediaInfoItem &other);
    virtual ~MVMediaInfoItem() = default;

    QString filePath() const;
    void setFilePath(const QString &path);

    double duration() const { return m_duration; }
    void setDuration(double seconds) { m_duration = seconds; }
    double startTime() const { return m_startTime; }
    void setStartTime(double seconds) { m_startTime = seconds; }
    qint32 pixWidth() const { return m_pixWidth; }
    void setPixWidth(qint32 pixels) { m_pixWidth = pixels; }
    qint32 pixHeight() const { return m_pixHeight; }
    void setPixHeight(qint32 pixels) { m_pixHeight = pixels; }
    qint32 eumMediaType() const { return m_eumMediaType; }
    void setEumMediaType(qint32 type) { m_eumMediaType = type; }
    double videoBitrate() const { return m_videoBitrate; }
    void setVideoBitrate(double bitsPerSecond) { m_videoBitrate = bitsPerSecond; }

    // Audio facts of the first audio stream, for the list and the command-line converter.
    double audioBitrate() const { return m_audioBitrate; }
    void setAudioBitrate(double bitsPerSecond) { m_audioBitrate = bitsPerSecond; }
    qint32 audioSampleRate() const { return m_audioSampleRate; }
    void setAudioSampleRate(qint32 hertz) { m_audioSampleRate = hertz; }
    qint32 audioChannels() const { return m_audioChannels; }
    void setAudioChannels(qint32 channels) { m_audioChannels = channels; }

    // The embedded cover (an attached picture): the demuxer's stream index, -1 when the file has
    // none, and the picture's codec as the encoder names it ("png", "mjpeg", "gif"...).
    qint32 coverStreamIndex() const { return m_coverStreamIndex; }
    void setCoverStreamIndex(qint32 index) { m_coverStreamIndex = index; }
    QString coverCodecName() const;
    void setCoverCodecName(const QString &name);

    // The tags output names are built from (OutputNamePattern).
    TrackTags tags() const;
    void setTags(const TrackTags &tags);

protected:
    // Guards every text field of the record and of its subclasses.
    mutable QMutex m_textLock;

private:
    void copyProbeFields(const MVMediaInfoItem &other);

    QString m_filePath;
    double m_duration = 0.0;
    double m_startTime = 0.0;
    qint32 m_pixWidth = 0;
    qint32 m_pixHeight = 0;
    qint32 m_eumMediaType = MediaTypeUnknown;
    double m_videoBitrate = 0.0;
    double m_audioBitrate = 0.0;
    qint32 m_audioSampleRate = 0;
    qint32 m_audioChannels = 0;
    qint32 m_coverStreamIndex = -1;
    QString m_coverCodecName;
    TrackTags m_tags;
};
