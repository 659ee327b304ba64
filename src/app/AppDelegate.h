#pragma once

#include <QObject>
#include <QPointer>

#include <memory>

class CustomSettingViewCtl;
class PrefsWindowController;
class QWidget;
class TrustedPathsPane;

// The application's delegate: when launching has finished it initialises the media probe and
// builds the preferences window with its two panes (which regains the trusted folders before
// anything is converted); it shows that window for the Preferences command, and quits the
// application when the main window is closed.
// Thread: main thread.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    explicit AppDelegate(QObject *parent = nullptr);
    ~AppDelegate() override;

    void applicationDidFinishLaunching();
    static bool applicationShouldTerminateAfterLastWindowClosed() { return true; }
    // The Preferences menu command.
    void preferenceDown();

    QWidget *window() const { return m_window; }
    // The main window; closing it quits the application.
    void setWindow(QWidget *window);

    PrefsWindowController *preferencesWindowController() const { return m_preferWndCtl.get(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildPreferencesWindow();

    std::unique_ptr<TrustedPathsPane> m_trustedPane;
    std::unique_ptr<CustomSettingViewCtl> m_settingsPane;
    std::unique_ptr<PrefsWindowController> m_preferWndCtl;
    QPointer<QWidget> m_window;
};
