#include "model/LSMedia.h"

#include <QCoreApplication>

// The state texts keep their spelling (docs/ARCHITECTURE.md, "Kept as they are"): the list, the
// command-line converter and the tests compare them.
QString LSMedia::progressText(qint32 state, float progress)
{
    switch (state) {
    case -1:
    case LSMedia::CvtStatePending:
        return QStringLiteral("Pending!");
    case LSMedia::CvtStateConverting:
        return QString::asprintf("%.1f%%", double(progress));
    case LSMedia::CvtStateSyncing:
        return QStringLiteral("Syncing to iTunes...");
    case LSMedia::CvtStateCanceled:
        return QStringLiteral("Canceled.");
    case LSMedia::CvtStateFinished:
        return QStringLiteral("Task Finished.");
    case LSMedia::CvtStateFailed:
        return QStringLiteral("Failed!");
    case LSMedia::CvtStateUpToDate:
        return QCoreApplication::translate("LSMedia", "Up to date.");
    default:
        return QStringLiteral("Unkown!!!");
    }
}

std::shared_ptr<LSMedia> LSMedia::copy() const
{
    auto other = std::make_shared<LSMedia>();
    static_cast<MVMediaInfoItem &>(*other) = *this;
    other->setImgThumbnail(imgThumbnail());
    other->setImgFormat(imgFormat());
    other->m_eumDestFmtType = m_eumDestFmtType;
    other->m_bSampeQuality = m_bSampeQuality;
    other->setStrFmtName(strFmtName());
    other->m_dVOBitrate = m_dVOBitrate;
    other->m_vOFps = m_vOFps;
    other->m_iOWidth = m_iOWidth;
    other->m_iOHeight = m_iOHeight;
    other->setStrOResolution(strOResolution());
    other->setReadableVOCodecName(readableVOCodecName());
    other->setReadableAOCodecName(readableAOCodecName());
    other->setVOVCodecName(vOVCodecName());
    other->setVOACodecName(vOACodecName());
    other->m_dAOBitrate = m_dAOBitrate;
    other->m_dAOSamplerate = m_dAOSamplerate;
    other->setDProgress(dProgress());
    other->setDLeftTime(dLeftTime());
    other->setEumCvtState(eumCvtState());
    other->setStrDescription(strDescription());
    other->setStrOutFileName(strOutFileName());
    other->setStrOutFileExt(strOutFileExt());
    other->setStrSourceRoot(strSourceRoot());
    other->m_dTrimStart = m_dTrimStart;
    other->m_dTrimLength = m_dTrimLength;
    other->m_dSplitStart = m_dSplitStart;
    other->m_dSplitLength = m_dSplitLength;
    other->m_eumCropType = m_eumCropType;
    other->setRcCroped(rcCroped());
    other->setStrInputProblem(strInputProblem());
    return other;
}

QRectF LSMedia::rcCroped() const
{
    QMutexLocker locker(&m_textLock);
    return m_notes ? m_notes->rcCroped : QRectF(0.0, 0.0, 0.0, 0.0);
}

void LSMedia::setRcCroped(const QRectF &rect)
{
    QMutexLocker locker(&m_textLock);
    if (!m_notes) {
        if (rect == QRectF(0.0, 0.0, 0.0, 0.0))
            return;
        m_notes = std::make_unique<Notes>();
    }
    m_notes->rcCroped = rect;
}

QString LSMedia::readNote(QString Notes::*field) const
{
    QMutexLocker locker(&m_textLock);
    return m_notes ? (*m_notes).*field : QString();
}

void LSMedia::writeNote(QString Notes::*field, const QString &value)
{
    QMutexLocker locker(&m_textLock);
    if (!m_notes) {
        // An absent text stays absent without a record; an empty one is kept as empty.
        if (value.isNull())
            return;
        m_notes = std::make_unique<Notes>();
    }
    (*m_notes).*field = value;
}

QString LSMedia::readText(const QString &field) const
{
    QMutexLocker locker(&m_textLock);
    return field;
}

void LSMedia::writeText(QString &field, const QString &value)
{
    QMutexLocker locker(&m_textLock);
    field = value;
}

void LSMedia::clearConversionNotes()
{
    QMutexLocker locker(&m_textLock);
    if (!m_notes)
        return;
    m_notes->failureReason = QString();
    m_notes->warning = QString();
    m_notes->encoderOutput = QString();
}
