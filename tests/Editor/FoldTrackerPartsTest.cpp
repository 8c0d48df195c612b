// Changes of many parts that the fold tracker moves its regions along instead of scanning: only
// those that cannot change what the scan reads. Whichever it does, the regions are a whole scan's.
#include <gtest/gtest.h>

#include "Editor/FoldComputer.h"
#include "Editor/FoldTracker.h"

namespace {

// The text with the parts (at places in the text before them, in order) applied.
QString applied(QString text, const QList<EditHistory::Part>& parts) {
    for (qsizetype i = parts.size() - 1; i >= 0; --i) text.replace(parts[i].location, parts[i].removed.size(), parts[i].inserted);
    return text;
}

// Moves along or, refused, scans the span the parts cover, as the editor does.
void change(FoldTracker& tracker, const QString& before, const QList<EditHistory::Part>& parts) {
    const QString after = applied(before, parts);
    if (tracker.moveAlong(after, parts)) return;
    const qsizetype a = parts.front().location, b = parts.back().location + parts.back().removed.size();
    tracker.edit(after, a, b - a, b - a + after.size() - before.size());
}

// Letters put between two slashes, or taken from between them, break or make a line comment that
// holds a bracket: the regions after it change, though no part holds anything but letters.
TEST(FoldTrackerParts, LettersBetweenTwoSlashesAreScannedNotMovedAlong) {
    const QString padding = QStringLiteral("a = b;\n").repeated(400);  // checkpoints before the change
    struct Case {
        QString text;
        QList<EditHistory::Part> parts;  // words far away in the same change, which alone would move along
    };
    const qsizetype at = padding.size();
    const QList<Case> cases{
        {padding + "x = 1 /a/ 2 {\n  y\n}\n", {{4, "b", "bc"}, {at + 7, "a", ""}}},  // makes "//"
        {padding + "x = 1 // 2 {\n  y\n}\n", {{4, "b", "bc"}, {at + 7, "", "ab"}}},  // breaks it
        {"/a/ {\n  y\n}\n" + padding, {{1, "a", ""}, {16, "b", "bc"}}},               // at the text's start
    };
    for (const Case& c : cases) {
        for (const EditHistory::Part& part : c.parts) ASSERT_EQ(c.text.mid(part.location, part.removed.size()), part.removed);
        FoldTracker tracker;
        tracker.reset(c.text);
        change(tracker, c.text, c.parts);
        const QString after = applied(c.text, c.parts);
        ASSERT_NE(FoldComputer::regions(after), FoldComputer::regions(c.text)) << "the case must change the regions";
        EXPECT_EQ(tracker.regions(), FoldComputer::regions(after)) << c.text.left(20).toStdString();
    }
}

// A tracker that has read no text yet has nothing to move: it refuses, and the edit reads the text.
TEST(FoldTrackerParts, ATrackerThatReadNothingRefusesAndTheEditScans) {
    const QString before = QStringLiteral("f(a) {\n  b;\n}\n");
    const QList<EditHistory::Part> parts{{2, "a", "xy"}};
    FoldTracker tracker;
    EXPECT_FALSE(tracker.moveAlong(applied(before, parts), parts));
    change(tracker, before, parts);
    EXPECT_EQ(tracker.regions(), FoldComputer::regions(applied(before, parts)));
    EXPECT_FALSE(tracker.regions().isEmpty());
}

} // namespace
