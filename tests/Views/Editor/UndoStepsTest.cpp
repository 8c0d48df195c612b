// Undo and redo keys in an editor that may not change its text: the steps stay where they were, so
// once the editor may change it again each step is taken back, or made again, exactly once.
#include <gtest/gtest.h>

#include <functional>

#include "Editor/FindEngine.h"
#include "EditorFixture.h"

TEST(UndoSteps, AReadOnlyEditorKeepsItsStepsForLater) {
    const QString text = QStringLiteral("kilo a kilo\n");
    const QString typed = QStringLiteral("kxyilo a kilo\n");
    const QString replaced = QStringLiteral("kilogram a kilogram\n");
    const std::function<void(EditorFixture&)> steps[] = {
        [](EditorFixture& f) {
            f.select(1);
            f.type(QStringLiteral("xy"));
        },
        [](EditorFixture& f) {  // a step of separate parts
            f.view->setShowFind(true);
            f.find.setCaseSensitive(true);
            f.find.setReplacement(QStringLiteral("kilogram"));
            f.find.setQuery(QStringLiteral("kilo"));
            f.settle();
            f.find.engine()->replaceAll();
            f.settle();
        },
    };
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const QString changed = i == 0 ? typed : replaced;
        EditorFixture f(text, QStringLiteral("notes.txt"));
        steps[i](f);
        ASSERT_EQ(f.text(), changed);
        f.view->setReadOnly(true);
        f.undo();
        EXPECT_EQ(f.text(), changed);
        EXPECT_TRUE(f.editor().canUndo());
        EXPECT_FALSE(f.editor().canRedo());
        f.view->setReadOnly(false);
        f.redo();  // nothing was undone, so nothing is made twice
        EXPECT_EQ(f.text(), changed);
        f.undo();
        EXPECT_EQ(f.text(), text);
        f.view->setReadOnly(true);
        f.redo();
        EXPECT_EQ(f.text(), text);
        EXPECT_TRUE(f.editor().canRedo());
        f.view->setReadOnly(false);
        f.redo();
        EXPECT_EQ(f.text(), changed);
        f.undo();
        EXPECT_EQ(f.text(), text);
        EXPECT_FALSE(f.editor().canUndo());
    }
}
