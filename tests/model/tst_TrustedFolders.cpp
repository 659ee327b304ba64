// Folders trusted by the parts of the program that do not show the list: the main window's drops
// and the settings pane's output folder.
#include "Shared/FolderBookmark.h"
#include "TestEnvironment.h"
#include "model/PrefKeys.h"
#include "model/TrustedFolders.h"
#include "model/UserDefaults.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestTrustedFolders : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        m_store = std::make_unique<UserDefaults>(m_root->filePath(QStringLiteral("prefs.ini")));
    }

    void cleanup()
    {
        m_store.reset();
        m_root.reset();
    }

    void recordWithoutAListStoresTheFolderOnce()
    {
        const QString folder = makeFolder(QStringLiteral("album"));
        TrustedFolders::record(QUrl::fromLocalFile(folder + QStringLiteral("/")), m_store.get());
        QCOMPARE(storedPaths(), QStringList{folder});

        QTest::ignoreMessage(QtInfoMsg, "已经存在");
        TrustedFolders::record(QUrl::fromLocalFile(folder), m_store.get());
        TrustedFolders::record(QUrl::fromLocalFile(m_root->filePath(QStringLiteral("missing"))),
                               m_store.get());
        TrustedFolders::record(QUrl(QStringLiteral("https://example.org/folder")), m_store.get());
        QCOMPARE(storedPaths(), QStringList{folder});

        // A list made later regains it.
        TrustedFolders list(m_store.get());
        list.restore();
        QCOMPARE(list.items(), QList<QUrl>{QUrl::fromLocalFile(folder)});
    }

    void recordGoesToTheLatestListOnItsStore()
    {
        UserDefaults otherStore(m_root->filePath(QStringLiteral("other.ini")));
        TrustedFolders older(m_store.get());
        TrustedFolders latest(m_store.get());
        TrustedFolders elsewhere(&otherStore);
        QSignalSpy changed(&latest, &TrustedFolders::changed);

        const QString folder = makeFolder(QStringLiteral("output"));
        TrustedFolders::record(QUrl::fromLocalFile(folder), m_store.get());
        QCOMPARE(latest.items(), QList<QUrl>{QUrl::fromLocalFile(folder)});
        QCOMPARE(changed.size(), 1);
        QVERIFY(older.items().isEmpty());
        QVERIFY(elsewhere.items().isEmpty());
        QCOMPARE(storedPaths(), QStringList{folder});
        QVERIFY(otherStore.arrayForKey(PrefKeys::Bookmarks).isEmpty());
    }

private:
    QString makeFolder(const QString &name)
    {
        const QString path = m_root->filePath(name);
        QDir().mkpath(path);
        return path;
    }

    QStringList storedPaths() const
    {
        QStringList paths;
        for (const QVariant &element : m_store->arrayForKey(PrefKeys::Bookmarks)) {
            QString path;
            FolderBookmark::resolve(element.toByteArray(), &path);
            paths << path;
        }
        return paths;
    }

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<UserDefaults> m_store;
};

WAVELARK_TEST_MAIN(TestTrustedFolders)
#include "tst_TrustedFolders.moc"
