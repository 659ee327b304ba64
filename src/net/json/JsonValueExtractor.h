#pragma once

#include <QString>

#include <optional>

// Reads one value out of a store lookup answer: the text after the first `"key"`: a quoted text
// up to its closing quote, with the quotes removed and the JSON escapes decoded; a number or
// literal up to the comma, bracket or space after it (so the last key of an object has its value
// too); an object or array up to the next comma. Enough for the flat, well-known answers of the
// store's lookup service. The answer must be well-formed JSON as a whole (checked with
// QVJsonParser); anything else has no values. Time is linear in the answer's length. Thread: any
// (no state).
class JsonValueExtractor
{
public:
    JsonValueExtractor() = delete;

    // The value of `key`, or nothing when the answer is not well-formed JSON or when the key or
    // the colon after it is missing. Numbers come back as their text ("42").
    static std::optional<QString> valueForKey(const QString &key, const QString &json);

    // `text` with the two-character escapes and \uXXXX decoded in one pass from left to right;
    // an escape that is incomplete or unknown stays as it is.
    static QString unescape(const QString &text);

    // True when `json` is one complete JSON object or array.
    static bool isWellFormed(const QString &json);
};
