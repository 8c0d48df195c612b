// Fold regions kept edit by edit must be exactly those of a whole scan of the edited text.
#include <gtest/gtest.h>

#include <random>

#include "Editor/FoldComputer.h"
#include "Editor/FoldTracker.h"
#include "GeneratedCode.h"

namespace {

// Pieces that move the scan's state: brackets, quotes, comments and every line ending.
const QStringList kPieces = {"{", "}", "(", ")", "[", "]", "\n", "\r\n", "\r", "\"", "'", "`", "//", "/",
                             "x", "  ", "f(a, b) {\n", "}\n", QString(QChar(0x2028)), "if (x) {\r\n  y;\r\n}\r\n"};
// Code whose quotes are rare and balanced, so that a quote typed into it changes the state over
// long stretches, as in real files.
const QStringList kCode = {"f(a, b) {\n", "  g([\n    1,\n  ]);\n", "}\n", "  // (\n", "if (x) {\r\n  y;\r\n}\r\n",
                           "x = (\n1\n)\n"};

QString startText(std::mt19937& random, int pieces) {
    QString text;
    std::uniform_int_distribution<int> pick(0, int(kCode.size()) - 1);
    for (int i = 0; i < pieces; ++i) text += random() % 150 == 0 ? QStringLiteral("  s = \"{\" + `(`;\n") : kCode[pick(random)];
    return text;
}

// Code as a minifier leaves it: one line, so no "//" may stay.
QString oneLine(QString code) { return code.remove(QStringLiteral("//")).remove(u'\n').remove(u'\r'); }

// Real-shaped code on one line with runs of brackets that never close spliced in, so that the
// brackets open reach the thousands.
QString deepOneLine(qsizetype units, unsigned seed) {
    QString text = oneLine(generated_code::realShapedJavaScript(units, seed));
    for (qsizetype at = text.size() - 1; at > 0; at -= 16 * 1024) text.insert(at, QStringLiteral("{[(").repeated(150));
    return text;
}

void expectSameAsWholeScan(const FoldTracker& tracker, const QString& text, int step) {
    const QList<FoldRegion> expected = FoldComputer::regions(text);
    ASSERT_EQ(tracker.regions(), expected) << "after edit " << step;
    // The header lookup finds the first region of each header, in closing order.
    for (qsizetype i = expected.size() - 1; i >= 0; --i) {
        const std::optional<FoldRegion> found = tracker.withHeader(expected[i].headerLineStart);
        ASSERT_TRUE(found.has_value());
        const auto first = std::find_if(expected.begin(), expected.end(), [&](const FoldRegion& r) {
            return r.headerLineStart == expected[i].headerLineStart;
        });
        ASSERT_EQ(*found, *first) << "after edit " << step;
        ASSERT_TRUE(tracker.hides(text, expected[i].hiddenRange));
    }
    // A region hides its range from its header line's terminator on, never from the text's start.
    ASSERT_FALSE(tracker.hides(text, TextRange{0, 1})) << "after edit " << step;
}

} // namespace

TEST(FoldTracker, RandomEditScriptsGiveTheWholeScansRegions) {
    for (unsigned seed = 1; seed <= 8; ++seed) {
        std::mt19937 random(seed);
        // Big enough for many checkpoints, so edits land before, between and after them. Then one
        // line of it all, and real code on one line nesting thousands deep: the scan must restart
        // and meet again inside the line, and the line breaks typed split it.
        QString text = seed <= 4 ? startText(random, 4000) : seed <= 6 ? oneLine(startText(random, 4000)) : deepOneLine(200 * 1024, seed);
        FoldTracker tracker;
        tracker.reset(text);
        expectSameAsWholeScan(tracker, text, 0);
        std::uniform_int_distribution<int> pick(0, int(kPieces.size()) - 1);
        for (int step = 1; step <= 120; ++step) {
            std::uniform_int_distribution<qsizetype> where(0, text.size());
            const qsizetype at = where(random);
            const qsizetype removed = std::min<qsizetype>(text.size() - at, std::uniform_int_distribution<int>(0, 3)(random) == 0 ? random() % 200 : random() % 3);
            QString inserted;
            for (int k = int(random() % 3); k > 0; --k) inserted += kPieces[pick(random)];
            text.replace(at, removed, inserted);
            tracker.edit(text, at, removed, inserted.size());
            expectSameAsWholeScan(tracker, text, step);
            if (HasFatalFailure()) return;
        }
    }
}

