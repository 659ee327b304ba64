#include "net/store/AppRater.h"

#include "AppInfo.h"
#include "Shared/Logging.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"
#include "net/json/JsonValueExtractor.h"
#include "net/store/PromptPresenter.h"
#include "net/store/VersionOrder.h"

namespace {

constexpr double kSecondsPerWeek = 604800.0;
constexpr quint64 kGameGenreID = 6014;

UserDefaults &defaults()
{
    return UserDefaults::standard();
}

} // namespace

AppRater::AppRater(QObject *parent)
    : StorePrompt(QStringLiteral("AppRater"), parent)
{
    setApplicationIdentity(m_settings);
    m_settings.applicationName = QLatin1String(AppInfo::kProductName);
}

AppRater::~AppRater()
{
    stopLookup();
}

AppRater *AppRater::sharedInstance()
{
    return sharedPrompt<AppRater>();
}

void AppRater::startWhenApplicationRuns()
{
    startWhenRunning<AppRater>();
}

QString AppRater::messageTitle() const
{
    if (!m_settings.messageTitle.isEmpty())
        return m_settings.messageTitle;
    return tr("Rate %@", "AppRaterMessageTitle")
        .replace(QStringLiteral("%@"), m_settings.applicationName);
}

QString AppRater::message() const
{
    if (!m_settings.message.isEmpty())
        return m_settings.message;
    const QString text =
        m_settings.appStoreGenreID == kGameGenreID
            ? tr("If you enjoy playing %@, would you mind taking a moment to rate it? It "
                 "won\u2019t take more than a minute. Thanks for your support!",
                 "AppRaterGameMessage")
            : tr("If you enjoy using %@, would you mind taking a moment to rate it? It "
                 "won\u2019t take more than a minute. Thanks for your support!",
                 "AppRaterAppMessage");
    return QString(text).replace(QStringLiteral("%@"), m_settings.applicationName);
}

QString AppRater::cancelButtonLabel() const
{
    return m_settings.cancelButtonLabel.isEmpty() ? tr("No, Thanks", "AppRaterCancelButton")
                                                  : m_settings.cancelButtonLabel;
}

QString AppRater::rateButtonLabel() const
{
    return m_settings.rateButtonLabel.isEmpty() ? tr("Rate It Now", "AppRaterRateButton")
                                                : m_settings.rateButtonLabel;
}

QString AppRater::remindButtonLabel() const
{
    return m_settings.remindButtonLabel.isEmpty() ? tr("Remind Me Later", "AppRaterRemindButton")
                                                  : m_settings.remindButtonLabel;
}

QUrl AppRater::ratingsURL() const
{
    if (m_settings.ratingsURL.isValid())
        return m_settings.ratingsURL;
    if (m_settings.appStoreID == 0) {
        qCWarning(lcNet).noquote()
            << "AppRater could not find the App Store ID for this application. If the "
               "application is not intended for App Store release then you must specify a "
               "custom ratingsURL.";
    }
    return StoreLookup::storePageUrl(m_settings.applicationBundleID);
}

QDateTime AppRater::firstUsed() const
{
    return storedDate(PrefKeys::AppRaterFirstUsed);
}

QDateTime AppRater::lastReminded() const
{
    return storedDate(PrefKeys::AppRaterLastReminded);
}

qint64 AppRater::usesCount() const
{
    return defaults().integerForKey(PrefKeys::AppRaterUseCount);
}

qint64 AppRater::eventCount() const
{
    return defaults().integerForKey(PrefKeys::AppRaterEventCount);
}

bool AppRater::declinedThisVersion() const
{
    const QString declined = defaults().stringForKey(PrefKeys::AppRaterDeclinedVersion);
    return !declined.isEmpty() && declined == m_settings.applicationVersion;
}

bool AppRater::declinedAnyVersion() const
{
    return !defaults().stringForKey(PrefKeys::AppRaterDeclinedVersion).isEmpty();
}

bool AppRater::ratedThisVersion() const
{
    const QString rated = defaults().stringForKey(PrefKeys::AppRaterRatedVersionChecked);
    return !rated.isEmpty() && rated == m_settings.applicationVersion;
}

