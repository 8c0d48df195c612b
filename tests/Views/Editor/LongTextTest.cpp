// A long text goes into the display a step at a time after its first lines are shown. Whatever the
// user does meanwhile, the display ends up exactly what showing the whole text at once gives.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QTextBlock>
#include <QTextDocument>

#include "EditorFixture.h"
#include "Editor/ExactText.h"

namespace {

QString longText() {
    QString text;
    // CR LF and lone CR endings too, so that steps may never split a line ending.
    for (int i = 0; i < 60000; ++i)
        text += QStringLiteral("line %1 of a long text%2").arg(i).arg(i % 7 == 0 ? u"\r\n" : i % 11 == 0 ? u"\r" : u"\n");
    return text;
}

void waitShown(EditorFixture& f) {
    (void)QTest::qWaitFor([&] { return f.editor().isFullyShown(); }, 120000);
    EditorFixture::settle();
}

// The display holds exactly the text's display form: one block per line.
void expectDisplayOf(EditorFixture& f, const QString& exact) {
    ASSERT_TRUE(f.editor().isFullyShown());
    EXPECT_TRUE(f.view->document()->toRawText() == ExactText::display(exact));
}

} // namespace

TEST(LongText, EditsWhileItIsShownLandWhereTyped) {
    const QString text = longText();
    EditorFixture f(text, QStringLiteral("notes.txt"), std::nullopt, false);
    ASSERT_FALSE(f.editor().isFullyShown());
    EXPECT_LT(f.view->document()->blockCount(), 60000);
    // Near the top: typed into what is shown, the rest still to come.
    f.select(text.indexOf(QStringLiteral("line 3 ")));
    f.type(QStringLiteral("abc"));
    f.enter();
    f.backspace();
    f.backspace();
    EXPECT_FALSE(f.editor().isFullyShown());
    QString expected = text;
    expected.insert(text.indexOf(QStringLiteral("line 3 ")), QStringLiteral("ab"));
    EXPECT_TRUE(f.text() == expected);
    waitShown(f);
    expectDisplayOf(f, expected);
    for (int i = 0; i < 4; ++i) f.undo();
    EXPECT_TRUE(f.text() == text);
    expectDisplayOf(f, text);
}

