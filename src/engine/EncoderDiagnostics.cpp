#include "engine/EncoderDiagnostics.h"

#include <QRegularExpression>

namespace {

constexpr int kMaxPendingLine = 4096;

const char *const kCauses[] = {
    "no space left", "disk quota",         "permission denied", "read-only file system",
    "sample rate",   "invalid data",       "no such file",      "codec",
    "not supported", "unsupported",        "does not contain",  "end of file",
    "too many open", "input/output error",
};
const char *const kTroubles[] = {"error", "could not", "cannot", "failed", "invalid"};
// Beginnings of the closing line and of the banner and stream description lines.
const char *const kRoutine[] = {
    "conversion failed!", "exiting normally", "press [q]", "ffmpeg version", "built with",
    "configuration:",     "stream mapping:",  "input #",   "output #",       "metadata:",
    "duration:",          "stream #",         "libav",     "libsw",          "libpostproc",
};

bool startsWithAny(const QString &text, const char *const *words, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        if (text.startsWith(QLatin1String(words[i])))
            return true;
    }
    return false;
}

bool containsAny(const QString &text, const char *const *words, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        if (text.contains(QLatin1String(words[i])))
            return true;
    }
    return false;
}

} // namespace

bool EncoderDiagnostics::isProgressLine(const QString &line)
{
    return line.startsWith(QLatin1String("size=")) || line.startsWith(QLatin1String("frame="));
}

void EncoderDiagnostics::append(const QString &chunk)
{
    m_pending += chunk;
    static const QRegularExpression lineEnd(QStringLiteral("[\r\n]"));
    const QStringList parts = m_pending.split(lineEnd);
    for (qsizetype i = 0; i + 1 < parts.size(); ++i)
        addLine(parts.at(i));
    m_pending = parts.last().right(kMaxPendingLine);
}

void EncoderDiagnostics::finish()
{
    addLine(m_pending);
    m_pending.clear();
}

void EncoderDiagnostics::clear()
{
    m_lines.clear();
    m_pending.clear();
}

void EncoderDiagnostics::addLine(const QString &text)
{
    const QString line = text.trimmed();
    if (line.isEmpty() || isProgressLine(line))
        return;
    m_lines.append(line);
    if (m_lines.size() > kMaxLines)
        m_lines.removeFirst();
}

int EncoderDiagnostics::weight(const QString &line)
{
    const QString lower = line.toLower();
    // "TITLE           : Trial and Error" is a tag, whatever its value says.
    static const QRegularExpression tag(QStringLiteral("^\\S+\\s{2,}: "));
    if (startsWithAny(lower, kRoutine, std::size(kRoutine)) || tag.match(line).hasMatch())
        return 0;
    if (containsAny(lower, kCauses, std::size(kCauses)))
        return 3;
    if (containsAny(lower, kTroubles, std::size(kTroubles)))
        return 2;
    return 1;
}

QString EncoderDiagnostics::mostTellingLine() const
{
    QString best;
    int bestWeight = -1;
    for (const QString &line : m_lines) {
        const int lineWeight = weight(line);
        if (lineWeight >= bestWeight) {
            best = line;
            bestWeight = lineWeight;
        }
    }
    if (bestWeight == 0)
        best = lastLine();
    static const QRegularExpression address(QStringLiteral(" @ 0x[0-9a-fA-F]+\\]"));
    best.replace(address, QStringLiteral("]"));
    return best;
}