bool AppRater::ratedAnyVersion() const
{
    return !defaults().stringForKey(PrefKeys::AppRaterRatedVersionChecked).isEmpty();
}

float AppRater::usesPerWeek() const
{
    const QDateTime first = firstUsed();
    if (!first.isValid())
        return 0.0f;
    // A first use a moment ago (or in the future, after a clock change) counts as one second.
    const double seconds = qMax(1.0, secondsSince(first));
    return float(double(usesCount()) / (seconds / kSecondsPerWeek));
}

void AppRater::applicationLaunched()
{
    const QString lastVersion = defaults().stringForKey(PrefKeys::AppRaterLastVersionUsed);
    if (lastVersion.isEmpty() || lastVersion != m_settings.applicationVersion) {
        defaults().setValue(PrefKeys::AppRaterLastVersionUsed, m_settings.applicationVersion);
        defaults().setValue(PrefKeys::AppRaterFirstUsed, QDateTime::currentDateTimeUtc());
        defaults().setValue(PrefKeys::AppRaterUseCount, 0);
        defaults().setValue(PrefKeys::AppRaterEventCount, 0);
        defaults().removeObjectForKey(PrefKeys::AppRaterLastReminded);
        defaults().synchronize();
        delegate()->AppRaterDidDetectAppUpdate();
    }
    incrementUseCount();
    if (m_settings.promptAtLaunch && shouldPromptForRating())
        promptIfNetworkAvailable();
}

void AppRater::logEvent(bool deferPrompt)
{
    incrementEventCount();
    if (!deferPrompt && shouldPromptForRating())
        promptIfNetworkAvailable();
}

void AppRater::incrementUseCount()
{
    storeAndSync(PrefKeys::AppRaterUseCount, usesCount() + 1);
}

void AppRater::incrementEventCount()
{
    storeAndSync(PrefKeys::AppRaterEventCount, eventCount() + 1);
}

bool AppRater::shouldPromptForRating() const
{
    if (m_settings.previewMode) {
        qCInfo(lcNet).noquote()
            << "AppRater preview mode is enabled - make sure you disable this for release";
        return true;
    }
    return !userAnswerForbidsPrompt() && usageAllowsPrompt();
}

bool AppRater::userAnswerForbidsPrompt() const
{
    if (ratedThisVersion()) {
        verbose(QStringLiteral(
            "AppRater did not prompt for rating because the user has already rated this version"));
        return true;
    }
    if (ratedAnyVersion() && !m_settings.promptAgainForEachNewVersion) {
        verbose(QStringLiteral("AppRater did not prompt for rating because the user has already "
                               "rated this app, and promptAgainForEachNewVersion is disabled"));
        return true;
    }
    if (declinedThisVersion()) {
        verbose(QStringLiteral("AppRater did not prompt for rating because the user has declined "
                               "to rate this version"));
        return true;
    }
    return false;
}

bool AppRater::usageAllowsPrompt() const
{
    const QDateTime first = firstUsed();
    if ((m_settings.daysUntilPrompt > 0.0f || m_settings.usesPerWeekForPrompt != 0.0f) &&
        !first.isValid()) {
        verbose(QStringLiteral("AppRater did not prompt for rating because this is the first "
                               "time the app has been launched"));
        return false;
    }
    if (first.isValid() && isWithinDays(first, m_settings.daysUntilPrompt)) {
        verbose(QString::asprintf("AppRater did not prompt for rating because the app was first "
                                  "used less than %g days ago",
                                  double(m_settings.daysUntilPrompt)));
        return false;
    }
    const qint64 uses = usesCount();
    const qint64 events = eventCount();
    if (uses < qint64(m_settings.usesUntilPrompt) &&
        events < qint64(m_settings.eventsUntilPrompt)) {
        verbose(QString::asprintf("AppRater did not prompt for rating because the app has only "
                                  "been used %i times and only %i events have been logged",
                                  int(uses), int(events)));
        return false;
    }
    const float perWeek = usesPerWeek();
    if (perWeek < m_settings.usesPerWeekForPrompt) {
        verbose(QString::asprintf("AppRater did not prompt for rating because the app has only "
                                  "been used %g times per week on average since it was installed",
                                  double(perWeek)));
        return false;
    }
    const QDateTime reminded = lastReminded();
    if (reminded.isValid() && isWithinDays(reminded, m_settings.remindPeriod)) {
        verbose(QString::asprintf("AppRater did not prompt for rating because the user last "
                                  "asked to be reminded less than %g days ago",
                                  double(m_settings.remindPeriod)));
        return false;
    }
    return true;
}

