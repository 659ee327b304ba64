#pragma once

#include "net/store/StorePrompt.h"

#include <QUrl>
#include <QVariantMap>

#include <optional>

// Optional answers and notices of the update check; every operation has a default that does
// nothing (or answers true).
class UpdateCheckDelegate
{
public:
    virtual ~UpdateCheckDelegate() = default;
    virtual bool UpdateCheckShouldCheckForNewVersion() { return true; }
    virtual bool UpdateCheckShouldDisplayCurrentVersionDetails(const QString &notes)
    {
        return true;
    }
    virtual void UpdateCheckDidDetectNewVersion(const QString &version, const QString &details) {}
    virtual void UpdateCheckDidNotDetectNewVersion() {}
    virtual bool UpdateCheckShouldDisplayNewVersion(const QString &version, const QString &details)
    {
        return true;
    }
    virtual void UpdateCheckVersionCheckDidFailWithError(const StoreError &error) {}
    virtual void UpdateCheckUserDidAttemptToDownloadUpdate(const QString &version) {}
    virtual bool UpdateCheckShouldOpenAppStore() { return true; }
    virtual void UpdateCheckUserDidIgnoreUpdate(const QString &version) {}
    virtual void UpdateCheckUserDidRequestReminderForUpdate(const QString &version) {}
};

struct UpdateCheckSettings
{
    quint64 appStoreID = 0; // learned from the lookup
    QString appStoreCountry;
    QString applicationVersion;
    QString applicationBundleID;
    // useAllAvailableLanguages and displayAppUsingStorekitIfAvailable are read by nothing and
    // kept with their defaults: docs/ARCHITECTURE.md, "Kept as they are".
    bool useAllAvailableLanguages = true;
    bool onlyPromptIfMainWindowIsAvailable = true;
    bool displayAppUsingStorekitIfAvailable = true;
    bool checkAtLaunch = true;
    float checkPeriod = 0.0f;  // days
    float remindPeriod = 1.0f; // days
    bool showOnFirstLaunch = false;
    bool groupNotesByVersion = false;
    bool useAppStoreDetailsIfNoPlistEntryFound = false;
    bool verboseLogging = false;
    bool previewMode = false;
    // A property list of version -> notes (a text or a list of texts). A relative path is looked
    // up in the application's resources (":/"). Empty: no local notes.
    QString localVersionsPlistPath;
    QUrl updateURL; // empty: the application's store page
};

// Looks at every start whether the store offers a newer version and, if so, shows its notes on
// the main window with "Download", "Ignore" and "Remind Me Later". Also shows the notes of the
// installed version once after an update when a local notes file is configured.
// Thread: main thread; the store lookup runs on a thread of its own and hands its results back
// to the main thread.
class UpdateCheck : public StorePrompt
{
    Q_OBJECT

public:
    using VersionsDict = QVariantMap; // version text -> notes (a text or a list of texts)

    // The store's release notes are cut to this many characters (at a line end, else a word's),
    // so that a huge answer never stalls the window that lays them out.
    static constexpr qsizetype kMaxNotesCharacters = 8000;

    explicit UpdateCheck(QObject *parent = nullptr);
    ~UpdateCheck() override;

    static UpdateCheck *sharedInstance();
    // Queues the creation of the shared check and its start handling to the main thread's event
    // loop; call once the application object exists. Does nothing when prompts are switched off
    // (StorePrompt::storePromptsDisabled).
    static void startWhenApplicationRuns();

    UpdateCheckSettings &settings() { return m_settings; }
    const UpdateCheckSettings &settings() const { return m_settings; }
    void setDelegate(UpdateCheckDelegate *delegate) { m_delegate = delegate; }

    QString inThisVersionTitle() const;
    QString updateAvailableTitle() const;
    QString versionLabelFormat() const;
    QString okButtonLabel() const;
    QString ignoreButtonLabel() const;
    QString downloadButtonLabel() const;
    QString remindButtonLabel() const;
    QUrl updateURL() const;

    void applicationLaunched();
    // The notes of the installed version, once after it was updated.
    void checkIfNewVersion();
    bool shouldCheckForNewVersion() const;
    // Starts a store lookup unless one is under way.
    void checkForNewVersion();

    // The notes of every version in `versions` newer than `version`, newest first; nothing when
    // there is no newer version.
    std::optional<QString> versionDetailsSince(const QString &version,
                                               const VersionsDict &versions) const;
    // The notes of one version: a text as it is, a list of texts one per line.
    static QString versionDetails(const QVariant &notes);
    // The local notes file; an empty dictionary when none is set or it cannot be read.
    VersionsDict localVersionsDict() const;

    bool isRemoteSheetVisible() const { return m_visibleRemoteAlert; }
    bool isLocalSheetVisible() const { return m_visibleLocalAlert; }

private:
    // Lookup thread: the steps of the store lookup, on a copy of the settings.
    void checkForNewVersionInBackground(const UpdateCheckSettings &snapshot);
    std::optional<StoreError> readStoreAnswer(const QString &json,
                                              const UpdateCheckSettings &snapshot,
                                              std::optional<VersionsDict> &versions);
    void learnStoreID(const QString &json, const UpdateCheckSettings &snapshot);
    void logVersionFound(const UpdateCheckSettings &snapshot, const QString &latest) const;

    void downloadedVersionsData();
    void reportFailedCheck();
    bool shouldDisplayNewVersion(const QString &newest, const QString &details);
    void showSheet(const QString &title, const QString &details, const QString &defaultButton,
                   const QString &ignoreButton, const QString &remindButton, bool remote);
    void remoteAlertDidEnd(int returnCode, const QString &newestVersion);
    void verbose(const QString &text) const;
    UpdateCheckDelegate *delegate() const;

    UpdateCheckSettings m_settings;
    UpdateCheckDelegate *m_delegate = nullptr;
    std::optional<VersionsDict> m_remoteVersionsDict;
    std::optional<StoreError> m_downloadError;
    bool m_visibleLocalAlert = false;
    bool m_visibleRemoteAlert = false;
};
