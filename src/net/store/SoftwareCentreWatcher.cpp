#include "net/store/SoftwareCentreWatcher.h"

#include "Shared/Logging.h"
#include "Shared/Workspace.h"

#include <QDir>
#include <QFile>

namespace {
QString g_procRoot = QStringLiteral("/proc");
}

SoftwareCentreWatcher::SoftwareCentreWatcher(QObject *parent)
    : QObject(parent)
{
    m_pollTimer.setInterval(kPollIntervalMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &SoftwareCentreWatcher::poll);
    m_reopenTimer.setSingleShot(true);
    m_reopenTimer.setInterval(kReopenDelayMs);
    connect(&m_reopenTimer, &QTimer::timeout, this, [this] { Workspace::shared().openUrl(m_url); });
}

void SoftwareCentreWatcher::reopenWhenSoftwareCentreRuns(const QUrl &url)
{
    m_url = url;
    m_reopenTimer.stop();
    m_watching.start();
    m_pollTimer.start();
    poll();
}

void SoftwareCentreWatcher::poll()
{
    if (softwareCentreRunning(g_procRoot)) {
        m_pollTimer.stop();
        m_reopenTimer.start();
        return;
    }
    if (m_watching.elapsed() >= kGiveUpAfterMs) {
        m_pollTimer.stop();
        qCInfo(lcNet) << "no software centre started; the store page was opened once";
    }
}

bool SoftwareCentreWatcher::softwareCentreRunning(const QString &procRoot)
{
    const QStringList names = softwareCentreNames();
    const QStringList pids = QDir(procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pid : pids) {
        if (pid.isEmpty() || !pid.front().isDigit())
            continue;
        QFile comm(procRoot + QLatin1Char('/') + pid + QStringLiteral("/comm"));
        if (!comm.open(QIODevice::ReadOnly))
            continue;
        const QString name = QString::fromUtf8(comm.read(64)).trimmed();
        if (names.contains(name))
            return true;
    }
    return false;
}

QStringList SoftwareCentreWatcher::softwareCentreNames()
{
    return {QStringLiteral("gnome-software"), QStringLiteral("plasma-discover"),
            QStringLiteral("mintinstall"), QStringLiteral("pamac-manager")};
}

QString SoftwareCentreWatcher::procRoot()
{
    return g_procRoot;
}

void SoftwareCentreWatcher::setProcRoot(const QString &path)
{
    g_procRoot = path;
}
