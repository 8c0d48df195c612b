// The background parse: whatever edits it is handed, its tree colours the text like a fresh parse.
#include <gtest/gtest.h>

#include <QTest>
#include <atomic>
#include <mutex>
#include <memory>
#include <random>

#include "Editor/ExactText.h"
#include "Editor/HighlighterFactory.h"
#include "Editor/ParseWorker.h"
#include "Editor/TreeSitterHighlighter.h"
#include "GeneratedCode.h"
#include "HighlightTestSupport.h"
#include "SyntaxTree/MutableTree.h"
#include "SyntaxTree/Node.h"
#include "SyntaxTree/Tree.h"

namespace {

// Waits for the parse of `revision` (the deadline only bounds a hang).
ParseWorker::Result waitFor(const ParseWorker& worker, quint64 revision) {
    (void)QTest::qWaitFor(
        [&] {
            const ParseWorker::Result result = worker.latest();
            return result.valid && result.revision == revision;
        },
        60000);
    return worker.latest();
}

// The highlighter whose grammar the worker parses with and whose query colours its trees.
TreeSitterHighlighter* javascript() {
    static const std::unique_ptr<SyntaxHighlighter> made = HighlighterFactory::treeSitter(CodeLanguage::javascript);
    return dynamic_cast<TreeSitterHighlighter*>(made.get());
}

// A worker on the text, once it has parsed it as revision 1.
std::unique_ptr<ParseWorker> parsing(const QString& text) {
    auto worker = std::make_unique<ParseWorker>(javascript()->language());
    worker->reset(text, 1);
    (void)waitFor(*worker, 1);
    return worker;
}

// `lines` top-level statements of a line each.
QString statements(int lines) {
    QString text;
    for (int i = 0; i < lines; ++i) text += QStringLiteral("let v%1 = [%1, 'w'];\n").arg(i);
    return text;
}

// The parser steps taken before the typed line can be coloured in text, typing `keys` one by one
// at `at`: for the worst of those keystrokes, and for one more that comes as soon as the one before
// it is coloured, while the whole text is still to be reparsed for that one.
std::pair<qint64, qint64> stepsWhileTyping(QString text, qsizetype at, const QString& keys) {
    const std::unique_ptr<ParseWorker> parsed = parsing(text);
    ParseWorker& worker = *parsed;
    quint64 revision = 1;
    qsizetype typed = 0;
    const auto type = [&] {
        const QString key = keys.mid(typed % keys.size(), 1);
        const TextEdit edit = highlight_test::replace(text, at + typed, 0, key);
        ++typed;
        // Counted before it is handed over: the worker may tell of its parse before edit() returns.
        ++revision;
        worker.edit(edit, key, revision);
    };
    qint64 worst = 0;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        type();
        EXPECT_TRUE(waitFor(worker, revision).valid);
        worst = std::max(worst, worker.stepsBeforeColours());
    }
    const quint64 first = revision + 1;
    QObject::connect(
        &worker, &ParseWorker::parsed, &worker,
        [&](quint64 done) {
            if (done == first && revision == first && worker.shownFor({at, 1}).covered.length < text.size()) type();
        },
        Qt::DirectConnection);
    type();
    (void)QTest::qWaitFor([&] { return worker.latest().valid && worker.latest().revision >= first; }, 60000);
    EXPECT_EQ(revision, first + 1) << "the edit's lines were not coloured ahead of the whole text";
    EXPECT_TRUE(waitFor(worker, revision).valid);
    return std::pair{worst, worker.stepsBeforeColours()};
}

// The same in a text of `lines` top-level statements, with middleStatement added in the middle,
// typing after the first `after` past the middle line.
std::pair<qint64, qint64> stepsWhileTyping(int lines, const QString& after, const QString& keys,
                                           const QString& middleStatement = {}) {
    QString text = statements(lines);
    text.insert(text.indexOf(u'\n', text.size() / 2) + 1, middleStatement);
    const qsizetype middle = text.indexOf(u'\n', text.size() / 2) + 1;
    return stepsWhileTyping(text, text.indexOf(after, middle) + after.size(), keys);
}

// The same typing after the first `after` from the start of the line halfway into text.
std::pair<qint64, qint64> stepsWhileTypingAfter(const QString& text, const QString& after, const QString& keys) {
    const qsizetype middle = text.lastIndexOf(u'\n', text.size() / 2) + 1;
    return stepsWhileTyping(text, text.indexOf(after, middle) + after.size(), keys);
}

} // namespace

