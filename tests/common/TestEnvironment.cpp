#include "TestEnvironment.h"

#include <QDir>

namespace {
QString g_home;
}

TestEnvironment::TestEnvironment()
    : m_root(QDir::tempPath() + QStringLiteral("/wavelark-test-XXXXXX"))
{
    // Without its private home a test would read and write the real user's files: stop here,
    // in release builds too.
    if (!m_root.isValid())
        qFatal("TestEnvironment: cannot create the private home below %s: %s",
               qPrintable(QDir::tempPath()), qPrintable(m_root.errorString()));
    g_home = m_root.path() + QStringLiteral("/home");
    const QString config = g_home + QStringLiteral("/.config");
    const QString cache = g_home + QStringLiteral("/.cache");
    const QString data = g_home + QStringLiteral("/.local/share");
    const QString runtime = m_root.path() + QStringLiteral("/runtime");
    for (const QString &folder : {g_home, config, cache, data, runtime}) {
        if (!QDir().mkpath(folder))
            qFatal("TestEnvironment: cannot create %s", qPrintable(folder));
    }
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    qputenv("HOME", QFile::encodeName(g_home));
    qputenv("WAVELARK_TEST_HOME", QFile::encodeName(g_home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data));
    qputenv("XDG_STATE_HOME", QFile::encodeName(g_home + QStringLiteral("/.local/state")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    qputenv("XDG_DOCUMENTS_DIR", QFile::encodeName(g_home + QStringLiteral("/Documents")));
    qputenv("XDG_MUSIC_DIR", QFile::encodeName(g_home + QStringLiteral("/Music")));
}

TestEnvironment::~TestEnvironment() = default;

QString TestEnvironment::home()
{
    return g_home;
}

QString TestEnvironment::configHome()
{
    return g_home + QStringLiteral("/.config");
}
