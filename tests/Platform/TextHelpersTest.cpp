#include <gtest/gtest.h>

#include <QStringList>
#include <algorithm>

#include "Platform/FileOrder.h"
#include "Platform/Lines.h"
#include "Platform/TextEquivalence.h"

TEST(Lines, EveryTerminatorEndsALine) {
    const QString text = QString("a\nb\r\nc\rd") + QChar(0x85) + "e" + QChar(0x2028) + "f" + QChar(0x2029) + "g";
    const auto lines = Lines::all(text);
    QStringList contents;
    for (const auto& l : lines) contents << text.mid(l.start, l.contentEnd - l.start);
    EXPECT_EQ(contents, QStringList({"a", "b", "c", "d", "e", "f", "g"}));
    EXPECT_EQ(lines[1].end - lines[1].contentEnd, 2);  // CR LF is one terminator
}

TEST(Lines, EmptyAndTrailingLines) {
    EXPECT_EQ(Lines::all(u"").size(), 1);
    const auto lines = Lines::all(u"x\n");
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[1].start, 2);
    EXPECT_EQ(lines[1].contentEnd, 2);
    // An offset between CR and LF belongs to the line the pair ends.
    const QString crlf = "ab\r\ncd";
    const auto r = Lines::containing(crlf, 3);
    EXPECT_EQ(r.start, 0);
    EXPECT_EQ(r.end, 4);
    EXPECT_EQ(Lines::containing(crlf, 5).start, 4);
}

TEST(TextEquivalence, CanonicalFormsAreEqual) {
    EXPECT_TRUE(TextEquivalence::canonicallyEqual(QString::fromUtf8("caf\xC3\xA9"), QString::fromUtf8("cafe\xCC\x81")));
    EXPECT_FALSE(TextEquivalence::canonicallyEqual("cafe", QString::fromUtf8("caf\xC3\xA9")));
    // Compatibility forms are not canonical equivalents.
    EXPECT_FALSE(TextEquivalence::canonicallyEqual(QString::fromUtf8("\xEF\xAC\x81"), "fi"));
}

TEST(FileOrder, NumbersByValueAndCaseIgnored) {
    QStringList names{"b", "a10", "Src", "a2", "A1", "src2", "item10", "item2"};
    std::sort(names.begin(), names.end(), FileOrder::lessThan);
    EXPECT_EQ(names, QStringList({"A1", "a2", "a10", "b", "item2", "item10", "Src", "src2"}));
    EXPECT_NE(FileOrder::compare("Readme", "readme"), 0);  // still a total order
}

TEST(TextEquivalence, DifferencesInsideLongTextsAndMarkOrder) {
    const QString body = QString("x").repeated(5000);
    const QString composed = body + QString::fromUtf8("caf\xC3\xA9") + body;
    const QString decomposed = body + QString::fromUtf8("cafe\xCC\x81") + body;
    EXPECT_TRUE(TextEquivalence::canonicallyEqual(composed, decomposed));
    // Combining marks in either order are one text; the split must not fall between them.
    const QString dotAcute = QString::fromUtf8("e\xCC\xA3\xCC\x81"), acuteDot = QString::fromUtf8("e\xCC\x81\xCC\xA3");
    EXPECT_TRUE(TextEquivalence::canonicallyEqual(body + dotAcute + body, body + acuteDot + body));
    EXPECT_FALSE(TextEquivalence::canonicallyEqual(body + dotAcute, body + QString::fromUtf8("e\xCC\xA3\xCC\xA3")));
    EXPECT_FALSE(TextEquivalence::canonicallyEqual(composed, composed + "!"));
    // A composed character against a base whose mark only follows in the other text.
    EXPECT_FALSE(TextEquivalence::canonicallyEqual(body + QString::fromUtf8("\xC3\xA9"), body + "e"));
    EXPECT_TRUE(TextEquivalence::canonicallyEqual(body + QString::fromUtf8("\xC3\xA9") + "z",
                                                  body + QString::fromUtf8("e\xCC\x81") + "z"));
}
