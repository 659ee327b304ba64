#pragma once

#include <QByteArray>
#include <QVariant>

// Reads property lists (XML or binary) with libplist into Qt values: dictionaries become
// QVariantMap, arrays QVariantList, strings and keys QString, integers qint64, reals double
// (non-finite ones 0), booleans bool and data QByteArray. Dates and archive ids have no use here
// and become invalid values, as do nodes nested deeper than any real file needs.
//
// Thread: any.
class PropertyList
{
public:
    PropertyList() = delete;

    // The top-level value of `bytes`; invalid for malformed or empty bytes.
    static QVariant read(const QByteArray &bytes);
    // The top-level dictionary of `bytes`; empty when the bytes are malformed or hold another
    // kind of value at the top.
    static QVariantMap readDictionary(const QByteArray &bytes);
};
