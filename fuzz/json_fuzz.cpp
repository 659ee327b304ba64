// libFuzzer target for the JSON reader: any byte string must come back as a value or as an error
// trace, without a crash, a hang or a sanitizer report, and the results must hold together.
#include "net/json/JsonDecimal.h"
#include "net/json/QVJsonParser.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// Walks the value iteratively and checks every decimal against its own text.
void checkValue(const QVariant &root)
{
    QVariantList pending{root};
    while (!pending.isEmpty()) {
        const QVariant value = pending.takeLast();
        if (value.typeId() == QMetaType::QVariantList) {
            pending.append(value.toList());
        } else if (value.typeId() == QMetaType::QVariantMap) {
            const QVariantMap map = value.toMap();
            for (auto it = map.cbegin(); it != map.cend(); ++it)
                pending.append(it.value());
        } else if (value.typeId() == qMetaTypeId<JsonDecimal>()) {
            const auto decimal = value.value<JsonDecimal>();
            const auto again = JsonDecimal::fromText(decimal.text());
            require(again.has_value() && *again == decimal);
            (void)decimal.toDouble();
        }
    }
}

void checkRun(const QVJsonParser &parser, const QVariant &result)
{
    if (result.isValid()) {
        require(result.typeId() == QMetaType::QVariantMap ||
                result.typeId() == QMetaType::QVariantList);
        require(parser.errorTrace().isEmpty());
        checkValue(result);
        return;
    }
    const QList<JsonError> &trace = parser.errorTrace();
    require(!trace.isEmpty());
    // The outermost error wraps every other one, innermost last.
    qsizetype chain = 0;
    for (const JsonError *error = &trace.constLast(); error; error = error->underlying()) {
        require(error->code() >= 2 && error->code() <= 12);
        require(!error->description().isEmpty());
        ++chain;
    }
    require(chain == trace.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A private copy, so reading past the end is caught by the address sanitizer.
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    QVJsonParser parser;
    checkRun(parser, parser.objectWithUtf8(bytes));

    // A tight limit and no limit must both end cleanly.
    parser.setMaxDepth(size % 2 ? 3 : 0);
    checkRun(parser, parser.objectWithUtf8(bytes));

    // The same text through QString (what the program's callers hand in).
    QVJsonParser textParser;
    checkRun(textParser, textParser.objectWithString(QString::fromUtf8(bytes)));
    return 0;
}
