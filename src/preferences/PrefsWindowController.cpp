#include "preferences/PrefsWindowController.h"

#include "model/PrefKeys.h"
#include "model/UserDefaults.h"
#include "preferences/FrameText.h"
#include "preferences/PrefsViewController.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QPropertyAnimation>
#include <QScreen>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWidget>

// The top-level widget of the preferences window: it hands its move, resize and close events to
// the controller, which plays the window delegate.
class PrefsWindow final : public QWidget
{
public:
    explicit PrefsWindow(PrefsWindowController *controller)
        : m_controller(controller)
    {}

protected:
    void moveEvent(QMoveEvent *event) override
    {
        QWidget::moveEvent(event);
        if (m_controller)
            m_controller->windowDidMove();
    }
    void resizeEvent(QResizeEvent *event) override
    {
        QWidget::resizeEvent(event);
        if (m_controller)
            m_controller->windowDidResize();
    }
    // Escape that no control used closes the window, committing the pane as closing does.
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
            close();
            return;
        }
        QWidget::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent *event) override
    {
        if (m_controller && !m_controller->windowShouldClose())
            event->ignore();
        else
            event->accept();
    }

private:
    QPointer<PrefsWindowController> m_controller;
};

namespace {

// Holds the shown pane's view and gives it all of its room, whatever the view's size policy
// (which, for a pane, says how the window may be resized, not how a layout should place it).
class ContentHost final : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QWidget::resizeEvent(event);
        for (QWidget *child : findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            child->setGeometry(rect());
    }
};

const QString kFrameFormat = QString(PrefKeys::PrefsFrameFormat);

QString frameKey(const QString &identifier)
{
    return kFrameFormat.arg(identifier);
}

// The size a pane's view is to be shown in before it was ever laid out: its own size when it
// was given one, else its size hint.
QSize boundsOf(QWidget *view)
{
    if (view->testAttribute(Qt::WA_Resized))
        return view->size();
    return view->sizeHint().expandedTo(QSize(1, 1));
}

bool onSomeScreen(const QPoint &point)
{
    for (QScreen *screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().contains(point))
            return true;
    }
    return false;
}

} // namespace

const QString PrefsWindowController::kFlexibleSpaceIdentifier = QStringLiteral("FlexibleSpace");

PrefsWindowController::PrefsWindowController(const QList<PrefsViewController *> &viewControllers,
                                             const QString &title, QObject *parent)
    : QObject(parent)
    , m_viewControllers(viewControllers)
    , m_title(title)
    , m_windowNextResponder(this)
{
    m_animatesResize = QGuiApplication::platformName() != QLatin1String("offscreen");
}

PrefsWindowController::~PrefsWindowController()
{
    // The shown pane's view belongs to its pane, not to the window that is about to go.
    if (m_contentView && m_contentView != m_placeholderView) {
        m_contentView->hide();
        m_contentView->setParent(nullptr);
    }
    clearResponderChain();
    delete m_window.data();
}

QWidget *PrefsWindowController::window()
{
    if (!m_window) {
        auto *window = new PrefsWindow(this);
        m_window = window;
        m_layout = new QVBoxLayout(window);
        m_layout->setContentsMargins(0, 0, 0, 0);
        m_layout->setSpacing(0);
        // The controller sets the window's size limits itself, from the shown pane.
        m_layout->setSizeConstraint(QLayout::SetNoConstraint);

        m_toolbar = new QToolBar(window);
        m_toolbar->setMovable(false);
        m_toolbar->setFloatable(false);
        m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        m_toolbarGroup = new QActionGroup(m_toolbar);
        m_toolbarGroup->setExclusive(true);
        for (PrefsViewController *controller : std::as_const(m_viewControllers)) {
            if (!controller) {
                auto *space = new QWidget(m_toolbar);
                space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
                m_toolbar->addWidget(space);
                continue;
            }
            QAction *item = m_toolbar->addAction(controller->toolbarItemImage(),
                                                 controller->toolbarItemLabel());
            item->setData(controller->identifier());
            item->setCheckable(true);
            m_toolbarGroup->addAction(item);
            connect(item, &QAction::triggered, this, [this, item] { toolbarItemDidClick(item); });
        }
        m_layout->addWidget(m_toolbar);
        m_contentHost = new ContentHost(window);
        m_contentHost->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
        m_layout->addWidget(m_contentHost, 1);
        setContentView(nullptr);

        QAction *next = new QAction(tr("Next Pane"), window);
        next->setShortcut(QKeySequence::NextChild);
        connect(next, &QAction::triggered, this, [this, next] { sendAction("goNextTab", next); });
        QAction *previous = new QAction(tr("Previous Pane"), window);
        previous->setShortcut(QKeySequence::PreviousChild);
        connect(previous, &QAction::triggered, this,
                [this, previous] { sendAction("goPreviousTab", previous); });
        window->addActions({next, previous});

        windowDidLoad();
    }
    return m_window.data();
}

