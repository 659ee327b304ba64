#include "preferences/MVTrustedPathViewCtl.h"

#include "Shared/FolderBookmark.h"
#include "Shared/GlobalFun.h"
#include "Shared/Logging.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

#include <algorithm>

namespace {

QPointer<MVTrustedPathViewCtl> g_sharedInstance;

// One spelling per folder, so "/a/b/" and "/a/b" count as the same entry.
QString cleanedPath(const QString &path)
{
    return QDir::cleanPath(path);
}

} // namespace

MVTrustedPathViewCtl::MVTrustedPathViewCtl(QWidget *parent, UserDefaults *store)
    : QWidget(parent)
    , m_store(store)
{
    g_sharedInstance = this;
}

MVTrustedPathViewCtl::~MVTrustedPathViewCtl() = default;

MVTrustedPathViewCtl *MVTrustedPathViewCtl::sharedInstance()
{
    return g_sharedInstance.data();
}

UserDefaults &MVTrustedPathViewCtl::store() const
{
    return m_store ? *m_store : UserDefaults::standard();
}

bool MVTrustedPathViewCtl::containsPath(const QString &path) const
{
    return std::any_of(m_aryItems.cbegin(), m_aryItems.cend(),
                       [&path](const QUrl &url) { return url.toLocalFile() == path; });
}

void MVTrustedPathViewCtl::addToBookmarkWithPath(const QString &path)
{
    addToBookmarkWithURL(QUrl::fromLocalFile(path));
}

void MVTrustedPathViewCtl::addToBookmarkWithURL(const QUrl &url)
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
    m_aryItems.append(folderUrl);

    // What is stored already (it may still hold folders removed but not yet committed), then the
    // new folder.
    QVariantList stored = store().arrayForKey(PrefKeys::Bookmarks);
    const QByteArray bookmark = GlobalFun::BookmarkDataForURL(folderUrl);
    if (!bookmark.isEmpty())
        stored.append(bookmark);
    store().setValue(PrefKeys::Bookmarks, stored);
    store().synchronize();

    reloadList();
}

void MVTrustedPathViewCtl::restoreBookmarks()
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
        m_aryItems.append(QUrl::fromLocalFile(path));
        // Linux grants access by file permissions alone: regaining a folder is listing it.
        qCInfo(lcPrefs).noquote() << QStringLiteral("--- %1").arg(path);
        qCInfo(lcPrefs).noquote() << QStringLiteral("--- %1").arg(QFileInfo(path).isReadable() ? 1
                                                                                               : 0);
    }
    reloadList();
}

bool MVTrustedPathViewCtl::commitEditing()
{
    QVariantList stored;
    for (const QUrl &url : std::as_const(m_aryItems)) {
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

void MVTrustedPathViewCtl::removeItemsAtRows(const QList<int> &rows)
{
    QList<int> sorted = rows;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    bool removed = false;
    for (auto it = sorted.crbegin(); it != sorted.crend(); ++it) {
        if (*it < 0 || *it >= m_aryItems.size())
            continue;
        m_aryItems.removeAt(*it);
        removed = true;
    }
    if (removed)
        reloadList();
}

void MVTrustedPathViewCtl::reloadList()
{
    emit listChanged();
}
