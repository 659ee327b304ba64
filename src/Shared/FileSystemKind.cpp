#include "Shared/FileSystemKind.h"

#include "Shared/Logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// Magic numbers of statfs (linux/magic.h and the file systems' own headers).
constexpr unsigned long kMsdosMagic = 0x4d44;
constexpr unsigned long kExfatMagic = 0x2011BAB0;
constexpr unsigned long kNtfsMagic = 0x5346544e;
constexpr unsigned long kCifsMagic = 0xFF534D42;
constexpr unsigned long kSmb2Magic = 0xFE534D42;
constexpr unsigned long kSmbMagic = 0x517B;
constexpr unsigned long kFuseMagic = 0x65735546;

constexpr qint64 kBootSectorSize = 512;

std::atomic<quint64> g_probeSequence{0};

using Kind = FileSystemKind::Kind;

Kind kindOfMagic(unsigned long magic)
{
    switch (magic) {
    case kMsdosMagic:
        return Kind::Fat;
    case kExfatMagic:
        return Kind::Exfat;
    case kNtfsMagic:
        return Kind::Ntfs;
    case kCifsMagic:
    case kSmb2Magic:
    case kSmbMagic:
        return Kind::Smb;
    default:
        return Kind::Posix;
    }
}

// mountinfo escapes blanks and backslashes as octal.
QString unescaped(const QByteArray &field)
{
    QByteArray text;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field.at(i) == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                text += char(code);
                i += 3;
                continue;
            }
        }
        text += field.at(i);
    }
    return QFile::decodeName(text);
}

struct MountEntry
{
    QString mountPoint;
    QString type;
    QString source;
};

// The mount of device `device` whose mount point holds `folder` most closely.
bool findMount(const QString &folder, dev_t device, MountEntry *found)
{
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray wanted =
        QByteArray::number(major(device)) + ':' + QByteArray::number(minor(device));
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    bool any = false;
    for (const QByteArray &line : table.readAll().split('\n')) {
        // id parent major:minor root mount-point options [optional...] - type source options
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype separator = fields.indexOf("-");
        if (fields.size() < 5 || separator < 0 || separator + 2 >= fields.size() ||
            fields.at(2) != wanted)
            continue;
        const QString mountPoint = unescaped(fields.at(4));
        const QString prefix =
            mountPoint.endsWith(QLatin1Char('/')) ? mountPoint : mountPoint + QLatin1Char('/');
        if (canonical != mountPoint && !canonical.startsWith(prefix))
            continue;
        if (any && mountPoint.size() <= found->mountPoint.size())
            continue;
        *found = {mountPoint, QString::fromUtf8(fields.at(separator + 1)),
                  unescaped(fields.at(separator + 2))};
        any = true;
    }
    return any;
}

Kind kindOfDevice(const QString &source)
{
    if (!source.startsWith(QLatin1String("/dev/")))
        return Kind::Unknown;
    QFile device(source);
    if (!device.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return Kind::Unknown;
    return FileSystemKind::fromBootSector(device.read(kBootSectorSize));
}

// Tries a name with a refused character in `folder`; a plain name that works where it does not
// shows a file system that refuses characters.
Kind probedKind(const QString &folder)
{
    const QString stem = QStringLiteral("%1/.wavelark-probe-%2-%3")
                             .arg(folder)
                             .arg(qint64(::getpid()))
                             .arg(g_probeSequence.fetch_add(1));
    const auto created = [](const QString &path) {
        const QByteArray native = QFile::encodeName(path);
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        ::close(fd);
        ::unlink(native.constData());
        return true;
    };
    if (created(stem + QStringLiteral("-a:b")))
        return Kind::Posix;
    if (created(stem))
        return Kind::RefusesCharacters;
    return Kind::Unknown;
}

} // namespace

FileSystemKind FileSystemKind::of(const QString &folder)
{
    const QByteArray native = QFile::encodeName(folder);
    struct statfs fs;
    struct stat status;
    if (::statfs(native.constData(), &fs) != 0 || ::stat(native.constData(), &status) != 0)
        return FileSystemKind();
    const unsigned long magic = static_cast<unsigned long>(fs.f_type);
    if (magic != kFuseMagic)
        return FileSystemKind(kindOfMagic(magic));

    MountEntry mount;
    Kind kind = Kind::Unknown;
    if (findMount(folder, status.st_dev, &mount)) {
        kind = fromMountType(mount.type);
        if (kind == Kind::Unknown)
            kind = kindOfDevice(mount.source);
    }
    if (kind == Kind::Unknown)
        kind = probedKind(folder);
    qCDebug(lcShared).noquote() << QStringLiteral("file system of %1: %2 (%3 %4)")
                                       .arg(folder, FileSystemKind(kind).name(), mount.type,
                                            mount.source);
    return FileSystemKind(kind);
}

FileSystemKind::Kind FileSystemKind::fromMountType(const QString &type)
{
    // "fuseblk" and "fuse" name no driver.
    const bool fuse = type.startsWith(QLatin1String("fuse"));
    const QString driver =
        type.startsWith(QLatin1String("fuse.")) ? type.mid(5).toLower() : (fuse ? QString() : type);
    if (driver.isEmpty())
        return Kind::Unknown;
    if (driver.contains(QLatin1String("exfat")))
        return Kind::Exfat;
    if (driver.contains(QLatin1String("ntfs")))
        return Kind::Ntfs;
    if (driver.contains(QLatin1String("fat")) || driver == QLatin1String("msdos"))
        return Kind::Fat;
    if (driver.contains(QLatin1String("smb")) || driver.contains(QLatin1String("cifs")))
        return Kind::Smb;
    return fuse ? Kind::Unknown : Kind::Posix;
}

FileSystemKind::Kind FileSystemKind::fromBootSector(const QByteArray &sector)
{
    if (sector.size() < 90)
        return Kind::Unknown;
    if (sector.mid(3, 8) == "EXFAT   ")
        return Kind::Exfat;
    if (sector.mid(3, 8) == "NTFS    ")
        return Kind::Ntfs;
    if (sector.mid(54, 3) == "FAT" || sector.mid(82, 5) == "FAT32")
        return Kind::Fat;
    return Kind::Unknown;
}

bool FileSystemKind::refusesCharacters() const
{
    return m_kind != Kind::Unknown && m_kind != Kind::Posix;
}

PortableFileName::LengthUnit FileSystemKind::lengthUnit() const
{
    switch (m_kind) {
    case Kind::Fat:
    case Kind::Exfat:
    case Kind::Ntfs:
        return PortableFileName::LengthUnit::Utf16Units;
    default:
        return PortableFileName::LengthUnit::Utf8Bytes;
    }
}

QString FileSystemKind::name() const
{
    switch (m_kind) {
    case Kind::Posix:
        return QStringLiteral("posix");
    case Kind::Fat:
        return QStringLiteral("fat");
    case Kind::Exfat:
        return QStringLiteral("exfat");
    case Kind::Ntfs:
        return QStringLiteral("ntfs");
    case Kind::Smb:
        return QStringLiteral("smb");
    case Kind::RefusesCharacters:
        return QStringLiteral("refuses characters");
    case Kind::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}
