// libFuzzer target for the store answer's value extractor. The input is a key, a line feed and
// the answer text; without a line feed the whole input is the answer and a few usual keys are
// tried. Besides the sanitizers' findings it checks that decoding never lengthens a text.
#include "net/json/JsonValueExtractor.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void extract(const QString &key, const QString &json)
{
    const std::optional<QString> value = JsonValueExtractor::valueForKey(key, json);
    if (value)
        check(value->size() <= json.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype lineEnd = bytes.indexOf('\n');
    if (lineEnd >= 0 && lineEnd <= 64) {
        extract(QString::fromUtf8(bytes.left(lineEnd)), QString::fromUtf8(bytes.mid(lineEnd + 1)));
    } else {
        const QString json = QString::fromUtf8(bytes);
        for (const char *key : {"bundleId", "version", "releaseNotes", "trackId"})
            extract(QString::fromLatin1(key), json);
    }
    const QString text = QString::fromUtf8(bytes);
    check(JsonValueExtractor::unescape(text).size() <= text.size());
    return 0;
}
