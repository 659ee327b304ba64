#pragma once

#include <QString>
#include <QStringList>

class CrashReportObject;

// Writes the crash record from inside a fatal-signal handler. Everything that needs memory or
// Qt (the fixed fields, the record path, the encoded keys, the log lines) is prepared by
// `prepare`; the handler-side calls then use only open, write, rename, unlink, backtrace and
// dladdr on static buffers, so a crash inside the allocator or while a lock is held still
// leaves its record and ends.
namespace CrashRecordWriter {

// The most frames a record holds.
inline constexpr int kMaxFrames = 128;

// Thread: any, before the signal handlers are installed. Replaces an earlier preparation.
void prepare(const CrashReportObject &deviceFields, const QString &recordPath);
bool isPrepared();

// Signal context. Captures the current thread's stack, replaces the record file with a record
// of the prepared fields, the current time and that stack, then logs the device line and the
// framed stack to stderr.
void writeSignalRecord();

// Signal context: writes `text` and a line feed to stderr.
void logLine(const char *text);

// Normal context: the current thread's stack, one line per frame, innermost first, in the same
// form as the signal handler writes it ("module(symbol+0xoffset) [0xaddress]").
QStringList currentStackLines();

} // namespace CrashRecordWriter
