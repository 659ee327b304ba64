#pragma once

#include <QObject>
#include <QVariantMap>

class MainWndController;

// Shows a run's progress on the program's icon in the taskbar or dock: the
// com.canonical.Unity.LauncherEntry "Update" signal on the session bus, which KDE Plasma and the
// GNOME docks read. Nothing happens without a session bus. It has no parent: its owner (main())
// keeps it beside the window and ends it before the window.
// Thread: main thread.
class LauncherEntry : public QObject
{
    Q_OBJECT

public:
    // "application://<bundle id>.desktop", the desktop entry the docks know the program by.
    static QString appUri();

    explicit LauncherEntry(MainWndController &window);

    // The properties of one update: "progress" (0..1) and "progress-visible".
    static QVariantMap properties(double fraction, bool visible);
    static void send(double fraction, bool visible);
};
