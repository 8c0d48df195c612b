// The keyboard stays with a control the user can see: a panel that leaves with the keys goes on
// to the text, and a tab changed under an open overlay or the find bar leaves them there.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListView>

#include "Platform/SettingsStore.h"
#include "ScriptedPrompter.h"
#include "Views/Editor/CodeEditorView.h"
#include "Views/EditorPaneView.h"
#include "Views/FindBar.h"
#include "Views/GoToLineView.h"
#include "Views/PaletteField.h"
#include "Views/ViewsTestSupport.h"
#include "UI/PressableButton.h"
#include "Views/Workbench/ActivityBar.h"
#include "Views/Workbench/FileExplorerView.h"
#include "Views/Workbench/SidebarSlot.h"
#include "WhatsNew.h"
#include "Workspace/EditorDocument.h"

using namespace testing_support;
using namespace views_test;

namespace {

QWidget* focused() { return QApplication::focusWidget(); }

std::string describe(QWidget* w) {
    return w ? std::string(w->metaObject()->className()) + "#" + w->objectName().toStdString() : "nothing";
}

class FocusKeepingTest : public ::testing::Test {
protected:
    void SetUp() override {
        SettingsStore::shared().setValue(SettingsKey::lastSeenVersion, AppInfo::version());
        a = dir.write("a.txt", "alpha\n");
        b = dir.write("b.txt", "beta\n");
        window.showActive(QSize(1040, 720));
        app().openFolder(dir.path());
        app().open(a);
        app().open(b);
        ASSERT_TRUE(waitUntil([&] { return editor() && slot()->progress() == 1.0 && explorer(); }));
        editor()->setFocus();
    }
    AppState& app() { return *window.app; }
    RootView* root() const { return window.root; }
    SidebarSlot* slot() const { return window.root->sidebarSlot(); }
    FileExplorerView* explorer() const { return window.root->explorer(); }
    CodeEditorView* editor() const { return window.root->pane()->editor(); }
    bool inSlot(QWidget* w) const { return w && slot()->isAncestorOf(w); }

    TempFolder dir;
    QString a, b;
    ScriptedPrompter prompter;
    MenuTestWindow window;
};

// A click on the rail hides the sidebar or shows another panel; the explorer had the keys.
TEST_F(FocusKeepingTest, APanelThatLeavesWithTheKeysHandsThemToTheText) {
    QListView* tree = explorer()->list();
    tree->setFocus(Qt::MouseFocusReason);
    ASSERT_EQ(focused(), tree);
    app().setSidebar(std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return slot()->width() == 0 && slot()->findChildren<QWidget*>().isEmpty(); }));
    EXPECT_EQ(focused(), editor()) << describe(focused());

    app().setSidebar(SidebarPanel::explorer);
    ASSERT_TRUE(waitUntil([&] { return explorer() && slot()->progress() == 1.0; }));
    explorer()->list()->setFocus(Qt::MouseFocusReason);
    app().setSidebar(SidebarPanel::sourceControl);
    QApplication::processEvents();
    EXPECT_EQ(focused(), editor()) << describe(focused());
    type("x");
    EXPECT_EQ(app().activeDocument()->text(), "xbeta\n");

    // Tab may still land on a panel while it slides out.
    app().setSidebar(std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return slot()->width() == 0 && slot()->findChildren<QWidget*>().isEmpty(); }));
    app().setSidebar(SidebarPanel::explorer);
    ASSERT_TRUE(waitUntil([&] { return explorer() && slot()->progress() == 1.0; }));
    QListView* leaving = explorer()->list();
    app().setSidebar(std::nullopt);
    leaving->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(waitUntil([&] { return slot()->findChildren<QWidget*>().isEmpty(); }));
    EXPECT_EQ(focused(), editor()) << describe(focused());
}

// Shown and hidden again before it had moved (a quick double click on its rail button): the panel
// does not linger in the closed slot, where Tab would still land on it.
TEST_F(FocusKeepingTest, APanelHiddenBeforeItMovedLeavesNothingForTabToLandOn) {
    app().setSidebar(std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return slot()->width() == 0 && slot()->findChildren<QWidget*>().isEmpty(); }));
    app().setSidebar(SidebarPanel::explorer);
    app().setSidebar(std::nullopt);
    QApplication::processEvents();
    EXPECT_TRUE(waitUntil([&] {
        const auto left = slot()->findChildren<QWidget*>();
        return std::none_of(left.begin(), left.end(), [](QWidget* w) { return w->isVisible(); });
    }));
    while (!app().documents().isEmpty()) app().close(app().documents().first());
    ASSERT_TRUE(waitUntil([&] { return !editor(); }));
    for (int i = 0; i < 12; ++i) {
        press(Qt::Key_Tab);
        ASSERT_FALSE(inSlot(focused())) << "Tab landed in the closed sidebar on " << describe(focused());
    }
}

