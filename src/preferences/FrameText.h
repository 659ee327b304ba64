#pragma once

#include <QPoint>
#include <QRect>
#include <QString>

#include <optional>

// The text form of points and rectangles in the preferences store: "{x, y}" and
// "{{x, y}, {width, height}}". Reading accepts fractional numbers (rounded) and any spacing; a
// text with another count of numbers, or anything but numbers, braces and commas, is no value.
// Thread: any.
namespace FrameText {

QString fromPoint(const QPoint &point);
std::optional<QPoint> toPoint(const QString &text);
QString fromRect(const QRect &rect);
std::optional<QRect> toRect(const QString &text);

} // namespace FrameText
