#pragma once

#include <QMap>
#include <QString>

// Real audio files for tests, made with Debian's sox, flac and oggenc.
namespace TestAudio {

using Tags = QMap<QString, QString>; // Vorbis comment name (TITLE, ARTIST, ...) to value

// A stereo 44.1 kHz sine tone of `seconds`; false when a tool failed.
bool makeWav(const QString &path, double seconds);
bool makeFlac(const QString &path, double seconds, const Tags &tags = {});
bool makeOgg(const QString &path, double seconds, const Tags &tags = {});

// Runs a program and returns its exit status (-1 when it could not start); output in `output`.
int run(const QString &program, const QStringList &arguments, QByteArray *output = nullptr,
        int timeoutMs = 120000);

// The tags of a file as ffprobe reads them (format and first audio stream), names upper-cased.
Tags readTags(const QString &path);
// The duration in seconds that ffprobe reports, or -1.
double probeDuration(const QString &path);

} // namespace TestAudio
