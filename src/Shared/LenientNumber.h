#pragma once

#include <QString>
#include <QVariant>

// Lenient number reading as the stored catalogue and the encoder's texts need it: the number at
// the start of a text (after blanks) is its value, anything else is 0. Independent of the locale.
// Thread: any.
namespace LenientNumber {

double toDouble(QStringView text);
qint64 toInteger(QStringView text);

// A number gives its value, a numeric text its leading number, anything else 0.
double valueToDouble(const QVariant &value);
qint64 valueToInteger(const QVariant &value);

} // namespace LenientNumber
