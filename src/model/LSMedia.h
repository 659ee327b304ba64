#pragma once

#include "model/MVMediaInfoItem.h"

#include <QRectF>
#include <QString>

#include <atomic>
#include <memory>

// One input file of the conversion list: its probe record, the chosen output format with its
// encoder settings, and the live conversion state, progress and remaining time.
//
// Thread: the loader fills an item before it is shared. Afterwards the item's conversion
// operation writes state, progress and remaining time (atomics) on its worker thread while the
// main thread reads them; text and rectangle fields are read and replaced whole under a lock.
class LSMedia : public MVMediaInfoItem
{
public:
    enum CvtState : qint32 {
        CvtStatePending = 0,
        CvtStateConverting = 1,
        CvtStateSyncing = 2,
        CvtStateCanceled = 4,
        CvtStateFinished = 5,
        CvtStateFailed = 6,
        // Not converted: its output exists already and is not older than the input.
        CvtStateUpToDate = 7,
    };

    enum DestFmtType : qint32 {
        DestFmtAudio = 4, // audio only; every other value is a video output
    };

    enum AspectOption : qint32 {
        AspectKeepSource = 0,
        AspectOutputSize = 1,
        Aspect16x9 = 2,
        Aspect4x3 = 3,
    };

    LSMedia() = default;
    ~LSMedia() override = default;
    LSMedia(const LSMedia &) = delete;
    LSMedia &operator=(const LSMedia &) = delete;

    // What the list shows for a state: "Pending!", the progress as "12.5%", "Task Finished."...
    static QString progressText(qint32 state, float progress);

    // A new item carrying every field but the profile name, profile type and aspect option
    // (those start as in a new item).
    std::shared_ptr<LSMedia> copy() const;

    bool bSampeQuality() const { return m_fields.bSampeQuality; }
    void setBSampeQuality(bool on) { m_fields.bSampeQuality = on; }
    float dProgress() const { return m_dProgress.load(std::memory_order_relaxed); }
    void setDProgress(float percent) { m_dProgress.store(percent, std::memory_order_relaxed); }
    qint32 eumCvtState() const { return m_eumCvtState.load(std::memory_order_relaxed); }
    void setEumCvtState(qint32 state) { m_eumCvtState.store(state, std::memory_order_relaxed); }
    qint32 eumDestFmtType() const { return m_fields.eumDestFmtType; }
    void setEumDestFmtType(qint32 type) { m_fields.eumDestFmtType = type; }
    qint32 eumCropType() const { return m_fields.eumCropType; }
    void setEumCropType(qint32 type) { m_fields.eumCropType = type; }
    qint32 iOWidth() const { return m_fields.iOWidth; }
    void setIOWidth(qint32 pixels) { m_fields.iOWidth = pixels; }
    qint32 iOHeight() const { return m_fields.iOHeight; }
    void setIOHeight(qint32 pixels) { m_fields.iOHeight = pixels; }
    qint32 aspectOption() const { return m_fields.aspectOption; }
    void setAspectOption(qint32 option) { m_fields.aspectOption = option; }

    // Images are kept as the names of image resources; the GUI turns them into pictures.
    QString imgThumbnail() const { return readNote(&Notes::thumbnail); }
    void setImgThumbnail(const QString &image) { writeNote(&Notes::thumbnail, image); }
    QString imgFormat() const { return readText(m_fields.imgFormat); }
    void setImgFormat(const QString &image) { writeText(m_fields.imgFormat, image); }

    QString strFmtName() const { return readText(m_fields.strFmtName); }
    void setStrFmtName(const QString &text) { writeText(m_fields.strFmtName, text); }
    QString strOutFileName() const { return readText(m_fields.strOutFileName); }
    void setStrOutFileName(const QString &text) { writeText(m_fields.strOutFileName, text); }
    QString strOutFileExt() const { return readText(m_fields.strOutFileExt); }
    void setStrOutFileExt(const QString &text) { writeText(m_fields.strOutFileExt, text); }
    QString strDescription() const { return readText(m_fields.strDescription); }
    void setStrDescription(const QString &text) { writeText(m_fields.strDescription, text); }
    QString strProfileName() const { return readNote(&Notes::profileName); }
    void setStrProfileName(const QString &text) { writeNote(&Notes::profileName, text); }
    QString strProfileType() const { return readNote(&Notes::profileType); }
    void setStrProfileType(const QString &text) { writeNote(&Notes::profileType, text); }

