#include "model/TrustedFolders.h"

#include "Shared/FolderBookmark.h"
#include "Shared/GlobalFun.h"
#include "Shared/Logging.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

// One spelling per folder, so "/a/b/" and "/a/b" count as the same entry.
QString cleanedPath(const QString &path)
{
    return QDir::cleanPath(path);
}

// The lists alive, oldest first.
QList<TrustedFolders *> &liveLists()
{
    static QList<TrustedFolders *> lists;
    return lists;
}

// The stored folder that `path` names, if the store holds one.
bool storeHolds(UserDefaults &store, const QString &path)
{
    for (const QVariant &element : store.arrayForKey(PrefKeys::Bookmarks)) {
        QString stored;
        if (element.typeId() == QMetaType::QByteArray &&
            FolderBookmark::resolve(element.toByteArray(), &stored) ==
                FolderBookmark::Resolution::Resolved &&
            cleanedPath(stored) == path)
            return true;
    }
    return false;
}

// Appends the folder's reference to what `store` holds and writes it.
void storeFolder(UserDefaults &store, const QUrl &folderUrl)
{
    // What is stored already (it may still hold folders removed but not yet committed), then the
    // new folder.
    QVariantList stored = store.arrayForKey(PrefKeys::Bookmarks);
    const QByteArray bookmark = GlobalFun::BookmarkDataForURL(folderUrl);
    if (!bookmark.isEmpty())
        stored.append(bookmark);
    store.setValue(PrefKeys::Bookmarks, stored);
    store.synchronize();
}

} // namespace

TrustedFolders::TrustedFolders(UserDefaults *store, QObject *parent)
    : QObject(parent)
    , m_store(store)
{
    liveLists().append(this);
}

TrustedFolders::~TrustedFolders()
{
    liveLists().removeOne(this);
}

// Only the most recently made list takes the folder: docs/ARCHITECTURE.md, "Kept as they are".
void TrustedFolders::record(const QUrl &url, UserDefaults *store)
{
    UserDefaults &target = store ? *store : UserDefaults::standard();
    const QList<TrustedFolders *> &lists = liveLists();
    for (auto it = lists.crbegin(); it != lists.crend(); ++it) {
        if (&(*it)->store() == &target) {
            (*it)->addUrl(url);
            return;
        }
    }
    // "已经存在" below is a log line kept as it is: docs/ARCHITECTURE.md, "Kept as they are".
    if (!url.isLocalFile())
        return;
    const QString path = cleanedPath(url.toLocalFile());
    if (path.isEmpty() || !QFileInfo::exists(path))
        return;
    if (storeHolds(target, path)) {
        qCInfo(lcPrefs).noquote() << QStringLiteral("已经存在");
        return;
    }
    storeFolder(target, QUrl::fromLocalFile(path));
}

UserDefaults &TrustedFolders::store() const
{
    return m_store ? *m_store : UserDefaults::standard();
}

bool TrustedFolders::containsPath(const QString &path) const
{
    return std::any_of(m_items.cbegin(), m_items.cend(),
                       [&path](const QUrl &url) { return url.toLocalFile() == path; });
}

void TrustedFolders::addPath(const QString &path)
{
    addUrl(QUrl::fromLocalFile(path));
}

void TrustedFolders::addUrl(const QUrl &url)
{
    if (!url.isLocalFile())
        return;
    const QString path = cleanedPath(url.toLocalFile());
    if (path.isEmpty() || !QFileInfo::exists(path))
        return;
    if (containsPath(path)) {
        qCInfo(lcPrefs).noquote() << QStringLiteral("已经存在");
        return;
    }
    const QUrl folderUrl = QUrl::fromLocalFile(path);
    m_items.append(folderUrl);
    storeFolder(store(), folderUrl);
    emit changed();
}

void TrustedFolders::restore()
{
    const QVariant value = store().objectForKey(PrefKeys::Bookmarks);
    if (value.typeId() != QMetaType::QVariantList)
        return;
    for (const QVariant &element : value.toList()) {
        if (element.typeId() != QMetaType::QByteArray)
            continue;
        QString path;
        if (FolderBookmark::resolve(element.toByteArray(), &path) !=
            FolderBookmark::Resolution::Resolved)
            continue;
        path = cleanedPath(path);
        if (containsPath(path)) {
            qCInfo(lcPrefs).noquote() << QStringLiteral("已经存在");
            continue;
        }
        m_items.append(QUrl::fromLocalFile(path));
        // Linux grants access by file permissions alone: regaining a folder is listing it.
        qCInfo(lcPrefs).noquote() << QStringLiteral("--- %1").arg(path);
        qCInfo(lcPrefs).noquote() << QStringLiteral("--- %1").arg(QFileInfo(path).isReadable() ? 1
                                                                                               : 0);
    }
    emit changed();
}

bool TrustedFolders::commit()
{
    QVariantList stored;
    for (const QUrl &url : std::as_const(m_items)) {
        if (!QFileInfo::exists(url.toLocalFile()))
            continue;
        const QByteArray bookmark = GlobalFun::BookmarkDataForURL(url);
        if (!bookmark.isEmpty())
            stored.append(bookmark);
    }
    store().setValue(PrefKeys::Bookmarks, stored);
    store().synchronize();
    return true;
}

void TrustedFolders::removeAtRows(const QList<int> &rows)
{
    QList<int> sorted = rows;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    bool removed = false;
    for (auto it = sorted.crbegin(); it != sorted.crend(); ++it) {
        if (*it < 0 || *it >= m_items.size())
            continue;
        m_items.removeAt(*it);
        removed = true;
    }
    if (removed)
        emit changed();
}
