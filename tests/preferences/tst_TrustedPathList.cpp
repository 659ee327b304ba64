// The trusted folder list: what is stored under "BookmarksKey", when, and what comes back at
// the next start.
#include "TestEnvironment.h"
#include "WidgetTestMain.h"

#include "Shared/FolderBookmark.h"
#include "model/PrefKeys.h"
#include "model/UserDefaults.h"
#include "preferences/MVTrustedPathViewCtl.h"

#include <QApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestTrustedPathList : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void addingStoresAtOnceAndRefusesDuplicates();
    void restoringListsOnlyFoldersThatStillResolve();
    void storedValueThatIsNotAListGivesAnEmptyList();
    void commitRewritesTheStoreFromTheVisibleList();

private:
    QString folder(const QString &name);
    // What the store file holds, read back by a fresh store as a later start would.
    QStringList storedPaths() const;
    QString iniPath() const { return m_root->filePath(QStringLiteral("prefs.ini")); }

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<UserDefaults> m_store;
};

void TestTrustedPathList::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    m_store = std::make_unique<UserDefaults>(iniPath());
}

void TestTrustedPathList::cleanup()
{
    m_store.reset();
    m_root.reset();
}

QString TestTrustedPathList::folder(const QString &name)
{
    const QString path = m_root->filePath(name);
    QDir().mkpath(path);
    return path;
}

QStringList TestTrustedPathList::storedPaths() const
{
    UserDefaults reread(iniPath());
    QStringList paths;
    const QVariant value = reread.objectForKey(PrefKeys::Bookmarks);
    if (value.typeId() != QMetaType::QVariantList)
        return {QStringLiteral("<not a list>")};
    for (const QVariant &element : value.toList()) {
        QString path;
        FolderBookmark::resolve(element.toByteArray(), &path);
        paths << path;
    }
    return paths;
}

void TestTrustedPathList::addingStoresAtOnceAndRefusesDuplicates()
{
    MVTrustedPathViewCtl list(nullptr, m_store.get());
    QSignalSpy changed(&list, &MVTrustedPathViewCtl::listChanged);
    const QString a = folder(QStringLiteral("a"));
    const QString b = folder(QStringLiteral("b"));

    list.addToBookmarkWithURL(QUrl::fromLocalFile(a));
    QCOMPARE(list.items(), QList<QUrl>{QUrl::fromLocalFile(a)});
    QCOMPARE(storedPaths(), QStringList{a}); // a one-entry list survives the file as a list
    QCOMPARE(changed.size(), 1);

    QTest::ignoreMessage(QtInfoMsg, "已经存在");
    list.addToBookmarkWithPath(a + QStringLiteral("/"));
    list.addToBookmarkWithPath(m_root->filePath(QStringLiteral("missing")));
    list.addToBookmarkWithURL(QUrl(QStringLiteral("https://example.org/folder")));
    QCOMPARE(list.items().size(), 1);
    QCOMPARE(storedPaths(), QStringList{a});
    QCOMPARE(changed.size(), 1);

    list.addToBookmarkWithPath(b);
    QCOMPARE(storedPaths(), QStringList({a, b}));
}

void TestTrustedPathList::restoringListsOnlyFoldersThatStillResolve()
{
    const QString a = folder(QStringLiteral("a"));
    const QString b = folder(QStringLiteral("b"));
    const QString replaced = folder(QStringLiteral("replaced"));
    const QString gone = folder(QStringLiteral("gone"));
    const QByteArray replacedBookmark = FolderBookmark::create(replaced);
    const QByteArray goneBookmark = FolderBookmark::create(gone);
    // Another folder now stands at the path (the old one is kept, so its inode is not reused).
    QVERIFY(QDir().rename(replaced, replaced + QStringLiteral("-old")));
    QDir().mkpath(replaced);
    QVERIFY(QDir(gone).removeRecursively());

    m_store->setValue(PrefKeys::Bookmarks,
                      QVariantList{FolderBookmark::create(a), QStringLiteral("not data"),
                                   replacedBookmark, goneBookmark, QByteArray("garbage"),
                                   FolderBookmark::create(a), FolderBookmark::create(b)});
    m_store->synchronize();

    UserDefaults nextStart(iniPath());
    MVTrustedPathViewCtl list(nullptr, &nextStart);
    QSignalSpy changed(&list, &MVTrustedPathViewCtl::listChanged);
    QTest::ignoreMessage(QtInfoMsg, "已经存在");
    QTest::ignoreMessage(QtInfoMsg, qPrintable(QStringLiteral("--- ") + a));
    QTest::ignoreMessage(QtInfoMsg, qPrintable(QStringLiteral("--- ") + b));
    QTest::ignoreMessage(QtInfoMsg, "--- 1");
    QTest::ignoreMessage(QtInfoMsg, "--- 1");
    list.restoreBookmarks();
    QCOMPARE(list.items(), QList<QUrl>({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)}));
    QCOMPARE(changed.size(), 1);
    // Restoring stores nothing; the skipped entries go at the next commit.
    QCOMPARE(storedPaths().size(), 7);
    QVERIFY(list.commitEditing());
    QCOMPARE(storedPaths(), QStringList({a, b}));
}

void TestTrustedPathList::storedValueThatIsNotAListGivesAnEmptyList()
{
    m_store->setValue(PrefKeys::Bookmarks, QStringLiteral("not a list"));
    MVTrustedPathViewCtl list(nullptr, m_store.get());
    QSignalSpy changed(&list, &MVTrustedPathViewCtl::listChanged);
    list.restoreBookmarks();
    QVERIFY(list.items().isEmpty());
    QCOMPARE(changed.size(), 0);
    QCOMPARE(m_store->stringForKey(PrefKeys::Bookmarks), QStringLiteral("not a list"));
}

void TestTrustedPathList::commitRewritesTheStoreFromTheVisibleList()
{
    MVTrustedPathViewCtl list(nullptr, m_store.get());
    const QString a = folder(QStringLiteral("a"));
    const QString b = folder(QStringLiteral("b"));
    const QString c = folder(QStringLiteral("c"));
    const QString d = folder(QStringLiteral("d"));
    for (const QString &path : {a, b, c})
        list.addToBookmarkWithPath(path);

    // A removal waits for the commit; an addition meanwhile keeps the stored list as it was.
    list.removeItemsAtRows({1});
    QCOMPARE(list.items().size(), 2);
    QCOMPARE(storedPaths(), QStringList({a, b, c}));
    list.addToBookmarkWithPath(d);
    QCOMPARE(storedPaths(), QStringList({a, b, c, d}));

    QVERIFY(list.commitEditing());
    QCOMPARE(storedPaths(), QStringList({a, c, d}));

    // A folder deleted from the disk stays listed until the commit drops it.
    QVERIFY(QDir(d).removeRecursively());
    QCOMPARE(list.items().size(), 3);
    QVERIFY(list.commitEditing());
    QCOMPARE(storedPaths(), QStringList({a, c}));

    // Rows out of range are ignored; the missing folder left alone is not stored.
    list.removeItemsAtRows({0, 1, 7});
    QCOMPARE(list.items(), QList<QUrl>{QUrl::fromLocalFile(d)});
    QVERIFY(list.commitEditing());
    QVERIFY(UserDefaults(iniPath()).arrayForKey(PrefKeys::Bookmarks).isEmpty());
}

WAVELARK_WIDGET_TEST_MAIN(TestTrustedPathList)

#include "tst_TrustedPathList.moc"
