#include "net/store/UpdateCheck.h"

#include "AppInfo.h"
#include "Shared/Logging.h"
#include "Shared/PropertyList.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"
#include "net/json/JsonValueExtractor.h"
#include "net/store/PromptPresenter.h"
#include "net/store/VersionOrder.h"

#include <QDateTime>
#include <QFile>

namespace {

// Bytes that are not UTF-8 reach the text as U+FFFD, which would compare as a letter after every
// digit: such a version, or one with control characters, names no release.
bool isReadableVersion(const QString &version)
{
    for (const QChar c : version) {
        if (c == QChar::ReplacementCharacter || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

UserDefaults &defaults()
{
    return UserDefaults::standard();
}

// A dictionary of version -> text or list of texts; anything else in it is skipped, and a list
// item that is not a text reads as an empty line.
UpdateCheck::VersionsDict readVersionsPlist(const QByteArray &bytes)
{
    UpdateCheck::VersionsDict versions;
    const QVariantMap root = PropertyList::readDictionary(bytes);
    for (auto it = root.cbegin(); it != root.cend(); ++it) {
        if (it->typeId() == QMetaType::QString) {
            versions.insert(it.key(), *it);
        } else if (it->typeId() == QMetaType::QVariantList) {
            QStringList lines;
            for (const QVariant &line : it->toList())
                lines.append(line.typeId() == QMetaType::QString ? line.toString() : QString());
            versions.insert(it.key(), lines);
        }
    }
    return versions;
}

// Notes beyond kMaxNotesCharacters end at the last line (or word) that fits, followed by an
// ellipsis line; no store release notes are that long.
QString boundedNotes(QString notes)
{
    if (notes.size() <= UpdateCheck::kMaxNotesCharacters)
        return notes;
    const QStringView kept = QStringView(notes).left(UpdateCheck::kMaxNotesCharacters);
    qsizetype cut = kept.lastIndexOf(QLatin1Char('\n'));
    if (cut < UpdateCheck::kMaxNotesCharacters / 2)
        cut = kept.lastIndexOf(QLatin1Char(' '));
    if (cut < UpdateCheck::kMaxNotesCharacters / 2)
        cut = kept.size();
    notes.truncate(cut);
    notes += QStringLiteral("\n\u2026");
    return notes;
}

} // namespace

UpdateCheck::UpdateCheck(QObject *parent)
    : StorePrompt(QStringLiteral("UpdateCheck"), parent)
{
    setApplicationIdentity(m_settings);
}

UpdateCheck::~UpdateCheck()
{
    stopLookup();
}

UpdateCheck *UpdateCheck::sharedInstance()
{
    return sharedPrompt<UpdateCheck>();
}

void UpdateCheck::startWhenApplicationRuns()
{
    startWhenRunning<UpdateCheck>();
}

QString UpdateCheck::inThisVersionTitle() const
{
    return tr("New in this version", "UpdateCheckInThisVersionTitle");
}

QString UpdateCheck::updateAvailableTitle() const
{
    return tr("New version available", "UpdateCheckUpdateAvailableTitle");
}

QString UpdateCheck::versionLabelFormat() const
{
    return tr("Version %@", "UpdateCheckVersionLabelFormat");
}

QString UpdateCheck::okButtonLabel() const
{
    return tr("OK", "UpdateCheckOKButton");
}

QString UpdateCheck::ignoreButtonLabel() const
{
    return tr("Ignore", "UpdateCheckIgnoreButton");
}

QString UpdateCheck::downloadButtonLabel() const
{
    return tr("Download", "UpdateCheckDownloadButton");
}

QString UpdateCheck::remindButtonLabel() const
{
    return tr("Remind Me Later", "UpdateCheckRemindButton");
}

QUrl UpdateCheck::updateURL() const
{
    if (m_settings.updateURL.isValid())
        return m_settings.updateURL;
    if (m_settings.appStoreID == 0) {
        qCWarning(lcNet).noquote()
            << "Error: No App Store ID was found for this application. If the application is not "
               "intended for App Store release then you must specify a custom updateURL.";
    }
    return StoreLookup::storePageUrl(m_settings.applicationBundleID);
}

void UpdateCheck::applicationLaunched()
{
    if (!m_settings.checkAtLaunch) {
        verbose(QStringLiteral(
            "UpdateCheck will not check for updates because the checkAtLaunch option is disabled"));
        return;
    }
    checkIfNewVersion();
    if (shouldCheckForNewVersion())
        checkForNewVersion();
}

void UpdateCheck::checkIfNewVersion()
{
    if (!mainWindowReady(m_settings.onlyPromptIfMainWindowIsAvailable,
                         [this] { checkIfNewVersion(); })) {
        return;
    }
    const QString current = m_settings.applicationVersion;
    const QString lastVersion = defaults().stringForKey(PrefKeys::UpdateCheckLastVersionChecked);
    if (lastVersion.isEmpty() && !m_settings.showOnFirstLaunch && !m_settings.previewMode) {
        storeAndSync(PrefKeys::UpdateCheckLastVersionChecked, current);
        return;
    }
    if (!VersionOrder::isNewer(current, lastVersion) && !m_settings.previewMode)
        return;

    removeAndSync(PrefKeys::UpdateCheckLastReminded);
    const VersionsDict local = localVersionsDict();
    std::optional<QString> notes;
    if (lastVersion == current) {
        if (local.contains(current))
            notes = versionDetails(local.value(current));
    } else {
        notes = versionDetailsSince(lastVersion, local);
    }
    if (!notes || notes->isEmpty() ||
        !delegate()->UpdateCheckShouldDisplayCurrentVersionDetails(*notes) || m_visibleLocalAlert) {
        return;
    }
    showSheet(inThisVersionTitle(), *notes, okButtonLabel(), QString(), QString(), false);
}

bool UpdateCheck::shouldCheckForNewVersion() const
{
    if (m_settings.previewMode) {
        verbose(QStringLiteral(
            "UpdateCheck debug mode is enabled - make sure you disable this for release"));
    } else {
        const QDateTime reminded = storedDate(PrefKeys::UpdateCheckLastReminded);
        const QDateTime checked = storedDate(PrefKeys::UpdateCheckLastChecked);
        if (reminded.isValid()) {
            if (isWithinDays(reminded, m_settings.remindPeriod)) {
                verbose(QString::asprintf("UpdateCheck did not check for a new version because the "
                                          "user last asked to be reminded less than %g days ago",
                                          double(m_settings.remindPeriod)));
                return false;
            }
        } else if (checked.isValid() && isWithinDays(checked, m_settings.checkPeriod)) {
            verbose(QString::asprintf("UpdateCheck did not check for a new version because the "
                                      "last check was less than %g days ago",
                                      double(m_settings.checkPeriod)));
            return false;
        }
    }
    if (!delegate()->UpdateCheckShouldCheckForNewVersion()) {
        verbose(QStringLiteral("UpdateCheck did not check for a new version because the "
                               "UpdateCheckShouldCheckForNewVersion delegate method returned NO"));
        return false;
    }
    return true;
}

void UpdateCheck::checkForNewVersion()
{
    const UpdateCheckSettings snapshot = m_settings;
    startLookup([this, snapshot] { checkForNewVersionInBackground(snapshot); });
}

void UpdateCheck::checkForNewVersionInBackground(const UpdateCheckSettings &snapshot)
{
    const QUrl url = StoreLookup::lookupUrl(snapshot.appStoreCountry, snapshot.appStoreID,
                                            snapshot.applicationBundleID);
    logVerbose(
        snapshot.verboseLogging,
        QStringLiteral("UpdateCheck is checking %1 for a new app version...").arg(url.toString()));
    const StoreFetchResult fetched =
        StoreLookup::fetch(url, StoreLookup::CachePolicy::ReloadIgnoringCache);
    std::optional<StoreError> error = fetched.error;
    std::optional<VersionsDict> versions;
    if (fetched.hasBody)
        error = readStoreAnswer(QString::fromUtf8(fetched.body), snapshot, versions);

    deliverResult([this, error, versions] {
        m_downloadError = error;
        m_remoteVersionsDict = versions;
        storeAndSync(PrefKeys::UpdateCheckLastChecked, QDateTime::currentDateTimeUtc());
        downloadedVersionsData();
    });
}

std::optional<StoreError> UpdateCheck::readStoreAnswer(const QString &json,
                                                       const UpdateCheckSettings &snapshot,
                                                       std::optional<VersionsDict> &versions)
{
    const std::optional<QString> bundleID =
        JsonValueExtractor::valueForKey(QStringLiteral("bundleId"), json);
    if (!bundleID) {
        logVerbose(snapshot.verboseLogging,
                   QStringLiteral("UpdateCheck could not find this application on iTunes. If your "
                                  "app is not intended for App Store release then you must "
                                  "specify a remoteVersionsPlistURL. If this is the first release "
                                  "of your application then it's not a problem that it cannot be "
                                  "found on the store yet"));
        return notFoundError();
    }
    if (*bundleID != snapshot.applicationBundleID) {
        logBundleMismatch(snapshot.verboseLogging, snapshot.applicationBundleID, *bundleID,
                          snapshot.appStoreID);
        return bundleMismatchError(*bundleID);
    }
    // Cut here, on the lookup's thread: the sheet lays out what it shows on the main thread.
    const QString notes = boundedNotes(
        JsonValueExtractor::valueForKey(QStringLiteral("releaseNotes"), json).value_or(QString()));
    const std::optional<QString> version =
        JsonValueExtractor::valueForKey(QStringLiteral("version"), json);
    const bool usable = version && isReadableVersion(*version);
    if (version && !usable)
        logVerbose(snapshot.verboseLogging,
                   QStringLiteral("UpdateCheck ignored a version that is not valid UTF-8 text"));
    if (usable)
        versions = VersionsDict{{*version, notes}};
    if (snapshot.appStoreID == 0)
        learnStoreID(json, snapshot);
    logVersionFound(snapshot, usable ? *version : QString());
    return std::nullopt;
}

void UpdateCheck::learnStoreID(const QString &json, const UpdateCheckSettings &snapshot)
{
    const QString trackID =
        JsonValueExtractor::valueForKey(QStringLiteral("trackId"), json).value_or(QString());
    const quint64 foundID = trackID.toULongLong();
    if (foundID != 0)
        applyOnMainThread([this, foundID] { m_settings.appStoreID = foundID; });
    logFoundStoreID(snapshot.verboseLogging, trackID);
}

void UpdateCheck::logVersionFound(const UpdateCheckSettings &snapshot, const QString &latest) const
{
    if (VersionOrder::isNewer(latest, snapshot.applicationVersion)) {
        logVerbose(snapshot.verboseLogging,
                   QStringLiteral("UpdateCheck found a new version (%1) of the app on iTunes. "
                                  "Current version is %2")
                       .arg(latest, snapshot.applicationVersion));
    } else {
        logVerbose(snapshot.verboseLogging,
                   QStringLiteral("UpdateCheck did not find a new version of the app on iTunes. "
                                  "Current version is %1, latest version is %2")
                       .arg(snapshot.applicationVersion, latest));
    }
}

void UpdateCheck::downloadedVersionsData()
{
    if (!mainWindowReady(m_settings.onlyPromptIfMainWindowIsAvailable,
                         [this] { downloadedVersionsData(); })) {
        return;
    }
    finishChecking();
    if (!m_remoteVersionsDict) {
        reportFailedCheck();
        return;
    }
    const VersionsDict versions = *m_remoteVersionsDict;
    const std::optional<QString> details =
        versionDetailsSince(m_settings.applicationVersion, versions);
    if (!details) {
        delegate()->UpdateCheckDidNotDetectNewVersion();
        return;
    }
    const QString newest = VersionOrder::newest(versions.keys());
    delegate()->UpdateCheckDidDetectNewVersion(newest, *details);
    if (!shouldDisplayNewVersion(newest, *details) || m_visibleRemoteAlert)
        return;
    QString title = updateAvailableTitle();
    if (!m_settings.groupNotesByVersion)
        title += QStringLiteral(" (%1)").arg(newest);
    showSheet(title, *details, downloadButtonLabel(), ignoreButtonLabel(), remindButtonLabel(),
              true);
}

void UpdateCheck::reportFailedCheck()
{
    if (m_downloadError && !m_downloadError->description.isEmpty()) {
        qCWarning(lcNet).noquote() << QStringLiteral("UpdateCheck update check failed because: %1")
                                          .arg(m_downloadError->description);
    } else {
        qCWarning(lcNet).noquote()
            << "UpdateCheck update check failed because an unknown error occured";
    }
    delegate()->UpdateCheckVersionCheckDidFailWithError(m_downloadError.value_or(StoreError{}));
}

bool UpdateCheck::shouldDisplayNewVersion(const QString &newest, const QString &details)
{
    if (newest == defaults().stringForKey(PrefKeys::UpdateCheckIgnoreVersion) &&
        !m_settings.previewMode) {
        verbose(QStringLiteral(
            "UpdateCheck did not display the new version because it was marked as ignored"));
        return false;
    }
    if (!delegate()->UpdateCheckShouldDisplayNewVersion(newest, details)) {
        verbose(QStringLiteral(
            "UpdateCheck did not display the new version because the "
            "UpdateCheckShouldDisplayNewVersion:details: delegate method returned NO"));
        return false;
    }
    return true;
}

void UpdateCheck::showSheet(const QString &title, const QString &details,
                            const QString &defaultButton, const QString &ignoreButton,
                            const QString &remindButton, bool remote)
{
    PromptSheet sheet;
    sheet.title = title;
    // The local sheet's title already says it; don't repeat it below.
    if (title != inThisVersionTitle())
        sheet.informativeText = inThisVersionTitle();
    sheet.defaultButton = defaultButton;
    sheet.alternateButton = ignoreButton;
    sheet.otherButton = remindButton;
    sheet.hasNotes = true;
    sheet.notes = details;

    QPointer<UpdateCheck> self(this);
    if (remote) {
        m_visibleRemoteAlert = true;
        const QString newest =
            VersionOrder::newest(m_remoteVersionsDict.value_or(VersionsDict()).keys());
        PromptPresenter::shared().showSheet(sheet, [self, newest](int returnCode) {
            if (self)
                self->remoteAlertDidEnd(returnCode, newest);
        });
    } else {
        m_visibleLocalAlert = true;
        PromptPresenter::shared().showSheet(sheet, [self](int) {
            if (!self)
                return;
            storeAndSync(PrefKeys::UpdateCheckLastVersionChecked,
                         self->m_settings.applicationVersion);
            self->m_visibleLocalAlert = false;
        });
    }
}

void UpdateCheck::remoteAlertDidEnd(int returnCode, const QString &newestVersion)
{
    switch (returnCode) {
    case SheetDefaultReturn:
        removeAndSync(PrefKeys::UpdateCheckLastReminded);
        delegate()->UpdateCheckUserDidAttemptToDownloadUpdate(newestVersion);
        if (delegate()->UpdateCheckShouldOpenAppStore()) {
            const QUrl url = updateURL();
            verbose(
                QStringLiteral("UpdateCheck will open the App Store using the following URL: %1")
                    .arg(url.toString()));
            openInStore(url, !m_settings.updateURL.isValid());
        }
        break;
    case SheetAlternateReturn:
        defaults().setValue(PrefKeys::UpdateCheckIgnoreVersion, newestVersion);
        defaults().removeObjectForKey(PrefKeys::UpdateCheckLastReminded);
        defaults().synchronize();
        delegate()->UpdateCheckUserDidIgnoreUpdate(newestVersion);
        break;
    default:
        storeAndSync(PrefKeys::UpdateCheckLastReminded, QDateTime::currentDateTimeUtc());
        delegate()->UpdateCheckUserDidRequestReminderForUpdate(newestVersion);
        break;
    }
    m_visibleRemoteAlert = false;
}

std::optional<QString> UpdateCheck::versionDetailsSince(const QString &version,
                                                        const VersionsDict &versions) const
{
    bool newerFound = false;
    QString details;
    for (const QString &candidate : VersionOrder::newestFirst(versions.keys())) {
        if (!VersionOrder::isNewer(candidate, version))
            continue;
        newerFound = true;
        if (m_settings.groupNotesByVersion) {
            details += QString(versionLabelFormat()).replace(QStringLiteral("%@"), candidate);
            details += QStringLiteral("\n\n");
        }
        details += versionDetails(versions.value(candidate));
        details += QLatin1Char('\n');
        if (m_settings.groupNotesByVersion)
            details += QLatin1Char('\n');
    }
    if (!newerFound)
        return std::nullopt;
    // Trim line ends only: the notes' own indentation stays.
    qsizetype begin = 0;
    qsizetype end = details.size();
    auto isLineEnd = [](QChar c) { return c == QLatin1Char('\n') || c == QLatin1Char('\r'); };
    while (begin < end && isLineEnd(details.at(begin)))
        ++begin;
    while (end > begin && isLineEnd(details.at(end - 1)))
        --end;
    return details.mid(begin, end - begin);
}

QString UpdateCheck::versionDetails(const QVariant &notes)
{
    if (notes.typeId() == QMetaType::QStringList)
        return notes.toStringList().join(QLatin1Char('\n'));
    if (notes.typeId() == QMetaType::QVariantList) {
        QStringList lines;
        for (const QVariant &line : notes.toList())
            lines.append(line.toString());
        return lines.join(QLatin1Char('\n'));
    }
    return notes.toString();
}

UpdateCheck::VersionsDict UpdateCheck::localVersionsDict() const
{
    const QString path = m_settings.localVersionsPlistPath;
    if (path.isEmpty())
        return {};
    QFile file(path.startsWith(QLatin1Char('/')) || path.startsWith(QLatin1Char(':'))
                   ? path
                   : QStringLiteral(":/") + path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcNet) << "local version notes missing:" << file.fileName();
        return {};
    }
    return readVersionsPlist(file.readAll());
}

void UpdateCheck::verbose(const QString &text) const
{
    logVerbose(m_settings.verboseLogging, text);
}

UpdateCheckDelegate *UpdateCheck::delegate() const
{
    static UpdateCheckDelegate none;
    return m_delegate ? m_delegate : &none;
}
