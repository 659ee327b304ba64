#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QUrl>

// After a store page was opened: waits for the desktop's software centre to run and opens the
// page once more a little later, because a software centre that was only starting may not have
// shown it. Gives up when no software centre turns up within a minute.
// Thread: main thread.
class SoftwareCentreWatcher : public QObject
{
    Q_OBJECT

public:
    static constexpr int kPollIntervalMs = 500;
    static constexpr int kGiveUpAfterMs = 60000;
    static constexpr int kReopenDelayMs = 5000;

    explicit SoftwareCentreWatcher(QObject *parent = nullptr);

    // Starts watching for `url` (a watch already under way is replaced).
    void reopenWhenSoftwareCentreRuns(const QUrl &url);

    // True when a process of one of the known software centres runs, read from `procRoot`.
    static bool softwareCentreRunning(const QString &procRoot);
    // The process names of the known software centres (as /proc/<pid>/comm spells them).
    static QStringList softwareCentreNames();

    // Where running processes are listed: "/proc"; tests point it at a folder of their own.
    static QString procRoot();
    static void setProcRoot(const QString &path);

private:
    void poll();

    QTimer m_pollTimer;
    QTimer m_reopenTimer;
    QElapsedTimer m_watching;
    QUrl m_url;
};
