#include "Shared/NaturalOrder.h"

namespace {

// The run of digits or of other characters that starts at `from`.
QStringView chunkAt(QStringView text, qsizetype from)
{
    const bool digits = text.at(from).isDigit();
    qsizetype end = from;
    while (end < text.size() && text.at(end).isDigit() == digits)
        ++end;
    return text.mid(from, end - from);
}

} // namespace

int NaturalOrder::compareDigitRuns(QStringView a, QStringView b)
{
    while (a.size() > 1 && a.front() == QLatin1Char('0'))
        a = a.mid(1);
    while (b.size() > 1 && b.front() == QLatin1Char('0'))
        b = b.mid(1);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    const int order = a.compare(b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

int NaturalOrder::compareNames(QStringView a, QStringView b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        const QStringView left = chunkAt(a, i);
        const QStringView right = chunkAt(b, j);
        const bool numbers = left.front().isDigit() && right.front().isDigit();
        const int order =
            numbers ? compareDigitRuns(left, right) : left.compare(right, Qt::CaseInsensitive);
        if (order != 0)
            return order < 0 ? -1 : 1;
        i += left.size();
        j += right.size();
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    return 0;
}
