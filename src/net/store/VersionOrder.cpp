#include "net/store/VersionOrder.h"

#include "Shared/NaturalOrder.h"

#include <algorithm>

namespace {

bool isDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

qsizetype digitRunEnd(QStringView text, qsizetype from)
{
    while (from < text.size() && isDigit(text.at(from)))
        ++from;
    return from;
}

} // namespace

int VersionOrder::compare(QStringView a, QStringView b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a.at(i)) && isDigit(b.at(j))) {
            const qsizetype aEnd = digitRunEnd(a, i);
            const qsizetype bEnd = digitRunEnd(b, j);
            const int order =
                NaturalOrder::compareDigitRuns(a.mid(i, aEnd - i), b.mid(j, bEnd - j));
            if (order != 0)
                return order;
            i = aEnd;
            j = bEnd;
            continue;
        }
        if (a.at(i) != b.at(j))
            return a.at(i) < b.at(j) ? -1 : 1;
        ++i;
        ++j;
    }
    // The one with characters left over is the longer, newer version ("2.0" after "2").
    const bool aLeft = i < a.size();
    const bool bLeft = j < b.size();
    if (aLeft == bLeft)
        return 0;
    return aLeft ? 1 : -1;
}

QString VersionOrder::newest(const QStringList &versions)
{
    QString best;
    for (const QString &version : versions) {
        if (best.isNull() || compare(version, best) > 0)
            best = version;
    }
    return best;
}

QStringList VersionOrder::newestFirst(QStringList versions)
{
    std::stable_sort(versions.begin(), versions.end(),
                     [](const QString &a, const QString &b) { return compare(a, b) > 0; });
    return versions;
}
