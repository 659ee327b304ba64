#include "mainwindow/ViewResizing.h"

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QResizeEvent>
#include <QWidget>

namespace {

const char kMaskProperty[] = "wavelarkAutoresizingMask";
const char kFollowedProperty[] = "wavelarkResizeFollowed";

// Watches one parent and moves or resizes its masked children when the parent's size changes.
class ResizeFollower : public QObject
{
public:
    explicit ResizeFollower(QWidget *parent)
        : QObject(parent)
        , m_lastSize(parent->size())
    {
        parent->installEventFilter(this);
    }

    static void ensureFor(QWidget *parent)
    {
        if (!parent || parent->property(kFollowedProperty).toBool())
            return;
        parent->setProperty(kFollowedProperty, true);
        new ResizeFollower(parent);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Resize)
            return false;
        // The size seen last, not the event's old size: a hidden widget's resizes reach it as one
        // event without an old size when it is shown.
        const QSize oldSize = m_lastSize;
        const QSize newSize = static_cast<QResizeEvent *>(event)->size();
        m_lastSize = newSize;
        auto *parent = static_cast<QWidget *>(watched);
        for (QWidget *child : parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            const uint mask = ViewResizing::autoresizingMask(child);
            if (mask == 0)
                continue;
            const QRect frame = child->geometry();
            int x = frame.x();
            int width = frame.width();
            int y = frame.y();
            int height = frame.height();
            share(newSize.width() - oldSize.width(), mask, ViewResizing::MinXMargin,
                  ViewResizing::WidthSizable, ViewResizing::MaxXMargin, x, width,
                  oldSize.width() - x - width);
            share(newSize.height() - oldSize.height(), mask, ViewResizing::MinYMargin,
                  ViewResizing::HeightSizable, ViewResizing::MaxYMargin, y, height,
                  oldSize.height() - y - height);
            child->setGeometry(x, y, width, height);
        }
        return false;
    }

private:
    QSize m_lastSize;

    // Shares `delta` among the stretching parts of one axis: the leading margin (`position`), the
    // size and the trailing margin, in proportion to their sizes (equally when all are empty).
    static void share(int delta, uint mask, uint leadBit, uint sizeBit, uint trailBit,
                      int &position, int &size, int trailing)
    {
        if (delta == 0)
            return;
        const bool lead = mask & leadBit;
        const bool sized = mask & sizeBit;
        const bool trail = mask & trailBit;
        const int parts = int(lead) + int(sized) + int(trail);
        if (parts == 0)
            return;
        const double total = (lead ? qMax(position, 0) : 0) + (sized ? qMax(size, 0) : 0) +
                             (trail ? qMax(trailing, 0) : 0);
        auto portion = [&](int extent) {
            return total > 0 ? qRound(delta * qMax(extent, 0) / total) : delta / parts;
        };
        const int leadShare = lead ? portion(position) : 0;
        int sizeShare = 0;
        if (sized)
            sizeShare = trail ? portion(size) : delta - leadShare;
        position += leadShare;
        size = qMax(0, size + sizeShare);
    }
};

} // namespace

namespace ViewResizing {

uint autoresizingMask(const QWidget *view)
{
    return view ? view->property(kMaskProperty).toUInt() : 0;
}

void setAutoresizingBit(QWidget *view, uint bit, bool on)
{
    if (!view)
        return;
    const uint mask = autoresizingMask(view);
    view->setProperty(kMaskProperty, on ? (mask | bit) : (mask & ~bit));
    ResizeFollower::ensureFor(view->parentWidget());
}

void fixLeftEdge(QWidget *view, bool fixed)
{
    setAutoresizingBit(view, MinXMargin, !fixed);
}

void fixRightEdge(QWidget *view, bool fixed)
{
    setAutoresizingBit(view, MaxXMargin, !fixed);
}

void fixTopEdge(QWidget *view, bool fixed)
{
    setAutoresizingBit(view, MinYMargin, !fixed);
}

void fixBottomEdge(QWidget *view, bool fixed)
{
    setAutoresizingBit(view, MaxYMargin, !fixed);
}

void fixWidth(QWidget *view, bool fixed)
{
    setAutoresizingBit(view, WidthSizable, !fixed);
}

void fixHeight(QWidget *view, bool fixed)
{
    setAutoresizingBit(view, HeightSizable, !fixed);
}

} // namespace ViewResizing
