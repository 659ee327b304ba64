#include "net/json/JsonDecimal.h"

namespace {

constexpr qint64 kExponentLimit = 999999999;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// QVariant::toDouble() and toString() work on a decimal once these are registered.
const bool g_convertersRegistered = [] {
    QMetaType::registerConverter<JsonDecimal, double>(&JsonDecimal::toDouble);
    QMetaType::registerConverter<JsonDecimal, QString>(&JsonDecimal::toString);
    return true;
}();

} // namespace

std::optional<JsonDecimal> JsonDecimal::fromText(const QByteArray &text)
{
    Q_UNUSED(g_convertersRegistered);
    JsonDecimal decimal;
    decimal.m_text = text;
    const char *c = text.constData();
    const char *end = c + text.size();
    if (c < end && *c == '-') {
        decimal.m_negative = true;
        ++c;
    }
    QByteArray digits;
    qint64 fractionDigits = 0;
    const char *integerStart = c;
    while (c < end && isDigit(*c))
        digits.append(*c++);
    if (c == integerStart)
        return std::nullopt;
    if (c < end && *c == '.') {
        ++c;
        const char *fractionStart = c;
        while (c < end && isDigit(*c))
            digits.append(*c++);
        fractionDigits = c - fractionStart;
        if (fractionDigits == 0)
            return std::nullopt;
    }
    qint64 exponent = 0;
    if (c < end && (*c == 'e' || *c == 'E')) {
        ++c;
        bool negativeExponent = false;
        if (c < end && (*c == '+' || *c == '-'))
            negativeExponent = *c++ == '-';
        const char *exponentStart = c;
        while (c < end && isDigit(*c)) {
            exponent = exponent * 10 + (*c++ - '0');
            if (exponent > kExponentLimit)
                return std::nullopt;
        }
        if (c == exponentStart)
            return std::nullopt;
        if (negativeExponent)
            exponent = -exponent;
    }
    if (c != end)
        return std::nullopt;

    // Normalise to significant digits times a power of ten, so equal values compare equal.
    qsizetype first = 0;
    while (first < digits.size() && digits.at(first) == '0')
        ++first;
    qsizetype last = digits.size();
    qint64 trailingZeros = 0;
    while (last > first && digits.at(last - 1) == '0') {
        --last;
        ++trailingZeros;
    }
    decimal.m_digits = digits.mid(first, last - first);
    decimal.m_exponent = decimal.m_digits.isEmpty() ? 0 : exponent - fractionDigits + trailingZeros;
    return decimal;
}

double JsonDecimal::toDouble() const
{
    // QByteArray::toDouble always reads with the C locale; beyond the double range it gives
    // infinity or zero, which is the nearest a double can do.
    return m_text.toDouble();
}

QDebug operator<<(QDebug debug, const JsonDecimal &decimal)
{
    QDebugStateSaver saver(debug);
    debug.nospace() << "JsonDecimal(" << decimal.text().constData() << ')';
    return debug;
}
