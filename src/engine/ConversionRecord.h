#pragma once

#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <optional>

// What Wavelark converted: for each output it made, the input it came from, the encoder settings
// it used, and the size and modification time of both files right after the conversion. An
// output is up to date only when its entry names this very input and settings and neither file
// has changed since; an output without an entry is nobody's, so it is never skipped nor replaced
// on the strength of its name alone.
//
// The record is one journal per user, "$XDG_STATE_HOME/wavelark/outputs.jsonl" (by default
// "~/.local/state/wavelark/outputs.jsonl"): one JSON object per line, a later line for an output
// superseding an earlier one. The window and wavelark-cli share it; every change is one appended
// line written under an exclusive flock of "outputs.jsonl.lock", so two processes never mix
// their lines, and reading happens under a shared lock, so no half-written line is ever read.
// A journal that is not a regular file, is larger than kMaxBytes, or holds lines that do not
// parse counts as holding nothing about those outputs (they are converted again) and is
// rebuilt from what could be read at the next change, in one atomic replace.
//
// Each process keeps the entries it has read and reads only what other processes appended
// since, so asking about one file costs the same with 100,000 entries as with ten.
//
// Thread: any; calls are serialised by an internal lock.
class ConversionRecord
{
public:
    struct Stamp
    {
        qint64 size = -1; // -1: no regular file there
        qint64 modifiedNs = 0;

        // The stamp of the file at `path` (links followed).
        static Stamp of(const QString &path);
        bool exists() const { return size >= 0; }
        bool operator==(const Stamp &other) const
        {
            return size == other.size && modifiedNs == other.modifiedNs;
        }
        bool operator!=(const Stamp &other) const { return !(*this == other); }
    };

    struct Entry
    {
        QString input;    // real path
        QString output;   // real path
        QString settings; // the encoder settings' key
        Stamp inputStamp;
        Stamp outputStamp;
        bool complete = true; // false: the output ended early
    };

    static constexpr qint64 kMaxBytes = 256LL * 1024 * 1024;

    explicit ConversionRecord(const QString &journalPath);

    // The record of the user this process runs for.
    static ConversionRecord &standard();
    // "$XDG_STATE_HOME/wavelark/outputs.jsonl", "~/.local/state/..." without the variable.
    static QString defaultPath();

    QString journalPath() const { return m_path; }

    // The entries naming `input` (a real path), newest first.
    QList<Entry> madeFrom(const QString &input);
    // The entry of the output at `output` (a real path).
    std::optional<Entry> entryFor(const QString &output);

    // Adds or supersedes the entry of `entry.output`. False with the reason in `error` when the
    // journal could not be written (the conversion itself stands; the output then has no entry).
    bool note(const Entry &entry, QString *error = nullptr);

    // Lines read that did not parse, since this object was made (for the tests and the log).
    int corruptLinesSeen() const;

private:
    struct FileState
    {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = -1;
    };

    // Reads what was appended since the last look (everything when the journal was replaced).
    // The caller holds m_lock and the file lock.
    void refresh();
    void forgetAll();
    void parseLines(const QByteArray &bytes);
    void remember(const Entry &entry);
    bool rebuild(const Entry &added, QString *error);
    bool append(const Entry &entry, QString *error);

    const QString m_path;
    const QString m_lockPath;
    mutable QMutex m_lock;
    QHash<QString, Entry> m_byOutput;
    QHash<QString, QStringList> m_outputsOf; // input -> outputs, oldest first (some superseded)
    FileState m_read;                        // the journal as far as it has been read
    qint64 m_readOffset = 0;
    qint64 m_linesRead = 0;
    bool m_needsRebuild = false;
    int m_corruptLines = 0;
};
