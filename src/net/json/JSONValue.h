#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

// Parses `text` with a fresh reader (see QVJsonParser): a QVariantMap or QVariantList, or an
// invalid QVariant after logging "-JSONValue failed. Error trace is: ..." with the whole trace.
QVariant JSONValue(const QString &text);
// The same for UTF-8 bytes, such as a response body.
QVariant JSONValue(const QByteArray &utf8);
