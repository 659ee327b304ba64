#include "net/store/StorePrompt.h"

#include "AppInfo.h"
#include "Shared/Logging.h"
#include "Shared/Workspace.h"
#include "model/UserDefaults.h"
#include "net/store/PromptPresenter.h"

#include <QDeadlineTimer>
#include <QMutexLocker>

namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr int kMainWindowRetryMs = 500;
constexpr int kStopWaitMs = 5000;

UserDefaults &defaults()
{
    return UserDefaults::standard();
}

} // namespace

StorePrompt::StorePrompt(const QString &name, QObject *parent)
    : QObject(parent)
    , m_name(name)
{}

StorePrompt::~StorePrompt()
{
    // The subclasses stop their lookup first, while the members it uses still exist.
    stopLookup();
}

bool StorePrompt::storePromptsDisabled()
{
    const QByteArray value = qgetenv("WAVELARK_NO_STORE_PROMPTS");
    return !value.isEmpty() && value != "0";
}

QString StorePrompt::installedVersion()
{
    const QString version = QLatin1String(AppInfo::kShortVersion);
    return version.isEmpty() ? QLatin1String(AppInfo::kBuildNumber) : version;
}

QString StorePrompt::applicationBundleID()
{
    return QLatin1String(AppInfo::kBundleIdentifier);
}

void StorePrompt::startLookup(std::function<void()> work)
{
    if (m_currentlyChecking)
        return;
    m_currentlyChecking = true;
    m_lookupStopped = false;
    m_lookupThread = QThread::create([this, work] {
        QMutexLocker locker(&m_lookupLock);
        work();
    });
    m_lookupThread->setObjectName(m_name + QStringLiteral(" lookup"));
    connect(m_lookupThread, &QThread::finished, m_lookupThread, &QObject::deleteLater);
    m_lookupThread->start();
}

void StorePrompt::stopLookup()
{
    if (!m_lookupThread || m_lookupThread->isFinished())
        return;
    m_lookupStopped = true;
    m_lookupThread->requestInterruption();
    // The lookup never waits for this thread, so no events need serving meanwhile. The fetch
    // notices the request within a tenth of a second; should it not, quit goes on without it
    // rather than hang.
    if (!m_lookupThread->wait(QDeadlineTimer(kStopWaitMs)))
        qCWarning(lcNet) << m_name << "lookup did not stop; leaving it behind";
}

bool StorePrompt::lookupStopRequested()
{
    return QThread::currentThread()->isInterruptionRequested();
}

void StorePrompt::applyOnMainThread(std::function<void()> apply)
{
    // The owner is stopping the lookup (quit): nobody is left to answer.
    if (lookupStopRequested())
        return;
    // Queued, not blocking: the lookup goes on at once, and a prompt that is gone by the time
    // the main thread gets there takes nothing.
    QMetaObject::invokeMethod(
        this,
        [owner = QPointer<StorePrompt>(this), apply = std::move(apply)] {
            if (owner)
                apply();
        },
        Qt::QueuedConnection);
}

void StorePrompt::deliverResult(std::function<void()> deliver)
{
    applyOnMainThread([this, deliver = std::move(deliver)] {
        if (!m_lookupStopped)
            deliver();
    });
}

StoreError StorePrompt::lookupError(LookupErrorCode code, const QString &description) const
{
    return StoreError{m_name + QStringLiteral("ErrorDomain"), code, description};
}

StoreError StorePrompt::bundleMismatchError(const QString &storeBundleID) const
{
    return lookupError(BundleIdDoesNotMatchAppStore,
                       QStringLiteral("Application bundle ID does not match expected value of %1")
                           .arg(storeBundleID));
}

StoreError StorePrompt::notFoundError() const
{
    return lookupError(ApplicationNotFoundOnAppStore,
                       QStringLiteral("The application could not be found on the App Store."));
}

void StorePrompt::logFoundStoreID(bool verboseLogging, const QString &trackID) const
{
    logVerbose(
        verboseLogging,
        QStringLiteral("%1 found the app on iTunes. The App Store ID is %2").arg(m_name, trackID));
}

void StorePrompt::logBundleMismatch(bool verboseLogging, const QString &ownBundleID,
                                    const QString &storeBundleID, quint64 appStoreID) const
{
    if (!verboseLogging)
        return;
    logVerbose(true,
               QString::asprintf("%s found that the application bundle ID (%s) does not match "
                                 "the bundle ID of the app found on iTunes (%s) with the "
                                 "specified App Store ID (%i)",
                                 qUtf8Printable(m_name), qUtf8Printable(ownBundleID),
                                 qUtf8Printable(storeBundleID), int(appStoreID)));
}

void StorePrompt::logVerbose(bool verboseLogging, const QString &text)
{
    if (verboseLogging)
        qCInfo(lcNet).noquote() << text;
}

bool StorePrompt::mainWindowReady(bool required, std::function<void()> retry)
{
    if (!required || PromptPresenter::shared().mainWindowAvailable())
        return true;
    QTimer::singleShot(kMainWindowRetryMs, this, std::move(retry));
    return false;
}

void StorePrompt::openInStore(const QUrl &url, bool reopenInSoftwareCentre)
{
    Workspace::shared().openUrl(url);
    if (reopenInSoftwareCentre)
        m_softwareCentre.reopenWhenSoftwareCentreRuns(url);
}

QDateTime StorePrompt::storedDate(QLatin1String key)
{
    const QDateTime date = defaults().objectForKey(key).toDateTime();
    return date.isValid() ? date : QDateTime();
}

void StorePrompt::storeAndSync(QLatin1String key, const QVariant &value)
{
    defaults().setValue(key, value);
    defaults().synchronize();
}

void StorePrompt::removeAndSync(QLatin1String key)
{
    defaults().removeObjectForKey(key);
    defaults().synchronize();
}

double StorePrompt::secondsSince(const QDateTime &date)
{
    return date.msecsTo(QDateTime::currentDateTimeUtc()) / 1000.0;
}

bool StorePrompt::isWithinDays(const QDateTime &date, float days)
{
    return secondsSince(date) < double(days) * kSecondsPerDay;
}