TEST(FoldTracker, EditFarFromAnyBlockKeepsTheRestInPlace) {
    // A quote typed at the top turns everything after it into a string; removing it brings it all back.
    QString text;
    for (int i = 0; i < 3000; ++i) text += QStringLiteral("f%1() {\n  return [\n    1,\n  ];\n}\n").arg(i);
    FoldTracker tracker;
    tracker.reset(text);
    const qsizetype count = tracker.regions().size();
    text.insert(0, u'"');
    tracker.edit(text, 0, 0, 1);
    EXPECT_EQ(tracker.regions(), FoldComputer::regions(text));
    text.remove(0, 1);
    tracker.edit(text, 0, 1, 0);
    EXPECT_EQ(tracker.regions().size(), count);
    EXPECT_EQ(tracker.regions(), FoldComputer::regions(text));
}

TEST(FoldTracker, RealCodeStaysExactAndAKeystrokeRescansAroundItAtAnyDepth) {
    // Escaped quotes and regular expressions leave brackets open by the thousand in real code. Edits
    // anywhere keep the folds those of a whole scan, and a letter typed rescans only around itself
    // however many brackets are open there, also inside a line of megabytes.
    const struct {
        QString text;
        int steps;
    } cases[] = {{generated_code::realShapedJavaScript(400 * 1024, 3), 150}, {deepOneLine(2 * 1024 * 1024, 4), 60}};
    for (const auto& [start, steps] : cases) {
        QString text = start;
        FoldTracker tracker;
        tracker.reset(text);
        std::mt19937 random(5);
        const QStringList typed = {"x", "x", "x", "x", "(", ")", "{", "}", "]", "\"", "'", "`", "\\", "/", "\n", "\r\n"};
        for (int step = 1; step <= steps; ++step) {
            qsizetype at = qsizetype(random() % quint32(text.size() + 1));
            // Now and then at a line's start, where the line's brackets begin.
            if (step % 3 == 0)
                while (at > 0 && text[at - 1] != u'\n' && text[at - 1] != u'\r') --at;
            const qsizetype removed = std::min<qsizetype>(text.size() - at, random() % 4 == 0 ? random() % 3 : 0);
            const QString inserted = typed[random() % typed.size()];
            text.replace(at, removed, inserted);
            tracker.edit(text, at, removed, inserted.size());
            ASSERT_EQ(tracker.regions(), FoldComputer::regions(text)) << "after edit " << step;
            // A letter beside a slash may make or break a comment, which changes the rest of the text.
            const bool nearSlash = (at > 0 && text[at - 1] == u'/') || (at + 1 < text.size() && text[at + 1] == u'/');
            if (inserted == "x" && removed == 0 && !nearSlash) EXPECT_LT(tracker.lastScanLength(), 32 * 1024) << "at " << at;
        }
    }
}

TEST(FoldTracker, AQuoteRescansOnlyItsBudgetAndTheScanGoingOnReachesTheWholeScansRegions) {
    // Quotes typed turn strings over to the end of the text; edits made before the scan going on
    // has caught up, before and past where it stopped, still end in the whole scan's regions.
    QString text = generated_code::realShapedJavaScript(1024 * 1024, 7);
    FoldTracker tracker;
    tracker.reset(text);
    std::mt19937 random(11);
    const QStringList typed = {"'", "\"", "`", "x", "{", "}\n", "\n"};
    const qsizetype budget = 16 * 1024;
    int stopped = 0;
    for (int step = 1; step <= 41; ++step) {
        const qsizetype at = qsizetype(random() % quint32(text.size() + 1));
        const QString inserted = step % 2 ? QStringLiteral("'") : typed[random() % typed.size()];
        text.insert(at, inserted);
        tracker.edit(text, at, 0, inserted.size(), budget);
        EXPECT_LE(tracker.lastScanLength(), budget + 8 * 1024) << "after edit " << step;
        stopped += tracker.complete() ? 0 : 1;
        // What is known is the whole scan's, up to where the scan stopped.
        const qsizetype known = tracker.knownTo();
        QList<FoldRegion> expected;
        for (const FoldRegion& r : FoldComputer::regions(text))
            if (r.hiddenRange.end() < known) expected.append(r);
        QList<FoldRegion> kept;
        for (const FoldRegion& r : tracker.regions())
            if (r.hiddenRange.end() < known) kept.append(r);
        ASSERT_EQ(kept, expected) << "after edit " << step;
        if (step % 4 == 0)
            while (!tracker.complete()) tracker.scanOn(text, budget);
    }
    EXPECT_GT(stopped, 5);  // quotes far from the end: the scan stopped short
    while (!tracker.complete()) tracker.scanOn(text, 64 * 1024);
    expectSameAsWholeScan(tracker, text, 41);
}

