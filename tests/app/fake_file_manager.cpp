// A file manager that the bus starts on demand in the workspace tests: it answers ShowItems on
// org.freedesktop.FileManager1, appending each address it is asked to show to the file named by
// its first argument, and refuses addresses that contain "refuse". It ends when asked to (Quit)
// or after a minute of silence.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QFile>
#include <QTimer>

#include <cstdio>

class FakeFileManager : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    FakeFileManager(const QString &record, QTimer *idle)
        : m_record(record)
        , m_idle(idle)
    {}

public slots:
    void ShowItems(const QStringList &uris, const QString &startupId)
    {
        Q_UNUSED(startupId)
        m_idle->start();
        for (const QString &uri : uris) {
            if (uri.contains(QLatin1String("refuse"))) {
                sendErrorReply(QDBusError::AccessDenied, QStringLiteral("not shown: ") + uri);
                return;
            }
        }
        QFile file(m_record);
        if (file.open(QIODevice::Append))
            file.write(uris.join(QLatin1Char('\n')).toUtf8() + '\n');
    }

    void Quit() { QCoreApplication::quit(); }

private:
    QString m_record;
    QTimer *m_idle;
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: fake_file_manager RECORD\n");
        return 2;
    }
    QTimer idle;
    idle.setSingleShot(true);
    idle.setInterval(60000);
    QObject::connect(&idle, &QTimer::timeout, &app, &QCoreApplication::quit);
    idle.start();

    // Started by the bus: the bus that started it is the one to serve.
    QDBusConnection bus =
        QDBusConnection::connectToBus(QDBusConnection::ActivationBus, QStringLiteral("activation"));
    FakeFileManager manager(QString::fromLocal8Bit(argv[1]), &idle);
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.FileManager1"))) {
        std::fprintf(stderr, "fake_file_manager: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    return app.exec();
}

#include "fake_file_manager.moc"
