// A Replace All whose matches go into the display one by one: what the display then holds, and
// what its undo gives back.
#include <gtest/gtest.h>

#include <QTextBlock>

#include "Editor/ExactText.h"
#include "EditorFixture.h"
#include "Platform/Lines.h"

namespace {

// With the selection given, once the query has chosen its first match.
void replaceAllOf(EditorFixture& f, const QString& query, const QString& replacement, TextRange selected = {}) {
    f.view->setShowFind(true);
    f.find.setCaseSensitive(true);
    f.find.setReplacement(replacement);
    f.find.setQuery(query);
    f.settle();
    f.select(selected.location, selected.length);
    f.find.engine()->replaceAll();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !f.editor().isBusy(); }, 120000));
    f.settle();
}

bool displayHolds(const EditorFixture& f, const QString& text) {
    return f.view->document()->toRawText() == ExactText::display(text);
}

TEST(ReplaceAllParts, AnUndoPutsBackTheSelectionOfBeforeTheReplacement) {
    const QString text = QStringLiteral("alpha kilo beta\n").repeated(50);
    EditorFixture f(text, QStringLiteral("words.txt"));
    replaceAllOf(f, QStringLiteral("kilo"), QStringLiteral("kilogram"), {22, 4});  // the second line's "kilo"
    ASSERT_TRUE(f.text() == QString(text).replace(QStringLiteral("kilo"), QStringLiteral("kilogram")));
    f.editor().undo();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !f.editor().isBusy(); }, 120000));
    EXPECT_TRUE(f.text() == text);
    EXPECT_EQ(f.selection().location, 22);
    EXPECT_EQ(f.selection().length, 4);
}

// Taking out what lies between a CR and an LF joins them into one line break: the display, which
// shows a lone CR and a lone LF as two, must lose a line there as the text does.
TEST(ReplaceAllParts, TakingOutWhatLiesBetweenACarriageReturnAndALineFeedJoinsTheirLines) {
    const QString text = QStringLiteral("one\rX\ntwo X three\n").repeated(40);
    const QString replaced = QString(text).replace(QStringLiteral("X"), QString());
    EditorFixture f(text, QStringLiteral("words.txt"));
    replaceAllOf(f, QStringLiteral("X"), QString());
    ASSERT_TRUE(f.text() == replaced);
    EXPECT_TRUE(displayHolds(f, replaced));
    EXPECT_EQ(f.view->document()->blockCount(), 81);
}

// Runs of empty lines are shown joined, a few lines to a block: a match that empties the line beside
// one, whichever of the run's last line ends lie in its reach, goes in as one change, and the display
// still shows every line.
TEST(ReplaceAllParts, EmptyingTheLineBesideARunOfEmptyLinesKeepsEveryLineShown) {
    for (int extra = 0; extra < 70; extra += 1) {
        const QString run = QString(640 + extra, u'\n');
        const QString text = QStringLiteral("x1\n") + run + QStringLiteral("a x2\n") + run + QStringLiteral("b x4");
        EditorFixture f(text, QStringLiteral("notes.txt"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return f.editor().isFullyShown(); }, 120000));
        EditorFixture::settle();
        f.view->setShowFind(true);
        f.find.setReplacement(QString());
        f.find.setUseRegex(true);
        f.find.setQuery(QStringLiteral("a x2|b x4"));
        f.editor().findSync();
        f.find.engine()->replaceAll();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !f.editor().isBusy(); }, 120000));
        QString display = f.view->document()->toRawText();
        display.replace(QChar(ExactText::kJoin), QChar(ExactText::kSeparator));
        ASSERT_TRUE(display == ExactText::display(f.text())) << extra;
        ASSERT_EQ(f.editor().lineCount(), Lines::breakCount(f.text()) + 1) << extra;
    }
}

} // namespace