void AppRater::promptIfNetworkAvailable()
{
    const AppRaterSettings snapshot = m_settings;
    const bool hasCustomRatingsURL = m_settings.ratingsURL.isValid();
    startLookup(
        [this, snapshot, hasCustomRatingsURL] { runLookup(snapshot, hasCustomRatingsURL); });
}

void AppRater::runLookup(const AppRaterSettings &snapshot, bool hasCustomRatingsURL)
{
    quint64 appStoreID = snapshot.appStoreID;
    const QUrl url =
        StoreLookup::lookupUrl(snapshot.appStoreCountry, appStoreID, snapshot.applicationBundleID);
    logVerbose(snapshot.verboseLogging,
               QStringLiteral("AppRater is checking %1 to retrieve the App Store details...")
                   .arg(url.toString()));
    const StoreFetchResult fetched =
        StoreLookup::fetch(url, StoreLookup::CachePolicy::ReturnCacheDataElseLoad);
    std::optional<StoreError> error = fetched.error;
    if (fetched.hasBody) {
        error = readStoreAnswer(QString::fromUtf8(fetched.body), snapshot, hasCustomRatingsURL,
                                appStoreID);
    }

    if (error) {
        const StoreError failure = *error;
        deliverResult([this, failure] { connectionError(failure); });
    } else if (appStoreID != 0 || snapshot.previewMode) {
        deliverResult([this] { connectionSucceeded(); });
    }
    // Otherwise the store does not know the application: stay "checking" so that this run asks
    // no more.
}

std::optional<StoreError> AppRater::readStoreAnswer(const QString &json,
                                                    const AppRaterSettings &snapshot,
                                                    bool hasCustomRatingsURL, quint64 &appStoreID)
{
    const std::optional<QString> bundleID =
        JsonValueExtractor::valueForKey(QStringLiteral("bundleId"), json);
    if (!bundleID)
        return notFoundOnStore(snapshot, hasCustomRatingsURL, appStoreID);
    if (*bundleID != snapshot.applicationBundleID) {
        logBundleMismatch(snapshot.verboseLogging, snapshot.applicationBundleID, *bundleID,
                          appStoreID);
        return bundleMismatchError(*bundleID);
    }
    learnStoreDetails(json, snapshot, appStoreID);
    return notLatestVersion(json, snapshot);
}

void AppRater::learnStoreDetails(const QString &json, const AppRaterSettings &snapshot,
                                 quint64 &appStoreID)
{
    quint64 genreID = 0;
    if (snapshot.appStoreGenreID == 0) {
        genreID = JsonValueExtractor::valueForKey(QStringLiteral("primaryGenreId"), json)
                      .value_or(QString())
                      .toULongLong();
    }
    quint64 foundID = 0;
    if (appStoreID == 0) {
        const QString trackID =
            JsonValueExtractor::valueForKey(QStringLiteral("trackId"), json).value_or(QString());
        foundID = trackID.toULongLong();
        appStoreID = foundID;
        logFoundStoreID(snapshot.verboseLogging, trackID);
    }
    if (genreID == 0 && foundID == 0)
        return;
    applyOnMainThread([this, genreID, foundID] {
        if (genreID != 0)
            m_settings.appStoreGenreID = genreID;
        if (foundID != 0)
            m_settings.appStoreID = foundID;
    });
}

std::optional<StoreError> AppRater::notLatestVersion(const QString &json,
                                                     const AppRaterSettings &snapshot) const
{
    if (!snapshot.onlyPromptIfLatestVersion || snapshot.previewMode)
        return std::nullopt;
    const QString latest =
        JsonValueExtractor::valueForKey(QStringLiteral("version"), json).value_or(QString());
    if (!VersionOrder::isNewer(latest, snapshot.applicationVersion))
        return std::nullopt;
    logVerbose(snapshot.verboseLogging,
               QStringLiteral("AppRater found that the installed application version (%1) is not "
                              "the latest version on the App Store, which is %2")
                   .arg(snapshot.applicationVersion, latest));
    return lookupError(ApplicationIsNotLatestVersion,
                       QStringLiteral("Installed app is not the latest version available"));
}

