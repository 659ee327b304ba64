#include "engine/UpToDateCheck.h"

#include "Shared/GlobalFun.h"
#include "Shared/Logging.h"
#include "Shared/PathText.h"
#include "engine/EncoderCommandLine.h"
#include "engine/OutputNaming.h"
#include "model/ConversionSettings.h"
#include "model/LSMedia.h"
#include "model/MVMediaInfo.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

#include <sys/stat.h>

namespace {

// An adopted output must last as long as its input, give or take this.
constexpr double kAdoptWithinSeconds = 1.0;

bool isPlainFile(const QString &path)
{
    struct stat status;
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISREG(status.st_mode);
}

// The planned path with its folder's links resolved, as the record names outputs. The folder may
// not exist yet; then no output can be there either.
QString realPlannedPath(const QString &planned)
{
    const QFileInfo info(planned);
    const QString folder = QFileInfo(info.path()).canonicalFilePath();
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + info.fileName();
}

// A name filter matching `text` literally followed by ".*".
QString literalStemFilter(const QString &text)
{
    QString filter;
    for (const QChar c : text) {
        if (c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('['))
            filter += QLatin1Char('[') + c + QLatin1Char(']');
        else
            filter += c;
    }
    return filter + QStringLiteral(".*");
}

// No other input beside `input` gives the same output name ("x.flac" beside "x.ogg").
bool nameIsUnique(const QString &input)
{
    const QFileInfo info(input);
    const QStringList inputs = GlobalFun::getSupportedFmts();
    const QStringList siblings = QDir(info.path())
                                     .entryList({literalStemFilter(info.completeBaseName())},
                                                QDir::Files | QDir::Hidden, QDir::NoSort);
    for (const QString &sibling : siblings) {
        if (sibling == info.fileName())
            continue;
        const QFileInfo other(sibling);
        if (other.completeBaseName() == info.completeBaseName() &&
            inputs.contains(other.suffix().toLower()))
            return false;
    }
    return true;
}

double durationOf(const QString &path)
{
    MVMediaInfoItem probe;
    probe.setFilePath(path);
    return MVMediaInfo::dumpMediaInfo(&probe) ? probe.duration() : 0.0;
}

UpToDateCheck::Decision adoptOrConvert(const LSMedia &item, const QString &input,
                                       const QString &planned, const QString &settings,
                                       bool keepFolders, ConversionRecord &record)
{
    UpToDateCheck::Decision decision;
    if (!keepFolders || planned.isEmpty() || !isPlainFile(planned))
        return decision;
    if (record.entryFor(planned) || !nameIsUnique(input))
        return decision;
    const double expected = item.duration();
    if (!(expected > 0.0) || std::abs(durationOf(planned) - expected) > kAdoptWithinSeconds)
        return decision;

    ConversionRecord::Entry entry;
    entry.input = input;
    entry.output = planned;
    entry.settings = settings;
    entry.inputStamp = ConversionRecord::Stamp::of(input);
    entry.outputStamp = ConversionRecord::Stamp::of(planned);
    QString error;
    if (!record.note(entry, &error)) {
        qCWarning(lcEngine).noquote()
            << QStringLiteral("could not adopt %1: %2").arg(planned, error);
        return decision;
    }
    qCInfo(lcEngine).noquote() << QStringLiteral("adopted %1 as made from %2").arg(planned, input);
    const bool older = entry.outputStamp.modifiedNs < entry.inputStamp.modifiedNs;
    decision.verdict = older ? UpToDateCheck::Verdict::Replace : UpToDateCheck::Verdict::UpToDate;
    decision.output = planned;
    return decision;
}

} // namespace

QString UpToDateCheck::checkedPath(const LSMedia &item, const ConversionSettings &settings)
{
    OutputNaming naming = OutputNaming::forSettings(settings, item.eumDestFmtType());
    const QString planned = EncoderCommandLine::plannedOutputPath(item, settings, naming);
    // A run the file system made name the output more strictly left it under that name.
    while (!QFileInfo::exists(planned) && naming.stricter(&naming)) {
        const QString stricter = EncoderCommandLine::plannedOutputPath(item, settings, naming);
        if (QFileInfo::exists(stricter))
            return stricter;
    }
    return planned;
}

