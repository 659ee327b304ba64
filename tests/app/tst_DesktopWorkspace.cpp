#include "TestEnvironment.h"
#include "app/DesktopWorkspace.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kFileManager = QStringLiteral("org.freedesktop.FileManager1");

// A private session bus whose service folder holds, when asked for, a file manager that the bus
// starts on the first call.
class PrivateBus
{
public:
    bool start(const QString &folder, bool withFileManager, const QString &record)
    {
        const QString services = folder + QStringLiteral("/services");
        QDir().mkpath(services);
        if (withFileManager) {
            QFile service(services + QStringLiteral("/org.freedesktop.FileManager1.service"));
            if (!service.open(QIODevice::WriteOnly))
                return false;
            service.write("[D-BUS Service]\nName=org.freedesktop.FileManager1\nExec=" +
                          QFile::encodeName(QCoreApplication::applicationDirPath() +
                                            QStringLiteral("/fake_file_manager ") + record) +
                          '\n');
        }
        QFile config(folder + QStringLiteral("/session.conf"));
        if (!config.open(QIODevice::WriteOnly))
            return false;
        // The policy of a session bus: everyone may send, receive and own names.
        config.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                     "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/"
                     "busconfig.dtd\">\n<busconfig><type>session</type>"
                     "<listen>unix:tmpdir=/tmp</listen><auth>EXTERNAL</auth><servicedir>" +
                     QFile::encodeName(services) +
                     "</servicedir><policy context=\"default\">"
                     "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                     "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
        config.close();
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--config-file=") + config.fileName(),
                        QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        if (!m_daemon.waitForReadyRead(20000))
            return false;
        m_address = QString::fromLocal8Bit(m_daemon.readLine().trimmed());
        m_name = QStringLiteral("bus-") + folder.section(QLatin1Char('/'), -1);
        return !m_address.isEmpty() && bus().isConnected();
    }

    QDBusConnection bus() const { return QDBusConnection::connectToBus(m_address, m_name); }

    void stop()
    {
        QDBusConnection::disconnectFromBus(m_name);
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }

private:
    QProcess m_daemon;
    QString m_address;
    QString m_name;
};

QStringList linesOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

// Reveal against a real bus: a file manager that is installed but not running is started by the
// bus itself, and an error reply or a missing file manager opens the file's folder instead.
class TestDesktopWorkspace : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    PrivateBus m_withManager;
    PrivateBus m_withoutManager;
    QString m_record;
    QList<QUrl> m_opened;

    QString path(const QString &relative) const { return m_dir.path() + "/" + relative; }

    DesktopWorkspace *workspace(const QDBusConnection &bus)
    {
        auto *desktop = new DesktopWorkspace(bus);
        desktop->setFolderOpener([this](const QUrl &url) {
            m_opened.append(url);
            return true;
        });
        return desktop;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QFile::exists(QCoreApplication::applicationDirPath() + "/fake_file_manager"));
        m_record = path("shown.txt");
        QDir().mkpath(path("a"));
        QDir().mkpath(path("b"));
        QVERIFY(m_withManager.start(path("a"), true, m_record));
        QVERIFY(m_withoutManager.start(path("b"), false, QString()));
    }

    void cleanupTestCase()
    {
        QDBusConnection bus = m_withManager.bus();
        if (bus.interface()->isServiceRegistered(kFileManager))
            bus.call(QDBusMessage::createMethodCall(kFileManager, "/org/freedesktop/FileManager1",
                                                    kFileManager, "Quit"));
        m_withManager.stop();
        m_withoutManager.stop();
    }

    void init() { m_opened.clear(); }

    void anIdleFileManagerIsStartedAndShowsTheFile()
    {
        QDBusConnection bus = m_withManager.bus();
        QVERIFY(!bus.interface()->isServiceRegistered(kFileManager).value());
        std::unique_ptr<DesktopWorkspace> desktop(workspace(bus));
        const QString file = path("album/01 Intro.ogg");
        desktop->selectFile(file);
        // Sent without waiting: nothing has answered yet when the call returns.
        QVERIFY(linesOf(m_record).isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(linesOf(m_record),
                                  QStringList{QUrl::fromLocalFile(file).toString()}, 60000);
        QVERIFY(m_opened.isEmpty());
        QVERIFY(bus.interface()->isServiceRegistered(kFileManager).value());
    }

    void anErrorReplyOpensTheFolder()
    {
        std::unique_ptr<DesktopWorkspace> desktop(workspace(m_withManager.bus()));
        desktop->selectFile(path("refuse/me.flac"));
        QTRY_COMPARE_WITH_TIMEOUT(m_opened, QList<QUrl>{QUrl::fromLocalFile(path("refuse"))},
                                  60000);
    }

    void withoutAFileManagerTheFolderOpens()
    {
        std::unique_ptr<DesktopWorkspace> desktop(workspace(m_withoutManager.bus()));
        desktop->selectFile(path("c/d.flac"));
        QTRY_COMPARE_WITH_TIMEOUT(m_opened, QList<QUrl>{QUrl::fromLocalFile(path("c"))}, 60000);

        m_opened.clear();
        std::unique_ptr<DesktopWorkspace> offline(workspace(QDBusConnection::connectToBus(
            QStringLiteral("unix:path=/nonexistent"), QStringLiteral("nowhere"))));
        offline->selectFile(path("c/d.flac"));
        QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(path("c"))});
    }

    void aReplyAfterTheWorkspaceIsGoneIsHarmless()
    {
        auto *desktop = workspace(m_withoutManager.bus());
        desktop->selectFile(path("e/f.flac"));
        delete desktop;
        QTRY_COMPARE_WITH_TIMEOUT(m_opened.size(), 1, 60000);
    }
};

WAVELARK_TEST_MAIN(TestDesktopWorkspace)
#include "tst_DesktopWorkspace.moc"
