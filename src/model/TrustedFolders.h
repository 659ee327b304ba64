#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

class UserDefaults;

// The trusted folder list: every folder the user handed to the program (dropped or imported into
// the main window, chosen as an output folder, added in the preferences) is remembered as a
// persistent reference (FolderBookmark) under "BookmarksKey", in the order of adding, so that the
// folder is regained at the next start.
//
// Each view keeps a list of its own over the store. Additions are stored at once. Removals change
// the listed folders only; commit() rewrites the stored list from the listed one, so a removal
// that is never committed comes back at the next start. record() is how the rest of the program
// (the main window's drops, the settings pane's output folder) trusts a folder, whether or not a
// list is shown.
//
// Thread: main thread.
class TrustedFolders : public QObject
{
    Q_OBJECT

public:
    // `store` is the preferences store to keep the list in; null means UserDefaults::standard().
    explicit TrustedFolders(UserDefaults *store = nullptr, QObject *parent = nullptr);
    ~TrustedFolders() override;

    // Trusts the folder at `url` in `store` (null: UserDefaults::standard()): the most recently
    // made list on that store adds it, so that it shows; with no list the store takes it at once
    // unless it already holds the folder ("已经存在").
    static void record(const QUrl &url, UserDefaults *store = nullptr);

    void addPath(const QString &path);
    // Adds the folder at the URL's path and stores it at once. Nothing happens when nothing
    // exists at the path; a path already listed only logs "已经存在".
    void addUrl(const QUrl &url);

    // Regains the stored folders: lists every stored reference that still resolves to the same
    // folder. Elements that are not references, cannot be resolved or are stale are skipped (and
    // go at the next commit). A stored value that is not a list leaves the list as it is.
    void restore();

    // Rewrites the stored list from the listed one (existing folders only). Always true.
    bool commit();

    // Forgets the entries at `rows` (indexes into items()); stored by the next commit().
    void removeAtRows(const QList<int> &rows);

    // The listed folders as file URLs, in order.
    const QList<QUrl> &items() const { return m_items; }

signals:
    // The listed folders changed (added, restored or removed entries).
    void changed();

private:
    bool containsPath(const QString &path) const;
    UserDefaults &store() const;

    QList<QUrl> m_items;
    UserDefaults *m_store = nullptr;
};
