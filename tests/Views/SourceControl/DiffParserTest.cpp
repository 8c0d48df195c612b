#include <gtest/gtest.h>

#include "Views/SourceControl/DiffParser.h"

namespace {

using K = DiffLineKind;
using N = std::optional<qint64>;

DiffLine L(K kind, N oldNo, N newNo, const QString& text) { return {kind, oldNo, newNo, text}; }

std::string describe(const QList<DiffLine>& lines) {
    std::string out;
    for (const DiffLine& l : lines) {
        out += std::to_string(int(l.kind)) + " " + (l.oldNo ? std::to_string(*l.oldNo) : "-") + " " +
               (l.newNo ? std::to_string(*l.newNo) : "-") + " [" + l.text.toStdString() + "]\n";
    }
    return out;
}

#define EXPECT_LINES(actual, ...)                                              \
    do {                                                                       \
        const QList<DiffLine> expected{__VA_ARGS__};                           \
        EXPECT_EQ(actual, expected) << describe(actual) << "expected:\n" << describe(expected); \
    } while (0)

TEST(DiffParser, NumbersContextRemovedAndAddedLinesFromTheHunkStarts) {
    const auto lines = DiffParser::parse("@@ -10,6 +12,8 @@\n same\n-gone\n+new\n tail");
    EXPECT_LINES(lines, L(K::hunk, {}, {}, "@@ -10,6 +12,8 @@"), L(K::context, 10, 12, "same"),
                 L(K::removed, 11, {}, "gone"), L(K::added, {}, 13, "new"), L(K::context, 12, 14, "tail"));
}

TEST(DiffParser, ReadsAWholeGitDiffWithHeadersANewFileAndTheFinalLineFeed) {
    const QString text = "diff --git a/n.txt b/n.txt\nnew file mode 100644\nindex 0000000..e69de29\n"
                         "--- /dev/null\n+++ b/n.txt\n@@ -0,0 +1,3 @@\n+a\n+b\n+c\n";
    const auto lines = DiffParser::parse(text);
    ASSERT_EQ(lines.size(), 10);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(lines[i].kind, K::header) << i;
    EXPECT_EQ(lines[5].kind, K::hunk);
    EXPECT_LINES(lines.mid(6), L(K::added, {}, 1, "a"), L(K::added, {}, 2, "b"), L(K::added, {}, 3, "c"),
                 L(K::context, {}, {}, ""));
}

TEST(DiffParser, HunkBodyLinesThatLookLikeFileHeadersStayBodyLines) {
    // A removed "-- x" reads "--- x", an added "++ y" reads "+++ y": inside a hunk they are lines.
    const auto lines = DiffParser::parse("@@ -1,2 +1,2 @@\n--- x\n+++ y\n keep");
    EXPECT_LINES(lines, L(K::hunk, {}, {}, "@@ -1,2 +1,2 @@"), L(K::removed, 1, {}, "-- x"),
                 L(K::added, {}, 1, "++ y"), L(K::context, 2, 2, "keep"));
}

TEST(DiffParser, NoNewlineMarkerBelongsToNoSideAndKeepsLaterNumbersRight) {
    const auto lines = DiffParser::parse("@@ -1,2 +1,2 @@\n-old\n\\ No newline at end of file\n+new\n"
                                         "\\ No newline at end of file\n@@ -9 +9 @@\n-x\n+y");
    EXPECT_LINES(lines, L(K::hunk, {}, {}, "@@ -1,2 +1,2 @@"), L(K::removed, 1, {}, "old"),
                 L(K::context, {}, {}, "\\ No newline at end of file"), L(K::added, {}, 1, "new"),
                 L(K::context, {}, {}, "\\ No newline at end of file"), L(K::hunk, {}, {}, "@@ -9 +9 @@"),
                 L(K::removed, 9, {}, "x"), L(K::added, {}, 9, "y"));
}

TEST(DiffParser, HunkHeadersWithoutCountsOddStartsAndSectionText) {
    // Without counts a hunk covers one line on each side.
    auto lines = DiffParser::parse("@@ -5 +7 @@\n-a\n+b\n");
    EXPECT_LINES(lines, L(K::hunk, {}, {}, "@@ -5 +7 @@"), L(K::removed, 5, {}, "a"), L(K::added, {}, 7, "b"),
                 L(K::context, {}, {}, ""));

    // A start that does not read leaves the counter where the previous hunk left it.
    lines = DiffParser::parse("@@ -3,1 +3,1 @@\n x\n@@ -zz,1 +8,1 @@\n y");
    EXPECT_EQ(lines.last(), L(K::context, 4, 8, "y"));

    // The function context after the closing "@@" is text, not numbers.
    lines = DiffParser::parse("@@ -20,1 +30,1 @@ int f(-1, +2)\n z");
    EXPECT_EQ(lines.last(), L(K::context, 20, 30, "z"));

    // Counters at the edge of the range neither wrap nor crash.
    lines = DiffParser::parse("@@ -9223372036854775807,2 +1 @@\n a\n b");
    EXPECT_EQ(lines[1].oldNo, N(9223372036854775807));
    EXPECT_EQ(lines[2].oldNo, N(9223372036854775807));
    lines = DiffParser::parse("@@ --9223372036854775808 +99999999999999999999 @@\n a");
    EXPECT_EQ(lines.last(), L(K::context, 1, 1, "a"));
}

TEST(DiffParser, RenamesModeChangesAndBinaryFilesAreHeadersWithoutNumbers) {
    const QString text = "diff --git a/old.txt b/new.txt\nold mode 100644\nnew mode 100755\n"
                         "similarity index 90%\nrename from old.txt\nrename to new.txt\n"
                         "diff --git a/img.png b/img.png\nindex 1..2 100644\nBinary files a/img.png and b/img.png differ";
    const auto lines = DiffParser::parse(text);
    ASSERT_EQ(lines.size(), 9);
    for (const DiffLine& l : lines) {
        EXPECT_EQ(l.kind, K::header) << l.text.toStdString();
        EXPECT_FALSE(l.oldNo || l.newNo);
    }
}

TEST(DiffParser, TextThatIsNoDiffBecomesNumberedContext) {
    EXPECT_LINES(DiffParser::parse("fatal: bad revision\nusage: git diff"), L(K::context, 1, 1, "fatal: bad revision"),
                 L(K::context, 2, 2, "usage: git diff"));
    EXPECT_LINES(DiffParser::parse(""), L(K::context, {}, {}, ""));
    EXPECT_LINES(DiffParser::parse("   "), L(K::context, 1, 1, "  "));
}

TEST(DiffParser, AHunkEndsWhenItsCountsAreUsedUpOrAFileHeaderFollows) {
    const QString text = "@@ -1,1 +1,1 @@\n-a\n+b\n-- \nsignature\n"
                         "diff --git a/q b/q\n--- a/q\n+++ b/q\n@@ -2 +2 @@\n-c\n+d";
    const auto lines = DiffParser::parse(text);
    // After the hunk, "-- " is what git would not print inside it; it reads by the fallback rules.
    EXPECT_EQ(lines[3].kind, K::removed);
    EXPECT_EQ(lines[5].kind, K::header);
    EXPECT_EQ(lines[6].kind, K::header);
    EXPECT_EQ(lines[7].kind, K::header);
    EXPECT_EQ(lines[9], L(K::removed, 2, {}, "c"));
    EXPECT_EQ(lines[10], L(K::added, {}, 2, "d"));
}

} // namespace
