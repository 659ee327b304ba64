#include "Shared/LenientNumber.h"

#include <cmath>

namespace LenientNumber {
namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Length of the longest prefix of `text` (starting at `from`) that reads as a decimal number.
qsizetype numberPrefixEnd(QStringView text, qsizetype from)
{
    qsizetype i = from;
    const qsizetype n = text.size();
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    qsizetype digits = 0;
    while (i < n && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < n && text[i] == QLatin1Char('.')) {
        qsizetype j = i + 1;
        qsizetype fraction = 0;
        while (j < n && isDigit(text[j])) {
            ++j;
            ++fraction;
        }
        if (digits + fraction > 0) {
            i = j;
            digits += fraction;
        }
    }
    if (digits == 0)
        return from;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-')))
            ++j;
        if (j < n && isDigit(text[j])) {
            while (j < n && isDigit(text[j]))
                ++j;
            i = j;
        }
    }
    return i;
}

} // namespace

double toDouble(QStringView text)
{
    qsizetype start = 0;
    while (start < text.size() && text[start].isSpace())
        ++start;
    const qsizetype end = numberPrefixEnd(text, start);
    if (end == start)
        return 0.0;
    bool ok = false;
    const double value = text.mid(start, end - start).toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

qint64 toInteger(QStringView text)
{
    const double value = toDouble(text);
    if (value >= 9.2e18 || value <= -9.2e18)
        return 0;
    return static_cast<qint64>(value);
}

double valueToDouble(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
        return toDouble(QStringView(value.toString()));
    case QMetaType::QByteArray:
        return toDouble(QStringView(QString::fromUtf8(value.toByteArray())));
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return value.toDouble();
    default:
        return 0.0;
    }
}

qint64 valueToInteger(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toLongLong();
    default: {
        const double number = valueToDouble(value);
        return (number >= 9.2e18 || number <= -9.2e18) ? 0 : static_cast<qint64>(number);
    }
    }
}

} // namespace LenientNumber