std::optional<StoreError> AppRater::notFoundOnStore(const AppRaterSettings &snapshot,
                                                    bool hasCustomRatingsURL,
                                                    quint64 appStoreID) const
{
    // Without a store ID but with a page of its own the application need not be in the store.
    if (appStoreID == 0 && hasCustomRatingsURL) {
        logVerbose(snapshot.verboseLogging,
                   QStringLiteral("AppRater could not find your app on iTunes. If your app is not "
                                  "yet on the store or is not intended for App Store release then "
                                  "don't worry about this"));
        return std::nullopt;
    }
    logVerbose(snapshot.verboseLogging,
               QStringLiteral("AppRater could not find this application on iTunes. If your app is "
                              "not intended for App Store release then you must specify a custom "
                              "ratingsURL. If this is the first release of your application then "
                              "it's not a problem that it cannot be found on the store yet"));
    return notFoundError();
}

void AppRater::connectionError(const StoreError &error)
{
    finishChecking();
    if (!error.description.isEmpty()) {
        qCWarning(lcNet).noquote()
            << QStringLiteral("AppRater rating process failed because: %1").arg(error.description);
    } else {
        qCWarning(lcNet).noquote()
            << "AppRater rating process failed because an unknown error occured";
    }
    delegate()->AppRaterCouldNotConnectToAppStore(error);
}

void AppRater::connectionSucceeded()
{
    finishChecking();
    if (!delegate()->AppRaterShouldPromptForRating()) {
        verbose(QStringLiteral("AppRater did not display the rating prompt because the "
                               "AppRaterShouldPromptForRating delegate method returned NO"));
        return;
    }
    promptForRating();
}

void AppRater::promptForRating()
{
    if (m_visibleAlert)
        return;
    if (!mainWindowReady(m_settings.onlyPromptIfMainWindowIsAvailable,
                         [this] { promptForRating(); })) {
        return;
    }
    PromptSheet sheet;
    sheet.title = messageTitle();
    sheet.informativeText = message();
    sheet.defaultButton = rateButtonLabel();
    sheet.alternateButton = cancelButtonLabel();
    sheet.otherButton = remindButtonLabel();
    m_visibleAlert = true;
    QPointer<AppRater> self(this);
    PromptPresenter::shared().showSheet(sheet, [self](int returnCode) {
        if (self)
            self->alertDidEnd(returnCode);
    });
}

void AppRater::alertDidEnd(int returnCode)
{
    switch (returnCode) {
    case SheetDefaultReturn:
        storeAndSync(PrefKeys::AppRaterRatedVersionChecked, m_settings.applicationVersion);
        delegate()->AppRaterUserDidAttemptToRateApp();
        if (delegate()->AppRaterShouldOpenAppStore())
            openRatingsPageInAppStore();
        break;
    case SheetAlternateReturn:
        storeAndSync(PrefKeys::AppRaterDeclinedVersion, m_settings.applicationVersion);
        delegate()->AppRaterUserDidDeclineToRateApp();
        break;
    default:
        storeAndSync(PrefKeys::AppRaterLastReminded, QDateTime::currentDateTimeUtc());
        delegate()->AppRaterUserDidRequestReminderToRateApp();
        break;
    }
    m_visibleAlert = false;
}

void AppRater::openRatingsPageInAppStore()
{
    const QUrl url = ratingsURL();
    verbose(
        QStringLiteral("AppRater will open the App Store ratings page using the following URL: %1")
            .arg(url.toString()));
    openInStore(url, true);
}

void AppRater::verbose(const QString &text) const
{
    logVerbose(m_settings.verboseLogging, text);
}

AppRaterDelegate *AppRater::delegate() const
{
    static AppRaterDelegate none;
    return m_delegate ? m_delegate : &none;
}