bool PrefsWindowController::isWindowLoaded() const
{
    return !m_window.isNull();
}

void PrefsWindowController::showWindow()
{
    QWidget *shown = window();
    if (!m_placed)
        centreOnActiveWindow(shown);
    shown->show();
    shown->raise();
    shown->activateWindow();
}

void PrefsWindowController::windowDidLoad()
{
    UserDefaults &store = UserDefaults::standard();
    if (!m_title.isEmpty())
        m_window->setWindowTitle(m_title);

    if (!m_viewControllers.isEmpty()) {
        PrefsViewController *remembered =
            viewControllerForIdentifier(store.stringForKey(PrefKeys::PrefsSelectedIdentifierView));
        setSelectedViewController(remembered ? remembered : firstViewController());
    }

    // A corner left on a screen that is gone would put the window out of reach.
    const std::optional<QPoint> topLeft =
        FrameText::toPoint(store.stringForKey(PrefKeys::PrefsFrameTopLeft));
    if (topLeft && onSomeScreen(*topLeft)) {
        m_window->move(*topLeft);
        m_placed = true;
    }
}

// A first opening without a stored place comes up over the window it was opened from, not in the
// screen's corner where a plain window manager would put it.
void PrefsWindowController::centreOnActiveWindow(QWidget *shown)
{
    QWidget *owner = QApplication::activeWindow();
    if (!owner || owner == shown)
        return;
    shown->adjustSize();
    shown->move(owner->frameGeometry().center() - shown->rect().center());
    m_placed = true;
}

QList<PrefsViewController *> PrefsWindowController::viewControllers() const
{
    return m_viewControllers;
}

PrefsViewController *PrefsWindowController::selectedViewController() const
{
    return m_selectedViewController;
}

QString PrefsWindowController::title() const
{
    return m_title;
}

int PrefsWindowController::indexOfSelectedController() const
{
    if (!m_selectedViewController)
        return -1;
    return int(toolbarItemIdentifiers().indexOf(m_selectedViewController->identifier()));
}

QStringList PrefsWindowController::toolbarItemIdentifiers() const
{
    QStringList identifiers;
    for (PrefsViewController *controller : m_viewControllers)
        identifiers.append(controller ? controller->identifier() : kFlexibleSpaceIdentifier);
    return identifiers;
}

void PrefsWindowController::selectControllerAtIndex(int index)
{
    if (index < 0 || index >= m_viewControllers.size())
        return;
    setSelectedViewController(m_viewControllers.at(index));
}

PrefsViewController *
PrefsWindowController::viewControllerForIdentifier(const QString &identifier) const
{
    for (PrefsViewController *controller : m_viewControllers) {
        if (controller && controller->identifier() == identifier)
            return controller;
    }
    return nullptr;
}

PrefsViewController *PrefsWindowController::firstViewController() const
{
    for (PrefsViewController *controller : m_viewControllers) {
        if (controller)
            return controller;
    }
    return nullptr;
}

void PrefsWindowController::setSelectedViewController(PrefsViewController *controller)
{
    if (controller == m_selectedViewController)
        return;
    window();

    if (PrefsViewController *old = m_selectedViewController) {
        if (!old->commitEditing()) {
            selectToolbarItem(old->identifier());
            return;
        }
        setContentView(nullptr);
        old->viewDidDisappear();
        clearResponderChain();
        m_selectedViewController = nullptr;
    }
    if (!controller)
        return;

    if (m_title.isEmpty())
        m_window->setWindowTitle(controller->toolbarItemLabel());
    selectToolbarItem(controller->identifier());
    UserDefaults &store = UserDefaults::standard();
    store.setValue(PrefKeys::PrefsSelectedIdentifierView, controller->identifier());
    store.synchronize();

    resizeWindowForPane(controller);

    m_selectedViewController = controller;
    controller->viewWillAppear();
    setContentView(controller->view());
    focusInitialKeyView(controller);
    patchResponderChain();
    emit didChangeView();
}

