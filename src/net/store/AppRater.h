#pragma once

#include "net/store/StorePrompt.h"

#include <QDateTime>
#include <QUrl>

#include <optional>

// Optional answers and notices of the rating prompt. Every operation has a default that does
// nothing (or answers true), so a delegate overrides only what it cares about.
class AppRaterDelegate
{
public:
    virtual ~AppRaterDelegate() = default;
    virtual void AppRaterDidDetectAppUpdate() {}
    virtual bool AppRaterShouldPromptForRating() { return true; }
    virtual void AppRaterCouldNotConnectToAppStore(const StoreError &error) {}
    virtual void AppRaterUserDidAttemptToRateApp() {}
    virtual bool AppRaterShouldOpenAppStore() { return true; }
    virtual void AppRaterUserDidDeclineToRateApp() {}
    virtual void AppRaterUserDidRequestReminderToRateApp() {}
};

// Settings of the rating prompt, with their defaults. Empty texts and an empty ratingsURL mean
// "computed" (see AppRater's accessors).
struct AppRaterSettings
{
    quint64 appStoreID = 0; // learned from the lookup
    quint64 appStoreGenreID = 0;
    QString appStoreCountry;
    QString applicationName;
    QString applicationVersion;
    QString applicationBundleID;
    unsigned usesUntilPrompt = 10;
    unsigned eventsUntilPrompt = 10;
    float daysUntilPrompt = 10.0f;
    float usesPerWeekForPrompt = 0.0f;
    float remindPeriod = 1.0f; // days
    // Read by nothing, kept with their defaults: docs/ARCHITECTURE.md, "Kept as they are".
    bool useAllAvailableLanguages = true;
    bool disableAlertViewResizing = false;
    bool onlyPromptIfLatestVersion = true;
    bool onlyPromptIfMainWindowIsAvailable = true;
    bool displayAppUsingStorekitIfAvailable = true; // read by nothing either
    bool promptAgainForEachNewVersion = true;
    bool promptAtLaunch = true;
    bool verboseLogging = false;
    bool previewMode = false;
    QString messageTitle;
    QString message;
    QString cancelButtonLabel;
    QString rateButtonLabel;
    QString remindButtonLabel;
    QUrl ratingsURL;
};

// Counts the starts of each version and, once it has been used long and often enough, asks the
// user on the main window to rate it in the store, to be reminded later, or to decline. Before
// asking it looks the application up in the store to learn its store ID and to make sure the
// installed version is the newest one.
// Thread: main thread; the store lookup runs on a thread of its own and hands its results back
// to the main thread.
class AppRater : public StorePrompt
{
    Q_OBJECT

public:
    // Every setting at its default, with the application's name, version and identifier.
    explicit AppRater(QObject *parent = nullptr);
    ~AppRater() override;

    // The process-wide prompt, created on first use and kept until the process ends.
    static AppRater *sharedInstance();
    // Queues the creation of the shared prompt and its start handling to the main thread's event
    // loop; call once the application object exists. Does nothing when prompts are switched off.
    static void startWhenApplicationRuns();

    AppRaterSettings &settings() { return m_settings; }
    const AppRaterSettings &settings() const { return m_settings; }
    void setDelegate(AppRaterDelegate *delegate) { m_delegate = delegate; }

    // The texts of the sheet: the explicit setting, else the translation of the default.
    QString messageTitle() const;
    QString message() const;
    QString cancelButtonLabel() const;
    QString rateButtonLabel() const;
    QString remindButtonLabel() const;
    QUrl ratingsURL() const;

    // Stored state of this version.
    QDateTime firstUsed() const;
    QDateTime lastReminded() const;
    qint64 usesCount() const;
    qint64 eventCount() const;
    bool declinedThisVersion() const;
    bool declinedAnyVersion() const;
    bool ratedThisVersion() const;
    bool ratedAnyVersion() const;
    float usesPerWeek() const;

    // The start handling: restarts the counts for a new version, counts the start and asks
    // when the rules allow.
    void applicationLaunched();
    void logEvent(bool deferPrompt);
    bool shouldPromptForRating() const;
    void promptIfNetworkAvailable();
    void promptForRating();
    void openRatingsPageInAppStore();

    bool isPromptVisible() const { return m_visibleAlert; }

private:
    void incrementUseCount();
    void incrementEventCount();
    bool userAnswerForbidsPrompt() const;
    bool usageAllowsPrompt() const;
    // Lookup thread: the steps of the store lookup, on a copy of the settings.
    void runLookup(const AppRaterSettings &snapshot, bool hasCustomRatingsURL);
    std::optional<StoreError> readStoreAnswer(const QString &json, const AppRaterSettings &snapshot,
                                              bool hasCustomRatingsURL, quint64 &appStoreID);
    void learnStoreDetails(const QString &json, const AppRaterSettings &snapshot,
                           quint64 &appStoreID);
    std::optional<StoreError> notLatestVersion(const QString &json,
                                               const AppRaterSettings &snapshot) const;
    std::optional<StoreError> notFoundOnStore(const AppRaterSettings &snapshot,
                                              bool hasCustomRatingsURL, quint64 appStoreID) const;
    void connectionError(const StoreError &error);
    void connectionSucceeded();
    void alertDidEnd(int returnCode);
    void verbose(const QString &text) const;
    AppRaterDelegate *delegate() const;

    AppRaterSettings m_settings;
    AppRaterDelegate *m_delegate = nullptr;
    bool m_visibleAlert = false;
};
