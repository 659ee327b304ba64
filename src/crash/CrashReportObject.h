#pragma once

#include <QCborMap>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

// One crash record: who crashed (device and application fields), when, and the stack of the
// crashing thread, innermost frame first. Its file form is a CBOR map with one key per present
// field, in a fixed order; a field that is absent (null text, invalid date, no stack) has no key.
// Thread: any; a record is a plain value.
class CrashReportObject
{
public:
    // A record with every field absent (what decoding starts from).
    CrashReportObject() = default;

    // A new record of this device and application: osName, osVersion, deviceUniqueIdentifier,
    // deviceModel, identifier and version filled. Logs the device identifier.
    static CrashReportObject init();
    // `init`, then the crash moment and the stack lines.
    static CrashReportObject initWithCrashDate(const QDateTime &date, const QStringList &stack);
    // The device and application fields of `init` without its log line: the crash hooks take
    // them once, long before anything goes wrong.
    static CrashReportObject deviceFields();

    // Records are a few kilobytes; anything much larger is not one.
    static constexpr qint64 kMaxRecordBytes = 1024 * 1024;

    // The record stored at `path`; nullopt when the file cannot be read or is not a record. Only
    // a regular file (after links) of at most kMaxRecordBytes is read; a FIFO, a device or a huge
    // file is refused at once, with a log line.
    static std::optional<CrashReportObject> initWithContentsOfFile(const QString &path);
    // Writes the file form to `path` (through a temporary file and a rename when `atomically`),
    // readable by its owner only.
    bool writeToFile(const QString &path, bool atomically) const;

    QCborMap encodeWithCoder() const;
    static CrashReportObject initWithCoder(const QCborMap &map);

    // "STACK:\n" followed by every stack line and a line feed.
    QString description() const;

    QString osName() const { return m_osName; }
    void setOsName(const QString &value) { m_osName = value; }
    QString osVersion() const { return m_osVersion; }
    void setOsVersion(const QString &value) { m_osVersion = value; }
    QString deviceUniqueIdentifier() const { return m_deviceUniqueIdentifier; }
    void setDeviceUniqueIdentifier(const QString &value) { m_deviceUniqueIdentifier = value; }
    QString deviceModel() const { return m_deviceModel; }
    void setDeviceModel(const QString &value) { m_deviceModel = value; }
    QString identifier() const { return m_identifier; }
    void setIdentifier(const QString &value) { m_identifier = value; }
    QString version() const { return m_version; }
    void setVersion(const QString &value) { m_version = value; }
    QDateTime date() const { return m_date; }
    void setDate(const QDateTime &value) { m_date = value; }
    std::optional<QStringList> stackArray() const { return m_stackArray; }
    void setStackArray(const std::optional<QStringList> &value) { m_stackArray = value; }

    // Keys of the file form, in the order they are written.
    static const QString kOsNameKey;
    static const QString kDeviceModelKey;
    static const QString kDeviceUniqueIdentifierKey;
    static const QString kOsVersionKey;
    static const QString kVersionKey;
    static const QString kIdentifierKey;
    static const QString kDateKey;
    static const QString kStackArrayKey;

private:
    QString m_osName;
    QString m_osVersion;
    QString m_deviceUniqueIdentifier;
    QString m_deviceModel;
    QString m_identifier;
    QString m_version;
    QDateTime m_date;
    std::optional<QStringList> m_stackArray;
};
