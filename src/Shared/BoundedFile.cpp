#include "Shared/BoundedFile.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("BoundedFile", text);
}

BoundedFile::Result refused(BoundedFile::Status status, const QString &reason)
{
    BoundedFile::Result result;
    result.status = status;
    result.reason = reason;
    return result;
}

QString errorText(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

} // namespace

BoundedFile::Result BoundedFile::read(const QString &path, qint64 maxBytes)
{
    return open(path, maxBytes, true);
}

BoundedFile::Result BoundedFile::check(const QString &path, qint64 maxBytes)
{
    return open(path, maxBytes, false);
}

BoundedFile::Result BoundedFile::open(const QString &path, qint64 maxBytes, bool keepContents)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int code = errno;
        if (code == ENOENT || code == ENOTDIR)
            return refused(Status::Missing, errorText(code));
        // A socket cannot be opened at all; say what it is rather than "no such device".
        struct stat named = {};
        if (code == ENXIO ||
            (::stat(QFile::encodeName(path).constData(), &named) == 0 && !S_ISREG(named.st_mode)))
            return refused(Status::NotRegular, tr("not a regular file"));
        return refused(Status::Unreadable, errorText(code));
    }
    struct stat info = {};
    if (::fstat(fd, &info) != 0) {
        const int code = errno;
        ::close(fd);
        return refused(Status::Unreadable, errorText(code));
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return refused(Status::NotRegular, tr("not a regular file"));
    }
    if (info.st_size > maxBytes) {
        ::close(fd);
        return refused(Status::TooLarge, tr("larger than %1 bytes").arg(maxBytes));
    }
    Result result;
    result.status = Status::Read;
    if (!keepContents) {
        ::close(fd);
        return result;
    }
    // The file may grow while it is read: one byte more than the bound says so.
    QByteArray bytes(qsizetype(info.st_size) + 1, Qt::Uninitialized);
    qsizetype filled = 0;
    while (true) {
        if (filled == bytes.size()) {
            if (filled > maxBytes)
                break;
            bytes.resize(std::min<qsizetype>(bytes.size() * 2, qsizetype(maxBytes) + 1));
        }
        const ssize_t got = ::read(fd, bytes.data() + filled, size_t(bytes.size() - filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int code = errno;
            ::close(fd);
            return refused(Status::Unreadable, errorText(code));
        }
        if (got == 0)
            break;
        filled += got;
    }
    ::close(fd);
    if (filled > maxBytes)
        return refused(Status::TooLarge, tr("larger than %1 bytes").arg(maxBytes));
    bytes.truncate(filled);
    result.bytes = std::move(bytes);
    return result;
}
