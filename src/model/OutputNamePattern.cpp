#include "model/OutputNamePattern.h"

#include "Shared/PathText.h"

#include <QRegularExpression>

namespace {

const QLatin1Char kReplacement('_');

QString fieldPatternText()
{
    return QStringLiteral("\\{([A-Za-z]+)\\}");
}

// The number before a "/" ("3/12" gives 3), padded to the width of the total (at least 2).
QString paddedNumber(const QString &value, int minimumWidth)
{
    const QString number = value.section(QLatin1Char('/'), 0, 0).trimmed();
    bool ok = false;
    const int parsed = number.toInt(&ok);
    if (!ok || parsed < 0)
        return number;
    const QString total = value.section(QLatin1Char('/'), 1, 1).trimmed();
    const int width = qMax(minimumWidth, int(total.toInt() > 0 ? total.size() : 0));
    return QStringLiteral("%1").arg(parsed, width, 10, QLatin1Char('0'));
}

QString yearOf(const QString &date)
{
    static const QRegularExpression year(QStringLiteral("(\\d{4})"));
    const QRegularExpressionMatch match = year.match(date);
    return match.hasMatch() ? match.captured(1) : date;
}

// A tag's value as one name: no folder separator, no control characters.
QString asOneName(QString value)
{
    for (QChar &c : value) {
        if (c == QLatin1Char('/'))
            c = kReplacement;
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char(' ');
    }
    return value.simplified();
}

QString orElse(const QString &value, const QString &fallback)
{
    return value.isEmpty() ? fallback : value;
}

// Each folder of `path` made safe: empty ones dropped, "." and ".." and a leading dot replaced,
// so the result never leaves the folder it is joined to nor hides.
QString containedPath(const QString &path)
{
    QStringList parts;
    for (QString part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        part = part.trimmed();
        if (part.isEmpty())
            continue;
        if (part.startsWith(QLatin1Char('.')))
            part[0] = kReplacement;
        parts << part;
    }
    return parts.join(QLatin1Char('/'));
}

} // namespace

QList<OutputNamePattern::Preset> OutputNamePattern::presets()
{
    return {
        {QStringLiteral("Artist/Album/Track - Title"),
         QStringLiteral("{albumartist}/{album}/{track} - {title}")},
        {QStringLiteral("Album/Track - Title"), QStringLiteral("{album}/{track} - {title}")},
        {QStringLiteral("Artist/Album/Disc-Track - Title"),
         QStringLiteral("{albumartist}/{album}/{disc}-{track} - {title}")},
        {QStringLiteral("Artist - Title"), QStringLiteral("{artist} - {title}")},
    };
}

QStringList OutputNamePattern::fieldNames()
{
    return {QStringLiteral("artist"), QStringLiteral("albumartist"), QStringLiteral("album"),
            QStringLiteral("title"),  QStringLiteral("track"),       QStringLiteral("disc"),
            QStringLiteral("year"),   QStringLiteral("genre"),       QStringLiteral("filename")};
}

QStringList OutputNamePattern::unknownFields(const QString &pattern)
{
    static const QRegularExpression field(fieldPatternText());
    QStringList unknown;
    const QStringList known = fieldNames();
    for (const QRegularExpressionMatch &match : field.globalMatch(pattern)) {
        const QString name = match.captured(1).toLower();
        if (!known.contains(name) && !unknown.contains(match.captured(1)))
            unknown << match.captured(1);
    }
    return unknown;
}

bool OutputNamePattern::makesFolders(const QString &pattern)
{
    return pattern.contains(QLatin1Char('/'));
}

QString OutputNamePattern::fieldValue(const QString &name, const TrackTags &tags,
                                      const QString &inputPath)
{
    const QString field = name.toLower();
    const QString fileName = PathText::baseName(inputPath);
    const QString artist = asOneName(tags.artist);
    if (field == QLatin1String("artist"))
        return orElse(artist, QStringLiteral("Unknown Artist"));
    if (field == QLatin1String("albumartist"))
        return orElse(asOneName(tags.albumArtist),
                      orElse(artist, QStringLiteral("Unknown Artist")));
    if (field == QLatin1String("album"))
        return orElse(asOneName(tags.album), QStringLiteral("Unknown Album"));
    if (field == QLatin1String("title"))
        return orElse(asOneName(tags.title), fileName);
    if (field == QLatin1String("track"))
        return orElse(asOneName(paddedNumber(tags.track, 2)), QStringLiteral("00"));
    if (field == QLatin1String("disc"))
        return orElse(asOneName(paddedNumber(tags.disc, 1)), QStringLiteral("1"));
    if (field == QLatin1String("year"))
        return orElse(asOneName(yearOf(tags.date)), QStringLiteral("Unknown Year"));
    if (field == QLatin1String("genre"))
        return orElse(asOneName(tags.genre), QStringLiteral("Unknown Genre"));
    if (field == QLatin1String("filename"))
        return fileName;
    return QString();
}

QString OutputNamePattern::apply(const QString &pattern, const TrackTags &tags,
                                 const QString &inputPath)
{
    static const QRegularExpression field(fieldPatternText());
    QString result;
    qsizetype done = 0;
    for (const QRegularExpressionMatch &match : field.globalMatch(pattern)) {
        result += pattern.mid(done, match.capturedStart() - done);
        const QString value = fieldValue(match.captured(1), tags, inputPath);
        result += value.isNull() ? match.captured(0) : value;
        done = match.capturedEnd();
    }
    result += pattern.mid(done);
    const QString contained = containedPath(result);
    return contained.isEmpty() ? containedPath(PathText::baseName(inputPath)) : contained;
}
