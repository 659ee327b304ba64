#include "Shared/PortableFileName.h"

#include <QStringList>

namespace {

const QLatin1Char kReplacement('_');

bool isRefused(QChar c)
{
    static const QString refused = QStringLiteral("\\/:*?\"<>|");
    return c.unicode() < 0x20 || c.unicode() == 0x7f || refused.contains(c);
}

// The device names of DOS, refused with any extension ("nul.mp3") and in any case.
bool isReservedStem(const QString &stem)
{
    static const QStringList plain{QStringLiteral("CON"), QStringLiteral("PRN"),
                                   QStringLiteral("AUX"), QStringLiteral("NUL")};
    const QString upper = stem.trimmed().toUpper();
    if (plain.contains(upper))
        return true;
    return upper.size() == 4 &&
           (upper.startsWith(QLatin1String("COM")) || upper.startsWith(QLatin1String("LPT"))) &&
           upper.at(3) >= QLatin1Char('0') && upper.at(3) <= QLatin1Char('9');
}

QString withoutTrailingDotsAndSpaces(QString text)
{
    while (!text.isEmpty() && (text.endsWith(QLatin1Char('.')) || text.endsWith(QLatin1Char(' '))))
        text.chop(1);
    return text;
}

// The longest start of `text` that takes at most `limit` in `unit`, never splitting a surrogate
// pair.
QString fitted(const QString &text, int limit, PortableFileName::LengthUnit unit)
{
    QString result;
    int used = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype width = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString piece = text.mid(i, width);
        const int cost = PortableFileName::lengthOf(piece, unit);
        if (used + cost > limit)
            break;
        result += piece;
        used += cost;
        i += width - 1;
    }
    return result;
}

QString replacedRefused(QString text)
{
    for (QChar &c : text) {
        if (isRefused(c))
            c = kReplacement;
    }
    return text;
}

// Splits `name` into stem and extension (with its dot); a leading dot starts no extension.
void split(const QString &name, bool hasExtension, QString *stem, QString *extension)
{
    const qsizetype dot = hasExtension ? name.lastIndexOf(QLatin1Char('.')) : -1;
    if (dot <= 0) {
        *stem = name;
        extension->clear();
        return;
    }
    *stem = name.left(dot);
    *extension = name.mid(dot);
}

} // namespace

int PortableFileName::lengthOf(const QString &name, LengthUnit unit)
{
    return unit == LengthUnit::Utf16Units ? int(name.size()) : int(name.toUtf8().size());
}

QString PortableFileName::clean(const QString &name, bool hasExtension, LengthUnit unit)
{
    QString stem;
    QString extension;
    split(replacedRefused(name), hasExtension, &stem, &extension);
    extension = withoutTrailingDotsAndSpaces(extension);
    if (extension == QLatin1String("."))
        extension.clear();
    stem = withoutTrailingDotsAndSpaces(stem);
    if (isReservedStem(stem.section(QLatin1Char('.'), 0, 0)))
        stem = stem.section(QLatin1Char('.'), 0, 0) + kReplacement +
               stem.section(QLatin1Char('.'), 1, -1, QString::SectionIncludeLeadingSep);

    const int room = kMaxLength - (hasExtension ? kNumberingRoom : 0) - lengthOf(extension, unit);
    if (lengthOf(stem, unit) > room)
        stem = withoutTrailingDotsAndSpaces(fitted(stem, qMax(room, 1), unit));
    if (stem.isEmpty())
        stem = kReplacement;
    return stem + extension;
}

QString PortableFileName::asciiOnly(const QString &name, bool hasExtension)
{
    QString ascii;
    const QString decomposed = name.normalized(QString::NormalizationForm_KD);
    for (const QChar c : decomposed) {
        if (c.unicode() < 0x80)
            ascii += c;
        else if (c.category() != QChar::Mark_NonSpacing && !c.isLowSurrogate())
            ascii += kReplacement;
    }
    return clean(ascii, hasExtension);
}

QString PortableFileName::cleanPath(const QString &relativePath, bool asciiOnly, LengthUnit unit)
{
    QStringList names = relativePath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < names.size(); ++i) {
        const bool isFile = i == names.size() - 1;
        names[i] = asciiOnly ? PortableFileName::asciiOnly(names.at(i), isFile)
                             : clean(names.at(i), isFile, unit);
    }
    return names.join(QLatin1Char('/'));
}

bool PortableFileName::isPortable(const QString &name, bool hasExtension, LengthUnit unit)
{
    return clean(name, hasExtension, unit) == name;
}
