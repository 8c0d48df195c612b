// The exact text and its one-block-per-line display: whatever is replaced where, the display must
// hold one separator per line terminator and offsets must map both ways.
#include <gtest/gtest.h>

#include "Editor/ExactText.h"
#include "Platform/Lines.h"

namespace {

// Applies a change's display part to a display string, as the text widget would.
void applyToDisplay(QString& display, const ExactText::Change& change) {
    display.replace(change.displayStart, change.displayEnd - change.displayStart, change.displayText);
}

// The display must be exactly what the current exact text displays as.
void expectConsistent(const ExactText& text, const QString& display) {
    EXPECT_EQ(display, ExactText::display(text.text()));
    EXPECT_EQ(display.count(QChar(ExactText::kSeparator)), Lines::all(text.text()).size() - 1);
}

} // namespace

TEST(ExactText, DisplayHasOneSeparatorPerTerminatorAndKeepsOtherCharacters) {
    const QString text = QString::fromUtf8("a\r\nb\rc\nd") + QChar(0x85) + "e" + QChar(0x2028) + "f" + QChar(0x2029) +
                         "g" + QChar(0x00A0) + QChar(0xFDD0) + "h";
    const QString display = ExactText::display(text);
    const QChar sep(ExactText::kSeparator);
    EXPECT_EQ(display, QString("a") + sep + "b" + sep + "c" + sep + "d" + sep + "e" + sep + "f" + sep + "g" +
                           QChar(0x00A0) + QChar(QChar::ReplacementCharacter) + "h");
    EXPECT_EQ(ExactText::display(QString()), QString());
}

TEST(ExactText, OffsetsMapBothWaysAroundCrLf) {
    ExactText text(QStringLiteral("ab\r\ncd\r\n\r\nx"));
    // exact: a0 b1 \r2 \n3 c4 d5 \r6 \n7 \r8 \n9 x10 ; display: a b ¶ c d ¶ ¶ x
    EXPECT_EQ(text.toDisplay(2), 2);
    EXPECT_EQ(text.toDisplay(3), 2);  // between CR and LF: the separator's start
    EXPECT_EQ(text.toDisplay(4), 3);
    EXPECT_EQ(text.toDisplay(8), 6);
    EXPECT_EQ(text.toDisplay(10), 7);
    EXPECT_EQ(text.toDisplay(11), 8);
    for (qsizetype d = 0; d <= 8; ++d) EXPECT_EQ(text.toDisplay(text.toExact(d)), d) << d;
    EXPECT_EQ(text.toExact(3), 4);
    EXPECT_EQ(text.toExact(7), 10);
    EXPECT_EQ(text.toExact(99), 11);  // clamped
}

TEST(ExactText, ReplacementsNeverLeaveTheDisplayOutOfStep) {
    struct Case {
        const char* text;
        qsizetype from, length;
        const char* with;
        const char* result;
    };
    const Case cases[] = {
        {"ab\r\ncd", 1, 0, "x", "axb\r\ncd"},
        {"a\rb\nc", 2, 1, "", "a\r\nc"},           // deleting between CR and LF joins them into one break
        {"a\r\nb", 2, 0, "x", "a\rx\nb"},          // inserting inside a CR LF splits it into two breaks
        {"a\r\nb", 3, 1, "", "a\r\n"},
        {"a\rb", 2, 0, "\nz", "a\r\nzb"},          // an inserted LF after a lone CR joins it
        {"a\nb", 0, 1, "x\r", "x\r\nb"},           // an inserted CR before an LF joins it
        {"a\r\n\r\nb", 3, 2, "", "a\r\nb"},        // half of each of two CR LFs
        {"", 0, 0, "p\r\nq\rr\ns", "p\r\nq\rr\ns"},
        {"x\r\ny", 0, 5, "", ""},
        {"x\r\ny", 1, 1, "\r", "x\r\ny"},
    };
    for (const Case& c : cases) {
        ExactText text{QString::fromUtf8(c.text)};
        QString display = ExactText::display(text.text());
        applyToDisplay(display, text.replace({c.from, c.length}, QString::fromUtf8(c.with)));
        EXPECT_EQ(text.text(), QString::fromUtf8(c.result)) << c.text << " @" << c.from;
        expectConsistent(text, display);
        // The index follows: mapping agrees with a freshly indexed copy.
        const ExactText fresh(text.text());
        for (qsizetype i = 0; i <= text.size(); ++i) ASSERT_EQ(text.toDisplay(i), fresh.toDisplay(i)) << c.text;
    }
}

TEST(ExactText, NewlineFollowsTheFirstLineEnding) {
    EXPECT_EQ(ExactText(QStringLiteral("a\r\nb\nc")).newline(), QStringLiteral("\r\n"));
    EXPECT_EQ(ExactText(QStringLiteral("a\rb\r\n")).newline(), QStringLiteral("\r"));
    EXPECT_EQ(ExactText(QStringLiteral("a\nb\r\n")).newline(), QStringLiteral("\n"));
    EXPECT_EQ(ExactText(QStringLiteral("abc")).newline(), QStringLiteral("\n"));
}
