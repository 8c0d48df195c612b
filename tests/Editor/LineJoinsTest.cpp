// Long runs of empty lines are shown as blocks of many lines: the joins inside them must only ever
// stand between empty lines, however the text is edited around them, and the display must follow.
#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "Editor/ExactText.h"
#include "Editor/LineJoins.h"
#include "Platform/Lines.h"

namespace {

// Every join is a terminator between two empty lines of the text.
void expectJoinsBetweenEmptyLines(const ExactText& exact) {
    const QString& text = exact.text();
    for (const qsizetype j : exact.joins().joins().all()) {
        ASSERT_GT(Lines::terminatorLength(text, j), 0) << j;
        ASSERT_FALSE(j > 0 && text[j - 1] == u'\r' && text[j] == u'\n') << j;  // a CR LF's join is at its CR
        ASSERT_TRUE(j == 0 || Lines::isBreak(text[j - 1].unicode())) << j;
        ASSERT_GT(Lines::terminatorLength(text, j + Lines::terminatorLength(text, j)), 0) << j;
    }
}

// The display as a widget fed the changes holds it: the joins as line separators, everything else
// as the text displays.
void expectDisplay(const ExactText& exact, const QString& display) {
    ASSERT_EQ(display, exact.displayOf(0, exact.size()));
    QString separated = display;
    separated.replace(QChar(ExactText::kJoin), QChar(ExactText::kSeparator));
    ASSERT_EQ(separated, ExactText::display(exact.text()));
    EXPECT_EQ(display.count(QChar(ExactText::kJoin)), exact.joins().joins().size());
}

QString runs() {
    // LF, CR LF and CR runs, short and long, with a line separator of the text's own among them.
    return QStringLiteral("a\n") + QString(200, u'\n') + QStringLiteral("b\r\n") +
           QStringLiteral("\r\n").repeated(130) + QStringLiteral("c\r") + QString(70, u'\r') + QStringLiteral("d") +
           QString(63, u'\n') + QChar(0x2028) + QString(100, u'\n') + QStringLiteral("end");
}

// Joins again [from, to) of the text and shows the blocks made in the display as the editor does.
std::pair<size_t, qsizetype> regroupShown(ExactText& exact, QString& display, qsizetype from, qsizetype to) {
    const LineJoins::Regrouped done = exact.regroup(from, to);
    for (const qsizetype first : done.firsts)
        display.replace(exact.toDisplay(first), LineJoins::kGroup - 1, QString(LineJoins::kGroup - 1, QChar(ExactText::kJoin)));
    return {done.firsts.size(), done.resume};
}

// Every block holding joins is one of empty lines, never more than a group.
void expectBlocksOfAGroupAtMost(const QString& display) {
    for (const QString& block : display.split(QChar(ExactText::kSeparator))) {
        if (!block.contains(QChar(ExactText::kJoin))) continue;
        EXPECT_EQ(block.count(QChar(ExactText::kJoin)), block.size());
        EXPECT_LT(block.size(), LineJoins::kGroup);
    }
}

} // namespace

TEST(LineJoins, GroupsOnlyFullRunsOfEmptyLines) {
    ExactText exact(runs());
    exact.group(0, exact.size());
    expectJoinsBetweenEmptyLines(exact);
    // 200 empty lines after "a": three blocks of 64; 130 CR LF ones: two; 70 CR ones: one; after "d",
    // 62 LF, the text's own separator (a terminator like any other) and 100 LF: two.
    EXPECT_EQ(exact.joins().joins().size(), qsizetype((3 + 2 + 1 + 2) * (LineJoins::kGroup - 1)));
    expectDisplay(exact, exact.displayOf(0, exact.size()));
    // Ordinary text gets none.
    ExactText code(QStringLiteral("int a;\n\n\nint b;\n").repeated(100));
    code.group(0, code.size());
    EXPECT_TRUE(code.joins().isEmpty());
    // Grouping a step at a time leaves every join before the step's end, out of an edit's reach there.
    ExactText steps(QString(1000, u'\n'));
    steps.group(0, 300);
    ASSERT_FALSE(steps.joins().isEmpty());
    EXPECT_LT(steps.joins().joins().all().back(), 300 - 4);
    steps.group(300, 1000);
    expectJoinsBetweenEmptyLines(steps);
    // A run that ends within an edit's reach of the step's end waits for the next step.
    ExactText near(QString(1000, u'\n'));
    near.group(0, LineJoins::kGroup + 4);
    EXPECT_TRUE(near.joins().isEmpty());
    // A step asked for past the text's end stops at its end.
    LineJoins past;
    past.group(QString(100, u'\n'), 0, 10000);
    EXPECT_EQ(past.joins().size(), LineJoins::kGroup - 1);
}

