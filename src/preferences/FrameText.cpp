#include "preferences/FrameText.h"

#include <QList>
#include <QRegularExpression>

#include <cmath>

namespace {

constexpr double kLimit = 1e7;

// The numbers of a "{x, y}" or "{{x, y}, {w, h}}" text, when it holds exactly `count` of them.
std::optional<QList<int>> numbersOf(const QString &text, int count)
{
    static const QRegularExpression shape(
        QStringLiteral("^[\\s{},]*(?:[-+]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][-+]?\\d+)?[\\s{},]*)+$"));
    static const QRegularExpression number(
        QStringLiteral("[-+]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][-+]?\\d+)?"));
    if (!shape.match(text).hasMatch())
        return std::nullopt;
    QList<int> numbers;
    auto it = number.globalMatch(text);
    while (it.hasNext()) {
        const double value = it.next().captured().toDouble();
        // Far beyond any screen: a damaged value, not a place.
        if (!(std::abs(value) <= kLimit))
            return std::nullopt;
        numbers.append(qRound(value));
    }
    if (numbers.size() != count)
        return std::nullopt;
    return numbers;
}

} // namespace

QString FrameText::fromPoint(const QPoint &point)
{
    return QStringLiteral("{%1, %2}").arg(point.x()).arg(point.y());
}

std::optional<QPoint> FrameText::toPoint(const QString &text)
{
    const auto numbers = numbersOf(text, 2);
    if (!numbers)
        return std::nullopt;
    return QPoint(numbers->at(0), numbers->at(1));
}

QString FrameText::fromRect(const QRect &rect)
{
    return QStringLiteral("{{%1, %2}, {%3, %4}}")
        .arg(rect.x())
        .arg(rect.y())
        .arg(rect.width())
        .arg(rect.height());
}

std::optional<QRect> FrameText::toRect(const QString &text)
{
    const auto numbers = numbersOf(text, 4);
    if (!numbers)
        return std::nullopt;
    return QRect(numbers->at(0), numbers->at(1), numbers->at(2), numbers->at(3));
}
