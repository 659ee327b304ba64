#pragma once

#include <QtGlobal>

class QWidget;

// Resizing masks for widgets: which margins and dimensions of a child stretch when its parent is
// resized. A widget that has a mask follows its parent's resizes (the parent's size change is
// shared among the stretching parts in proportion to their current sizes).
// The edge names are those of a y axis growing downwards: the top margin is the minimum-y one.
// Thread: main thread.
namespace ViewResizing {

enum MaskBit : uint {
    MinXMargin = 1,     // the left margin stretches
    WidthSizable = 2,   // the width stretches
    MaxXMargin = 4,     // the right margin stretches
    MinYMargin = 8,     // the top margin stretches
    HeightSizable = 16, // the height stretches
    MaxYMargin = 32,    // the bottom margin stretches
};

uint autoresizingMask(const QWidget *view);
// Sets (`on`) or clears one bit of the mask; other bits are untouched.
void setAutoresizingBit(QWidget *view, uint bit, bool on);

// Fixing an edge or dimension clears its bit; un-fixing sets it.
void fixLeftEdge(QWidget *view, bool fixed);
void fixRightEdge(QWidget *view, bool fixed);
void fixTopEdge(QWidget *view, bool fixed);
void fixBottomEdge(QWidget *view, bool fixed);
void fixWidth(QWidget *view, bool fixed);
void fixHeight(QWidget *view, bool fixed);

} // namespace ViewResizing
