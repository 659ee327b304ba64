#pragma once

#include <QByteArray>
#include <QDebug>
#include <QMetaType>
#include <QString>

#include <optional>

// A JSON number that is not a 64-bit integer (it has a fraction or an exponent, or its magnitude
// is beyond 9223372036854775807). It keeps the number's text as written, so no digit is lost, and
// compares by exact value: 1.5, 1.50 and 15e-1 are equal. toDouble() gives the nearest double for
// callers that want arithmetic.
class JsonDecimal
{
public:
    JsonDecimal() = default;

    // Null when `text` is not a JSON number or its exponent is beyond +-999999999 (such a value
    // cannot be held as a decimal: it would be zero or infinite in every numeric type).
    static std::optional<JsonDecimal> fromText(const QByteArray &text);

    // The number exactly as it was written.
    QByteArray text() const { return m_text; }
    double toDouble() const;
    QString toString() const { return QString::fromLatin1(m_text); }

    // The value as significant digits (no leading or trailing zeros; empty for zero) times ten to
    // the power exponent().
    QByteArray significand() const { return m_digits; }
    qint64 exponent() const { return m_exponent; }
    bool isNegative() const { return m_negative && !m_digits.isEmpty(); }

    friend bool operator==(const JsonDecimal &a, const JsonDecimal &b)
    {
        return a.isNegative() == b.isNegative() && a.m_digits == b.m_digits &&
               a.m_exponent == b.m_exponent;
    }
    friend bool operator!=(const JsonDecimal &a, const JsonDecimal &b) { return !(a == b); }

private:
    QByteArray m_text;
    QByteArray m_digits;
    qint64 m_exponent = 0;
    bool m_negative = false;
};

Q_DECLARE_METATYPE(JsonDecimal)

QDebug operator<<(QDebug debug, const JsonDecimal &decimal);
