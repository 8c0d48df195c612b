// Undoing back to the text last saved shows the document clean again, and redoing dirty; a save
// moves that point. Typing a character and deleting it again is not an undo: it stays dirty.
// Telling the saved point reads none of the text, however long.
#include <gtest/gtest.h>

#include "EditorFixture.h"
#include "Platform/TextEquivalence.h"
#include "TestSupport.h"

TEST(EditorDirtyMark, UndoingToTheSavedTextIsCleanAndRedoingIsDirty) {
    testing_support::TempFolder folder;
    const QString path = folder.write("a.txt", "one two one\n");
    EditorFixture f(QStringLiteral("one two one\n"), QStringLiteral("a.txt"), path);

    f.key(Qt::Key_End, Qt::ControlModifier);
    f.type(QStringLiteral("abc def"));
    ASSERT_TRUE(f.document.isDirty());
    f.undo();
    f.undo();
    EXPECT_FALSE(f.document.isDirty()) << "back at the text as opened";
    f.redo();
    EXPECT_TRUE(f.document.isDirty());
    f.undo();
    EXPECT_FALSE(f.document.isDirty());

    // Typed and deleted again is a change of its own, not a way back.
    f.type(QStringLiteral("x"));
    f.backspace();
    EXPECT_TRUE(f.document.isDirty());
    f.undo();
    f.undo();
    EXPECT_FALSE(f.document.isDirty());

    // A save moves the clean point: before it is dirty now, after it clean.
    f.type(QStringLiteral("x"));
    ASSERT_TRUE(f.document.save());
    f.type(QStringLiteral("y"));
    EXPECT_TRUE(f.document.isDirty());
    f.undo();
    EXPECT_FALSE(f.document.isDirty()) << "the text just saved";
    EXPECT_EQ(f.text(), QStringLiteral("one two one\nx"));
    f.undo();
    EXPECT_TRUE(f.document.isDirty()) << "the text before the save is not what the file holds";
    f.redo();
    EXPECT_FALSE(f.document.isDirty());

    // Replace All and its undo.
    f.view->setShowFind(true);
    f.find.setQuery(QStringLiteral("one"));
    f.find.setReplacement(QStringLiteral("1"));
    f.settle();
    f.find.engine()->replaceAll();
    EXPECT_EQ(f.text(), QStringLiteral("1 two 1\nx"));
    EXPECT_TRUE(f.document.isDirty());
    f.undo();
    EXPECT_FALSE(f.document.isDirty());
    f.redo();
    EXPECT_TRUE(f.document.isDirty());
}

TEST(EditorDirtyMark, FindingTheSavedPointReadsNoneOfTheText) {
    // Keys spread over the whole text, then undone one by one: each undo reads no more of a long
    // text than of a short one.
    const auto unitsReadByUndos = [](qsizetype lines) {
        QString text;
        for (qsizetype i = 0; i < lines; ++i) text += QStringLiteral("line %1\n").arg(i);
        EditorFixture f(text, QStringLiteral("a.txt"));
        f.editor().showAll();
        f.select(0);
        f.type(QStringLiteral("a"));
        f.select(f.text().size());
        f.type(QStringLiteral("b"));
        const quint64 before = TextEquivalence::unitsRead();
        f.undo();
        f.undo();
        EXPECT_FALSE(f.document.isDirty());
        EXPECT_EQ(f.text(), text);
        return TextEquivalence::unitsRead() - before;
    };
    const quint64 small = unitsReadByUndos(100);
    EXPECT_EQ(unitsReadByUndos(100000), small);
}
