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

// True when the text is a complete quoted value: it opens with a quote and its last quote is not
// escaped by an odd run of backslashes.
bool closesItsQuote(QStringView value)
{
    if (value.size() < 2 || !value.endsWith(QLatin1Char('"')))
        return false;
    qsizetype backslashes = 0;
    for (qsizetype i = value.size() - 2; i >= 1 && value.at(i) == QLatin1Char('\\'); --i)
        ++backslashes;
    return backslashes % 2 == 0;
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
    qsizetype start = colonAt + 1;
    qsizetype commaAt = json.indexOf(QLatin1Char(','), start);
    if (commaAt < 0)
        return std::nullopt;

    const QStringView text(json);
    while (start < commaAt && isSpaceOrLineEnd(text.at(start)))
        ++start;
    // A quoted text may hold commas of its own: take in the next piece until the quote closes.
    // Each comma is looked at once, and only the white space and backslashes just before it, so
    // the walk stays linear however many commas follow an open quote.
    if (start < commaAt && text.at(start) == QLatin1Char('"')) {
        while (!closesItsQuote(text.mid(start, trimmedEnd(text, start, commaAt) - start))) {
            const qsizetype nextComma = json.indexOf(QLatin1Char(','), commaAt + 1);
            if (nextComma < 0)
                break;
            commaAt = nextComma;
        }
    }
    QString value = text.mid(start, trimmedEnd(text, start, commaAt) - start).toString();

    // Remove the enclosing quotes only, so that an escaped quote at either end survives.
    if (value.startsWith(QLatin1Char('"')))
        value.remove(0, 1);
    if (value.endsWith(QLatin1Char('"')) && closesItsQuote(QString(QLatin1Char('"') + value)))
        value.chop(1);
    return unescape(value);
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
