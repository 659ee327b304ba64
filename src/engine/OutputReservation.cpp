#include "engine/OutputReservation.h"

#include "Shared/GlobalFun.h"
#include "Shared/PathText.h"
#include "engine/TemporaryOutput.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Enough for any folder a person keeps; ends a loop over a name that can never be created.
constexpr int kMaxAttempts = 100000;
// Not an errno: a folder for the final name that lies outside the output folder.
constexpr int kOutsideTheOutputFolder = -1;

QString errorText(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QByteArray descriptorPath(int fd)
{
    return QByteArrayLiteral("/proc/self/fd/") + QByteArray::number(fd);
}

// Where the open folder `fd` really is, links resolved.
QString realPathOf(int fd)
{
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink(descriptorPath(fd).constData(), buffer, sizeof buffer);
    if (length <= 0 || length >= ssize_t(sizeof buffer))
        return {};
    return QFile::decodeName(QByteArray(buffer, length));
}

QString canonicalPath(const QString &path)
{
    char *resolved = ::realpath(QFile::encodeName(path).constData(), nullptr);
    if (!resolved)
        return {};
    const QString text = QFile::decodeName(resolved);
    std::free(resolved);
    return text;
}

bool isWithin(const QString &path, const QString &root)
{
    if (path == root)
        return true;
    const QString prefix =
        root.endsWith(QLatin1Char('/')) ? root : QString(root + QLatin1Char('/'));
    return path.startsWith(prefix);
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

OutputReservation::~OutputReservation()
{
    close();
}

void OutputReservation::close()
{
    if (m_file >= 0)
        ::close(m_file);
    if (m_folder >= 0)
        ::close(m_folder);
    m_file = -1;
    m_folder = -1;
}

bool OutputReservation::reserve(const QString &outputRoot, const QString &finalPath, QString *error)
{
    close();
    m_folderPath = QFileInfo(finalPath).path();
    m_folder =
        ::open(QFile::encodeName(m_folderPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_folder < 0) {
        setError(error, QStringLiteral("%1: %2").arg(m_folderPath, errorText(errno)));
        return false;
    }
    // A folder below the output folder that someone replaced with a link must not take the
    // output elsewhere.
    m_root = canonicalPath(outputRoot.isEmpty() ? m_folderPath : outputRoot);
    if (m_root.isEmpty() || !isWithin(realPathOf(m_folder), m_root)) {
        setError(
            error,
            QStringLiteral("%1 leads outside the output folder %2").arg(m_folderPath, outputRoot));
        close();
        return false;
    }
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        const QString name = TemporaryOutput::nextName(finalPath);
        const QByteArray native = QFile::encodeName(name);
        m_file = ::openat(m_folder, native.constData(),
                          O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (m_file >= 0) {
            m_temporaryName = native;
            m_temporaryPath = m_folderPath + QLatin1Char('/') + name;
            return true;
        }
        if (errno != EEXIST) {
            setError(error, QStringLiteral("%1: %2").arg(m_folderPath, errorText(errno)));
            close();
            return false;
        }
    }
    setError(error, QStringLiteral("%1: no free temporary name").arg(m_folderPath));
    close();
    return false;
}

QString OutputReservation::failureText(const QString &finalPath, int code) const
{
    // The file written has no name left to give: someone removed or replaced the temporary.
    if (code == kOutsideTheOutputFolder)
        return QStringLiteral("%1 leads outside the output folder").arg(finalPath);
    if (code == ENOENT)
        return QStringLiteral("%1: the temporary %2 was removed or replaced while it was written")
            .arg(finalPath, m_temporaryPath);
    return QStringLiteral("%1: %2").arg(finalPath, errorText(code));
}

QString OutputReservation::encoderTarget() const
{
    return m_file >= 0 ? QString::fromLatin1(descriptorPath(m_file)) : QString();
}

bool OutputReservation::namesOurFile(int folder, const QByteArray &name) const
{
    struct stat named = {};
    struct stat ours = {};
    return ::fstatat(folder, name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           ::fstat(m_file, &ours) == 0 && sameFile(named, ours);
}

int OutputReservation::openFolderWithin(const QString &folder, int *code) const
{
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        *code = errno;
        return -1;
    }
    if (!isWithin(realPathOf(fd), m_root)) {
        ::close(fd);
        *code = kOutsideTheOutputFolder;
        return -1;
    }
    return fd;
}

QString OutputReservation::commit(const QString &finalPath, const QString &extension,
                                  QString *error, int *errorNumber)
{
    int code = ENOENT;
    if (m_file < 0) {
        setError(error, QStringLiteral("%1: nothing reserved").arg(finalPath));
        if (errorNumber)
            *errorNumber = code;
        return {};
    }
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        const QString candidate = GlobalFun::makeSureFullPathIdentical(finalPath, extension);
        const QString folderPath = QFileInfo(candidate).path();
        const QByteArray name = QFile::encodeName(PathText::lastComponent(candidate));
        const int folder = openFolderWithin(folderPath, &code);
        if (folder < 0)
            break;
        // The link is made from the open file itself, whatever its name points at now, and never
        // replaces anything.
        QString named;
        if (::linkat(AT_FDCWD, descriptorPath(m_file).constData(), folder, name.constData(),
                     AT_SYMLINK_FOLLOW) == 0) {
            discard();
            named = folderPath + QLatin1Char('/') + QFile::decodeName(name);
        } else {
            code = errno;
            // No hard links here (FAT, some network shares): rename, checked.
            if (code == EPERM || code == EOPNOTSUPP || code == ENOSYS || code == EXDEV)
                named = renameChecked(folder, folderPath, name, false, &code);
        }
        ::close(folder);
        if (!named.isEmpty())
            return named;
        // Someone took the name between the look and the link: take the next number.
        if (code != EEXIST) {
            setError(error, failureText(candidate, code));
            if (errorNumber)
                *errorNumber = code;
            return {};
        }
    }
    setError(error, code == EEXIST ? QStringLiteral("%1: no free name").arg(finalPath)
                                   : failureText(finalPath, code));
    if (errorNumber)
        *errorNumber = code;
    return {};
}

QString OutputReservation::replace(const QString &finalPath, QString *error)
{
    int code = ENOENT;
    QString renamed;
    if (m_file >= 0) {
        const QString folderPath = QFileInfo(finalPath).path();
        const int folder = openFolderWithin(folderPath, &code);
        if (folder >= 0) {
            renamed =
                renameChecked(folder, folderPath,
                              QFile::encodeName(PathText::lastComponent(finalPath)), true, &code);
            ::close(folder);
        }
    }
    if (renamed.isEmpty())
        setError(error, failureText(finalPath, code));
    return renamed;
}

// Renames the temporary to `to` in `folder` when its name still leads to the file this
// reservation opened, and checks after the rename that the new name does too; an object swapped
// in meanwhile loses the name again. Answers the new path, or empty with the errno in `code`.
QString OutputReservation::renameChecked(int folder, const QString &folderPath,
                                         const QByteArray &to, bool replacing, int *code)
{
    if (!namesOurFile(m_folder, m_temporaryName)) {
        *code = ENOENT;
        return {};
    }
    const char *from = m_temporaryName.constData();
    int result = 0;
    if (replacing) {
        result = ::renameat(m_folder, from, folder, to.constData());
    } else {
        result = ::renameat2(m_folder, from, folder, to.constData(), RENAME_NOREPLACE);
        if (result != 0 && (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
            // Neither links nor the flag: claim the name exclusively, then move onto the claim.
            const int claim = ::openat(folder, to.constData(),
                                       O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
            if (claim < 0) {
                *code = errno;
                return {};
            }
            ::close(claim);
            result = ::renameat(m_folder, from, folder, to.constData());
            if (result != 0) {
                const int moveError = errno;
                ::unlinkat(folder, to.constData(), 0);
                errno = moveError;
            }
        }
    }
    if (result != 0) {
        *code = errno;
        return {};
    }
    if (!namesOurFile(folder, to)) {
        ::unlinkat(folder, to.constData(), 0);
        *code = ENOENT;
        return {};
    }
    m_temporaryName.clear();
    return folderPath + QLatin1Char('/') + QFile::decodeName(to);
}

void OutputReservation::discard()
{
    if (m_folder >= 0 && m_file >= 0 && !m_temporaryName.isEmpty() &&
        namesOurFile(m_folder, m_temporaryName))
        ::unlinkat(m_folder, m_temporaryName.constData(), 0);
    m_temporaryName.clear();
}
