#include "net/json/QVJsonParser.h"

#include "net/json/JsonDecimal.h"

#include <cstring>
#include <vector>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A byte that ends a run of plain string bytes.
bool isStringSpecial(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte == '"' || byte == '\\' || byte < 0x20;
}

QString hexText(unsigned value)
{
    return QString::number(value, 16);
}

} // namespace

// One open array or object. The reader keeps these on the heap instead of recursing, so the depth
// of the input never reaches the thread's stack.
struct QVJsonParser::Frame
{
    bool isArray = true;
    QVariantList list;
    QVariantMap map;
    QString key; // of the member whose value is being read
};

QVariant QVJsonParser::objectWithString(const QString &text)
{
    return objectWithString(text, nullptr);
}

QVariant QVJsonParser::objectWithString(const QString &text, JsonError *error)
{
    clearErrorTrace();
    QVariant result;
    if (text.isNull()) {
        addError(NilInputError, QStringLiteral("Input was 'nil'"));
    } else {
        const QByteArray utf8 = text.toUtf8();
        result = parse(utf8.constData(), utf8.constData() + utf8.size());
    }
    if (error && !result.isValid())
        *error = errorTrace().constLast();
    return result;
}

QVariant QVJsonParser::objectWithUtf8(const QByteArray &utf8, JsonError *error)
{
    clearErrorTrace();
    QVariant result;
    if (utf8.isNull())
        addError(NilInputError, QStringLiteral("Input was 'nil'"));
    else
        result = parse(utf8.constData(), utf8.constData() + utf8.size());
    if (error && !result.isValid())
        *error = errorTrace().constLast();
    return result;
}

QVariant QVJsonParser::parse(const char *begin, const char *end)
{
    m_depth = 0;
    m_c = begin;
    m_end = end;
    std::vector<Frame> stack;
    QVariant value;
    if (!readValue(stack, value))
        return {};
    skipWhiteSpace();
    if (!atEnd()) {
        addError(GarbageError, QStringLiteral("Garbage after JSON"));
        return {};
    }
    const int type = value.typeId();
    if (type == QMetaType::QVariantMap || type == QMetaType::QVariantList)
        return value;
    addError(FragmentError, QStringLiteral("Valid fragment, but not JSON"));
    return {};
}

// Reads one complete value with everything nested in it. On failure every container still open
// adds its own error on top of the one that stopped it, innermost first.
bool QVJsonParser::readValue(std::vector<Frame> &stack, QVariant &value)
{
    const auto fail = [this, &stack](bool innermostFailed) {
        if (innermostFailed)
            stack.pop_back();
        while (!stack.empty()) {
            const Frame &frame = stack.back();
            if (frame.isArray)
                addError(SyntaxError, QStringLiteral("Expected value while parsing array"));
            else
                addError(SyntaxError,
                         QStringLiteral("Object value expected for key: %1").arg(frame.key));
            stack.pop_back();
        }
        return false;
    };

    bool wantValue = true;
    for (;;) {
        if (wantValue) {
            skipWhiteSpace();
            if (atEnd()) {
                addError(EndOfInputError, QStringLiteral("Unexpected end of string"));
                return fail(false);
            }
            const char first = *m_c;
            if (first == '[' || first == '{') {
                ++m_c;
                if (!enterContainer())
                    return fail(false);
                Frame frame;
                frame.isArray = first == '[';
                if (frame.isArray)
                    frame.list.reserve(8);
                stack.push_back(std::move(frame));
                wantValue = false;
                continue;
            }
            if (!readScalar(value))
                return fail(false);
        } else {
            Frame &top = stack.back();
            if (atEnd()) {
                addError(EndOfInputError,
                         top.isArray ? QStringLiteral("End of input while parsing array")
                                     : QStringLiteral("End of input while parsing object"));
                return fail(true);
            }
            skipWhiteSpace();
            const char close = top.isArray ? ']' : '}';
            if (!atEnd() && *m_c == close) {
                ++m_c;
                --m_depth;
                if (top.isArray)
                    value = std::move(top.list);
                else
                    value = std::move(top.map);
                stack.pop_back();
            } else if (top.isArray) {
                wantValue = true;
                continue;
            } else {
                QString key;
                if (atEnd() || *m_c != '"' || (++m_c, !readString(key))) {
                    addError(SyntaxError, QStringLiteral("Object key string expected"));
                    return fail(true);
                }
                skipWhiteSpace();
                if (atEnd() || *m_c != ':') {
                    addError(SyntaxError, QStringLiteral("Expected ':' separating key and value"));
                    return fail(true);
                }
                ++m_c;
                top.key = key;
                wantValue = true;
                continue;
            }
        }

        // A value is complete: hand it to the open container, or it is the whole document.
        if (stack.empty())
            return true;
        Frame &top = stack.back();
        if (top.isArray)
            top.list.append(std::move(value));
        else
            top.map.insert(top.key, std::move(value)); // a later duplicate key wins
        value = QVariant();
        skipWhiteSpace();
        const char close = top.isArray ? ']' : '}';
        if (!atEnd() && *m_c == ',') {
            ++m_c;
            skipWhiteSpace();
            if (!atEnd() && *m_c == close) {
                addError(TrailingCommaError,
                         top.isArray ? QStringLiteral("Trailing comma disallowed in array")
                                     : QStringLiteral("Trailing comma disallowed in object"));
                return fail(true);
            }
        } else if (!atEnd() && *m_c != close) {
            addError(SyntaxError, top.isArray
                                      ? QStringLiteral("Expected ',' or ']' after array element")
                                      : QStringLiteral("Expected ',' or '}' after object member"));
            return fail(true);
        }
        wantValue = false;
    }
}