TEST(ParseWorker, QueuedEditsColourLikeAFreshParse) {
    TreeSitterHighlighter* const highlighter = javascript();
    ASSERT_NE(highlighter, nullptr);
    QString text;
    for (int i = 0; i < 200; ++i) text += QStringLiteral("function f%1(a) {\n  return 'q' + a * %1; // n\n}\n").arg(i);
    ParseWorker worker(highlighter->language());
    quint64 revision = 1;
    worker.reset(text, revision);

    const QStringList pieces = {"\"", "'", "/*", "*/", "{", "}", "x", "\n", "é", "let y = `t${", "}`;\n", "𝄞"};
    std::mt19937 random(7);
    for (int round = 0; round < 12; ++round) {
        // Several edits queue up before the parse catches up with them.
        for (int k = 0; k < 5; ++k) {
            const qsizetype at = qsizetype(random() % (text.size() + 1));
            qsizetype removed = qMin<qsizetype>(text.size() - at, random() % 4);
            if (at + removed < text.size() && text[at + removed].isLowSurrogate()) ++removed;
            if (at < text.size() && text[at].isLowSurrogate()) continue;
            const QString inserted = pieces[int(random() % pieces.size())];
            const TextEdit edit = highlight_test::replace(text, at, removed, inserted);
            worker.edit(edit, inserted, ++revision);
        }
        const ParseWorker::Result result = waitFor(worker, revision);
        ASSERT_TRUE(result.valid && result.revision == revision);
        ASSERT_NE(result.tree, nullptr);
        auto fresh = HighlighterFactory::treeSitter(CodeLanguage::javascript);
        const TextRange all{0, text.size()};
        EXPECT_EQ(highlighter->spans(*result.tree, text, all), fresh->ranges(text, all)) << "round " << round;
    }
    // A text handed over whole replaces the edited one.
    text = QStringLiteral("const s = \"a\"; // b\n");
    worker.reset(text, ++revision);
    const ParseWorker::Result result = waitFor(worker, revision);
    ASSERT_NE(result.tree, nullptr);
    EXPECT_EQ(result.tree->rootNode()->range().end(), text.size());
    EXPECT_EQ(highlighter->spans(*result.tree, text, {0, text.size()}),
              HighlighterFactory::treeSitter(CodeLanguage::javascript)->ranges(text, {0, text.size()}));
}

// A worker that has parsed a small text as revision 1, counting the parses it finishes, then is
// handed `units` units of JavaScript as revision 2.
struct HandedABigText {
    explicit HandedABigText(qsizetype units) {
        QObject::connect(worker.get(), &ParseWorker::parsed, worker.get(), [this](quint64 revision) { published = revision; },
                         Qt::DirectConnection);
        worker->reset(QStringLiteral("let a = 1;\n"), 1);
        EXPECT_NE(waitFor(*worker, 1).tree, nullptr);
        for (int i = 0; big.size() < units; ++i)
            big += QStringLiteral("function f%1(a, b) { return [a, b, `t${a}`].map((x) => x * %1); }\n").arg(i);
        worker->reset(big, 2);
    }
    std::atomic<quint64> published = 0;
    QString big;
    std::unique_ptr<ParseWorker> worker = std::make_unique<ParseWorker>(javascript()->language());  // last: stops first
};

TEST(ParseWorker, DestroyedMidParseStopsTheParse) {
    HandedABigText f(4 * 1024 * 1024);
    // The worker lets go of its published tree once it has taken the new text up: it is parsing now.
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.worker->latest().tree == nullptr; }, 60000));
    f.worker.reset();
    EXPECT_EQ(f.published, 1u);  // the parse of the big text was stopped, not finished
}

TEST(ParseWorker, LetsGoOfTheTextItWasHandedOnceItHoldsItsOwnCopy) {
    // The editor hands the thread the very buffer it is about to edit in place: as long as the
    // thread shares it, the editor's first keystroke copies the whole text first.
    HandedABigText f(8 * 1024 * 1024);
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.big.isDetached(); }, 120000));
    // Let go before the parse of that text was through, not after it.
    EXPECT_EQ(f.published, 1u);
}