TEST(LongText, ReachingPastWhatIsShownShowsTheRest) {
    const QString text = longText();
    {
        // Select all and copy: all of the text.
        EditorFixture f(text, QStringLiteral("notes.txt"), std::nullopt, false);
        ASSERT_FALSE(f.editor().isFullyShown());
        f.key(Qt::Key_A, Qt::ControlModifier);
        EXPECT_EQ(f.selection(), (TextRange{0, text.size()}));
        f.key(Qt::Key_C, Qt::ControlModifier);
        EXPECT_TRUE(QApplication::clipboard()->text() == text);
        expectDisplayOf(f, text);
    }
    {
        // A line down from the last line shown: the caret on the next line, where it was put.
        EditorFixture f(text, QStringLiteral("notes.txt"), std::nullopt, false);
        ASSERT_FALSE(f.editor().isFullyShown());
        const QTextBlock end = f.view->document()->lastBlock();
        const qsizetype next = f.editor().toExact(end.position());
        f.select(f.editor().toExact(end.previous().position()) + 2);
        f.key(Qt::Key_Down);
        EXPECT_EQ(f.selection(), (TextRange{next, 0}));
        // Only the lines the caret needs came in at once, not all the rest.
        EXPECT_FALSE(f.editor().isFullyShown());
        // Selecting to the end with the keyboard reaches the text's end.
        f.key(Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(f.selection(), (TextRange{next, text.size() - next}));
    }
}

// The end key, going to a line and finding a match far past what is shown keep the window turning:
// the caret goes there once the display holds the place, and a move of the user's meanwhile wins.
TEST(LongText, ReachingFarPastWhatIsShownWaitsForThePlace) {
    const QString text = longText();
    {
        // The end key: the caret at the text's end once it is there, typing there.
        EditorFixture f(text, QStringLiteral("notes.txt"), std::nullopt, false);
        f.key(Qt::Key_End, Qt::ControlModifier);
        EXPECT_FALSE(f.editor().isFullyShown());
        EXPECT_EQ(f.selection(), (TextRange{0, 0}));
        waitShown(f);
        EXPECT_EQ(f.selection(), (TextRange{text.size(), 0}));
        EXPECT_TRUE(f.view->viewport()->rect().contains(f.view->cursorRect()));
        f.type(QStringLiteral("z"));
        EXPECT_TRUE(f.text() == text + u'z');
        expectDisplayOf(f, text + u'z');
    }
    {
        // Past 99,999 lines: the gutter takes the width the last line's number needs (CR LF counting
        // as one line ending) before the display holds that many lines, and keeps it; the caret
        // still gets to the end.
        QString many;
        for (int i = 0; i < 200000; ++i) many += QStringLiteral("line %1%2").arg(i % 10).arg(i % 3 ? u"\n" : u"\r\n");
        EditorFixture f(many, QStringLiteral("notes.txt"), std::nullopt, false);
        f.key(Qt::Key_End, Qt::ControlModifier);
        (void)QTest::qWaitFor([&] { return f.view->ruler()->width() > LineNumberRuler::kThickness; }, 60000);
        EXPECT_LT(f.view->document()->blockCount(), 100000);
        const int width = f.view->ruler()->width();
        waitShown(f);
        EXPECT_EQ(f.selection(), (TextRange{many.size(), 0}));
        EXPECT_EQ(f.view->document()->blockCount(), 200001);
        EXPECT_EQ(f.view->ruler()->width(), width);
    }
    {
        // A caret moved before the place arrives stays where the user put it.
        EditorFixture f(text, QStringLiteral("notes.txt"), std::nullopt, false);
        f.editor().goToLine(59001);
        f.key(Qt::Key_Right);
        waitShown(f);
        EXPECT_EQ(f.selection(), (TextRange{1, 0}));
    }
    {
        // So does one typed.
        EditorFixture f(text, QStringLiteral("notes.txt"), std::nullopt, false);
        f.key(Qt::Key_End, Qt::ControlModifier);
        f.type(QStringLiteral("a"));
        waitShown(f);
        EXPECT_EQ(f.selection(), (TextRange{1, 0}));
        EXPECT_TRUE(f.text() == u'a' + text);
    }
    {
        // Finding a late line.
        EditorFixture f(text, QStringLiteral("notes.txt"), std::nullopt, false);
        ASSERT_FALSE(f.editor().isFullyShown());
        f.find.setQuery(QStringLiteral("line 59998 "));
        f.view->setShowFind(true);
        EXPECT_FALSE(f.editor().isFullyShown());
        waitShown(f);
        EXPECT_EQ(f.selection(), (TextRange{text.indexOf(QStringLiteral("line 59998 ")), 11}));
        expectDisplayOf(f, text);
    }
    {
        // Going to a late line, and replacing there.
        EditorFixture f(text, QStringLiteral("notes.txt"), std::nullopt, false);
        ASSERT_FALSE(f.editor().isFullyShown());
        const qsizetype late = text.indexOf(QStringLiteral("line 59000 "));
        f.editor().goToLine(59001);
        EXPECT_FALSE(f.editor().isFullyShown());
        waitShown(f);
        EXPECT_EQ(f.selection(), (TextRange{late, 0}));
        f.editor().plainChange({late, 4}, QStringLiteral("LINE"));
        QString expected = text;
        expected.replace(late, 4, QStringLiteral("LINE"));
        EXPECT_TRUE(f.text() == expected);
        expectDisplayOf(f, expected);
        EXPECT_EQ(f.view->textCursor().block().text().left(10), QStringLiteral("LINE 59000"));
    }
}