TEST(LineJoins, EditsNearAJoinTakeItAwayAndTheDisplayFollows) {
    const QString original = runs();
    QRandomGenerator random(36);
    ExactText exact(original);
    exact.group(0, exact.size());
    QString display = exact.displayOf(0, exact.size());
    const QStringList insertions = {QStringLiteral("x"), QStringLiteral("\n"), QStringLiteral("\r"), QStringLiteral("\r\n"),
                                    QStringLiteral("\n\n\n"), QString(QChar(0x2028)), QString(), QStringLiteral("y\n")};
    for (int i = 0; i < 3000 && !exact.joins().isEmpty(); ++i) {
        const qsizetype at = random.bounded(int(exact.size() + 1));
        const qsizetype length = random.bounded(3) == 0 ? random.bounded(int(qMin<qsizetype>(8, exact.size() - at + 1))) : 0;
        const QString with = insertions[random.bounded(int(insertions.size()))];
        const qsizetype joinsBefore = exact.joins().joins().size();
        const ExactText::Change change = exact.replace({at, length}, with);
        display.replace(change.displayStart, change.displayEnd - change.displayStart, change.displayText);
        SCOPED_TRACE(i);
        EXPECT_LE(exact.joins().joins().size(), joinsBefore);  // edits never join
        expectJoinsBetweenEmptyLines(exact);
        expectDisplay(exact, display);
        if (HasFatalFailure()) return;
    }
}

TEST(LineJoins, CountsAndShiftsByOffset) {
    LineJoins joins;
    const QString text = QStringLiteral("xxxxxxxx\n") + QString(140, u'\n') + QStringLiteral("y");
    joins.group(text, 0, text.size());
    ASSERT_EQ(joins.joins().size(), qsizetype(2 * (LineJoins::kGroup - 1)));
    EXPECT_EQ(joins.joins()[0], 9);
    EXPECT_EQ(joins.countBefore(9), 0);
    EXPECT_EQ(joins.countBefore(10), 1);
    EXPECT_EQ(joins.countIn(9, 9 + 63), 63);
    EXPECT_TRUE(joins.isJoin(71));
    EXPECT_FALSE(joins.isJoin(72));  // the first block's last line ends it
    // An edit far from every join moves those after it.
    joins.edit(0, 1, 3);
    EXPECT_EQ(joins.joins()[0], 11);
    EXPECT_EQ(joins.joins().size(), qsizetype(2 * (LineJoins::kGroup - 1)));
    EXPECT_EQ(joins.touchedBy(2, 1).length, 0) << "far from every join";
    // One among them takes away those whose lines it reaches, and no others.
    const TextRange touched = joins.touchedBy(40, 0);
    EXPECT_EQ(touched.location, 37);
    EXPECT_EQ(touched.end(), 42);
    joins.edit(40, 0, 1);
    EXPECT_EQ(joins.joins().size(), qsizetype(2 * (LineJoins::kGroup - 1) - 5));
    EXPECT_FALSE(joins.isJoin(37));
    EXPECT_TRUE(joins.isJoin(36));
    EXPECT_TRUE(joins.isJoin(43));  // was 42, moved by the unit added
    joins.dropFrom(43);
    EXPECT_EQ(joins.joins().all().back(), 36);
}

