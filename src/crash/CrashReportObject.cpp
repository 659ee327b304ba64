#include "crash/CrashReportObject.h"

#include "Shared/BoundedFile.h"
#include "Shared/GlobalFun.h"
#include "Shared/Logging.h"
#include "model/UserIdentity.h"

#include <AppInfo.h>

#include <QCborArray>
#include <QCborStreamReader>
#include <QCborValue>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const QString CrashReportObject::kOsNameKey = QStringLiteral("osName");
const QString CrashReportObject::kDeviceModelKey = QStringLiteral("deviceModel");
const QString CrashReportObject::kDeviceUniqueIdentifierKey =
    QStringLiteral("deviceUniqueIdentifier");
const QString CrashReportObject::kOsVersionKey = QStringLiteral("osVersion");
const QString CrashReportObject::kVersionKey = QStringLiteral("version");
const QString CrashReportObject::kIdentifierKey = QStringLiteral("identifier");
const QString CrashReportObject::kDateKey = QStringLiteral("date");
const QString CrashReportObject::kStackArrayKey = QStringLiteral("stackArray");

CrashReportObject CrashReportObject::deviceFields()
{
    CrashReportObject record;
    // What the crash service has always received: docs/ARCHITECTURE.md, "Kept as they are".
    record.m_osName = QStringLiteral("mac os");
    record.m_osVersion = GlobalFun::getSystemVersionString();
    record.m_deviceUniqueIdentifier = UserIdentity::getGUID();
    record.m_deviceModel =
        QStringLiteral("%1|%2").arg(GlobalFun::computerModel(), QStringLiteral("___"));
    record.m_identifier = GlobalFun::bundleID();
    record.m_version = QLatin1String(AppInfo::kShortVersion) + QStringLiteral(".build") +
                       QLatin1String(AppInfo::kBuildNumber);
    return record;
}

CrashReportObject CrashReportObject::init()
{
    CrashReportObject record = deviceFields();
    qCInfo(lcCrash).noquote()
        << QStringLiteral("---------|||||||| : %1").arg(record.m_deviceUniqueIdentifier);
    return record;
}

CrashReportObject CrashReportObject::initWithCrashDate(const QDateTime &date,
                                                       const QStringList &stack)
{
    CrashReportObject record = init();
    record.m_date = date;
    record.m_stackArray = stack;
    return record;
}

QCborMap CrashReportObject::encodeWithCoder() const
{
    QCborMap map;
    const auto putText = [&map](const QString &key, const QString &value) {
        if (!value.isNull())
            map.insert(key, value);
    };
    putText(kOsNameKey, m_osName);
    putText(kDeviceModelKey, m_deviceModel);
    putText(kDeviceUniqueIdentifierKey, m_deviceUniqueIdentifier);
    putText(kOsVersionKey, m_osVersion);
    putText(kVersionKey, m_version);
    putText(kIdentifierKey, m_identifier);
    // Written in UTC with milliseconds: the same text the crash handler writes itself.
    if (m_date.isValid())
        map.insert(kDateKey, QCborValue(m_date.toUTC()));
    if (m_stackArray)
        map.insert(kStackArrayKey, QCborArray::fromStringList(*m_stackArray));
    return map;
}

CrashReportObject CrashReportObject::initWithCoder(const QCborMap &map)
{
    // A key of the wrong kind reads as an absent field, like a missing one.
    const auto text = [&map](const QString &key) {
        const QCborValue value = map.value(key);
        return value.isString() ? value.toString() : QString();
    };
    CrashReportObject record;
    record.m_osName = text(kOsNameKey);
    record.m_deviceModel = text(kDeviceModelKey);
    record.m_deviceUniqueIdentifier = text(kDeviceUniqueIdentifierKey);
    record.m_osVersion = text(kOsVersionKey);
    record.m_version = text(kVersionKey);
    record.m_identifier = text(kIdentifierKey);
    const QCborValue date = map.value(kDateKey);
    if (date.isDateTime())
        record.m_date = date.toDateTime();
    const QCborValue stack = map.value(kStackArrayKey);
    if (stack.isArray()) {
        QStringList lines;
        for (const QCborValue &line : stack.toArray())
            lines.append(line.toString());
        record.m_stackArray = lines;
    }
    return record;
}

std::optional<CrashReportObject> CrashReportObject::initWithContentsOfFile(const QString &path)
{
    const BoundedFile::Result read = BoundedFile::read(path, kMaxRecordBytes);
    if (read.status == BoundedFile::Status::NotRegular ||
        read.status == BoundedFile::Status::TooLarge) {
        qCWarning(lcCrash).noquote()
            << QStringLiteral("crash record %1 is not a regular file of at most %2 bytes")
                   .arg(path)
                   .arg(kMaxRecordBytes);
        return std::nullopt;
    }
    if (!read.isRead())
        return std::nullopt;
    const QByteArray &bytes = read.bytes;
    QCborStreamReader reader(bytes);
    const QCborValue root = QCborValue::fromCbor(reader);
    // Trailing bytes mean a damaged file as much as a parse error does.
    if (reader.lastError() != QCborError::NoError || reader.currentOffset() != bytes.size() ||
        !root.isMap())
        return std::nullopt;
    return initWithCoder(root.toMap());
}

bool CrashReportObject::writeToFile(const QString &path, bool atomically) const
{
    const QByteArray bytes = encodeWithCoder().toCborValue().toCbor();
    // The Documents folder may not exist yet in a fresh home.
    QDir().mkpath(QFileInfo(path).absolutePath());
    // The record holds the permanent user id: only its owner may read it.
    constexpr QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (atomically) {
        QSaveFile file(path);
        return file.open(QIODevice::WriteOnly) && file.setPermissions(ownerOnly) &&
               file.write(bytes) == bytes.size() && file.commit();
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.setPermissions(ownerOnly) && file.write(bytes) == bytes.size();
}

QString CrashReportObject::description() const
{
    QString text = QStringLiteral("STACK:\n");
    for (const QString &line : m_stackArray.value_or(QStringList()))
        text += line + QLatin1Char('\n');
    return text;
}
