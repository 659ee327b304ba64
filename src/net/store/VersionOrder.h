#pragma once

#include <QString>
#include <QStringList>

// Orders version texts the way people read them: runs of digits compare as numbers, everything
// else character by character, so "1.10" is newer than "1.9" and "2.0" newer than "2".
// Thread: any (no state).
class VersionOrder
{
public:
    VersionOrder() = delete;

    // Negative when `a` is older than `b`, 0 when they are the same version, positive when newer.
    static int compare(QStringView a, QStringView b);
    static bool isNewer(QStringView candidate, QStringView than)
    {
        return compare(candidate, than) > 0;
    }

    // The newest of `versions`, or a null text for an empty list.
    static QString newest(const QStringList &versions);
    // `versions` from the newest to the oldest.
    static QStringList newestFirst(QStringList versions);
};