QString UpToDateCheck::settingsKey(const LSMedia &item, bool keepCover, bool copyAudio)
{
    QStringList arguments =
        EncoderCommandLine::arguments(item, QString(), QString(), keepCover, {}, copyAudio);
    // The program and the paths are not settings.
    arguments.removeFirst();
    arguments.removeLast();
    arguments.replace(arguments.indexOf(item.filePath()), QString());
    const QByteArray text = arguments.join(QLatin1Char('\n')).toUtf8();
    return QString::fromLatin1(
        QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex().left(32));
}

QStringList UpToDateCheck::plannedPaths(const LSMedia &item, const ConversionSettings &settings)
{
    OutputNaming naming = OutputNaming::forSettings(settings, item.eumDestFmtType());
    QStringList paths{EncoderCommandLine::plannedOutputPath(item, settings, naming)};
    while (naming.stricter(&naming)) {
        const QString stricter = EncoderCommandLine::plannedOutputPath(item, settings, naming);
        if (!paths.contains(stricter))
            paths << stricter;
    }
    return paths;
}

UpToDateCheck::Decision UpToDateCheck::decide(const LSMedia &item, const QString &plannedPath,
                                              const QStringList &alsoPlanned,
                                              const QString &settings, bool keepFolders,
                                              ConversionRecord &record)
{
    Decision decision;
    const QString input = realPath(item.filePath());
    const QString planned = realPlannedPath(plannedPath);
    if (input.isEmpty() || planned.isEmpty())
        return decision;
    QStringList names{planned};
    for (const QString &other : alsoPlanned)
        names << realPlannedPath(other);
    const auto isPlanned = [&names](const QString &output) {
        return std::any_of(names.cbegin(), names.cend(), [&output](const QString &name) {
            return !name.isEmpty() && isNumberedFormOf(output, name);
        });
    };
    const ConversionRecord::Stamp inputNow = ConversionRecord::Stamp::of(input);
    for (const ConversionRecord::Entry &entry : record.madeFrom(input)) {
        if (!isPlanned(entry.output))
            continue;
        // Gone, or something else than a file there now: a new output is made (under the same
        // name when it is free, which then keeps its one playlist entry).
        if (!isPlainFile(entry.output)) {
            decision.output = entry.output;
            return decision;
        }
        const bool current = entry.complete && entry.settings == settings &&
                             entry.inputStamp == inputNow &&
                             entry.outputStamp == ConversionRecord::Stamp::of(entry.output);
        decision.verdict = current ? Verdict::UpToDate : Verdict::Replace;
        decision.output = entry.output;
        return decision;
    }
    return adoptOrConvert(item, input, planned, settings, keepFolders, record);
}

bool UpToDateCheck::noteConverted(ConversionRecord &record, const LSMedia &item,
                                  const ConversionRecord::Stamp &inputStamp, const QString &output,
                                  const QString &settings, bool complete, QString *error)
{
    ConversionRecord::Entry entry;
    entry.input = realPath(item.filePath());
    entry.output = realPath(output);
    if (entry.input.isEmpty() || entry.output.isEmpty()) {
        if (error)
            *error = QStringLiteral("%1 or %2 is gone").arg(item.filePath(), output);
        return false;
    }
    entry.settings = settings;
    entry.inputStamp = inputStamp;
    entry.outputStamp = ConversionRecord::Stamp::of(entry.output);
    entry.complete = complete;
    return record.note(entry, error);
}

bool UpToDateCheck::isNumberedFormOf(const QString &path, const QString &planned)
{
    if (path == planned)
        return true;
    const QFileInfo candidate(path);
    const QFileInfo plan(planned);
    if (candidate.path() != plan.path() ||
        PathText::pathExtension(candidate.fileName()) != PathText::pathExtension(plan.fileName()))
        return false;
    // The numbering puts "(n)" at the end of the name, or counts up one that is there already.
    static const QRegularExpression number(QStringLiteral("\\(\\d+\\)$"));
    QString stem = PathText::deletingPathExtension(candidate.fileName());
    QString plannedStem = PathText::deletingPathExtension(plan.fileName());
    if (!number.match(stem).hasMatch())
        return false;
    stem.remove(number);
    plannedStem.remove(number);
    return stem == plannedStem;
}

QString UpToDateCheck::realPath(const QString &path)
{
    return QFileInfo(path).canonicalFilePath();
}