// Separate changes made at once: words replaced by words move the regions along without a scan;
// anything else is refused and left to an edit of the range they cover. Either way the regions
// are the whole scan's, also when the regions moved along are first looked at after more changes.
TEST(FoldTracker, ChangesOfManyPartsMoveTheRegionsAlongOrAreRefused) {
    const QStringList words = {"", "a", "xy", "word", "  ", "longer_name", "/", "{", "\n", "'"};
    for (unsigned seed = 1; seed <= 12; ++seed) {
        const int lookEvery = seed <= 6 ? 1 : 3;
        std::mt19937 random(seed);
        QString text = startText(random, 3000);
        FoldTracker tracker;
        tracker.reset(text);
        int moved = 0;
        for (int step = 1; step <= 40; ++step) {
            QList<EditHistory::Part> parts;
            // Mostly words only; now and then a part that changes or borders what the scan reads.
            const bool mixed = random() % 4 == 0;
            for (qsizetype at = qsizetype(random() % 400); at < text.size(); at += 50 + qsizetype(random() % 3000)) {
                qsizetype removed = std::min<qsizetype>(text.size() - at, qsizetype(random() % 6));
                // Mostly letters and spaces away from a slash are taken away (or nothing, at a line's start too).
                const auto wordy = [&](qsizetype i) { return i < 0 || i >= text.size() || text[i].isLetter() || text[i] == u' '; };
                if (!mixed) {
                    if (at > 0 && text[at - 1] == u'/') continue;
                    for (qsizetype i = 0; i <= removed; ++i)
                        if (!wordy(at + i)) removed = i;
                }
                const QString inserted = words[int(random() % (mixed ? words.size() : words.size() - 4))];
                if (!parts.isEmpty() && parts.back().location + parts.back().removed.size() > at) continue;
                parts.append({at, text.mid(at, removed), inserted});
            }
            QString after = text;
            for (qsizetype i = parts.size() - 1; i >= 0; --i) after.replace(parts[i].location, parts[i].removed.size(), parts[i].inserted);
            if (tracker.moveAlong(after, parts)) {
                ++moved;
                EXPECT_EQ(tracker.lastScanLength(), 0);
                // Moved at the first look: the change itself rewrote no entry.
                EXPECT_EQ(tracker.lastEntriesShifted(), 0);
            } else {
                const qsizetype a = parts.front().location, b = parts.back().location + parts.back().removed.size();
                tracker.edit(after, a, b - a, b - a + after.size() - text.size());
            }
            text = after;
            if (step % lookEvery != 0) continue;
            expectSameAsWholeScan(tracker, text, step);
            if (HasFatalFailure()) return;
        }
        expectSameAsWholeScan(tracker, text, 41);
        EXPECT_GT(moved, 5);
    }
}

// Tens of thousands of parts are read in runs on several threads: a slash beside a part in a later
// run is seen where the parts before it put it, and parts away from slashes move the regions along.
TEST(FoldTracker, ManyPartsAreCheckedWhereThePartsBeforeThemPutThem) {
    const QString block = QStringLiteral("f {\n") + QStringLiteral("ab cd\n").repeated(10) + QStringLiteral("}\n");
    for (const bool slash : {false, true}) {
        QString text = block.repeated(5000);
        QList<EditHistory::Part> parts;
        for (qsizetype at = text.indexOf(QStringLiteral("ab")); at >= 0; at = text.indexOf(QStringLiteral("ab"), at + 1))
            parts.append({at, QStringLiteral("ab"), QStringLiteral("abc")});
        ASSERT_GT(parts.size(), 40000);
        // Right after the 45,000th part, in a run of its own.
        if (slash) text[parts[45000].location + 2] = u'/';
        FoldTracker tracker;
        tracker.reset(text);
        const QString after = QString(text).replace(QStringLiteral("ab"), QStringLiteral("abc"));
        EXPECT_EQ(tracker.moveAlong(after, parts), !slash);
        if (slash) continue;
        expectSameAsWholeScan(tracker, after, 0);
        // A block closed early, far in: the rescan starts from a checkpoint the parts moved along.
        QString typed = after;
        const qsizetype at = typed.indexOf(QStringLiteral("abc"), typed.size() / 2);
        typed.insert(at, QStringLiteral("}\n"));
        tracker.edit(typed, at, 0, 2);
        ASSERT_EQ(tracker.regions(), FoldComputer::regions(typed));
    }
}

