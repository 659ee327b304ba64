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
    {
        QMutexLocker locker(&m_textLock);
        other->m_fields = m_fields;
    }
    other->m_fields.aspectOption = AspectKeepSource;
    if (Notes *notes = other->m_fields.notes.get()) {
        notes->profileName = QString();
        notes->profileType = QString();
    }
    other->setDProgress(dProgress());
    other->setDLeftTime(dLeftTime());
    other->setEumCvtState(eumCvtState());
    return other;
}

QRectF LSMedia::rcCroped() const
{
    QMutexLocker locker(&m_textLock);
    const Notes *notes = m_fields.notes.get();
    return notes ? notes->rcCroped : QRectF(0.0, 0.0, 0.0, 0.0);
}

void LSMedia::setRcCroped(const QRectF &rect)
{
    QMutexLocker locker(&m_textLock);
    // A zero rectangle is what an item without notes has already.
    if (!m_fields.notes.get() && rect == QRectF(0.0, 0.0, 0.0, 0.0))
        return;
    m_fields.notes.make().rcCroped = rect;
}

QString LSMedia::readNote(QString Notes::*field) const
{
    QMutexLocker locker(&m_textLock);
    const Notes *notes = m_fields.notes.get();
    return notes ? notes->*field : QString();
}

void LSMedia::writeNote(QString Notes::*field, const QString &value)
{
    QMutexLocker locker(&m_textLock);
    // An absent text stays absent without a record; an empty one is kept as empty.
    if (!m_fields.notes.get() && value.isNull())
        return;
    m_fields.notes.make().*field = value;
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
    Notes *notes = m_fields.notes.get();
    if (!notes)
        return;
    notes->failureReason = QString();
    notes->warning = QString();
    notes->encoderOutput = QString();
}
