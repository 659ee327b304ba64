#pragma once

#include <QList>
#include <QMutex>
#include <QString>

#include <cstdio>
#include <functional>

// What wavelark-cli shows while it converts. On a terminal a live block at the bottom holds one
// line per running file and an overall bar (files done, time left); finished files and messages
// are printed above it. Elsewhere (a pipe, a file) only plain lines are printed.
//
// Writes are checked: see setClosedHandler().
//
// Thread: any; every call is serialised, so log messages from worker threads can go through it.
class ProgressDisplay
{
public:
    struct RunningFile
    {
        QString name;
        double percent = 0.0;
        double secondsLeft = -1.0; // unknown when negative
    };

    // `out` receives the live block and the result lines, `err` the messages.
    ProgressDisplay(FILE *out, FILE *err, bool terminal);
    // True when `out` is a terminal that understands cursor movement.
    static bool isTerminal(FILE *out);

    bool isLive() const { return m_terminal; }

    // Redraws the live block (terminal only).
    void showProgress(const QList<RunningFile> &running, int done, int total, double secondsLeft);
    // A result line on `out`, above the live block.
    void printLine(const QString &line);
    // A message on `err`, above the live block.
    void printMessage(const QString &message);
    // Removes the live block for good.
    void finish();

    // `handler` is called once, on the thread that found it, when a write to `out` or `err`
    // fails (a closed pipe, a terminal that went away) or checkStreams() finds the reader of
    // `out` gone. Nothing more is written to a stream that failed.
    void setClosedHandler(std::function<void()> handler);
    // Looks whether the reading end of `out` was closed, without writing to it.
    void checkStreams();

    // The texts of the live block, for a terminal `width` characters wide.
    static QString fileLine(const RunningFile &file, int width);
    static QString overallLine(int done, int total, double secondsLeft, int width);
    static QString timeText(double seconds);

private:
    int terminalWidth() const;
    void clearBlockLocked();
    void writeLocked(FILE *stream, const QString &text);
    bool writeBytesLocked(FILE *stream, const QByteArray &bytes);
    void streamClosedLocked(FILE *stream);

    QMutex m_lock;
    FILE *m_out;
    FILE *m_err;
    bool m_terminal;
    int m_blockLines = 0;
    bool m_finished = false;
    bool m_outClosed = false;
    bool m_errClosed = false;
    std::function<void()> m_closedHandler;
};
