#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class PrefsViewController;
class QAction;
class QActionGroup;
class QPropertyAnimation;
class QToolBar;
class QVBoxLayout;
class QWidget;

// The preferences window: one toolbar button per pane, one pane shown at a time.
//
// It remembers in the preferences store the selected pane ("Prefs Selected Identifier View"),
// the window's top-left corner ("Prefs Frame Top Left") and each pane's size ("Prefs <id>
// Frame"), as texts of FrameText, in the desktop's coordinates (y grows downwards; the point is
// the top-left corner of the window's frame). A pane's first size is its minimum for the life of
// the controller; a pane may grow past it only in the directions its view's size policy can grow.
// Switching panes keeps the window's top-left corner still.
//
// A pane can refuse to be left, and the window to be closed, by answering false from
// `commitEditing`. Actions sent from the window (`sendAction`) reach the visible pane first,
// then the controller.
//
// The panes are not owned; they must outlive the controller. The window is created, and the
// remembered state applied, on the first call of `window()`.
// Thread: main thread.
class PrefsWindowController : public QObject
{
    Q_OBJECT

public:
    // The toolbar identifier of a null entry of the pane list: a flexible space.
    static const QString kFlexibleSpaceIdentifier;

    // `viewControllers` in toolbar order; a null entry stands for a flexible space. A non-empty
    // `title` is the window's fixed title; otherwise the window takes the shown pane's label.
    explicit PrefsWindowController(const QList<PrefsViewController *> &viewControllers,
                                   const QString &title = QString(), QObject *parent = nullptr);
    ~PrefsWindowController() override;

    QWidget *window();
    bool isWindowLoaded() const;
    // Shows the window and brings it to the front.
    void showWindow();

    QList<PrefsViewController *> viewControllers() const;
    PrefsViewController *selectedViewController() const;
    QString title() const;
    // Index of the selected pane in `toolbarItemIdentifiers`, -1 when nothing is selected.
    int indexOfSelectedController() const;
    QStringList toolbarItemIdentifiers() const;

    // Selects the pane at `index`; an index out of range does nothing.
    void selectControllerAtIndex(int index);
    // Shows `controller` (null shows an empty window) unless the shown pane refuses to be left.
    void setSelectedViewController(PrefsViewController *controller);
    PrefsViewController *viewControllerForIdentifier(const QString &identifier) const;
    PrefsViewController *firstViewController() const;

    QToolBar *toolbar() const;
    QAction *toolbarItemForIdentifier(const QString &identifier) const;
    // The identifier of the toolbar item shown as selected, empty when none is.
    QString selectedToolbarItemIdentifier() const;

    // The object that actions sent from the window go to first.
    QObject *windowNextResponder() const;
    void clearResponderChain();
    void patchResponderChain();
    // Calls the slot or invokable method named `action` (taking the sender, or nothing) on the
    // first object of the window's responder chain that has one. False when none has it.
    bool sendAction(const char *action, QObject *sender = nullptr);

    // Off by default where the platform shows nothing (offscreen), so sizes apply at once.
    void setAnimatesResize(bool animates);

public slots:
    void goNextTab(QObject *sender = nullptr);
    void goPreviousTab(QObject *sender = nullptr);
    void toolbarItemDidClick(QObject *sender);

signals:
    // After every change of the selected pane (the window's "did change view" notification).
    void didChangeView();

private:
    friend class PrefsWindow;

    void windowDidLoad();
    bool windowShouldClose();
    void windowDidMove();
    void windowDidResize();

    void setContentView(QWidget *view);
    void selectToolbarItem(const QString &identifier);
    void resizeWindowForPane(PrefsViewController *controller);
    void focusInitialKeyView(PrefsViewController *controller);
    void stepSelection(int direction);
    void centreOnActiveWindow(QWidget *shown);
    PrefsViewController *paneForResponder(QObject *responder) const;

    QList<PrefsViewController *> m_viewControllers;
    QHash<QString, QString> m_minimumViewRects;
    QString m_title;
    PrefsViewController *m_selectedViewController = nullptr;

    QPointer<QWidget> m_window;
    QToolBar *m_toolbar = nullptr;
    QActionGroup *m_toolbarGroup = nullptr;
    QVBoxLayout *m_layout = nullptr;
    QWidget *m_contentHost = nullptr;
    QWidget *m_contentView = nullptr;
    QWidget *m_placeholderView = nullptr; // the empty view shown while no pane is
    QPointer<QObject> m_windowNextResponder;
    bool m_animatesResize = true;
    QPointer<QPropertyAnimation> m_resizeAnimation;
    bool m_placed = false; // the window has a place: stored, or centred when first shown
};
