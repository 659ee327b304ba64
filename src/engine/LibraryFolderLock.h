#pragma once

#include <QLockFile>
#include <QString>

// Serialises rewrites of a music folder's library files across processes (the window and
// wavelark-cli): ".wavelark-library.lock" in the folder, taken within a minute or not at all;
// threads of one process are already serialised by the sync's own lock.
//
// Thread: any; one object per rewrite, held for its length.
class LibraryFolderLock
{
public:
    explicit LibraryFolderLock(const QString &folder);

    bool isLocked() const { return m_failure.isEmpty(); }
    // Why the lock could not be taken, naming the real cause.
    QString failure() const { return m_failure; }

private:
    QString failureText(QLockFile::LockError error) const;

    QString m_folder;
    QLockFile m_lock;
    QString m_failure;
};