bool QVJsonParser::enterContainer()
{
    ++m_depth;
    if (maxDepth() != 0 && m_depth > maxDepth()) {
        addError(DepthError, QStringLiteral("Nested too deep"));
        return false;
    }
    return true;
}

bool QVJsonParser::readScalar(QVariant &value)
{
    switch (*m_c) {
    case '"': {
        ++m_c;
        QString text;
        if (!readString(text))
            return false;
        value = text;
        return true;
    }
    case '-':
    case '0':
    case '1':
    case '2':
    case '3':
    case '4':
    case '5':
    case '6':
    case '7':
    case '8':
    case '9':
        return readNumber(value);
    case 't':
        return readLiteral("true", true, "Expected 'true'", value);
    case 'f':
        return readLiteral("false", false, "Expected 'false'", value);
    case 'n':
        return readLiteral("null", QVariant::fromValue(nullptr), "Expected 'null'", value);
    case '+':
        addError(NumberError, QStringLiteral("Leading + disallowed in number"));
        return false;
    default:
        addError(SyntaxError, QStringLiteral("Unrecognised leading character"));
        return false;
    }
}

bool QVJsonParser::readLiteral(const char *word, const QVariant &literal, const char *failure,
                               QVariant &value)
{
    const auto length = static_cast<std::ptrdiff_t>(std::strlen(word));
    if (m_end - m_c < length || std::memcmp(m_c, word, size_t(length)) != 0) {
        addError(SyntaxError, QString::fromLatin1(failure));
        return false;
    }
    m_c += length;
    value = literal;
    return true;
}

// After the opening quote.
bool QVJsonParser::readString(QString &value)
{
    // Most strings have no escapes: make them from their bytes in one step.
    const char *start = m_c;
    const char *p = m_c;
    while (p < m_end && !isStringSpecial(*p))
        ++p;
    if (p < m_end && *p == '"' && p > start) {
        value = QString::fromUtf8(start, p - start);
        m_c = p + 1;
        return true;
    }

    value.clear();
    for (;;) {
        const char *run = m_c;
        while (m_c < m_end && !isStringSpecial(*m_c))
            ++m_c;
        if (m_c > run)
            value.append(QString::fromUtf8(run, m_c - run));
        if (atEnd()) {
            addError(ControlCharacterError, QStringLiteral("Unescaped control character '0x0'"));
            return false;
        }
        const auto byte = static_cast<unsigned char>(*m_c);
        if (byte == '"') {
            ++m_c;
            return true;
        }
        if (byte == '\\') {
            ++m_c;
            if (!readEscape(value))
                return false;
            if (atEnd()) {
                addError(EndOfInputError, QStringLiteral("Unexpected EOF while parsing string"));
                return false;
            }
            continue;
        }
        addError(ControlCharacterError,
                 QStringLiteral("Unescaped control character '0x%1'").arg(hexText(byte)));
        return false;
    }
}