    double dLeftTime() const { return m_dLeftTime.load(std::memory_order_relaxed); }
    void setDLeftTime(double seconds) { m_dLeftTime.store(seconds, std::memory_order_relaxed); }
    double dTrimStart() const { return m_fields.dTrimStart; }
    void setDTrimStart(double seconds) { m_fields.dTrimStart = seconds; }
    double dTrimLength() const { return m_fields.dTrimLength; }
    void setDTrimLength(double seconds) { m_fields.dTrimLength = seconds; }
    double dSplitStart() const { return m_fields.dSplitStart; }
    void setDSplitStart(double seconds) { m_fields.dSplitStart = seconds; }
    double dSplitLength() const { return m_fields.dSplitLength; }
    void setDSplitLength(double seconds) { m_fields.dSplitLength = seconds; }
    double dVOBitrate() const { return m_fields.dVOBitrate; }
    void setDVOBitrate(double kbits) { m_fields.dVOBitrate = kbits; }
    double vOFps() const { return m_fields.vOFps; }
    void setVOFps(double fps) { m_fields.vOFps = fps; }
    QString strOResolution() const { return readNote(&Notes::oResolution); }
    void setStrOResolution(const QString &text) { writeNote(&Notes::oResolution, text); }
    QString vOVCodecName() const { return readNote(&Notes::vOVCodecName); }
    void setVOVCodecName(const QString &text) { writeNote(&Notes::vOVCodecName, text); }
    double dAOBitrate() const { return m_fields.dAOBitrate; }
    void setDAOBitrate(double kbits) { m_fields.dAOBitrate = kbits; }
    // The quality on the output format's scale (LAME V level, Vorbis quality, FLAC level); -1
    // when the format's bit rate (dAOBitrate) sets it.
    qint32 iAOQuality() const { return m_fields.iAOQuality; }
    void setIAOQuality(qint32 quality) { m_fields.iAOQuality = quality; }
    double dAOSamplerate() const { return m_fields.dAOSamplerate; }
    void setDAOSamplerate(double hertz) { m_fields.dAOSamplerate = hertz; }
    QString vOACodecName() const { return readText(m_fields.vOACodecName); }
    void setVOACodecName(const QString &text) { writeText(m_fields.vOACodecName, text); }
    QString readableVOCodecName() const { return readNote(&Notes::readableVOCodecName); }
    void setReadableVOCodecName(const QString &text)
    {
        writeNote(&Notes::readableVOCodecName, text);
    }
    QString readableAOCodecName() const { return readText(m_fields.readableAOCodecName); }
    void setReadableAOCodecName(const QString &text)
    {
        writeText(m_fields.readableAOCodecName, text);
    }
    QRectF rcCroped() const;
    void setRcCroped(const QRectF &rect);

    // Why the item's last conversion failed: the encoder's most telling line, what kept it from
    // running (state 4), or why the library refused the finished output (state 6); empty when it
    // did not fail.
    QString failureReason() const { return readNote(&Notes::failureReason); }
    void setFailureReason(const QString &text) { writeNote(&Notes::failureReason, text); }
    // What the last conversion did less well than asked although it finished, e.g. "the input
    // ends early: 6.6 s of 40.0 s"; empty when nothing is wrong.
    QString strWarning() const { return readNote(&Notes::warning); }
    void setStrWarning(const QString &text) { writeNote(&Notes::warning, text); }
    // The last lines the encoder wrote in the last conversion, joined with line feeds.
    QString strEncoderOutput() const { return readNote(&Notes::encoderOutput); }
    void setStrEncoderOutput(const QString &text) { writeNote(&Notes::encoderOutput, text); }
    // Why the file will not convert, known when it was added (e.g. no audio stream); empty when
    // nothing speaks against it.
    QString strInputProblem() const { return readNote(&Notes::inputProblem); }
    void setStrInputProblem(const QString &text) { writeNote(&Notes::inputProblem, text); }
    // The folder that was dropped or named and led to this file (the file's own folder when it
    // was named by itself); its layout below it is what "Keep folder structure" mirrors.
    QString strSourceRoot() const { return readText(m_fields.strSourceRoot); }
    void setStrSourceRoot(const QString &folder) { writeText(m_fields.strSourceRoot, folder); }
    // Clears what a previous conversion left: the failure reason, the warning and the output.
    void clearConversionNotes();

private:
    // Texts that most items never carry (video settings of an audio item, profiles, what a
    // conversion left behind) and the crop rectangle live in a record made on the first write,
    // so a long list does not pay for them on every row.
    struct Notes
    {
        QString thumbnail;
        QString profileName;
        QString profileType;
        QString oResolution;
        QString vOVCodecName;
        QString readableVOCodecName;
        QString failureReason;
        QString warning;
        QString encoderOutput;
        QString inputProblem;
        QRectF rcCroped{0.0, 0.0, 0.0, 0.0};
    };

    QString readText(const QString &field) const;
    void writeText(QString &field, const QString &value);
    QString readNote(QString Notes::*field) const;
    void writeNote(QString Notes::*field, const QString &value);

    // A record that exists only once a note is written; copying it copies the notes.
    class NotesRecord
    {
    public:
        NotesRecord() = default;
        NotesRecord(const NotesRecord &other) { *this = other; }
        NotesRecord &operator=(const NotesRecord &other)
        {
            if (this != &other)
                m_notes = other.m_notes ? std::make_unique<Notes>(*other.m_notes) : nullptr;
            return *this;
        }
        Notes *get() const { return m_notes.get(); }
        Notes &make()
        {
            if (!m_notes)
                m_notes = std::make_unique<Notes>();
            return *m_notes;
        }

    private:
        std::unique_ptr<Notes> m_notes;
    };

    // Every field but the live ones (state, progress, remaining time: atomics, below) and the
    // lock: copy() copies it whole, so a field added here is carried without another line.
    // Texts and notes are read and written under m_textLock.
    struct Fields
    {
        bool bSampeQuality = false;
        qint32 eumDestFmtType = 0;
        qint32 eumCropType = 0;
        qint32 iOWidth = 0;
        qint32 iOHeight = 0;
        qint32 aspectOption = AspectKeepSource;
        qint32 iAOQuality = -1;
        QString imgFormat;
        QString strFmtName;
        QString strOutFileName;
        QString strOutFileExt;
        QString strDescription;
        double dTrimStart = 0.0;
        double dTrimLength = 0.0;
        double dSplitStart = 0.0;
        double dSplitLength = 0.0;
        double dVOBitrate = 0.0;
        double vOFps = 0.0;
        double dAOBitrate = 0.0;
        double dAOSamplerate = 0.0;
        NotesRecord notes; // empty until a note is written
        QString vOACodecName;
        QString readableAOCodecName;
        QString strSourceRoot; // shared by the files of one drop
    };

    Fields m_fields;
    std::atomic<float> m_dProgress{0.0f};
    std::atomic<qint32> m_eumCvtState{CvtStatePending};
    std::atomic<double> m_dLeftTime{0.0};
};

using LSMediaPtr = std::shared_ptr<LSMedia>;
