#pragma once

#include "model/OnlineServices.h"
#include "net/store/SoftwareCentreWatcher.h"
#include "net/store/StoreLookup.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QVariant>

#include <functional>

// What the rating prompt and the update check have in common: the application's identity in the
// store, one process-wide instance started once the event loop runs, the store lookup on a
// thread of its own that hands its results back to the main thread, the dates they keep in the
// user defaults, and waiting for a main window to show a sheet on.
// Thread: main thread, except the functions marked "lookup thread".
class StorePrompt : public QObject
{
    Q_OBJECT

public:
    ~StorePrompt() override;

    // True when the environment variable WAVELARK_NO_STORE_PROMPTS is set to anything but "0";
    // test runs of other parts set it so that no sheet comes up.
    static bool storePromptsDisabled();

    bool isCurrentlyChecking() const { return m_currentlyChecking; }

    // Stops a running lookup: asks its thread to stop and waits for it, at most 5 s. Results it
    // handed back before are dropped.
    void stopLookup();

protected:
    // `name` ("AppRater", "UpdateCheck") names the lookup thread and the domain of the errors.
    StorePrompt(const QString &name, QObject *parent);

    // Country, installed version and bundle identifier of `settings` from the application.
    template<typename Settings>
    static void setApplicationIdentity(Settings &settings)
    {
        settings.appStoreCountry = StoreLookup::defaultCountry();
        settings.applicationVersion = installedVersion();
        settings.applicationBundleID = applicationBundleID();
    }
    // The short version, else the build number.
    static QString installedVersion();
    static QString applicationBundleID();

    // The process-wide `Prompt`, created on first use and kept until the process ends; its
    // lookup is stopped when the application quits.
    template<typename Prompt>
    static Prompt *sharedPrompt()
    {
        static Prompt *instance = [] {
            auto *prompt = new Prompt();
            QObject::connect(qApp, &QCoreApplication::aboutToQuit, prompt,
                             &StorePrompt::stopLookup);
            return prompt;
        }();
        return instance;
    }
    // Queues the creation of the shared `Prompt` and its applicationLaunched() to the main
    // thread's event loop, unless prompts or online services are switched off.
    template<typename Prompt>
    static void startWhenRunning()
    {
        if (storePromptsDisabled() || !OnlineServices::allowed())
            return;
        QTimer::singleShot(0, qApp, [] {
            Prompt *prompt = Prompt::sharedInstance();
            QTimer::singleShot(0, prompt, &Prompt::applicationLaunched);
        });
    }

    // Runs `work` on a lookup thread of its own, holding the lookup lock, unless a lookup is
    // already under way. The owner calls finishChecking() once the result is dealt with.
    void startLookup(std::function<void()> work);
    void finishChecking() { m_currentlyChecking = false; }

    // Lookup thread: true once the owner asked the lookup to stop.
    static bool lookupStopRequested();
    // Lookup thread: queues `apply` to the main thread without waiting for it, unless the lookup
    // is being stopped; it runs there only while this prompt exists.
    void applyOnMainThread(std::function<void()> apply);
    // Lookup thread: like applyOnMainThread(), and the main thread also drops the result when the
    // lookup was stopped by the time it gets there.
    void deliverResult(std::function<void()> deliver);

    // The lookup's own errors, in this prompt's domain.
    enum LookupErrorCode {
        BundleIdDoesNotMatchAppStore = 1,
        ApplicationNotFoundOnAppStore = 2,
        ApplicationIsNotLatestVersion = 3,
    };
    StoreError lookupError(LookupErrorCode code, const QString &description) const;
    StoreError bundleMismatchError(const QString &storeBundleID) const;
    StoreError notFoundError() const;
    // Lookup thread: the verbose lines both prompts write about the store's answer.
    void logFoundStoreID(bool verboseLogging, const QString &trackID) const;
    void logBundleMismatch(bool verboseLogging, const QString &ownBundleID,
                           const QString &storeBundleID, quint64 appStoreID) const;
    static void logVerbose(bool verboseLogging, const QString &text);

    // False, with `retry` queued for half a second later, while a main window is `required` but
    // not there yet.
    bool mainWindowReady(bool required, std::function<void()> retry);
    // Opens `url` (the store page or the configured page); with `reopenInSoftwareCentre`, opens
    // it once more when the software centre was only starting.
    void openInStore(const QUrl &url, bool reopenInSoftwareCentre);

    // The user defaults both prompts keep their dates and answers in.
    static QDateTime storedDate(QLatin1String key);
    static void storeAndSync(QLatin1String key, const QVariant &value);
    static void removeAndSync(QLatin1String key);
    static double secondsSince(const QDateTime &date);
    // True when `date` lies less than `days` days back (or in the future).
    static bool isWithinDays(const QDateTime &date, float days);

private:
    QString m_name;
    bool m_currentlyChecking = false;
    bool m_lookupStopped = false; // results that still arrive are dropped
    QMutex m_lookupLock;
    QPointer<QThread> m_lookupThread;
    SoftwareCentreWatcher m_softwareCentre;
};
