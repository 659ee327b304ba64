#pragma once

#include "net/json/QVJsonBase.h"

#include <QByteArray>
#include <QVariant>

// Reads JSON text into Qt values: objects become QVariantMap, arrays QVariantList, strings
// QString, true/false bool, null a QVariant holding std::nullptr_t (isNull() is true, but it is
// valid), numbers qlonglong when they are integers within the signed 64-bit range and JsonDecimal
// (the exact text) otherwise. Only an object or an array is accepted at the top level.
//
// Failures never throw: the result is an invalid QVariant and errorTrace() tells why, innermost
// error first. Within a run:
// - Nesting deeper than maxDepth() fails with "Nested too deep"; the reader keeps its own stack,
//   so even maxDepth() 0 (no limit) cannot exhaust the thread's stack.
// - An element or member must be followed by a comma or the closing bracket: "[1 2]" fails with
//   "Expected ',' or ']' after array element", {"a":1 "b":2} with "Expected ',' or '}' after
//   object member" (code 3).
// - The input is read to its full length: a NUL character is an ordinary character, so it is a
//   control character inside a string and garbage elsewhere; it never ends the text early.
// Thread: one parser per thread.
class QVJsonParser : public QVJsonBase
{
public:
    enum ErrorCode {
        NumberError = 2,
        SyntaxError = 3,
        FragmentError = 4,
        ControlCharacterError = 5,
        UnicodeError = 6,
        DepthError = 7,
        EscapeError = 8,
        TrailingCommaError = 9,
        GarbageError = 10,
        EndOfInputError = 11,
        NilInputError = 12,
    };

    // A map or a list, or an invalid QVariant on failure. A null string fails with
    // "Input was 'nil'".
    QVariant objectWithString(const QString &text);
    // As above; on failure *error (when given) receives the outermost error of the trace.
    QVariant objectWithString(const QString &text, JsonError *error);
    // The same for UTF-8 bytes as they came (invalid sequences read as U+FFFD).
    QVariant objectWithUtf8(const QByteArray &utf8, JsonError *error = nullptr);

private:
    struct Frame;

    QVariant parse(const char *begin, const char *end);
    bool readValue(std::vector<Frame> &stack, QVariant &value);
    bool readScalar(QVariant &value);
    bool readLiteral(const char *rest, const QVariant &literal, const char *failure,
                     QVariant &value);
    bool readString(QString &value);
    bool readEscape(QString &value);
    bool readUnicodeEscape(QString &value);
    bool readHexQuad(char16_t &unit);
    bool readNumber(QVariant &value);
    bool enterContainer();
    void skipWhiteSpace();
    bool atEnd() const { return m_c >= m_end; }

    const char *m_c = nullptr;
    const char *m_end = nullptr;
};
