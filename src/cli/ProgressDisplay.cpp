#include "cli/ProgressDisplay.h"

#include "Shared/GlobalFun.h"

#include <QtGlobal>

#include <cmath>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr int kBarCells = 24;
constexpr int kDefaultWidth = 80;

QString fitted(const QString &text, int width)
{
    if (width <= 1 || text.size() < width)
        return text;
    return text.left(width - 2) + QChar(0x2026);
}

} // namespace

ProgressDisplay::ProgressDisplay(FILE *out, FILE *err, bool terminal)
    : m_out(out)
    , m_err(err)
    , m_terminal(terminal)
{}

bool ProgressDisplay::isTerminal(FILE *out)
{
    if (!::isatty(fileno(out)))
        return false;
    const QByteArray term = qgetenv("TERM");
    return !term.isEmpty() && term != "dumb";
}

QString ProgressDisplay::timeText(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0.0)
        return QStringLiteral("--:--:--");
    return GlobalFun::getTimeStringBySecond(std::ceil(seconds));
}

QString ProgressDisplay::fileLine(const RunningFile &file, int width)
{
    const double percent = std::isfinite(file.percent) ? qBound(0.0, file.percent, 100.0) : 0.0;
    const QString head = QStringLiteral("%1%  ").arg(percent, 5, 'f', 1);
    const QString tail = QStringLiteral("  %1 left").arg(timeText(file.secondsLeft));
    const int room = width - 1 - int(head.size() + tail.size());
    QString name = file.name;
    if (room > 1 && name.size() > room)
        name = QChar(0x2026) + name.right(room - 1);
    return fitted(head + name + tail, width);
}

QString ProgressDisplay::overallLine(int done, int total, double secondsLeft, int width)
{
    const int filled = total > 0 ? qBound(0, done * kBarCells / total, kBarCells) : 0;
    const QString bar = QString(filled, QLatin1Char('#')) + QString(kBarCells - filled, u'-');
    return fitted(QStringLiteral("[%1] %2/%3 files  %4 left")
                      .arg(bar)
                      .arg(done)
                      .arg(total)
                      .arg(timeText(secondsLeft)),
                  width);
}

void ProgressDisplay::showProgress(const QList<RunningFile> &running, int done, int total,
                                   double secondsLeft)
{
    QMutexLocker locker(&m_lock);
    if (!m_terminal || m_finished)
        return;
    const int width = terminalWidth();
    QString block;
    for (const RunningFile &file : running)
        block += fileLine(file, width) + QLatin1Char('\n');
    block += overallLine(done, total, secondsLeft, width) + QLatin1Char('\n');
    clearBlockLocked();
    writeLocked(m_out, block);
    m_blockLines = int(running.size()) + 1;
}

void ProgressDisplay::printLine(const QString &line)
{
    QMutexLocker locker(&m_lock);
    clearBlockLocked();
    writeLocked(m_out, line + QLatin1Char('\n'));
}

void ProgressDisplay::printMessage(const QString &message)
{
    QMutexLocker locker(&m_lock);
    clearBlockLocked();
    writeLocked(m_err, message + QLatin1Char('\n'));
}

void ProgressDisplay::finish()
{
    QMutexLocker locker(&m_lock);
    clearBlockLocked();
    m_finished = true;
}

int ProgressDisplay::terminalWidth() const
{
    struct winsize size = {};
    if (::ioctl(fileno(m_out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return kDefaultWidth;
}

void ProgressDisplay::clearBlockLocked()
{
    if (!m_terminal || m_blockLines == 0)
        return;
    // Up to the first line of the block, then erase everything below the cursor.
    std::fprintf(m_out, "\r\x1b[%dA\x1b[J", m_blockLines);
    std::fflush(m_out);
    m_blockLines = 0;
}

void ProgressDisplay::writeLocked(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}
