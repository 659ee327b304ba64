#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

class UserDefaults;

// The trusted folder list: every folder the user handed to the program (dropped or imported into
// the main window, chosen as an output folder, added in the preferences) is remembered as a
// persistent reference (FolderBookmark) under "BookmarksKey", in the order of adding, so that the
// folder is regained at the next start.
//
// This widget is also the base of the "Trusted Paths" preferences pane. How the pane uses it:
//  - it builds its table and its add/remove buttons in a subclass (or in this class's
//    constructor) and shows items(), one path per row; it reloads its table on listChanged();
//  - it calls restoreBookmarks() once, when its view has been set up (the application creates
//    the pane at start, so the stored folders are regained before any conversion);
//  - its "add" action calls addToBookmarkWithURL() for each chosen folder, in order;
//  - its "remove" action calls removeItemsAtRows(); removals are stored by commitEditing() only;
//  - commitEditing() is called when the pane is left and when the preferences window closes.
// sharedInstance() answers the most recently created instance, so the main window and the
// settings pane reach the list without knowing the preferences window.
//
// Thread: main thread.
class MVTrustedPathViewCtl : public QWidget
{
    Q_OBJECT

public:
    // `store` is the preferences store to keep the list in; null means UserDefaults::standard().
    explicit MVTrustedPathViewCtl(QWidget *parent = nullptr, UserDefaults *store = nullptr);
    ~MVTrustedPathViewCtl() override;

    // The most recently created instance, or null before any exists (or after it was destroyed).
    static MVTrustedPathViewCtl *sharedInstance();

    void addToBookmarkWithPath(const QString &path);
    // Adds the folder at the URL's path and stores it at once. Nothing happens when nothing
    // exists at the path; a path already listed only logs "已经存在".
    void addToBookmarkWithURL(const QUrl &url);

    // Regains the stored folders: lists every stored reference that still resolves to the same
    // folder. Elements that are not references, cannot be resolved or are stale are skipped.
    void restoreBookmarks();

    // Rewrites the stored list from the visible one (existing folders only). Always true.
    bool commitEditing();

    // Forgets the entries at `rows` (indexes into items()); stored by the next commitEditing().
    void removeItemsAtRows(const QList<int> &rows);

    // The listed folders as file URLs, in order.
    const QList<QUrl> &items() const { return m_aryItems; }

signals:
    // The visible list changed (added, restored or removed entries).
    void listChanged();

protected:
    // Called after every change of the visible list; emits listChanged().
    virtual void reloadList();

private:
    bool containsPath(const QString &path) const;
    UserDefaults &store() const;

    QList<QUrl> m_aryItems;
    UserDefaults *m_store = nullptr;
};
