#pragma once

#include <QMutex>
#include <QObject>
#include <QSettings>
#include <QVariant>

#include <memory>

// The per-user preferences store: values the program stored (an INI file under the user's
// configuration folder), over a layer of registered defaults that lives in memory for the
// process and is never written. A missing key reads as a null object, an empty text, false or 0.
// A file that is not a regular file of at most kMaxFileBytes (a FIFO, a link to a device, a file
// grown huge) is never read nor replaced: the store then starts from the defaults and keeps the
// values set in memory until the process ends, with a warning that says why.
// Thread: any; every call is serialised by the store's own lock. valueChanged() is emitted on the
// thread that made the change, after the lock is released.
class UserDefaults : public QObject
{
    Q_OBJECT

public:
    // The store of the running user: $XDG_CONFIG_HOME/morvane/wavelark.conf.
    static UserDefaults &standard();

    explicit UserDefaults(const QString &iniFilePath);
    ~UserDefaults();

    UserDefaults(const UserDefaults &) = delete;
    UserDefaults &operator=(const UserDefaults &) = delete;

    // The volatile value, else the stored value, else the registered default, else an invalid
    // QVariant.
    QVariant objectForKey(const QString &key) const;
    // A text, or a number written as text; null for anything else and for a missing key.
    QString stringForKey(const QString &key) const;
    qint64 integerForKey(const QString &key) const;
    bool boolForKey(const QString &key) const;
    double doubleForKey(const QString &key) const;
    QVariantList arrayForKey(const QString &key) const;

    bool hasStoredValue(const QString &key) const;

    // Stores `value`; an invalid QVariant removes the key.
    void setValue(const QString &key, const QVariant &value);
    void removeObjectForKey(const QString &key);

    // Adds `defaults` to the registered layer (never written to the file).
    void registerDefaults(const QVariantMap &defaults);
    // Values that win over the stored ones for the rest of this process and are never written
    // (options given to one run of the command-line converter). An invalid QVariant drops one.
    void setVolatileValue(const QString &key, const QVariant &value);

    // Writes pending changes to disk; false when the file could not be written or the store is
    // kept in memory.
    bool synchronize();

    QString filePath() const;
    // True when the file was refused and the values live in memory only.
    bool isKeptInMemory() const;

    // Far more than any preferences file holds; a larger one is not read.
    static constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;

signals:
    // `key` was set, removed or given a volatile value (the value may be the same as before).
    void valueChanged(const QString &key);

private:
    // Moves the stored values into memory and lets go of the file. Called with the lock held.
    void keepInMemory();

    mutable QMutex m_lock;
    std::unique_ptr<QSettings> m_settings; // null when the file was refused
    const QString m_filePath;
    QVariantMap m_unsaved; // the stored values while there is no file
    QVariantMap m_registered;
    QVariantMap m_volatile;
};