// After the backslash.
bool QVJsonParser::readEscape(QString &value)
{
    const auto escape = atEnd() ? 0u : static_cast<unsigned char>(*m_c);
    char16_t character = 0;
    switch (escape) {
    case '"':
    case '/':
    case '\\':
        character = char16_t(escape);
        break;
    case 'b':
        character = 0x08;
        break;
    case 'f':
        character = 0x0C;
        break;
    case 'n':
        character = 0x0A;
        break;
    case 'r':
        character = 0x0D;
        break;
    case 't':
        character = 0x09;
        break;
    case 'u':
        ++m_c;
        if (!readUnicodeEscape(value)) {
            addError(UnicodeError, QStringLiteral("Broken unicode character"));
            return false;
        }
        return true;
    default:
        addError(EscapeError,
                 QStringLiteral("Illegal escape sequence '0x%1'").arg(hexText(escape)));
        return false;
    }
    ++m_c;
    value.append(QChar(character));
    return true;
}

// After "\u".
bool QVJsonParser::readUnicodeEscape(QString &value)
{
    char16_t unit = 0;
    if (!readHexQuad(unit))
        return false;
    if (unit < 0xD800 || unit > 0xDFFF) {
        value.append(QChar(unit));
        return true;
    }
    if (unit >= 0xDC00) {
        addError(UnicodeError, QStringLiteral("Invalid high character in surrogate pair"));
        return false;
    }
    char16_t low = 0;
    if (m_end - m_c < 2 || m_c[0] != '\\' || m_c[1] != 'u' || (m_c += 2, !readHexQuad(low))) {
        addError(UnicodeError, QStringLiteral("Missing low character in surrogate pair"));
        return false;
    }
    if (low < 0xDC00 || low > 0xDFFF) {
        addError(UnicodeError, QStringLiteral("Invalid low surrogate char"));
        return false;
    }
    value.append(QChar(unit));
    value.append(QChar(low));
    return true;
}

bool QVJsonParser::readHexQuad(char16_t &unit)
{
    unsigned result = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = atEnd() ? -1 : hexValue(*m_c);
        if (digit < 0) {
            addError(UnicodeError, QStringLiteral("Missing hex digit in quad"));
            addError(UnicodeError, QStringLiteral("Missing hex quad"));
            return false;
        }
        result = result * 16 + unsigned(digit);
        ++m_c;
    }
    unit = char16_t(result);
    return true;
}

bool QVJsonParser::readNumber(QVariant &value)
{
    constexpr quint64 kInt64Max = 9223372036854775807ULL;
    const char *start = m_c;
    const bool negative = *m_c == '-';
    if (negative)
        ++m_c;

    quint64 magnitude = 0;
    bool fitsInteger = true;
    if (!atEnd() && *m_c == '0') {
        ++m_c;
        if (!atEnd() && isDigit(*m_c)) {
            addError(NumberError, QStringLiteral("Leading 0 disallowed in number"));
            return false;
        }
    } else if (!atEnd() && isDigit(*m_c)) {
        for (; !atEnd() && isDigit(*m_c); ++m_c) {
            const auto digit = quint64(*m_c - '0');
            if (fitsInteger && magnitude <= (kInt64Max - digit) / 10)
                magnitude = magnitude * 10 + digit;
            else
                fitsInteger = false;
        }
    } else {
        addError(NumberError, QStringLiteral("No digits after initial minus"));
        return false;
    }

    if (!atEnd() && *m_c == '.') {
        fitsInteger = false;
        ++m_c;
        if (atEnd() || !isDigit(*m_c)) {
            addError(NumberError, QStringLiteral("No digits after decimal point"));
            return false;
        }
        while (!atEnd() && isDigit(*m_c))
            ++m_c;
    }
    if (!atEnd() && (*m_c == 'e' || *m_c == 'E')) {
        fitsInteger = false;
        ++m_c;
        if (!atEnd() && (*m_c == '+' || *m_c == '-'))
            ++m_c;
        if (atEnd() || !isDigit(*m_c)) {
            addError(NumberError, QStringLiteral("No digits after exponent"));
            return false;
        }
        while (!atEnd() && isDigit(*m_c))
            ++m_c;
    }

    if (fitsInteger) {
        const auto integer = qint64(magnitude);
        value = QVariant::fromValue<qlonglong>(negative ? -integer : integer);
        return true;
    }
    const std::optional<JsonDecimal> decimal =
        JsonDecimal::fromText(QByteArray(start, m_c - start));
    if (!decimal) {
        addError(NumberError, QStringLiteral("Failed creating decimal instance"));
        return false;
    }
    value = QVariant::fromValue(*decimal);
    return true;
}

void QVJsonParser::skipWhiteSpace()
{
    while (m_c < m_end) {
        switch (*m_c) {
        case ' ':
        case '\t':
        case '\n':
        case '\v':
        case '\f':
        case '\r':
            ++m_c;
            break;
        default:
            return;
        }
    }
}
