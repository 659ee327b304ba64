#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

// Decodes a child's output stream as UTF-8 chunk by chunk. A character split between two chunks
// is kept until its last byte arrives, so it is neither lost nor turned into a bad chunk.
// Thread: one at a time (it keeps the stream's state).
class OutputDecoder
{
public:
    // The text of `chunk` together with any character begun in the previous one; a null text
    // when the chunk holds bytes that are not UTF-8 (the stream then starts afresh).
    QString decode(const QByteArray &chunk);

private:
    QStringDecoder m_decoder{QStringDecoder::Utf8};
};
