#include "net/json/JsonValueExtractor.h"

#include "net/json/QVJsonParser.h"

namespace {

bool isSpaceOrLineEnd(QChar c)
{
    return c.isSpace();
}

// The end of text[begin, end) without the white space before `end`.
qsizetype trimmedEnd(QStringView text, qsizetype begin, qsizetype end)
{
    while (end > begin && isSpaceOrLineEnd(text.at(end - 1)))
        --end;
    return end;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

bool endsScalar(QChar c)
{
    return c == QLatin1Char(',') || c == QLatin1Char('}') || c == QLatin1Char(']') ||
           isSpaceOrLineEnd(c);
}

// The text between the quote at `start` and the next quote no backslash escapes, decoded.
std::optional<QString> quotedValue(QStringView text, qsizetype start)
{
    qsizetype end = start + 1;
    while (end < text.size() && text.at(end) != QLatin1Char('"'))
        end += text.at(end) == QLatin1Char('\\') ? 2 : 1;
    if (end >= text.size())
        return std::nullopt;
    return JsonValueExtractor::unescape(text.mid(start + 1, end - start - 1).toString());
}

// An object or array value, as this reader has always given it: its text up to the next comma.
std::optional<QString> containerStart(QStringView text, qsizetype start)
{
    const qsizetype commaAt = text.indexOf(QLatin1Char(','), start);
    if (commaAt < 0)
        return std::nullopt;
    return text.mid(start, trimmedEnd(text, start, commaAt) - start).toString();
}

} // namespace

std::optional<QString> JsonValueExtractor::valueForKey(const QString &key, const QString &json)
{
    if (!isWellFormed(json))
        return std::nullopt;
    const QString quotedKey = QLatin1Char('"') + key + QLatin1Char('"');
    const qsizetype keyAt = json.indexOf(quotedKey);
    if (keyAt < 0)
        return std::nullopt;
    const qsizetype colonAt = json.indexOf(QLatin1Char(':'), keyAt + quotedKey.size());
    if (colonAt < 0)
        return std::nullopt;
    const QStringView text(json);
    qsizetype start = colonAt + 1;
    while (start < text.size() && isSpaceOrLineEnd(text.at(start)))
        ++start;
    if (start >= text.size())
        return std::nullopt;
    const QChar first = text.at(start);
    if (first == QLatin1Char('"'))
        return quotedValue(text, start);
    if (first == QLatin1Char('{') || first == QLatin1Char('['))
        return containerStart(text, start);
    // A number or a literal ends where the object or array around it goes on or closes, so the
    // last key of an object has a value too.
    qsizetype end = start;
    while (end < text.size() && !endsScalar(text.at(end)))
        ++end;
    return text.mid(start, end - start).toString();
}

bool JsonValueExtractor::isWellFormed(const QString &json)
{
    QVJsonParser parser;
    return parser.objectWithString(json).isValid();
}

QString JsonValueExtractor::unescape(const QString &text)
{
    if (!text.contains(QLatin1Char('\\')))
        return text;
    QString result;
    result.reserve(text.size());
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\') || i + 1 >= size) {
            result.append(c);
            continue;
        }
        const char16_t next = text.at(i + 1).unicode();
        QChar decoded;
        switch (next) {
        case u'\\':
            decoded = QLatin1Char('\\');
            break;
        case u'/':
            decoded = QLatin1Char('/');
            break;
        case u'"':
            decoded = QLatin1Char('"');
            break;
        case u'n':
            decoded = QLatin1Char('\n');
            break;
        case u'r':
            decoded = QLatin1Char('\r');
            break;
        case u't':
            decoded = QLatin1Char('\t');
            break;
        case u'f':
            decoded = QLatin1Char('\f');
            break;
        case u'b':
            decoded = QLatin1Char('\b');
            break;
        case u'u': {
            if (i + 6 > size) {
                result.append(c);
                continue;
            }
            char16_t unit = 0;
            bool complete = true;
            for (qsizetype k = i + 2; k < i + 6; ++k) {
                const int digit = hexDigit(text.at(k));
                if (digit < 0) {
                    complete = false;
                    break;
                }
                unit = char16_t(unit * 16 + digit);
            }
            if (!complete) {
                result.append(c);
                continue;
            }
            result.append(QChar(unit));
            i += 5;
            continue;
        }
        default:
            // Not an escape this reader knows: keep the backslash and look at the next character
            // on its own.
            result.append(c);
            continue;
        }
        result.append(decoded);
        ++i;
    }
    return result;
}
