#include "cli/ProgressDisplay.h"

#include "Shared/GlobalFun.h"

#include <QtGlobal>

#include <cmath>
#include <poll.h>
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
    writeBytesLocked(m_out, "\r\x1b[" + QByteArray::number(m_blockLines) + "A\x1b[J");
    m_blockLines = 0;
}

void ProgressDisplay::writeLocked(FILE *stream, const QString &text)
{
    writeBytesLocked(stream, text.toLocal8Bit());
}

bool ProgressDisplay::writeBytesLocked(FILE *stream, const QByteArray &bytes)
{
    if ((stream == m_out && m_outClosed) || (stream == m_err && m_errClosed))
        return false;
    const size_t written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    if (written == size_t(bytes.size()) && std::fflush(stream) == 0)
        return true;
    std::clearerr(stream);
    streamClosedLocked(stream);
    return false;
}

void ProgressDisplay::streamClosedLocked(FILE *stream)
{
    if (stream == m_out)
        m_outClosed = true;
    if (stream == m_err)
        m_errClosed = true;
    m_blockLines = 0;
    if (m_closedHandler) {
        const std::function<void()> handler = std::move(m_closedHandler);
        m_closedHandler = nullptr;
        handler();
    }
}

void ProgressDisplay::setClosedHandler(std::function<void()> handler)
{
    QMutexLocker locker(&m_lock);
    m_closedHandler = std::move(handler);
}

void ProgressDisplay::checkStreams()
{
    QMutexLocker locker(&m_lock);
    if (m_outClosed)
        return;
    // A pipe whose reader has gone reports an error condition to poll().
    struct pollfd out = {};
    out.fd = fileno(m_out);
    out.events = POLLOUT;
    if (::poll(&out, 1, 0) == 1 && (out.revents & (POLLERR | POLLHUP)) != 0)
        streamClosedLocked(m_out);
}
