// Environment files: the KEY=value line form and JSON objects, values as substitution will use them.
#include <gtest/gtest.h>

#include "API/EnvironmentFile.h"
#include "Printers.h"

using EnvironmentFile::parseJson;
using EnvironmentFile::parseLines;

namespace {
using Values = QMap<QString, QString>;
}

TEST(EnvironmentLinesTest, KeysValuesQuotesAndSkippedLines) {
    const Values values = parseLines(QStringLiteral(
        "  key = value  \n"
        "X='a b'\n"
        "Y=\"a b\"\n"
        "Q=\"\n"
        "M=\"a'\n"
        "Z=a=b\n"
        "=v\n"
        "# c\n"
        "  # C=commented out\n"
        " \t \n"
        "no equals here\n"
        "A=1\n"
        "N=1 # note\n"
        "export E=1\n"
        "A=2"));
    EXPECT_EQ(values, (Values{{"key", "value"}, {"X", "a b"}, {"Y", "a b"}, {"Q", "\""}, {"M", "\"a'"}, {"Z", "a=b"},
                              {"", "v"}, {"A", "2"}, {"N", "1 # note"}, {"export E", "1"}}));
}

TEST(EnvironmentLinesTest, CrlfLinesGiveTheSameValuesAsLfLines) {
    // A carriage return left on a value would end up inside URLs and headers.
    const Values values = parseLines(QStringLiteral("A=1\r\nB='two'\r\n\r\nC=3\r\n"));
    EXPECT_EQ(values, (Values{{"A", "1"}, {"B", "two"}, {"C", "3"}}));
    EXPECT_EQ(parseLines(QStringLiteral("\uFEFFA=1\n")), (Values{{"A", "1"}}));
}

TEST(EnvironmentJsonTest, ScalarsKeepTheirMeaningAndNestedValuesBecomeCompactJson) {
    const auto values = parseJson(QStringLiteral(
        R"({"s": "x", "n": 3, "f": 1.50, "e": -2E+3, "big": 12345678901234567890123, "t": true, "no": false,
            "z": null, "esc": "a\"b\\c\u00e9\ud83d\ude00\n"})"));
    ASSERT_TRUE(values);
    EXPECT_EQ(*values, (Values{{"s", "x"}, {"n", "3"}, {"f", "1.50"}, {"e", "-2E+3"},
                               {"big", "12345678901234567890123"}, {"t", "true"}, {"no", "false"}, {"z", ""},
                               {"esc", QStringLiteral("a\"b\\c\u00e9") + QString::fromUtf8("\xF0\x9F\x98\x80") + "\n"}}));
    EXPECT_EQ(parseJson(QStringLiteral("{\"a\": [1, \"two\" , {\"k\" : null}], \"o\": { }, \"l\": []}")),
              (Values{{"a", R"([1,"two",{"k":null}])"}, {"o", "{}"}, {"l", "[]"}}));
    EXPECT_EQ(parseJson(QStringLiteral(R"({"e": "\b\f\n\r\t\/"})")), (Values{{"e", "\b\f\n\r\t/"}}));
    EXPECT_EQ(parseJson(QStringLiteral("{}")), Values{});
    EXPECT_EQ(parseJson(QStringLiteral("{\"a\":1,\"a\":2}")), (Values{{"a", "2"}}));
}

TEST(EnvironmentJsonTest, AnythingButOneValidObjectGivesNothing) {
    for (const char* text : {"[1,2]", "\"x\"", "3", "", "{", "{\"a\":1,}", "{\"a\" 1}", "{\"a\":01}", "{\"a\":1.}",
                             "{\"a\":tru}", "{\"a\":1} x", "{a:1}", "[\"a\":1}", "{\"a\":12",
                             "{\"a\":\"\\x\"}", "{\"a\":\"\\ud800\"}", "{\"a\":\"\\u00zz\"}",
                             "{\"a\":\"tab\there\"}", "{\"a\":+1}"}) {
        EXPECT_FALSE(parseJson(QString::fromUtf8(text))) << text;
    }
    // Deep nesting is refused, not recursed into without end.
    const QString deep = "{\"a\":" + QString(100000, u'[') + QString(100000, u']') + "}";
    EXPECT_FALSE(parseJson(deep));
}
