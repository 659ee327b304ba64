#pragma once

#include <QByteArray>
#include <QString>

// Makes a cover picture at most `maxSize` × `maxSize` pixels, keeping its shape, as JPEG: the
// same scaling and quality the encoder applies to the covers it writes itself, for the covers
// written after it (TagCompletion). The encoder does the work on the picture alone, so the
// engine needs no image library.
//
// Thread: any; it waits for the child process it starts.
class CoverShrink
{
public:
    CoverShrink() = delete;

    static constexpr int kTimeoutMs = 30000;

    // The encoder's scale filter, shared with the encoder command line.
    static QString scaleFilter(int maxSize);
    // The JPEG picture, or an empty array when `encoder` could not read or write it.
    static QByteArray toJpeg(const QByteArray &picture, int maxSize, const QString &encoder);
};
