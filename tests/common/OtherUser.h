#pragma once

#include <QString>
#include <QStringList>

// A second local user for the cases where someone else can write into a folder of ours: made
// with useradd when the test runs as root and removed again with userdel. Without root (or
// without useradd) it is not made; the test then skips with skipReason().
class OtherUser
{
public:
    explicit OtherUser(const QString &name);
    ~OtherUser();
    OtherUser(const OtherUser &) = delete;
    OtherUser &operator=(const OtherUser &) = delete;

    bool isMade() const { return m_uid >= 0; }
    QString skipReason() const { return m_skipReason; }
    QString name() const { return m_name; }
    int uid() const { return m_uid; }
    int gid() const { return m_gid; }
    // Runs `script` with /bin/sh as this user, `arguments` as $1, $2...; its exit status (-1 when
    // it could not start).
    int runShell(const QString &script, const QStringList &arguments = {}) const;

private:
    QString m_name;
    QString m_skipReason;
    int m_uid = -1;
    int m_gid = -1;
};