TEST(FoldTracker, TypingAtOnePlaceShiftsAsFewEntriesInAHundredfoldText) {
    // Letters typed and taken back in the middle of code: what each key moves along one by one
    // (regions, header entries, checkpoints) must not grow with the text after the caret.
    const auto shiftedWhileTyping = [](qsizetype units) {
        QString text = generated_code::realShapedJavaScript(units, 3);
        FoldTracker tracker;
        tracker.reset(text);
        qsizetype at = text.size() / 2;
        while (!(text[at - 1].isLetter() && text[at].isLetter())) ++at;
        qsizetype shifted = 0;
        for (int key = 1; key <= 40; ++key) {
            if (key % 8 == 0) {
                text.remove(--at, 1);
                tracker.edit(text, at, 1, 0);
            } else {
                text.insert(at, u'x');
                tracker.edit(text, at++, 0, 1);
            }
            shifted += tracker.lastEntriesShifted();
        }
        EXPECT_EQ(tracker.regions(), FoldComputer::regions(text));
        return shifted;
    };
    const qsizetype small = shiftedWhileTyping(64 * 1024);
    const qsizetype large = shiftedWhileTyping(6400 * 1024);
    EXPECT_LE(large, small + 64) << "small text " << small;
}

TEST(FoldTracker, RunsOfTypingAtACaretGiveTheWholeScansRegionsBetweenAndAfter) {
    // Typing, taking back and overtyping at a caret that now and then moves: the lookups between
    // the keys see the regions as they are, before the whole list is asked for.
    for (unsigned seed = 1; seed <= 6; ++seed) {
        std::mt19937 random(seed);
        QString text = seed % 2 ? startText(random, 3000) : oneLine(startText(random, 3000));
        FoldTracker tracker;
        tracker.reset(text);
        qsizetype caret = text.size() / 2;
        std::uniform_int_distribution<int> pick(0, int(kPieces.size()) - 1);
        for (int step = 1; step <= 150; ++step) {
            if (random() % 12 == 0) caret = qsizetype(random() % quint32(text.size() + 1));
            const int kind = int(random() % 6);
            qsizetype at = caret, removed = 0;
            QString inserted;
            if (kind == 0 && caret > 0) {  // taken back
                at = caret - 1;
                removed = 1;
            } else if (kind == 1) {  // overtyped
                removed = std::min<qsizetype>(text.size() - at, 1 + random() % 4);
                inserted = QStringLiteral("x");
            } else {
                inserted = random() % 3 ? QStringLiteral("x") : kPieces[pick(random)];
            }
            text.replace(at, removed, inserted);
            tracker.edit(text, at, removed, inserted.size());
            caret = at + inserted.size();
            const QList<FoldRegion> expected = FoldComputer::regions(text);
            for (const FoldRegion& r : expected) {
                ASSERT_TRUE(tracker.withHeader(r.headerLineStart).has_value()) << "seed " << seed << " step " << step;
                ASSERT_TRUE(tracker.hides(text, r.hiddenRange)) << "seed " << seed << " step " << step;
            }
            if (step % 10 == 0) ASSERT_EQ(tracker.regions(), expected) << "seed " << seed << " step " << step;
        }
    }
}

TEST(FoldTracker, TypingWhereALineWasTakenAwayLeavesTheNextLineWhereItStarts) {
    // The line after the one taken away starts where the typing goes on: it stays there, and so
    // does the end of the block closing on it, far past where the rescan met the earlier scan.
    QString text = QStringLiteral("f() {\na\n") + QString(3 * 4096, u'b') + QStringLiteral("}\n");
    FoldTracker tracker;
    tracker.reset(text);
    text.remove(6, 2);
    tracker.edit(text, 6, 2, 0);
    text.insert(6, u'x');
    tracker.edit(text, 6, 0, 1);
    const QList<FoldRegion> expected = FoldComputer::regions(text);
    ASSERT_EQ(expected.size(), 1);
    EXPECT_EQ(tracker.withHeader(0), expected[0]);
    EXPECT_TRUE(tracker.hides(text, expected[0].hiddenRange));
    EXPECT_EQ(tracker.regions(), expected);
}

TEST(FoldTracker, TypingOnTheLineBeforeALongLineMovesItsStartForEveryCheckpointOnIt) {
    // Keys typed into a long line, then on the line before it: the long line starts one later for
    // every checkpoint on it, also those past where the rescans met. A block opened far into it
    // later has its header there.
    QString text = QStringLiteral("f() {\nab\n") + QString(5 * 4096, u'c') + QStringLiteral("\n}\n");
    FoldTracker tracker;
    tracker.reset(text);
    for (const auto& [at, typed] : {std::pair{qsizetype(109), u'x'}, {qsizetype(7), u'x'}, {qsizetype(12000), u'{'}}) {
        text.insert(at, typed);
        tracker.edit(text, at, 0, 1);
    }
    const QList<FoldRegion> expected = FoldComputer::regions(text);
    ASSERT_EQ(expected.size(), 1);
    EXPECT_EQ(tracker.withHeader(10), expected[0]);
    EXPECT_EQ(tracker.regions(), expected);
}