void PrefsWindowController::resizeWindowForPane(PrefsViewController *controller)
{
    QWidget *view = controller->view();
    const QString identifier = controller->identifier();
    const QSize bounds = boundsOf(view);
    if (!m_minimumViewRects.contains(identifier))
        m_minimumViewRects.insert(identifier, FrameText::fromRect(QRect(QPoint(), bounds)));

    const QRect saved =
        FrameText::toRect(UserDefaults::standard().stringForKey(frameKey(identifier)))
            .value_or(QRect(QPoint(), bounds));
    const QSize minimum = FrameText::toRect(m_minimumViewRects.value(identifier))->size();
    const bool widthResizable = view->sizePolicy().horizontalPolicy() & QSizePolicy::GrowFlag;
    const bool heightResizable = view->sizePolicy().verticalPolicy() & QSizePolicy::GrowFlag;
    const int width =
        widthResizable && saved.width() >= minimum.width() ? saved.width() : minimum.width();
    const int height =
        heightResizable && saved.height() >= minimum.height() ? saved.height() : minimum.height();
    view->resize(width, height);

    // The window is the toolbar above the pane's view.
    const int toolbarHeight = m_toolbar->isHidden() ? 0 : m_toolbar->sizeHint().height();
    const QSize windowSize(width, height + toolbarHeight);
    const QSize minimumSize(minimum.width(), minimum.height() + toolbarHeight);
    const QSize maximumSize(widthResizable ? QWIDGETSIZE_MAX : windowSize.width(),
                            heightResizable ? QWIDGETSIZE_MAX : windowSize.height());

    // A resize still under way would fight this one.
    if (m_resizeAnimation)
        m_resizeAnimation->stop();

    if (!m_window->isVisible() || !m_animatesResize) {
        m_window->setMinimumSize(minimumSize);
        m_window->setMaximumSize(maximumSize);
        if (!m_window->isVisible()) {
            // Not placed yet: leave the placing to the desktop, or to the remembered corner.
            m_window->resize(windowSize);
            return;
        }
        m_window->setGeometry(QRect(m_window->geometry().topLeft(), windowSize));
        return;
    }
    // The limits of the new pane would make the window jump to its size at once; they apply
    // when the animation ends.
    m_window->setMinimumSize(0, 0);
    m_window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    auto *animation = new QPropertyAnimation(m_window, "geometry", m_window);
    animation->setDuration(150);
    animation->setEndValue(QRect(m_window->geometry().topLeft(), windowSize));
    QPointer<QWidget> window = m_window;
    connect(animation, &QPropertyAnimation::finished, m_window, [window, minimumSize, maximumSize] {
        window->setMinimumSize(minimumSize);
        window->setMaximumSize(maximumSize);
    });
    m_resizeAnimation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void PrefsWindowController::focusInitialKeyView(PrefsViewController *controller)
{
    QWidget *focused = m_window->focusWidget();
    if (focused && focused != m_window && m_window->isAncestorOf(focused))
        return;
    if (QWidget *initial = controller->initialKeyView()) {
        initial->setFocus(Qt::OtherFocusReason);
        return;
    }
    QWidget *view = controller->view();
    for (QWidget *next = view->nextInFocusChain(); next && next != view;
         next = next->nextInFocusChain()) {
        if (!view->isAncestorOf(next))
            break;
        if ((next->focusPolicy() & Qt::TabFocus) && next->isEnabled()) {
            next->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void PrefsWindowController::setContentView(QWidget *view)
{
    if (m_contentView) {
        if (m_contentView != m_placeholderView) {
            m_contentView->hide();
            m_contentView->setParent(nullptr);
        } else {
            delete m_contentView;
            m_placeholderView = nullptr;
        }
    }
    m_contentView = view;
    if (!view) {
        m_placeholderView = new QWidget(m_contentHost);
        m_contentView = m_placeholderView;
    }
    // A pane's view already has the size the window is being given; the host keeps it filled
    // from then on.
    m_contentView->setParent(m_contentHost);
    if (m_contentView == m_placeholderView)
        m_contentView->setGeometry(m_contentHost->rect());
    else
        m_contentView->move(0, 0);
    m_contentView->show();
}

void PrefsWindowController::selectToolbarItem(const QString &identifier)
{
    if (QAction *item = toolbarItemForIdentifier(identifier))
        item->setChecked(true);
}

QToolBar *PrefsWindowController::toolbar() const
{
    return m_toolbar;
}

QAction *PrefsWindowController::toolbarItemForIdentifier(const QString &identifier) const
{
    if (!m_toolbarGroup)
        return nullptr;
    for (QAction *item : m_toolbarGroup->actions()) {
        if (item->data().toString() == identifier)
            return item;
    }
    return nullptr;
}

QString PrefsWindowController::selectedToolbarItemIdentifier() const
{
    QAction *checked = m_toolbarGroup ? m_toolbarGroup->checkedAction() : nullptr;
    return checked ? checked->data().toString() : QString();
}

void PrefsWindowController::toolbarItemDidClick(QObject *sender)
{
    if (auto *item = qobject_cast<QAction *>(sender))
        setSelectedViewController(viewControllerForIdentifier(item->data().toString()));
}

void PrefsWindowController::goNextTab(QObject *)
{
    stepSelection(1);
}

void PrefsWindowController::goPreviousTab(QObject *)
{
    stepSelection(-1);
}

void PrefsWindowController::stepSelection(int direction)
{
    const int count = int(m_viewControllers.size());
    int index = indexOfSelectedController();
    if (index < 0)
        index = direction > 0 ? -1 : 0;
    // At most one round, so that a list of placeholders only ends the walk.
    for (int step = 0; step < count; ++step) {
        index = (index + direction + count) % count;
        if (m_viewControllers.at(index)) {
            selectControllerAtIndex(index);
            return;
        }
    }
}

bool PrefsWindowController::windowShouldClose()
{
    return !m_selectedViewController || m_selectedViewController->commitEditing();
}

void PrefsWindowController::windowDidMove()
{
    UserDefaults::standard().setValue(PrefKeys::PrefsFrameTopLeft,
                                      FrameText::fromPoint(m_window->pos()));
}

void PrefsWindowController::windowDidResize()
{
    if (!m_selectedViewController)
        return;
    UserDefaults::standard().setValue(
        frameKey(m_selectedViewController->identifier()),
        FrameText::fromRect(QRect(QPoint(), m_selectedViewController->view()->size())));
}

QObject *PrefsWindowController::windowNextResponder() const
{
    return m_windowNextResponder.data();
}

void PrefsWindowController::clearResponderChain()
{
    PrefsViewController *pane = paneForResponder(m_windowNextResponder.data());
    if (pane) {
        m_windowNextResponder = pane->nextResponder();
        pane->setNextResponder(nullptr);
    }
}

void PrefsWindowController::patchResponderChain()
{
    clearResponderChain();
    if (m_selectedViewController) {
        m_selectedViewController->setNextResponder(m_windowNextResponder.data());
        m_windowNextResponder = m_selectedViewController->responder();
    }
}

bool PrefsWindowController::sendAction(const char *action, QObject *sender)
{
    const QByteArray name(action);
    for (QObject *responder = m_windowNextResponder.data(); responder;) {
        const QMetaObject *meta = responder->metaObject();
        for (int i = 0; i < meta->methodCount(); ++i) {
            const QMetaMethod method = meta->method(i);
            if (method.name() != name || method.methodType() == QMetaMethod::Signal)
                continue;
            if (method.parameterCount() == 0)
                return method.invoke(responder, Qt::DirectConnection);
            if (method.parameterCount() == 1 &&
                method.parameterMetaType(0) == QMetaType::fromType<QObject *>())
                return method.invoke(responder, Qt::DirectConnection, Q_ARG(QObject *, sender));
        }
        PrefsViewController *pane = paneForResponder(responder);
        responder = pane ? pane->nextResponder() : nullptr;
    }
    return false;
}

PrefsViewController *PrefsWindowController::paneForResponder(QObject *responder) const
{
    if (!responder)
        return nullptr;
    for (PrefsViewController *controller : m_viewControllers) {
        if (controller && controller->responder() == responder)
            return controller;
    }
    return nullptr;
}

void PrefsWindowController::setAnimatesResize(bool animates)
{
    m_animatesResize = animates;
}
