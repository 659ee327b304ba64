#include "TestEnvironment.h"
#include "net/json/JSONValue.h"
#include "net/json/JsonDecimal.h"
#include "net/json/QVJsonParser.h"

#include <QRegularExpression>
#include <QtTest>

namespace {

QVariant decimal(const char *text)
{
    return QVariant::fromValue(*JsonDecimal::fromText(QByteArray(text)));
}

QVariant integer(qint64 value)
{
    return QVariant::fromValue<qlonglong>(value);
}

QStringList traceTexts(const QVJsonParser &parser)
{
    QStringList texts;
    for (const JsonError &error : parser.errorTrace())
        texts.append(error.toString());
    return texts;
}

QString nested(int depth)
{
    return QString(depth, QLatin1Char('[')) + QString(depth, QLatin1Char(']'));
}

} // namespace

class TestJsonParser : public QObject
{
    Q_OBJECT

private slots:
    void parsesValues_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("expected");

        QTest::newRow("empty array") << "[]" << QVariant(QVariantList());
        QTest::newRow("empty object") << "{}" << QVariant(QVariantMap());
        QTest::newRow("every white space")
            << " \t\n\v\f\r[ 1 ,\r\n2 ] \f" << QVariant(QVariantList{integer(1), integer(2)});
        QTest::newRow("literals") << "[true,false,null]"
                                  << QVariant(
                                         QVariantList{true, false, QVariant::fromValue(nullptr)});
        QTest::newRow("nesting") << "{\"a\":[{\"b\":{}}],\"c\":\"d\"}"
                                 << QVariant(QVariantMap{
                                        {"a", QVariantList{QVariantMap{{"b", QVariantMap()}}}},
                                        {"c", "d"}});
        QTest::newRow("duplicate key: last wins")
            << "{\"k\":1,\"k\":2}" << QVariant(QVariantMap{{"k", integer(2)}});

        // strings
        QTest::newRow("escapes") << "[\"\\\"\\\\\\/\\b\\f\\n\\r\\t\"]"
                                 << QVariant(QVariantList{QString::fromUtf8("\"\\/\b\f\n\r\t")});
        QTest::newRow("empty string") << "[\"\"]" << QVariant(QVariantList{QString("")});
        QTest::newRow("plain runs around escapes")
            << "[\"ab\\ncd\\u00e9f\"]"
            << QVariant(QVariantList{QString::fromUtf8("ab\ncd\xc3\xa9"
                                                       "f")});
        QTest::newRow("raw UTF-8")
            << QString::fromUtf8("[\"\xe6\xb3\xa2 \xf0\x9f\x8e\xb5\"]")
            << QVariant(QVariantList{QString::fromUtf8("\xe6\xb3\xa2 \xf0\x9f\x8e\xb5")});
        QTest::newRow("escaped NUL")
            << "[\"a\\u0000b\"]"
            << QVariant(
                   QVariantList{QString(QStringLiteral("a") + QChar(0) + QStringLiteral("b"))});
        QTest::newRow("surrogate pair")
            << "[\"\\ud83d\\ude00\"]"
            << QVariant(QVariantList{QString::fromUcs4(U"\U0001F600", 1)});
        QTest::newRow("highest pair")
            << "[\"\\udbff\\udfff\"]"
            << QVariant(QVariantList{QString::fromUcs4(U"\U0010FFFF", 1)});
        QTest::newRow("upper-case hex")
            << "[\"\\u00C9\"]" << QVariant(QVariantList{QString::fromUtf8("\xc3\x89")});

