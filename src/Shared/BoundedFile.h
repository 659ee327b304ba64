#pragma once

#include <QByteArray>
#include <QString>

// Reads the files Wavelark keeps for itself (preferences, playlists, the library record, the crash
// record) without trusting what stands at their names: only a regular file (after links) of at
// most a given size is read. The file is opened non-blocking, so a FIFO in its place cannot hold
// the caller up, and the checks look at what was opened, not at the name again, so a device such
// as /dev/zero or a file swapped in meanwhile is never read without end.
// Thread: any.
class BoundedFile
{
public:
    BoundedFile() = delete;

    enum class Status {
        Read,       // a regular file within the bound; `bytes` holds it
        Missing,    // nothing at the name (or a link to nothing)
        NotRegular, // a FIFO, a device, a socket or a folder
        TooLarge,   // a regular file larger than the bound
        Unreadable, // no permission, an I/O error
    };

    struct Result
    {
        Status status = Status::Missing;
        QByteArray bytes;
        // What was wrong, for a log line or a failure reason ("not a regular file"); empty when
        // read.
        QString reason;

        bool isRead() const { return status == Status::Read; }
        // There is something at the name, but it must not be read.
        bool isRefused() const { return status != Status::Read && status != Status::Missing; }
    };

    // The contents of the file at `path` when it is a regular file of at most `maxBytes` bytes.
    static Result read(const QString &path, qint64 maxBytes);
    // Like read() without keeping the contents: what a reader that opens the file by itself
    // (QSettings, QFile in append mode) would find.
    static Result check(const QString &path, qint64 maxBytes);

private:
    static Result open(const QString &path, qint64 maxBytes, bool keepContents);
};