TEST(FoldTracker, TextHandedOverInTwoRunsGivesTheWholeScansRegions) {
    // As a text kept with a gap lies: split where the edit ended, or anywhere, also between a CR and
    // its LF or between the slashes of a comment; each run in a buffer of its own, so a read of one
    // past its end is caught.
    for (unsigned seed = 1; seed <= 4; ++seed) {
        std::mt19937 random(seed);
        QString text = seed % 2 ? startText(random, 3000) : oneLine(startText(random, 3000));
        QString head, tail;
        const auto runs = [&](qsizetype split) {
            head = text.left(split);
            tail = text.mid(split);
            return FoldTracker::Runs{head, tail};
        };
        const auto anySplit = [&] {
            const qsizetype from = qsizetype(random() % quint32(text.size() + 1));
            const qsizetype pair = text.indexOf(random() % 2 ? QStringLiteral("//") : QStringLiteral("\r\n"), from);
            return pair >= 0 && random() % 2 ? pair + 1 : from;
        };
        FoldTracker tracker;
        tracker.reset(runs(anySplit()));
        expectSameAsWholeScan(tracker, text, 0);
        std::uniform_int_distribution<int> pick(0, int(kPieces.size()) - 1);
        for (int step = 1; step <= 100; ++step) {
            const qsizetype at = qsizetype(random() % quint32(text.size() + 1));
            const qsizetype removed = std::min<qsizetype>(text.size() - at, random() % 3);
            const QString inserted = kPieces[pick(random)];
            text.replace(at, removed, inserted);
            tracker.edit(runs(random() % 3 ? at + inserted.size() : anySplit()), at, removed, inserted.size(),
                         random() % 2 ? 4096 : FoldTracker::kWhole);
            while (!tracker.complete()) tracker.scanOn(runs(anySplit()), 4096);
            expectSameAsWholeScan(tracker, text, step);
            if (HasFatalFailure()) return;
        }
    }
}

namespace {

// JSON an object and an array a line, `levels` deep, `nests` times over: every line closes two blocks
// whose headers come in the opposite order to their closing.
QString nestedJson(qsizetype levels, int nests) {
    QString text;
    for (int n = 0; n < nests; ++n) {
        for (qsizetype i = 0; i < levels; ++i) text += QStringLiteral("{\"k\": [%1,\n").arg(i % 10);
        text += QStringLiteral("true\n") + QStringLiteral("]}\n").repeated(levels);
    }
    return text;
}

void expectHeadersOfWholeScan(const FoldTracker& tracker, const QString& text) {
    const QList<FoldRegion> expected = FoldComputer::regions(text);
    ASSERT_EQ(tracker.regions(), expected);
    // The first region of a header line in closing order is its inner block.
    for (qsizetype i = 0; i < expected.size(); i += 97) {
        const std::optional<FoldRegion> found = tracker.withHeader(expected[i].headerLineStart);
        ASSERT_TRUE(found.has_value());
        qsizetype first = i;
        while (first > 0 && expected[first - 1].headerLineStart == expected[i].headerLineStart) --first;
        EXPECT_EQ(*found, expected[first]);
        EXPECT_TRUE(tracker.hides(text, expected[i].hiddenRange));
    }
}

} // namespace

// Ordering the header index of blocks nested thousands deep takes a few comparisons a block, at
// 1,000 levels as at 8,000, whether the whole text is scanned or an edit rescans it all.
TEST(FoldTracker, DeepNestsOrderTheirHeadersInAFewComparisonsABlock) {
    for (const qsizetype levels : {1000, 8000}) {
        for (const int nests : {1, 3}) {
            QString text = nestedJson(levels, nests);
            FoldTracker tracker;
            tracker.reset(text);
            const qsizetype blocks = tracker.regions().size();
            ASSERT_EQ(blocks, 2 * levels * nests);
            EXPECT_LE(2 * tracker.headersCompared(), 5 * blocks) << levels << " levels, " << nests << " nests";
            expectHeadersOfWholeScan(tracker, text);
            // One opener less: nothing after it closes as before, and the rescan finds every block again.
            text.remove(0, 1);
            tracker.edit(text, 0, 1, 0);
            EXPECT_LE(2 * tracker.headersCompared(), 5 * blocks) << levels << " levels, " << nests << " nests";
            expectHeadersOfWholeScan(tracker, text);
        }
    }
}