// Typing on a line above long runs of joined empty lines moves none of their joins, however many.
TEST(LineJoins, TypingAboveTheRunsMovesNoMoreJoinsInALongerText) {
    const auto typed = [](int emptyLines) {
        const QString model = QStringLiteral("abc\n") + QString(emptyLines, u'\n') + QStringLiteral("z");
        ExactText text(model);
        text.group(0, text.size());
        EXPECT_GT(text.joins().joins().size(), emptyLines / 2);
        text.replace({1, 0}, QStringLiteral("x"));  // the first key there moves the split once
        const qsizetype before = text.joins().joins().moved();
        for (int i = 2; i < 40; ++i) text.replace({i, 0}, QStringLiteral("x"));
        for (int i = 0; i < 10; ++i) text.replace({30 - i, 1}, QString());
        EXPECT_EQ(text.displayOf(0, text.size()).count(QChar(ExactText::kJoin)), text.joins().joins().size());
        return text.joins().joins().moved() - before;
    };
    const qsizetype small = typed(1'000);
    EXPECT_LE(small, 64);
    EXPECT_EQ(typed(200'000), small);
}

// Runs of empty lines the text gains after it was grouped, inside joined runs, beside them and on
// their own, are joined afterwards; the lines a block already holds stay as they are.
TEST(LineJoins, RegroupJoinsOnlyRunsNoBlockHolds) {
    ExactText exact(runs());
    exact.group(0, exact.size());
    QString display = exact.displayOf(0, exact.size());
    const auto edit = [&](qsizetype at, const QString& with) {
        const ExactText::Change change = exact.replace({at, 0}, with);
        display.replace(change.displayStart, change.displayEnd - change.displayStart, change.displayText);
    };
    edit(exact.size(), QStringLiteral("\n") + QStringLiteral("\r\n").repeated(100));
    edit(100, QString(200, u'\n'));
    edit(1, QString(70, u'\r'));
    const qsizetype before = exact.joins().joins().size();
    const auto regroup = [&](qsizetype from, qsizetype to) { return regroupShown(exact, display, from, to); };
    // A step at a time, as the editor does it.
    for (qsizetype from = 0; from < exact.size();) {
        const qsizetype resume = regroup(from, from + 300).second;
        ASSERT_GT(resume, from);
        from = resume;
    }
    expectJoinsBetweenEmptyLines(exact);
    expectDisplay(exact, display);
    EXPECT_GE(exact.joins().joins().size(), before + 4 * (LineJoins::kGroup - 1));
    expectBlocksOfAGroupAtMost(display);
    // Done once, nothing is left to join.
    EXPECT_EQ(regroup(0, exact.size()).first, 0u);
}

// A step may start anywhere, between the CR and the LF of a line break too: the LF is never taken
// for a line of its own.
TEST(LineJoins, RegroupFromInsideACrLf) {
    for (const qsizetype from : {3, 4, 5, 6}) {
        SCOPED_TRACE(from);
        ExactText exact(QStringLiteral("b\r\n") + QStringLiteral("\r\n").repeated(150) + QStringLiteral("e"));
        QString display = exact.displayOf(0, exact.size());
        for (const qsizetype first : exact.regroup(from, exact.size()).firsts)
            display.replace(exact.toDisplay(first), LineJoins::kGroup - 1, QString(LineJoins::kGroup - 1, QChar(ExactText::kJoin)));
        EXPECT_EQ(exact.joins().joins().size(), 2 * (LineJoins::kGroup - 1));
        expectJoinsBetweenEmptyLines(exact);
        expectDisplay(exact, display);
    }
}

// A step that starts on the last line of a block of joined lines leaves that line to the block.
TEST(LineJoins, RegroupFromTheLastLineOfABlock) {
    ExactText exact(QString(200, u'\n'));
    exact.group(0, exact.size());
    QString display = exact.displayOf(0, exact.size());
    // Lines come near the start: the joins from the second on near them go, the first stays.
    const ExactText::Change change = exact.replace({4, 0}, QString(100, u'\n'));
    display.replace(change.displayStart, change.displayEnd - change.displayStart, change.displayText);
    ASSERT_TRUE(exact.joins().isJoin(0));
    ASSERT_FALSE(exact.joins().isJoin(1));
    EXPECT_GT(regroupShown(exact, display, 1, exact.size()).first, 0u);
    expectJoinsBetweenEmptyLines(exact);
    expectDisplay(exact, display);
    expectBlocksOfAGroupAtMost(display);
}

// A step goes on from its end, or from the first line of a run it cut short.
TEST(LineJoins, RegroupGoesOnWhereTheStepEnded) {
    const QString text = QStringLiteral("x\n") + QString(100, u'\n') + QStringLiteral("yyyyyyyy\n") + QString(100, u'\n') + QStringLiteral("z");
    ExactText exact(text);
    const qsizetype amidText = text.indexOf(u'y') + 3;
    EXPECT_EQ(exact.regroup(0, amidText).resume, amidText);
    const qsizetype secondRun = text.indexOf(u'y') + 9;  // its first empty line's terminator
    // Of the 90 empty lines the step holds, 64 make a block; the rest goes on with the run.
    EXPECT_EQ(exact.regroup(amidText, secondRun + 90).resume, secondRun + LineJoins::kGroup);
    // A step that holds a single line of a run goes on from that line, which then counts in a block.
    ExactText single(QStringLiteral("a\n") + QString(LineJoins::kGroup, u'\n') + QStringLiteral("b"));
    const qsizetype resume = single.regroup(0, 3).resume;
    EXPECT_EQ(resume, 2);
    EXPECT_EQ(single.regroup(resume, single.size()).firsts, std::vector<qsizetype>{2});
    // A step to the text's end leaves nothing to go on with, whatever run it ends in.
    ExactText tail(QStringLiteral("a\n") + QString(10, u'\n'));
    EXPECT_EQ(tail.regroup(0, tail.size()).resume, tail.size());
}