// Ctrl+Tab, Ctrl+Shift+Tab: the document changes under the overlay or the find bar, whose field keeps
// the keys; typing goes on into it, not into the text behind.
TEST_F(FocusKeepingTest, ChangingTheTabUnderAFieldLeavesTheKeysInTheField) {
    struct Case {
        const char* name;
        std::function<void()> open;
        std::function<QWidget*()> field;
    };
    const QList<Case> cases{
        {"find bar", [&] { press(Qt::Key_F, Qt::ControlModifier); },
         [&]() -> QWidget* { return root()->findBar() ? root()->findBar()->queryField() : nullptr; }},
        {"go to line", [&] { press(Qt::Key_G, Qt::ControlModifier); },
         [&]() -> QWidget* { return root()->goToLine() ? root()->goToLine()->field()->lineEdit() : nullptr; }},
        {"palette", [&] { press(Qt::Key_K, Qt::ControlModifier); },
         [&]() -> QWidget* {
             QWidget* palette = root()->overlay(RootView::Overlay::palette);
             return palette ? palette->findChild<QLineEdit*>() : nullptr;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        editor()->setFocus();
        c.open();
        ASSERT_TRUE(waitUntil([&] { return c.field() && focused() == c.field(); }));
        const QUuid before = *app().activeDocumentId();
        press(Qt::Key_Tab, Qt::ControlModifier);
        ASSERT_NE(*app().activeDocumentId(), before);
        QApplication::processEvents();
        EXPECT_EQ(focused(), c.field()) << describe(focused());
        press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QApplication::processEvents();
        EXPECT_EQ(focused(), c.field()) << describe(focused());
        type("7");
        EXPECT_FALSE(app().activeDocument()->isDirty());
        press(Qt::Key_Escape);
        ASSERT_TRUE(waitUntil([&] { return !app().findOpen() && !app().goToLineOpen() && !app().paletteOpen(); }));
    }
}

// The replace row hidden by a click on its toggle while its field has the keys: they stay in the
// bar, in the query, rather than going on into the text.
TEST_F(FocusKeepingTest, HidingTheReplaceRowKeepsTheKeysInTheFindBar) {
    app().findState().setShowReplace(true);
    press(Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return root()->findBar() && focused() == root()->findBar()->queryField(); }));
    FindBar* bar = root()->findBar();
    bar->replacementField()->setFocus(Qt::MouseFocusReason);
    QTest::mouseClick(bar->findChild<QWidget*>(QStringLiteral("replaceToggle")), Qt::LeftButton);
    ASSERT_FALSE(app().findState().showReplace());
    EXPECT_EQ(focused(), bar->queryField()) << describe(focused());
    type("e");
    EXPECT_FALSE(app().activeDocument()->isDirty());
}

// Ctrl+W on the last tab with the keys in the text: they stay in the pane, not on the rail, where
// the next Space would toggle a panel; the next document opened takes them again.
TEST_F(FocusKeepingTest, ClosingTheLastTabKeepsTheKeysInThePane) {
    press(Qt::Key_W, Qt::ControlModifier);
    press(Qt::Key_W, Qt::ControlModifier);
    ASSERT_TRUE(app().documents().isEmpty());
    QApplication::processEvents();
    EXPECT_TRUE(focused() && (focused() == root()->pane() || root()->pane()->isAncestorOf(focused()))) << describe(focused());
    press(Qt::Key_Space);
    EXPECT_EQ(app().sidebar(), SidebarPanel::explorer);
    press(Qt::Key_N, Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return editor() && focused() == editor(); }));
}

} // namespace

// An overlay opened from the explorer or the rail and put away with Escape gives the keys back
// there; a file chosen in quick open takes them to its text.
TEST_F(FocusKeepingTest, EscapeFromAnOverlayGivesTheKeysBackWhereTheyWere) {
    const auto field = [&](RootView::Overlay which) -> QWidget* {
        QWidget* overlay = root()->overlay(which);
        return overlay ? overlay->findChild<QLineEdit*>() : nullptr;
    };
    struct Case {
        const char* name;
        std::function<void()> open;
        std::function<QWidget*()> field;
    };
    const QList<Case> cases{
        {"quick open", [&] { app().setQuickOpenOpen(true); }, [&] { return field(RootView::Overlay::quickOpen); }},
        {"palette", [&] { app().setPaletteOpen(true); }, [&] { return field(RootView::Overlay::palette); }},
        {"go to line", [&] { press(Qt::Key_G, Qt::ControlModifier); },
         [&]() -> QWidget* { return root()->goToLine() ? root()->goToLine()->field()->lineEdit() : nullptr; }},
    };
    QWidget* rail = root()->findChild<ActivityBar*>()->panelButton(SidebarPanel::explorer);
    for (QWidget* from : {static_cast<QWidget*>(explorer()->list()), rail}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " from " + describe(from));
            from->setFocus(Qt::TabFocusReason);
            ASSERT_EQ(focused(), from);
            c.open();
            ASSERT_TRUE(waitUntil([&] { return c.field() && focused() == c.field(); }));
            press(Qt::Key_Escape);
            ASSERT_TRUE(waitUntil([&] { return !app().quickOpenOpen() && !app().goToLineOpen() && !app().paletteOpen(); }));
            QApplication::processEvents();  // what is due at once, so nothing moves the keys later
            EXPECT_EQ(focused(), from) << describe(focused());
        }
    }

    explorer()->list()->setFocus(Qt::TabFocusReason);
    app().setQuickOpenOpen(true);
    ASSERT_TRUE(waitUntil([&] { return focused() == field(RootView::Overlay::quickOpen); }));
    type("a.txt");
    press(Qt::Key_Return);
    EXPECT_TRUE(waitUntil([&] { return editor() && focused() == editor() && app().activeDocument()->url() == a; }))
        << describe(focused());
}
