// The command relay reaches the editor registered last and never a destroyed one.
#include <gtest/gtest.h>

#include <memory>

#include "Editor/EditorController.h"

namespace {

class RecordingEditor : public QObject, public EditorActions {
public:
    int toggles = 0;
    QList<int> lines;
    void toggleComment() override { ++toggles; }
    void goToLine(int line) override { lines << line; }
};

} // namespace

TEST(EditorController, ReachesTheEditorRegisteredLast) {
    EditorController controller;
    RecordingEditor first, second;
    controller.setActions(&first);
    controller.toggleComment();
    controller.setActions(&second);  // another tab's editor was built
    controller.toggleComment();
    controller.goToLine(12);
    EXPECT_EQ(first.toggles, 1);
    EXPECT_EQ(second.toggles, 1);
    EXPECT_EQ(second.lines, QList<int>{12});
    controller.clearActions();
    controller.toggleComment();
    EXPECT_EQ(second.toggles, 1);
}

TEST(EditorController, ADestroyedEditorIsNeverCalled) {
    EditorController controller;
    auto editor = std::make_unique<RecordingEditor>();
    controller.setActions(editor.get());
    ASSERT_EQ(controller.actions(), editor.get());
    editor.reset();
    EXPECT_EQ(controller.actions(), nullptr);
    controller.toggleComment();  // would be a use-after-free under the sanitizer if it were called
    controller.goToLine(1);
}

TEST(EditorController, LifetimeMayBeASeparateObject) {
    // An editor whose commands live in a helper owned by a widget-like object.
    struct Commands : EditorActions {
        int toggles = 0;
        void toggleComment() override { ++toggles; }
        void goToLine(int) override {}
    } commands;
    EditorController controller;
    auto owner = std::make_unique<QObject>();
    controller.setActions(&commands, owner.get());
    controller.toggleComment();
    EXPECT_EQ(commands.toggles, 1);
    owner.reset();
    controller.toggleComment();
    EXPECT_EQ(commands.toggles, 1);
    controller.setActions(&commands, nullptr);  // no lifetime: no reference
    EXPECT_EQ(controller.actions(), nullptr);
}
