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

    double duration() const { return m_probe.duration; }
    void setDuration(double seconds) { m_probe.duration = seconds; }
    double startTime() const { return m_probe.startTime; }
    void setStartTime(double seconds) { m_probe.startTime = seconds; }
    qint32 pixWidth() const { return m_probe.pixWidth; }
    void setPixWidth(qint32 pixels) { m_probe.pixWidth = pixels; }
    qint32 pixHeight() const { return m_probe.pixHeight; }
    void setPixHeight(qint32 pixels) { m_probe.pixHeight = pixels; }
    qint32 eumMediaType() const { return m_probe.eumMediaType; }
    void setEumMediaType(qint32 type) { m_probe.eumMediaType = type; }
    double videoBitrate() const { return m_probe.videoBitrate; }
    void setVideoBitrate(double bitsPerSecond) { m_probe.videoBitrate = bitsPerSecond; }

    // Audio facts of the first audio stream, for the list and the command-line converter.
    double audioBitrate() const { return m_probe.audioBitrate; }
    void setAudioBitrate(double bitsPerSecond) { m_probe.audioBitrate = bitsPerSecond; }
    qint32 audioSampleRate() const { return m_probe.audioSampleRate; }
    void setAudioSampleRate(qint32 hertz) { m_probe.audioSampleRate = hertz; }
    qint32 audioChannels() const { return m_probe.audioChannels; }
    void setAudioChannels(qint32 channels) { m_probe.audioChannels = channels; }

    // The embedded cover (an attached picture): the demuxer's stream index, -1 when the file has
    // none, and the picture's codec as the encoder names it ("png", "mjpeg", "gif"...).
    qint32 coverStreamIndex() const { return m_probe.coverStreamIndex; }
    void setCoverStreamIndex(qint32 index) { m_probe.coverStreamIndex = index; }
    QString coverCodecName() const;
    void setCoverCodecName(const QString &name);

    // The tags output names are built from (OutputNamePattern).
    TrackTags tags() const;
    void setTags(const TrackTags &tags);
    // The output format (its place in OutputFormat::all()) whose codec and container the file's
    // audio has already, so that converting to it can copy the audio; -1 for none.
    qint32 sameFormatIndex() const { return m_probe.sameFormatIndex; }
    void setSameFormatIndex(qint32 index) { m_probe.sameFormatIndex = index; }

protected:
    // Guards every text field of the record and of its subclasses.
    mutable QMutex m_textLock;

private:
    // Every field of the record: a copy copies it whole, so a field added here is carried
    // without another line. The texts are read and written under m_textLock.
    struct Fields
    {
        QString filePath;
        double duration = 0.0;
        double startTime = 0.0;
        qint32 pixWidth = 0;
        qint32 pixHeight = 0;
        qint32 eumMediaType = MediaTypeUnknown;
        double videoBitrate = 0.0;
        double audioBitrate = 0.0;
        qint32 audioSampleRate = 0;
        qint32 audioChannels = 0;
        qint32 coverStreamIndex = -1;
        qint32 sameFormatIndex = -1;
        QString coverCodecName;
        TrackTags tags;
    };

    Fields m_probe;
};
