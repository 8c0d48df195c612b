// The colours of the lines in view after a key in a text with a grammar: worked out once per key,
// for as many lines as are in view, however long the text.
#include <gtest/gtest.h>

#include <QDeadlineTimer>

#include "EditorFixture.h"
#include "Editor/ParseWorker.h"
#include "Editor/TokenRole.h"

namespace {

// Calls then(fixture, at) on an editor of `statements` top-level statements, the caret in the middle
// one at `at`, in view, and its colours settled.
template <class F>
auto inTheMiddleStatement(int statements, F&& then) {
    QString text;
    for (int i = 0; i < statements; ++i) text += QStringLiteral("let v%1 = [%1, 'w'];\n").arg(i);
    EditorFixture f(text, QStringLiteral("main.js"));
    const qsizetype at = text.indexOf(QStringLiteral("= "), text.indexOf(u'\n', text.size() / 2)) + 2;
    f.select(at);
    f.view->ensureCursorVisible();
    f.settleColours();
    return then(f, at);
}

// Lines coloured for one key that leaves the statement wrong (a call before its closing
// parenthesis) in the middle of `statements` top-level statements, until the whole text is parsed
// again and the editor has heard of it; and the lines in view.
std::pair<qint64, qint64> linesColouredForAKey(int statements) {
    return inTheMiddleStatement(statements, [](EditorFixture& f, qsizetype at) -> std::pair<qint64, qint64> {
        const qint64 before = f.editor().linesColoured();
        f.editor().plainChange({at, 0}, QStringLiteral("foo("));
        const ParseWorker* worker = f.editor().parseWorker();
        EXPECT_NE(worker, nullptr);
        if (!worker) return {};
        // The whole tree of the edited text is out (the quick one, when there is one, came first).
        (void)QTest::qWaitFor(
            [&] {
                const ParseWorker::Result whole = worker->latest();
                return f.editor().coloursSettled() && whole.valid &&
                       whole.revision == worker->latestFor(f.editor().visibleRange()).revision;
            },
            120000);
        f.settleColours();
        return {f.editor().linesColoured() - before, f.view->visibleLines().size()};
    });
}

} // namespace

TEST(ColoursPerKey, AKeyColoursTheLinesInViewOnceInAnyLength) {
    const auto [small, shownSmall] = linesColouredForAKey(100);
    const auto [large, shownLarge] = linesColouredForAKey(20'000);
    EXPECT_GT(small, 0);
    EXPECT_LE(small, shownSmall);
    EXPECT_LE(large, shownLarge) << "small text: " << small;
}

// The parse of a text in another language is of the revision already coloured: it colours the lines
// in view all the same.
TEST(ColoursPerKey, AnotherLanguageColoursTheLinesInViewAnew) {
    EditorFixture f(QStringLiteral("def f(x):\n    return x\n"), QStringLiteral("main.js"));
    const auto keywordAtStart = [&] {
        for (const QTextLayout::FormatRange& range : f.view->document()->firstBlock().layout()->formats())
            if (range.start == 0 && range.length == 3 &&
                range.format.foreground().color() == SyntaxPalette::color(TokenRole::keyword))
                return true;
        return false;
    };
    EXPECT_FALSE(keywordAtStart());
    f.document.setLanguage(CodeLanguage::python);
    f.settleColours();
    EXPECT_TRUE(QTest::qWaitFor(keywordAtStart, 60000));
}

namespace {

// Turns of the event loop from a key typed in the middle of `statements` top-level statements until
// the lines in view have colours of the new text, and whether the typed line's colours then were
// already the ones it keeps once the whole text is parsed again.
std::pair<int, bool> turnsUntilTheKeyIsColoured(int statements) {
    return inTheMiddleStatement(statements, [](EditorFixture& f, qsizetype at) {
        f.editor().plainChange({at, 0}, QStringLiteral("x"));
        int turns = 0;
        QDeadlineTimer deadline(120000);
        for (; !f.editor().coloursShown() && !deadline.hasExpired(); ++turns)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        const QTextBlock line = f.view->document()->findBlock(int(f.editor().toDisplay(at)));
        const QList<QTextLayout::FormatRange> shown = line.layout()->formats();
        f.settleColours();
        return std::pair{turns, !shown.isEmpty() && shown == line.layout()->formats()};
    });
}

} // namespace

// The lines a key edits are coloured in the turn that takes the key: under load every trip to the
// parse's thread and back waits for a slice of a core.
TEST(ColoursPerKey, AKeyIsColouredBeforeTheEventLoopTurnsInAnyLength) {
    const auto [smallTurns, smallKept] = turnsUntilTheKeyIsColoured(100);
    const auto [largeTurns, largeKept] = turnsUntilTheKeyIsColoured(20'000);
    EXPECT_EQ(smallTurns, 0);
    EXPECT_EQ(largeTurns, 0);
    EXPECT_TRUE(smallKept);
    EXPECT_TRUE(largeKept);
}

namespace {

// How far past a key typed in the middle of `statements` top-level statements the text lies in one
// piece once the key's colours are final: its storage keeps a gap at the last edit, and gathering
// all that follows into one piece moves half the text, at every key.
qsizetype gatheredPastTheKey(int statements) {
    return inTheMiddleStatement(statements, [](EditorFixture& f, qsizetype at) {
        f.type(QStringLiteral("x"));
        (void)QTest::qWaitFor([&] { return f.editor().coloursShown(); }, 60000);
        f.settleColours();
        return f.editor().text().wholeUpTo() - at;
    });
}

} // namespace

// Colouring the lines in view reads the text where it lies, up to their end; the fold scan reads
// at most its budget past the key.
TEST(ColoursPerKey, AKeyAndItsColoursGatherNoMoreOfALongerText) {
    constexpr qsizetype kMost = 128 * 1024;
    EXPECT_LE(gatheredPastTheKey(2'000), kMost);
    EXPECT_LE(gatheredPastTheKey(40'000), kMost);
}