        // numbers
        QTest::newRow("zero and minus zero")
            << "[0,-0]" << QVariant(QVariantList{integer(0), integer(0)});
        QTest::newRow("largest integer")
            << "[9223372036854775807]"
            << QVariant(QVariantList{integer(Q_INT64_C(9223372036854775807))});
        QTest::newRow("most negative within magnitude")
            << "[-9223372036854775807]"
            << QVariant(QVariantList{integer(-Q_INT64_C(9223372036854775807))});
        QTest::newRow("one past the largest")
            << "[9223372036854775808]" << QVariant(QVariantList{decimal("9223372036854775808")});
        QTest::newRow("twenty digits")
            << "[20000000000000000000]" << QVariant(QVariantList{decimal("2e19")});
        QTest::newRow("magnitude of the smallest")
            << "[-9223372036854775808]" << QVariant(QVariantList{decimal("-9223372036854775808")});
        QTest::newRow("fraction") << "[1.5]" << QVariant(QVariantList{decimal("1.5")});
        QTest::newRow("exponent") << "[1e3]" << QVariant(QVariantList{decimal("1000")});
        QTest::newRow("signed exponents")
            << "[2E+2,-25e-1]" << QVariant(QVariantList{decimal("200"), decimal("-2.5")});
        QTest::newRow("long fraction kept")
            << "[0.1000000000000000000000000000001]"
            << QVariant(QVariantList{decimal("1000000000000000000000000000001e-31")});
    }
    void parsesValues()
    {
        QFETCH(QString, text);
        QFETCH(QVariant, expected);
        QVJsonParser parser;
        const QVariant result = parser.objectWithString(text);
        QVERIFY2(result.isValid(), qPrintable(traceTexts(parser).join(QStringLiteral("; "))));
        QCOMPARE(result, expected);
        QVERIFY(parser.errorTrace().isEmpty());
    }

    // Each row: the whole trace, innermost error first.
    void rejects_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("trace");
        const QString inArray = QStringLiteral("code 3: Expected value while parsing array");

        QTest::newRow("number: leading plus")
            << "[+1]" << QStringList{"code 2: Leading + disallowed in number", inArray};
        QTest::newRow("number: leading zero")
            << "[01]" << QStringList{"code 2: Leading 0 disallowed in number", inArray};
        QTest::newRow("number: lone minus")
            << "[-]" << QStringList{"code 2: No digits after initial minus", inArray};
        QTest::newRow("number: minus letter")
            << "[-a]" << QStringList{"code 2: No digits after initial minus", inArray};
        QTest::newRow("number: bare point")
            << "[1.]" << QStringList{"code 2: No digits after decimal point", inArray};
        QTest::newRow("number: bare exponent")
            << "[1e]" << QStringList{"code 2: No digits after exponent", inArray};
        QTest::newRow("number: signed bare exponent")
            << "[1E-]" << QStringList{"code 2: No digits after exponent", inArray};
        QTest::newRow("number: exponent out of range")
            << "[1e9999999999]" << QStringList{"code 2: Failed creating decimal instance", inArray};

        QTest::newRow("syntax: unknown character")
            << "[x]" << QStringList{"code 3: Unrecognised leading character", inArray};
        QTest::newRow("syntax: leading comma")
            << "[,1]" << QStringList{"code 3: Unrecognised leading character", inArray};
        QTest::newRow("syntax: true") << "[tru]" << QStringList{"code 3: Expected 'true'", inArray};
        QTest::newRow("syntax: false")
            << "[falsE]" << QStringList{"code 3: Expected 'false'", inArray};
        QTest::newRow("syntax: null") << "[nul" << QStringList{"code 3: Expected 'null'", inArray};
        QTest::newRow("syntax: key not a string")
            << "{1:2}" << QStringList{"code 3: Object key string expected"};
        QTest::newRow("syntax: broken key") << "{\"a\\q\":1}"
                                            << QStringList{"code 8: Illegal escape sequence '0x71'",
                                                           "code 3: Object key string expected"};
        QTest::newRow("syntax: no colon")
            << "{\"a\" 1}" << QStringList{"code 3: Expected ':' separating key and value"};
        QTest::newRow("syntax: bad member value")
            << "{\"name\":?}"
            << QStringList{"code 3: Unrecognised leading character",
                           "code 3: Object value expected for key: name"};
        QTest::newRow("syntax: missing comma in array")
            << "[1 2]" << QStringList{"code 3: Expected ',' or ']' after array element"};
        QTest::newRow("syntax: missing comma in object")
            << "{\"a\":1 \"b\":2}"
            << QStringList{"code 3: Expected ',' or '}' after object member"};
        QTest::newRow("syntax: wrapped by every container")
            << "[{\"k\":[1,]}]"
            << QStringList{"code 9: Trailing comma disallowed in array",
                           "code 3: Object value expected for key: k", inArray};

        QTest::newRow("fragment: number")
            << "1" << QStringList{"code 4: Valid fragment, but not JSON"};
        QTest::newRow("fragment: string")
            << " \"s\" " << QStringList{"code 4: Valid fragment, but not JSON"};
        QTest::newRow("fragment: true")
            << "true" << QStringList{"code 4: Valid fragment, but not JSON"};

        QTest::newRow("control: unterminated string")
            << "[\"abc" << QStringList{"code 5: Unescaped control character '0x0'", inArray};
        QTest::newRow("control: raw tab")
            << "[\"a\tb\"]" << QStringList{"code 5: Unescaped control character '0x9'", inArray};
        QTest::newRow("control: raw NUL")
            << QStringLiteral("[\"a") + QChar(0) + QStringLiteral("\"]")
            << QStringList{"code 5: Unescaped control character '0x0'", inArray};

        const QString broken = QStringLiteral("code 6: Broken unicode character");
        QTest::newRow("unicode: bad hex digit")
            << "[\"\\u12x4\"]"
            << QStringList{"code 6: Missing hex digit in quad", "code 6: Missing hex quad", broken,
                           inArray};
        QTest::newRow("unicode: lone low surrogate")
            << "[\"\\udc00\"]"
            << QStringList{"code 6: Invalid high character in surrogate pair", broken, inArray};
        QTest::newRow("unicode: high surrogate then letter")
            << "[\"\\ud800x\"]"
            << QStringList{"code 6: Missing low character in surrogate pair", broken, inArray};
        QTest::newRow("unicode: high surrogate then bad quad")
            << "[\"\\ud800\\uzzzz\"]"
            << QStringList{"code 6: Missing hex digit in quad", "code 6: Missing hex quad",
                           "code 6: Missing low character in surrogate pair", broken, inArray};
        QTest::newRow("unicode: second unit not low")
            << "[\"\\ud800\\u0041\"]"
            << QStringList{"code 6: Invalid low surrogate char", broken, inArray};

        QTest::newRow("escape: unknown letter")
            << "[\"\\x\"]" << QStringList{"code 8: Illegal escape sequence '0x78'", inArray};
        QTest::newRow("escape: backslash at end")
            << "[\"\\" << QStringList{"code 8: Illegal escape sequence '0x0'", inArray};

        QTest::newRow("trailing comma: array")
            << "[1, ]" << QStringList{"code 9: Trailing comma disallowed in array"};
        QTest::newRow("trailing comma: object")
            << "{\"a\":1,}" << QStringList{"code 9: Trailing comma disallowed in object"};

        QTest::newRow("garbage: letter") << "[1]x" << QStringList{"code 10: Garbage after JSON"};
        QTest::newRow("garbage: second document")
            << "{} []" << QStringList{"code 10: Garbage after JSON"};
        QTest::newRow("garbage: NUL does not end the text")
            << QStringLiteral("[1]") + QChar(0) + QStringLiteral("x")
            << QStringList{"code 10: Garbage after JSON"};

        QTest::newRow("end: empty text") << "" << QStringList{"code 11: Unexpected end of string"};
        QTest::newRow("end: white space only")
            << " \n " << QStringList{"code 11: Unexpected end of string"};
        QTest::newRow("end: inside array")
            << "[1" << QStringList{"code 11: End of input while parsing array"};
        QTest::newRow("end: after comma")
            << "[1," << QStringList{"code 11: End of input while parsing array"};
        QTest::newRow("end: inside object")
            << "{\"a\":1" << QStringList{"code 11: End of input while parsing object"};
        QTest::newRow("end: after escape")
            << "[\"a\\n"
            << QStringList{"code 11: Unexpected EOF while parsing string", inArray};
    }
    void rejects()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, trace);
        QVJsonParser parser;
        JsonError outermost;
        QVERIFY(!parser.objectWithString(text, &outermost).isValid());
        QCOMPARE(traceTexts(parser), trace);
        QCOMPARE(outermost.toString(), trace.constLast());
    }

    void nilInput()
    {
        QVJsonParser parser;
        QVERIFY(!parser.objectWithString(QString()).isValid());
        QCOMPARE(traceTexts(parser), QStringList{"code 12: Input was 'nil'"});
        QVERIFY(!parser.objectWithUtf8(QByteArray()).isValid());
        QCOMPARE(parser.errorTrace().size(), 1);
    }

    // The last error wraps the earlier ones through its underlying chain, newest to oldest.
    void underlyingChain()
    {
        QVJsonParser parser;
        QVERIFY(!parser.objectWithString(QStringLiteral("[[{\"k\":\"\\ud800x\"}]]")).isValid());
        const QList<JsonError> &trace = parser.errorTrace();
        QCOMPARE(trace.size(), 5);
        const JsonError *error = &trace.constLast();
        for (qsizetype i = trace.size() - 1; i >= 0; --i) {
            QVERIFY(error);
            QCOMPARE(error->toString(), trace.at(i).toString());
            error = error->underlying();
        }
        QVERIFY(!error);
        QCOMPARE(JsonError::domain(), QStringLiteral("com.morvane.wavelark.json"));
    }

    void traceBelongsToTheLastRun()
    {
        QVJsonParser parser;
        int changes = 0;
        parser.setErrorTraceObserver([&changes] { ++changes; });
        QVERIFY(!parser.objectWithString(QStringLiteral("[1,]")).isValid());
        QCOMPARE(parser.errorTrace().size(), 1);
        const int afterFailure = changes;
        QVERIFY(afterFailure >= 2); // cleared, then one error
        QVERIFY(parser.objectWithString(QStringLiteral("[1]")).isValid());
        QVERIFY(parser.errorTrace().isEmpty());
        QVERIFY(changes > afterFailure);
    }

    void depthLimit_data()
    {
        QTest::addColumn<unsigned>("maxDepth");
        QTest::addColumn<int>("depth");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("default, 512 levels") << 512u << 512 << true;
        QTest::newRow("default, 513 levels") << 512u << 513 << false;
        QTest::newRow("limit 3, 3 levels") << 3u << 3 << true;
        QTest::newRow("limit 3, 4 levels") << 3u << 4 << false;
        QTest::newRow("no limit, 5000 levels") << 0u << 5000 << true;
    }
    void depthLimit()
    {
        QFETCH(unsigned, maxDepth);
        QFETCH(int, depth);
        QFETCH(bool, accepted);
        QVJsonParser parser;
        QCOMPARE(parser.maxDepth(), 512u);
        parser.setMaxDepth(maxDepth);
        const QVariant result = parser.objectWithString(nested(depth));
        QCOMPARE(result.isValid(), accepted);
        if (!accepted) {
            QCOMPARE(parser.errorTrace().constFirst().toString(),
                     QStringLiteral("code 7: Nested too deep"));
            // every enclosing array adds its own error
            QCOMPARE(parser.errorTrace().size(), qsizetype(maxDepth) + 1);
        }
    }

    // The same limit holds for objects, and a deep failure unwinds without recursion.
    void deepObjectsAndFailures()
    {
        QVJsonParser parser;
        QString objects;
        for (int i = 0; i < 513; ++i)
            objects += QStringLiteral("{\"a\":");
        objects += QStringLiteral("1") + QString(513, QLatin1Char('}'));
        QVERIFY(!parser.objectWithString(objects).isValid());
        QCOMPARE(parser.errorTrace().constLast().toString(),
                 QStringLiteral("code 3: Object value expected for key: a"));

        parser.setMaxDepth(0);
        QVERIFY(!parser.objectWithString(QString(200000, QLatin1Char('['))).isValid());
        QCOMPARE(parser.errorTrace().size(), 200000);
    }

    void decimalsKeepTheirValue()
    {
        QVJsonParser parser;
        const QVariantList list = parser
                                      .objectWithString(QStringLiteral(
                                          "[123456789012345678901234567890.125, 1.50, 15e-1]"))
                                      .toList();
        QCOMPARE(list.size(), 3);
        const auto big = list.at(0).value<JsonDecimal>();
        QCOMPARE(big.text(), QByteArray("123456789012345678901234567890.125"));
        QCOMPARE(big.significand(), QByteArray("123456789012345678901234567890125"));
        QCOMPARE(big.exponent(), -3);
        QCOMPARE(list.at(1), list.at(2)); // same value, different texts
        QCOMPARE(list.at(1).value<JsonDecimal>().text(), QByteArray("1.50"));
        QCOMPARE(list.at(1).toDouble(), 1.5);
        QVERIFY(list.at(0) != list.at(1));
        QVERIFY(*JsonDecimal::fromText("-0.0") == *JsonDecimal::fromText("0"));
        QVERIFY(!JsonDecimal::fromText("1.").has_value());
    }

    void jsonValueLogsTheTrace()
    {
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral(
                                 "^-JSONValue failed\\. Error trace is: .*Trailing comma")));
        QVERIFY(!JSONValue(QStringLiteral("[1,]")).isValid());
        QCOMPARE(JSONValue(QByteArray("{\"a\":[]}")).toMap().value(QStringLiteral("a")),
                 QVariant(QVariantList()));
    }
};

WAVELARK_TEST_MAIN(TestJsonParser)
#include "tst_JsonParser.moc"
