#include "model/UserDefaults.h"

#include "AppInfo.h"
#include "Shared/BoundedFile.h"
#include "Shared/LenientNumber.h"
#include "Shared/Logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <fcntl.h>
#include <unistd.h>

UserDefaults &UserDefaults::standard()
{
    static UserDefaults store(
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
        QLatin1String(AppInfo::kMakerFolder) + QLatin1Char('/') +
        QLatin1String(AppInfo::kProductFolder) + QStringLiteral(".conf"));
    return store;
}

namespace {

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// Whether the file at `path` may be handed to QSettings, which opens it by name and reads it
// whole, at start and again at every sync: a FIFO there would hang both programs, a device or a
// huge file would fill the memory. Logs why not.
bool isReadableStore(const QString &path)
{
    const BoundedFile::Result found = BoundedFile::check(path, UserDefaults::kMaxFileBytes);
    if (!found.isRefused())
        return true;
    qCWarning(lcModel).noquote()
        << QStringLiteral("preferences file %1 not read (%2): starting with the defaults; changes "
                          "last until the program ends and the file is left as it is")
               .arg(path, found.reason);
    return false;
}

// The file holds the permanent user id: only its owner may read it, whatever the umask. Made
// empty and private before QSettings first writes it; QSettings keeps the mode when it replaces
// the file, and sync() checks it again for a file that was made by something else. Null when
// the file must not be read.
std::unique_ptr<QSettings> openPrivately(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
    if (!isReadableStore(path))
        return nullptr;
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

void keepPrivate(const QString &path)
{
    constexpr QFileDevice::Permissions kOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                 QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                 QFileDevice::WriteOther | QFileDevice::ExeOther;
    QFile file(path);
    if (file.exists() && (file.permissions() & kOthers))
        file.setPermissions(kOwnerOnly);
}

} // namespace

UserDefaults::UserDefaults(const QString &iniFilePath)
    : m_settings(openPrivately(iniFilePath))
    , m_filePath(iniFilePath)
{
    // The process's store may first be asked for on a worker thread that ends long before the
    // store does; it belongs to the main thread like its listeners.
    if (QCoreApplication *app = QCoreApplication::instance())
        moveToThread(app->thread());
}

UserDefaults::~UserDefaults() = default;

QVariant UserDefaults::objectForKey(const QString &key) const
{
    QMutexLocker locker(&m_lock);
    const auto overridden = m_volatile.constFind(key);
    if (overridden != m_volatile.cend())
        return overridden.value();
    const QVariant stored = m_settings ? m_settings->value(key) : m_unsaved.value(key);
    if (stored.isValid())
        return stored;
    return m_registered.value(key);
}

QString UserDefaults::stringForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value.toString();
    case QMetaType::QByteArray:
        return QString::fromUtf8(value.toByteArray());
    default:
        return QString();
    }
}

qint64 UserDefaults::integerForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed().toLower();
        if (text == QLatin1String("true") || text == QLatin1String("yes"))
            return 1;
    }
    return LenientNumber::valueToInteger(value);
}

bool UserDefaults::boolForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed().toLower();
        if (text == QLatin1String("true") || text == QLatin1String("yes"))
            return true;
        return LenientNumber::toInteger(QStringView(text)) != 0;
    }
    return LenientNumber::valueToInteger(value) != 0;
}

double UserDefaults::doubleForKey(const QString &key) const
{
    return LenientNumber::valueToDouble(objectForKey(key));
}

QVariantList UserDefaults::arrayForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    if (value.typeId() == QMetaType::QVariantList)
        return value.toList();
    if (value.typeId() == QMetaType::QStringList) {
        QVariantList list;
        for (const QString &text : value.toStringList())
            list.append(text);
        return list;
    }
    return {};
}

bool UserDefaults::hasStoredValue(const QString &key) const
{
    QMutexLocker locker(&m_lock);
    return m_settings ? m_settings->contains(key) : m_unsaved.contains(key);
}

void UserDefaults::setValue(const QString &key, const QVariant &value)
{
    {
        QMutexLocker locker(&m_lock);
        if (!m_settings && value.isValid())
            m_unsaved.insert(key, value);
        else if (!m_settings)
            m_unsaved.remove(key);
        else if (value.isValid())
            m_settings->setValue(key, value);
        else
            m_settings->remove(key);
    }
    emit valueChanged(key);
}

void UserDefaults::removeObjectForKey(const QString &key)
{
    {
        QMutexLocker locker(&m_lock);
        if (m_settings)
            m_settings->remove(key);
        else
            m_unsaved.remove(key);
    }
    emit valueChanged(key);
}

void UserDefaults::registerDefaults(const QVariantMap &defaults)
{
    QMutexLocker locker(&m_lock);
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it)
        m_registered.insert(it.key(), it.value());
}

void UserDefaults::setVolatileValue(const QString &key, const QVariant &value)
{
    {
        QMutexLocker locker(&m_lock);
        if (value.isValid())
            m_volatile.insert(key, value);
        else
            m_volatile.remove(key);
    }
    emit valueChanged(key);
}

bool UserDefaults::synchronize()
{
    QMutexLocker locker(&m_lock);
    if (!m_settings)
        return false;
    // The file may have been replaced since the start; QSettings would read it again.
    if (!isReadableStore(m_filePath)) {
        keepInMemory();
        return false;
    }
    m_settings->sync();
    keepPrivate(m_settings->fileName());
    return m_settings->status() == QSettings::NoError;
}

QString UserDefaults::filePath() const
{
    return m_filePath;
}

bool UserDefaults::isKeptInMemory() const
{
    QMutexLocker locker(&m_lock);
    return !m_settings;
}

void UserDefaults::keepInMemory()
{
    for (const QString &key : m_settings->allKeys())
        m_unsaved.insert(key, m_settings->value(key));
    // Deleting it, or its own delayed save, would write pending changes through the very name
    // that must not be touched again: the one object is let go, without events.
    QSettings *abandoned = m_settings.release();
    if (abandoned->thread() == QThread::currentThread())
        abandoned->moveToThread(nullptr);
}
