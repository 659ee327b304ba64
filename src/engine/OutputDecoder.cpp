#include "engine/OutputDecoder.h"

QString OutputDecoder::decode(const QByteArray &chunk)
{
    QString text = m_decoder.decode(chunk);
    if (m_decoder.hasError()) {
        m_decoder.resetState();
        return QString();
    }
    // A chunk that only begins a character gives no text yet, which is not the same as a bad one.
    if (text.isNull())
        text = QLatin1String("");
    return text;
}
