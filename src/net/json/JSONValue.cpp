#include "net/json/JSONValue.h"

#include "Shared/Logging.h"
#include "net/json/QVJsonParser.h"

#include <QStringList>

namespace {

QVariant logged(QVJsonParser &parser, const QVariant &result)
{
    if (!result.isValid()) {
        QStringList lines;
        for (const JsonError &error : parser.errorTrace())
            lines.append(error.toString());
        qCWarning(lcNet).noquote() << QStringLiteral("-JSONValue failed. Error trace is: (%1)")
                                          .arg(lines.join(QStringLiteral(", ")));
    }
    return result;
}

} // namespace

QVariant JSONValue(const QString &text)
{
    QVJsonParser parser;
    return logged(parser, parser.objectWithString(text));
}

QVariant JSONValue(const QByteArray &utf8)
{
    QVJsonParser parser;
    return logged(parser, parser.objectWithUtf8(utf8));
}
