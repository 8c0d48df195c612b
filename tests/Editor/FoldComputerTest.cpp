// Foldable blocks: which brackets count, where the hidden range runs, and every line ending.
#include <gtest/gtest.h>

#include "Editor/FoldComputer.h"

namespace {
QString lines(std::initializer_list<const char*> parts, const QString& ending = QStringLiteral("\n")) {
    QStringList list;
    for (const char* p : parts) list << QString::fromUtf8(p);
    return list.join(ending);
}
} // namespace

TEST(FoldComputer, BlockOverSeveralLinesHidesFromHeaderTerminatorToClosingLine) {
    EXPECT_TRUE(FoldComputer::regions(QStringLiteral("f() { a; }")).isEmpty());
    EXPECT_TRUE(FoldComputer::regions(QString()).isEmpty());

    const QString text = lines({"l1", "l2", "if x {", "a", "b", "c", "}", "end"});
    const QList<FoldRegion> regions = FoldComputer::regions(text);
    ASSERT_EQ(regions.size(), 1);
    const qsizetype header = text.indexOf("if x");
    EXPECT_EQ(regions[0].headerLineStart, header);
    EXPECT_EQ(regions[0].hiddenRange.location, text.indexOf('\n', header));
    EXPECT_EQ(regions[0].hiddenRange.end(), text.indexOf('}'));
}

TEST(FoldComputer, NestedAndSharedHeadersComeInClosingOrder) {
    const QString text = lines({"a {", "  b (", "  x", "  )", "}"});
    const QList<FoldRegion> regions = FoldComputer::regions(text);
    ASSERT_EQ(regions.size(), 2);
    EXPECT_EQ(regions[0].headerLineStart, text.indexOf("  b"));
    EXPECT_EQ(regions[1].headerLineStart, 0);

    const QString shared = lines({"f({", "x", "}", ")"});
    const QList<FoldRegion> two = FoldComputer::regions(shared);
    ASSERT_EQ(two.size(), 2);
    EXPECT_EQ(two[0].headerLineStart, 0);
    EXPECT_EQ(two[1].headerLineStart, 0);
    EXPECT_LT(two[0].hiddenRange.end(), two[1].hiddenRange.end());  // the one closing first comes first
}

TEST(FoldComputer, BracketsInStringsAndLineCommentsDoNotCount) {
    EXPECT_TRUE(FoldComputer::regions(lines({"a = \"{\"", "'('", "`[`", "// {", "b"})).isEmpty());
    // A backslash does not keep a string open: the quote after it closes it, so the brace counts.
    EXPECT_EQ(FoldComputer::regions(lines({"s = \"\\\" {", "x", "}"})).size(), 1);
    // "/*" is not a comment.
    EXPECT_EQ(FoldComputer::regions(lines({"/* {", "*/ }"})).size(), 1);
    // An apostrophe keeps the rest of the text in a string, across lines, until the next quote.
    EXPECT_TRUE(FoldComputer::regions(lines({"it's {", "x", "}"})).isEmpty());
    EXPECT_EQ(FoldComputer::regions(lines({"it's", "' {", "x", "}"})).size(), 1);
    // A line comment ends with its line.
    EXPECT_EQ(FoldComputer::regions(lines({"// c", "{", "x", "}"})).size(), 1);
}

TEST(FoldComputer, WrongClosersAreIgnored) {
    const QString text = lines({"f( ]", "x", ")"});
    const QList<FoldRegion> regions = FoldComputer::regions(text);
    ASSERT_EQ(regions.size(), 1);
    EXPECT_EQ(regions[0].headerLineStart, 0);
    EXPECT_TRUE(FoldComputer::regions(lines({"}", "{", "x"})).isEmpty());  // left open: nothing
}

TEST(FoldComputer, EveryLineEndingFoldsTheSameLines) {
    const QString lf = lines({"a {", "b", "c", "}", "d"});
    const QList<FoldRegion> reference = FoldComputer::regions(lf);
    ASSERT_EQ(reference.size(), 1);
    for (const QString ending : {QStringLiteral("\r\n"), QStringLiteral("\r"), QString(QChar(0x2028)),
                                 QString(QChar(0x2029)), QString(QChar(0x85))}) {
        const QString text = lines({"a {", "b", "c", "}", "d"}, ending);
        const QList<FoldRegion> regions = FoldComputer::regions(text);
        ASSERT_EQ(regions.size(), 1) << ending.toUtf8().toHex().constData();
        EXPECT_EQ(regions[0].headerLineStart, 0);
        // Hidden: the header's whole terminator up to the closing line's start.
        EXPECT_EQ(regions[0].hiddenRange.location, 3);
        EXPECT_EQ(regions[0].hiddenRange.end(), text.indexOf('}'));
    }
}
