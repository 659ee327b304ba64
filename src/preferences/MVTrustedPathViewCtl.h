#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

class TrustedFolders;
class UserDefaults;

// A view of the trusted folder list (TrustedFolders), and the base of the "Trusted Paths"
// preferences pane. How the pane uses it:
//  - it builds its table and its add/remove buttons in a subclass (or in this class's
//    constructor) and shows items(), one path per row; it reloads its table on listChanged();
//  - it calls restoreBookmarks() once, when its view has been set up (the application creates
//    the pane at start, so the stored folders are regained before any conversion);
//  - its "add" action calls addToBookmarkWithURL() for each chosen folder, in order;
//  - its "remove" action calls removeItemsAtRows(); removals are stored by commitEditing() only;
//  - commitEditing() is called when the pane is left and when the preferences window closes.
// Folders recorded elsewhere (TrustedFolders::record) appear in the most recently created view
// on their store.
//
// Thread: main thread.
class MVTrustedPathViewCtl : public QWidget
{
    Q_OBJECT

public:
    // `store` is the preferences store to keep the list in; null means UserDefaults::standard().
    explicit MVTrustedPathViewCtl(QWidget *parent = nullptr, UserDefaults *store = nullptr);
    ~MVTrustedPathViewCtl() override;

    TrustedFolders &folders() const { return *m_folders; }

    void addToBookmarkWithPath(const QString &path);
    // As TrustedFolders::addUrl().
    void addToBookmarkWithURL(const QUrl &url);

    // As TrustedFolders::restore().
    void restoreBookmarks();

    // As TrustedFolders::commit(). Always true.
    bool commitEditing();

    // As TrustedFolders::removeAtRows().
    void removeItemsAtRows(const QList<int> &rows);

    // The listed folders as file URLs, in order.
    const QList<QUrl> &items() const;

signals:
    // The visible list changed (added, restored or removed entries).
    void listChanged();

protected:
    // Called after every change of the list; emits listChanged().
    virtual void reloadList();

private:
    TrustedFolders *m_folders = nullptr;
};
