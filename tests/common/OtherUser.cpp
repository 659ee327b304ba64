#include "OtherUser.h"

#include "TestAudio.h"

#include <QStringList>

#include <pwd.h>
#include <unistd.h>

OtherUser::OtherUser(const QString &name)
    : m_name(name)
{
    if (::geteuid() != 0) {
        m_skipReason = QStringLiteral("needs root to make a second local user");
        return;
    }
    // A user left behind by a killed run of the same test.
    TestAudio::run(QStringLiteral("userdel"), {m_name});
    if (TestAudio::run(QStringLiteral("useradd"),
                       {QStringLiteral("--no-create-home"), QStringLiteral("--shell"),
                        QStringLiteral("/bin/sh"), m_name}) != 0) {
        m_skipReason = QStringLiteral("useradd could not make %1").arg(m_name);
        return;
    }
    const struct passwd *entry = ::getpwnam(m_name.toLocal8Bit().constData());
    if (!entry) {
        m_skipReason = QStringLiteral("%1 is not in the password database").arg(m_name);
        return;
    }
    m_uid = int(entry->pw_uid);
    m_gid = int(entry->pw_gid);
}

OtherUser::~OtherUser()
{
    if (m_uid >= 0)
        TestAudio::run(QStringLiteral("userdel"), {m_name});
}

int OtherUser::runShell(const QString &script, const QStringList &arguments) const
{
    QStringList all{QStringLiteral("-u"), m_name, QStringLiteral("--"), QStringLiteral("/bin/sh"),
                    QStringLiteral("-c"), script, QStringLiteral("sh")};
    all << arguments;
    return TestAudio::run(QStringLiteral("runuser"), all);
}
