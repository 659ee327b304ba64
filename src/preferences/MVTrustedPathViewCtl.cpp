#include "preferences/MVTrustedPathViewCtl.h"

#include "model/TrustedFolders.h"

MVTrustedPathViewCtl::MVTrustedPathViewCtl(QWidget *parent, UserDefaults *store)
    : QWidget(parent)
    , m_folders(new TrustedFolders(store, this))
{
    connect(m_folders, &TrustedFolders::changed, this, [this] { reloadList(); });
}

MVTrustedPathViewCtl::~MVTrustedPathViewCtl() = default;

void MVTrustedPathViewCtl::addToBookmarkWithPath(const QString &path)
{
    m_folders->addPath(path);
}

void MVTrustedPathViewCtl::addToBookmarkWithURL(const QUrl &url)
{
    m_folders->addUrl(url);
}

void MVTrustedPathViewCtl::restoreBookmarks()
{
    m_folders->restore();
}

bool MVTrustedPathViewCtl::commitEditing()
{
    return m_folders->commit();
}

void MVTrustedPathViewCtl::removeItemsAtRows(const QList<int> &rows)
{
    m_folders->removeAtRows(rows);
}

const QList<QUrl> &MVTrustedPathViewCtl::items() const
{
    return m_folders->items();
}

void MVTrustedPathViewCtl::reloadList()
{
    emit listChanged();
}