TEST(ParseWorker, TypingInOnePlaceMovesNoMoreTextInALongerText) {
    TreeSitterHighlighter* const highlighter = javascript();
    ASSERT_NE(highlighter, nullptr);
    // The units the thread moves for twenty keystrokes in the middle of a text of `lines` lines.
    const auto movedWhileTyping = [&](int lines) {
        QString text = statements(lines);
        ParseWorker worker(highlighter->language());
        quint64 revision = 1;
        worker.reset(text, revision);
        const qsizetype middle = text.indexOf(u'\n', text.size() / 2) + 1;
        qint64 before = 0;
        for (qsizetype i = 0; i < 20; ++i) {
            worker.edit(highlight_test::replace(text, middle + i, 0, QStringLiteral("x")), QStringLiteral("x"), ++revision);
            // The first keystroke may still bring the thread's copy of the text to where the typing is.
            if (i == 0) before = (waitFor(worker, revision), worker.unitsMoved());
        }
        const ParseWorker::Result result = waitFor(worker, revision);
        EXPECT_TRUE(result.valid && result.revision == revision);
        EXPECT_EQ(highlighter->spans(*result.tree, text, {middle - 40, 80}),
                  HighlighterFactory::treeSitter(CodeLanguage::javascript)->ranges(text, {middle - 40, 80}));
        return worker.unitsMoved() - before;
    };
    const qint64 small = movedWhileTyping(2'000);
    const qint64 large = movedWhileTyping(20'000);
    EXPECT_LE(large, small + 64) << "small text: " << small;
    EXPECT_LE(small, 1'000);
}

TEST(ParseWorker, ColoursOfAKeystrokeCostNoMoreParsingInALongerText) {
    // Into the name after "let v", so every keystroke leaves the text free of errors.
    const auto [small, smallNext] = stepsWhileTyping(2'000, QStringLiteral("let v"), QStringLiteral("xxxxxxxxxx"));
    const auto [large, largeNext] = stepsWhileTyping(40'000, QStringLiteral("let v"), QStringLiteral("xxxxxxxxxx"));
    EXPECT_LE(large, small + 8) << "small text: " << small;
    EXPECT_LE(largeNext, smallNext + 8) << "small text: " << smallNext;
}

// Code being typed is wrong on most keys: a call opened before its closing parenthesis, a string
// opened before it closes, a condition before its statement. The error stays within the typed statement, and so does the
// parse that colours it.
TEST(ParseWorker, ColoursOfAnUnfinishedStatementCostNoMoreParsingInALongerText) {
    for (const auto& [after, keys] : {std::pair{QStringLiteral("= "), QStringLiteral("foo(a, ")},
                                      std::pair{QString(), QStringLiteral("if (x) ")},
                                      std::pair{QStringLiteral("= "), QStringLiteral("[1, 'ab")}}) {
        const auto [small, smallNext] = stepsWhileTyping(2'000, after, keys);
        const auto [large, largeNext] = stepsWhileTyping(40'000, after, keys);
        EXPECT_LE(large, small + 8) << keys.toStdString() << ", small text: " << small;
        EXPECT_LE(largeNext, smallNext + 8) << keys.toStdString() << ", small text: " << smallNext;
    }
    // A statement longer than the lines around an edit are: the call is left open at its start.
    QString list = QStringLiteral("let list = [");
    for (int i = 0; i < 500; ++i) list += QStringLiteral("%1, ").arg(i);
    list += QStringLiteral("];\n");
    const auto [small, smallNext] = stepsWhileTyping(2'000, QStringLiteral("= ["), QStringLiteral("foo("), list);
    const auto [large, largeNext] = stepsWhileTyping(40'000, QStringLiteral("= ["), QStringLiteral("foo("), list);
    EXPECT_LE(large, small + 8) << "long statement, small text: " << small;
    EXPECT_LE(largeNext, smallNext + 8) << "long statement, small text: " << smallNext;
}

// Calls left open inside a function: past two of them the whole text's parse runs the error on to
// its end, and a statement longer than any quick parse takes whole. The typed lines are coloured by
// a guess from the text around them until the whole reparse lands.
TEST(ParseWorker, ColoursOfAnErrorRunningToTheEndCostNoMoreParsingInALongerText) {
    const QString after = QStringLiteral("console.log(`total ${total}`, ");
    const auto [small, smallNext] = stepsWhileTypingAfter(generated_code::helperFunctions(100'000), after, QStringLiteral("foo(a, foo(b, "));
    const auto [large, largeNext] = stepsWhileTypingAfter(generated_code::helperFunctions(1'000'000), after, QStringLiteral("foo(a, foo(b, "));
    EXPECT_LE(large, small + 8) << "small text: " << small;
    EXPECT_LE(largeNext, smallNext + 8) << "small text: " << smallNext;

    // Typed at the same place in the statement in either text.
    QString list = QStringLiteral("let list = [");
    for (int i = 0; list.size() < 100'000; ++i)
        list += i == 8000 ? QStringLiteral("mark, ") : (i % 8 ? QStringLiteral("%1, ") : QStringLiteral("%1,\n")).arg(i);
    list += QStringLiteral("];\n");
    const auto withList = [&](int lines) {
        QString text = statements(lines);
        return text.insert(text.indexOf(u'\n', text.size() / 2) + 1, list);
    };
    const auto typedInList = [&](int lines) {
        const QString text = withList(lines);
        return stepsWhileTyping(text, text.indexOf(QStringLiteral("mark, ")) + 6, QStringLiteral("x"));
    };
    const auto [longSmall, longSmallNext] = typedInList(2'000);
    const auto [longLarge, longLargeNext] = typedInList(40'000);
    EXPECT_LE(longLarge, longSmall + 8) << "long statement, small text: " << longSmall;
    EXPECT_LE(longLargeNext, longSmallNext + 8) << "long statement, small text: " << longSmallNext;
}

TEST(ParseWorker, TheQuickParseOfTheEditedStatementsColoursTheirLinesLikeTheWholeOne) {
    TreeSitterHighlighter* const highlighter = javascript();
    ASSERT_NE(highlighter, nullptr);
    QString original;
    for (int i = 0; i < 3'000; ++i) original += QStringLiteral("function f%1(a) {\n  return 'q' + a * %1; // n\n}\n").arg(i);
    QString text = original;
    const std::unique_ptr<ParseWorker> parsed = parsing(text);
    ParseWorker& worker = *parsed;
    quint64 revision = 1;

    // What the worker hands out for the lines in view around the edit and for the far end of the
    // text, as it tells of each parse (on its thread, before it goes on to the next).
    std::mutex mutex;
    TextRange near, far;
    // A parse of the revision before may still be told of after the edit is handed over: those
    // tellings are left out, as they say nothing of the edit.
    std::atomic<quint64> current{0};
    std::vector<std::pair<ParseWorker::Result, ParseWorker::Result>> seen;
    QObject::connect(
        &worker, &ParseWorker::parsed, &worker,
        [&](quint64 told) {
            const std::lock_guard lock(mutex);
            if (told < current.load()) return;
            seen.emplace_back(worker.shownFor(near), worker.latestFor(far));
        },
        Qt::DirectConnection);

    // Half of them leave the text wrong until more is typed.
    const QStringList pieces = {"x", "\n", "{", "}", "'", "/*", "`", "let y = 1;\n", "é", "(", ")", "foo(a, ", "[",
                                "]", "if (a) ", "\"", " + ", "*/", "=> ", "class "};
    std::mt19937 random(11);
    int quick = 0;
    int guesses = 0;
    const auto fresh = HighlighterFactory::treeSitter(CodeLanguage::javascript);
    // Replaces `removed` units at `at` by `inserted`, then holds what the worker hands out against
    // a fresh parse.
    const auto apply = [&](int round, qsizetype at, qsizetype removed, const QString& inserted) {
        // The lines in view: a dozen before the edit's and twenty after.
        qsizetype shownStart = text.lastIndexOf(u'\n', at - 1) + 1;
        for (int i = 0; i < 12 && shownStart > 0; ++i) shownStart = text.lastIndexOf(u'\n', shownStart - 2) + 1;
        qsizetype shownEnd = at + removed;
        for (int i = 0; i < 20 && shownEnd < text.size(); ++i) shownEnd = text.indexOf(u'\n', shownEnd) + 1;
        const TextRange shown{shownStart, shownEnd - shownStart};
        {
            const std::lock_guard lock(mutex);
            seen.clear();
            current = revision + 1;
            near = {shownStart, shown.length + inserted.size() - removed};
            far = {text.size() - 10, 10};
        }
        worker.edit(highlight_test::replace(text, at, removed, inserted), inserted, ++revision, shown);
        ASSERT_TRUE(waitFor(worker, revision).valid);
        // The worker's latest result can be read before its thread has told of it: wait for the
        // telling of the whole reparse, the only one that reaches the far end.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                const std::lock_guard lock(mutex);
                return !seen.empty() && seen.back().second.revision == revision;
            },
            60000));
        const std::lock_guard lock(mutex);
        ASSERT_FALSE(seen.empty());
        // The whole reparse comes last and puts right any guess before it.
        EXPECT_FALSE(seen.back().first.guess);
        for (const auto& [forNear, forFar] : seen) {
            ASSERT_EQ(forNear.revision, revision);
            ASSERT_NE(forNear.tree, nullptr);
            if (forNear.guess) {
                ++guesses;
                continue;
            }
            // Told of no edit, the fresh highlighter parses the text from scratch.
            EXPECT_EQ(highlighter->spans(*forNear.tree, text, near), fresh->ranges(text, near))
                << "round " << round << " inserting " << inserted.toStdString() << " removing " << removed;
            // The far end waits for the whole text.
            EXPECT_TRUE(forFar.revision < revision || forFar.covered == (TextRange{0, text.size()}));
            if (forNear.covered.length < text.size()) ++quick;
        }
    };
    for (int round = 0; round < 60; ++round) {
        const qsizetype at = text.size() / 4 + qsizetype(random() % (text.size() / 2));
        const QString inserted = pieces[int(random() % pieces.size())];
        apply(round, at, 0, inserted);
        // Every other piece is taken out again, so that not every text is wrong in many places.
        if (round % 2) apply(round, at, inserted.size(), {});
    }
    EXPECT_GE(quick, 30);
    EXPECT_GE(guesses, 1);

    // The same within a statement longer than any quick parse takes whole, in the text as it was
    // (what is left open above would hold the lines in a comment or a string): the edited lines
    // are guessed at, then put right.
    QString wrapped = QStringLiteral("(function () {\n");
    for (int i = 0; wrapped.size() < 80'000; ++i) wrapped += QStringLiteral("  function g%1(a) { return [a, 'q']; }\n").arg(i);
    wrapped += QStringLiteral("})();\n");
    text = original;
    worker.reset(text, ++revision);
    ASSERT_TRUE(waitFor(worker, revision).valid);
    const qsizetype wrappedAt = text.indexOf(u'\n', text.size() / 2) + 1;
    apply(60, wrappedAt, 0, wrapped);
    const int guessedBefore = guesses;
    for (int round = 61; round < 81; ++round) {
        const qsizetype at = wrappedAt + 20 + qsizetype(random() % (wrapped.size() - 40));
        const QString inserted = pieces[int(random() % pieces.size())];
        apply(round, at, 0, inserted);
        if (round % 2) apply(round, at, inserted.size(), {});
    }
    EXPECT_GE(guesses, guessedBefore + 10);
}

// A comment opened in the lines in view may close far past them, or one left open far before them
// may close in view: their colours hang on text no quick parse of the lines around reads.
TEST(ParseWorker, ACommentClosedFarFromWhereItOpensWaitsForTheWholeText) {
    TreeSitterHighlighter* const highlighter = javascript();
    ASSERT_NE(highlighter, nullptr);
    for (const auto& [far, typed] : {std::pair{QStringLiteral("/* far */"), QStringLiteral("/*")},
                                     std::pair{QStringLiteral("/* far"), QStringLiteral("*/")}}) {
        QString text = statements(4'000);
        // Well over a thousand lines after the middle, or before it.
        const qsizetype farAt = text.indexOf(u'\n', typed == QStringLiteral("/*") ? text.size() * 15 / 16 : text.size() / 16) + 1;
        text.insert(farAt, far + u'\n');
        const qsizetype at = text.indexOf(u'\n', text.size() / 2) + 1;
        // Before the worker, so they outlive the thread that tells of its results.
        std::mutex mutex;
        std::vector<ParseWorker::Result> seen;
        const std::unique_ptr<ParseWorker> parsed = parsing(text);
        ParseWorker& worker = *parsed;
        const TextRange shown{at, 200};
        QObject::connect(
            &worker, &ParseWorker::parsed, &worker,
            [&](quint64) {
                const std::lock_guard lock(mutex);
                seen.push_back(worker.shownFor(shown));
            },
            Qt::DirectConnection);
        worker.edit(highlight_test::replace(text, at, 0, typed), typed, 2, shown);
        // A guess may be the first result told; what is checked is what follows it.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                const std::lock_guard lock(mutex);
                return std::any_of(seen.begin(), seen.end(), [](const ParseWorker::Result& r) { return r.revision == 2 && !r.guess; });
            },
            60000));
        const std::lock_guard lock(mutex);
        const auto fresh = HighlighterFactory::treeSitter(CodeLanguage::javascript);
        // A guess at them may come first; the whole reparse puts it right.
        ASSERT_FALSE(seen.empty());
        EXPECT_FALSE(seen.back().guess);
        for (const ParseWorker::Result& result : seen) {
            ASSERT_EQ(result.revision, 2u);
            ASSERT_NE(result.tree, nullptr);
            if (result.guess) continue;
            EXPECT_EQ(highlighter->spans(*result.tree, text, shown), fresh->ranges(text, shown))
                << typed.toStdString() << (result.covered.length < text.size() ? ", quick" : "");
        }
    }
}

TEST(ParseWorker, TheWholeTreeLagsNonStopTypingByAFewKeystrokesAtMost) {
    TreeSitterHighlighter* const highlighter = javascript();
    ASSERT_NE(highlighter, nullptr);
    QString text = statements(20'000);
    const std::unique_ptr<ParseWorker> parsed = parsing(text);
    ParseWorker& worker = *parsed;
    // Every keystroke comes as soon as the one before is coloured, always before the whole reparse
    // for it is through.
    const qsizetype at = text.indexOf(u'\n', text.size() / 2) + 1 + 5;
    constexpr quint64 keystrokes = 40;
    quint64 typed = 0;
    // Filled on the worker's thread, read here once the last whole tree is in.
    std::mutex guard;
    std::vector<quint64> wholeRevisions;
    std::atomic<bool> lastWholeIn = false;
    const auto type = [&] {
        ++typed;
        worker.edit(highlight_test::replace(text, at + qsizetype(typed), 0, QStringLiteral("x")), QStringLiteral("x"),
                    typed + 1);  // revision 1 is the text as it was
    };
    QObject::connect(
        &worker, &ParseWorker::parsed, &worker,
        [&](quint64 revision) {
            // A whole tree, of a text a keystroke or so shorter than the one typed by now.
            if (worker.latestFor({at, 1}).covered.length > text.size() / 2) {
                const std::lock_guard lock(guard);
                wholeRevisions.push_back(revision);
                if (revision == keystrokes + 1) lastWholeIn = true;
            } else if (revision == typed + 1 && typed < keystrokes) type();
        },
        Qt::DirectConnection);
    type();
    ASSERT_TRUE(waitFor(worker, keystrokes + 1).valid);
    // The worker publishes a tree before it says so; what it says is awaited, not only the tree.
    ASSERT_TRUE(QTest::qWaitFor([&] { return lastWholeIn.load(); }, 60000));
    const std::lock_guard lock(guard);
    EXPECT_EQ(typed, keystrokes);
    ASSERT_FALSE(wholeRevisions.empty());
    EXPECT_GE(wholeRevisions.size(), keystrokes / 10);
    EXPECT_EQ(wholeRevisions.back(), keystrokes + 1);
}

// Handed the text as it is, the worker colours the edited lines on the caller's thread before
// edit() returns, in a few steps however long the text, and where it does not call them a guess they
// are what a fresh parse makes of them: also after edits far apart that the whole reparse has not
// caught up with.
TEST(ParseWorker, TheCallersOwnQuickParseColoursTheEditAtOnceLikeTheWholeOne) {
    TreeSitterHighlighter* const highlighter = javascript();
    ASSERT_NE(highlighter, nullptr);
    const auto stepsHere = [](int lines) {
        QString text = statements(lines);
        ExactText now(text);
        const std::unique_ptr<ParseWorker> worker = parsing(text);
        const qsizetype at = text.indexOf(u'\n', text.size() / 2) + 5;
        const TextEdit edit = highlight_test::replace(text, at, 0, QStringLiteral("x"));
        now.replace({at, 0}, QStringLiteral("x"));
        worker->edit(edit, QStringLiteral("x"), 2, {}, &now);
        EXPECT_EQ(worker->shownFor({at, 1}).revision, 2u) << lines << " lines";
        return worker->stepsBeforeColours();
    };
    const qint64 small = stepsHere(2'000);
    const qint64 large = stepsHere(40'000);
    EXPECT_GT(small, 0);
    EXPECT_LE(large, small + 8);

    QString text;
    for (int i = 0; i < 3'000; ++i) text += QStringLiteral("function f%1(a) {\n  return 'q' + a * %1; // n\n}\n").arg(i);
    ExactText now(text);
    const std::unique_ptr<ParseWorker> parsed = parsing(text);
    ParseWorker& worker = *parsed;
    const QStringList pieces = {"x", "\n", "{", "}", "'", "/*", "`", "let y = 1;\n", "é", "(", ")", "foo(a, ", "[",
                                "]", "if (a) ", "\"", " + ", "*/", "=> ", "class ", "𝄞"};
    const auto fresh = HighlighterFactory::treeSitter(CodeLanguage::javascript);
    std::mt19937 random(23);
    quint64 revision = 1;
    int exact = 0, guesses = 0;
    // Edits made on the newest whole tree, which the caller's quick parse must colour exactly.
    // Those made while the thread still parses the ones before depend on how far it has got: a
    // busy machine leaves more edits for the quick parse to take in at once.
    bool onWhole = true;
    int exactOnWhole = 0;
    // Replaces `removed` units at `at` by `inserted`, then holds what is out at once against a fresh parse.
    const auto apply = [&](int round, qsizetype at, qsizetype removed, const QString& inserted) {
        const bool counted = std::exchange(onWhole, false);
        const TextEdit edit = highlight_test::replace(text, at, removed, inserted);
        now.replace({at, removed}, inserted);
        const qsizetype lineStart = text.lastIndexOf(u'\n', at - 1) + 1;
        const TextRange near{lineStart, text.indexOf(u'\n', at + inserted.size()) - lineStart};
        worker.edit(edit, inserted, ++revision, near, &now);
        const ParseWorker::Result shown = worker.shownFor(near);
        if (shown.revision != revision) return;
        ASSERT_NE(shown.tree, nullptr);
        if (shown.guess) {
            ++guesses;
            return;
        }
        ++exact;
        exactOnWhole += counted;
        EXPECT_EQ(highlighter->spans(*shown.tree, text, near), fresh->ranges(text, near))
            << "round " << round << " inserting " << inserted.toStdString() << " removing " << removed;
    };
    for (int round = 0; round < 90; ++round) {
        const qsizetype at = text.size() / 4 + qsizetype(random() % (text.size() / 2));
        if (text[at].isLowSurrogate()) continue;
        const QString inserted = pieces[int(random() % pieces.size())];
        apply(round, at, 0, inserted);
        // Every other piece is taken out again, so that not every text is wrong in many places.
        if (round % 2) apply(round, at, inserted.size(), {});
        // Two rounds of three come, most often, before the whole reparse of the one before is in.
        if (round % 3 == 2) {
            ASSERT_TRUE(waitFor(worker, revision).valid);
            onWhole = true;
        }
    }
    EXPECT_GE(exactOnWhole, 5);
    EXPECT_GE(guesses, 1);
    const ParseWorker::Result whole = waitFor(worker, revision);
    ASSERT_NE(whole.tree, nullptr);
    EXPECT_EQ(highlighter->spans(*whole.tree, text, {0, text.size()}), fresh->ranges(text, {0, text.size()}));
}

// A comment opened far above, in an edit whose whole reparse gave way to a key typed further down:
// the quick parse of that key alone cannot tell its line now lies in the comment.
TEST(ParseWorker, AnEditWhoseWholeReparseGaveWayStillCountsForTheQuickParseOfTheNext) {
    TreeSitterHighlighter* const highlighter = javascript();
    ASSERT_NE(highlighter, nullptr);
    QString text = statements(8'000);
    // Where the comment will close, long after the key's line.
    text.insert(text.indexOf(u'\n', text.size() * 7 / 8) + 1, QStringLiteral("*/\n"));
    const std::unique_ptr<ParseWorker> parsed = parsing(text);
    ParseWorker& worker = *parsed;
    const qsizetype opened = text.indexOf(u'\n', text.size() / 8) + 1;
    const qsizetype typed = text.indexOf(u'\n', text.size() / 2) + 5;
    const TextRange near{typed - 4, 20};
    std::mutex mutex;
    std::vector<ParseWorker::Result> seen;
    bool second = false;
    QObject::connect(
        &worker, &ParseWorker::parsed, &worker,
        [&](quint64 revision) {
            const std::lock_guard lock(mutex);
            // The next key comes as soon as the first is coloured, while its whole reparse runs.
            if (revision == 2 && !second) {
                second = true;
                worker.edit(highlight_test::replace(text, typed, 0, QStringLiteral("x")), QStringLiteral("x"), 3);
            }
            if (revision == 3) seen.push_back(worker.shownFor(near));
        },
        Qt::DirectConnection);
    {
        const std::lock_guard lock(mutex);
        worker.edit(highlight_test::replace(text, opened, 0, QStringLiteral("/*")), QStringLiteral("/*"), 2);
    }
    ASSERT_TRUE(waitFor(worker, 3).valid);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const std::lock_guard lock(mutex);
            return !seen.empty() && seen.back().covered.length == text.size();
        },
        60000));
    const auto fresh = HighlighterFactory::treeSitter(CodeLanguage::javascript);
    const std::lock_guard lock(mutex);
    for (const ParseWorker::Result& result : seen) {
        if (result.revision != 3 || result.guess || !result.tree) continue;
        EXPECT_EQ(highlighter->spans(*result.tree, text, near), fresh->ranges(text, near))
            << (result.covered.length < text.size() ? "quick" : "whole");
    }
}

namespace {
// Frees of the parse library made on a thread while it counts them.
thread_local bool countingFrees = false;
std::atomic<int> freesCounted{0};
void countingFree(void* p) {
    if (countingFrees) ++freesCounted;
    std::free(p);
}
} // namespace

// The caller's own tree goes to the parse thread to be freed: freeing the last share of a whole
// tree walks all of it, which the caller's thread is not to wait for.
TEST(ParseWorker, TheCallersTreeIsFreedOnTheParseThread) {
    const std::unique_ptr<ParseWorker> parsed = parsing(statements(5'000));
    ParseWorker& worker = *parsed;
    QString text = statements(5'000);
    for (quint64 revision = 2; revision <= 3; ++revision) {
        ExactText now(text);
        const qsizetype at = text.indexOf(u'\n', text.size() / 2) + 5;
        const TextEdit edit = highlight_test::replace(text, at, 0, QStringLiteral("x"));
        now.replace({at, 0}, QStringLiteral("x"));
        worker.edit(edit, QStringLiteral("x"), revision, {at - 5, 10}, &now);
        ASSERT_EQ(worker.shownFor({at, 1}).revision, revision);
        ASSERT_TRUE(waitFor(worker, revision).valid);  // the next key takes this whole tree
    }
    ts_set_allocator(nullptr, nullptr, nullptr, countingFree);
    countingFrees = true;
    worker.reset(statements(10), 4);
    countingFrees = false;
    ts_set_allocator(nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(freesCounted.load(), 0);
    EXPECT_TRUE(waitFor(worker, 4).valid);
}

namespace {

// The units the caller's own quick parse takes in past the lines in view for a key typed in the
// middle of the longest top-level statement of real-shaped code, with the forty lines around it in
// view: the same code leads a text of `units`, of which only the first `within` are searched for
// that statement.
qsizetype unitsParsedHereInTheLongestStatement(qsizetype units, qsizetype within) {
    QString text = generated_code::realShapedJavaScript(units);
    ExactText now(text);
    const std::unique_ptr<ParseWorker> worker = parsing(text);
    const ParseWorker::Result whole = worker->latest();
    EXPECT_NE(whole.tree, nullptr);
    if (!whole.tree) return -1;
    const TSNode root = ts_tree_root_node(whole.tree->tree()->tsTree());
    TSNode longest{};
    for (uint32_t i = 0; i < ts_node_child_count(root); ++i) {
        const TSNode child = ts_node_child(root, i);
        if (ts_node_end_byte(child) / 2 > uint32_t(within)) break;
        if (ts_node_is_null(longest) ||
            ts_node_end_byte(child) - ts_node_start_byte(child) > ts_node_end_byte(longest) - ts_node_start_byte(longest))
            longest = child;
    }
    EXPECT_FALSE(ts_node_is_null(longest));
    const qsizetype middle = (ts_node_start_byte(longest) + ts_node_end_byte(longest)) / 4;
    const qsizetype at = text.indexOf(u'\n', middle) + 1;
    qsizetype from = at, to = at;
    for (int i = 0; i < 20 && from > 0; ++i) from = text.lastIndexOf(u'\n', from - 2) + 1;
    for (int i = 0; i < 20 && to >= 0 && to < text.size(); ++i) to = text.indexOf(u'\n', to + 1);
    const TextRange shown{from, to - from};
    const TextEdit edit = highlight_test::replace(text, at, 0, QStringLiteral("x"));
    now.replace({at, 0}, QStringLiteral("x"));
    worker->edit(edit, QStringLiteral("x"), 2, shown, &now);
    EXPECT_EQ(worker->shownFor(shown).revision, 2u) << "the key was not coloured before edit() returned";
    return worker->unitsParsedHere() - shown.length;
}

} // namespace

// A key typed inside a long statement costs the caller's thread a parse of about the lines in view
// and around the key, as in a short text: the rest of the statement is the thread's to parse.
TEST(ParseWorker, TheCallersOwnQuickParseTakesInAsMuchOfALongerTextAndNoMoreThanAFewScreens) {
    constexpr qsizetype kWithin = 200'000;
    const qsizetype small = unitsParsedHereInTheLongestStatement(256 * 1024, kWithin);
    const qsizetype large = unitsParsedHereInTheLongestStatement(2 * 1024 * 1024, kWithin);
    EXPECT_GT(small, 0);
    EXPECT_EQ(large, small);
    EXPECT_LE(small, ParseWorker::kUnitsHere);

    // Before any tree of the text there is nothing to parse the key from: none here.
    QString text = statements(100);
    ExactText now(text);
    ParseWorker unparsed(javascript()->language());
    const TextEdit edit = highlight_test::replace(text, 5, 0, QStringLiteral("x"));
    now.replace({5, 0}, QStringLiteral("x"));
    unparsed.edit(edit, QStringLiteral("x"), 2, {0, 40}, &now);
    EXPECT_EQ(unparsed.unitsParsedHere(), 0);
}
