// Every key lands where the user sent it, with real key and mouse events on a real window: the
// overlays keep the keyboard while open, Tab and Shift+Tab stay in the editor, the explorer takes
// the keys after a click, and rows that appear under a resting pointer do not take the selection.
#include <gtest/gtest.h>

#include <QCursor>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QTest>

#include "AppState.h"
#include "ScriptedPrompter.h"
#include "Platform/SettingsStore.h"
#include "TestSupport.h"
#include "WhatsNew.h"
#include "Views/ViewsTestSupport.h"
#include "Views/Editor/CodeEditorView.h"
#include "Views/EditorPaneView.h"
#include "Views/FindBar.h"
#include "Views/Workbench/SidebarSlot.h"
#include "Views/GoToLineView.h"
#include "Views/KeyCatcher.h"
#include "Views/Navigation/CommandPaletteView.h"
#include "Views/Navigation/QuickOpenView.h"
#include "Views/Navigation/ProjectSearchView.h"
#include "Views/Navigation/SearchHitRow.h"
#include "Views/PaletteField.h"
#include "Views/PaletteRow.h"
#include "Views/RootView.h"
#include "Views/SourceControl/BranchPopover.h"
#include "Views/Workbench/StatusBarView.h"
#include "Views/Workbench/ActivityBar.h"
#include "Views/Workbench/FileExplorerView.h"
#include "Views/Workbench/FileTreeModel.h"
#include "Workspace/EditorDocument.h"

using namespace testing_support;
using views_test::MenuTestWindow;

namespace {

QWidget* focused() { return QApplication::focusWidget(); }

// Keys go where the platform sends them: to the focused widget, or to the window when none has it.
void press(QWidget* window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = focused();
    QTest::keyClick(target ? target : window, Qt::Key(key), modifiers);
}

void type(QWidget* window, const QString& text) {
    for (QChar c : text) {
        QWidget* target = focused();
        QTest::keyClick(target ? target : window, c.toLatin1());
    }
}

class KeyRoutingTest : public ::testing::Test {
protected:
    // The release notes were seen already: no sheet covers the window the keys go to.
    void SetUp() override { SettingsStore::shared().setValue(SettingsKey::lastSeenVersion, AppInfo::version()); }
    // The window on the folder, active, with file opened and its editor holding the focus.
    bool openOn(const QString& folder, const QString& file = {}) {
        window.showActive(QSize(1280, 820));
        state().openFolder(folder);
        if (file.isEmpty()) return true;
        state().open(file);
        if (!waitUntil([&] { return editor() && editor()->editorDocument()->url() == file; })) return false;
        editor()->setFocus();
        return waitUntil([&] { return focused() == editor(); });
    }
    AppState& state() { return *window.app; }
    RootView* root() const { return window.root; }
    CodeEditorView* editor() const { return window.root->pane()->editor(); }
    EditorDocument* document() { return state().activeDocument(); }

    ScriptedPrompter prompter;
    MenuTestWindow window;
};

TEST_F(KeyRoutingTest, TheGoToLineBoxKeepsTheKeyboardUntilItCloses) {
    TempFolder dir;
    const QString file = dir.write("ten.txt", "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n");
    ASSERT_TRUE(openOn(dir.path(), file));

    press(&window, Qt::Key_G, Qt::ControlModifier);
    GoToLineView* box = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (box = root()->goToLine()) && focused() == box->field()->lineEdit(); }))
        << (focused() ? focused()->metaObject()->className() : "no focus");
    for (int i = 0; i < 3; ++i) {
        press(&window, Qt::Key_Tab);
        ASSERT_TRUE(box->isAncestorOf(focused())) << "Tab went behind the box to " << focused()->metaObject()->className();
        press(&window, Qt::Key_Backtab, Qt::ShiftModifier);
        ASSERT_TRUE(box->isAncestorOf(focused()));
    }
    type(&window, "5");
    press(&window, Qt::Key_Return);
    EXPECT_FALSE(state().goToLineOpen());
    EXPECT_EQ(editor()->textCursor().blockNumber(), 4);
    EXPECT_FALSE(document()->isDirty());

    // Escape closes it through its key catcher, wherever Tab left the focus inside it.
    press(&window, Qt::Key_G, Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return (box = root()->goToLine()) && box->isAncestorOf(focused()); }));
    press(&window, Qt::Key_Tab);
    press(&window, Qt::Key_Escape);
    EXPECT_FALSE(state().goToLineOpen());
    EXPECT_TRUE(waitUntil([&] { return focused() == editor(); }));

    // Go to Line again while the box is open gives its field the keyboard back.
    press(&window, Qt::Key_G, Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return (box = root()->goToLine()) != nullptr; }));
    box->keyCatcher()->setFocus();
    press(&window, Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(focused(), box->field()->lineEdit());
    type(&window, "2");
    press(&window, Qt::Key_Return);
    EXPECT_EQ(editor()->textCursor().blockNumber(), 1);
    EXPECT_FALSE(document()->isDirty());
}

// An overlay opened by a key that comes before the closed one has handed the keys back to the
// editor keeps them: the hand-back is not carried out behind it.
TEST_F(KeyRoutingTest, AnOverlayOpenedRightAfterAnotherClosedKeepsTheKeys) {
    TempFolder dir;
    const QString file = dir.write("a.txt", "alpha\n");
    ASSERT_TRUE(openOn(dir.path(), file));
    press(&window, Qt::Key_K, Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return state().paletteOpen() && focused() && focused()->inherits("QLineEdit"); }));
    press(&window, Qt::Key_Escape);
    press(&window, Qt::Key_P, Qt::ControlModifier);
    QWidget* quickOpen = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (quickOpen = root()->overlay(RootView::Overlay::quickOpen)) && quickOpen->isAncestorOf(focused()); }));
    QWidget* field = focused();
    // Whatever was queued behind the two keys runs now.
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(focused(), field) << "the keys went to " << (focused() ? focused()->metaObject()->className() : "nothing");
    type(&window, "a");
    EXPECT_EQ(qobject_cast<QLineEdit*>(field)->text(), "a");
    EXPECT_EQ(document()->text(), "alpha\n");
}

// A window that opens on a folder without a document does not hand its first keys to the rail,
// where Space would hide the sidebar.
TEST_F(KeyRoutingTest, AWindowWithoutADocumentDoesNotStartOnTheRail) {
    TempFolder dir;
    dir.write("a.txt", "alpha\n");
    state().openFolder(dir.path());
    window.showActive(QSize(1280, 820));
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == &window; }));
    EXPECT_FALSE(focused() && root()->activityBar()->isAncestorOf(focused()))
        << "the keys start on " << focused()->toolTip().toStdString();
    press(&window, Qt::Key_Space);
    EXPECT_EQ(state().sidebar(), SidebarPanel::explorer);
}

// Tab in an overlay with a result list leaves the keys in its field: typing still filters, arrows
// and Return choose, Escape closes, in quick open, the palette and project search alike.
TEST_F(KeyRoutingTest, TabInAListOverlayKeepsTypingArrowsAndEscapeWorking) {
    TempFolder dir;
    const QString file = dir.write("ten.txt", "alpha\n");
    dir.write("other.txt", "alpha\n");
    ASSERT_TRUE(openOn(dir.path(), file));
    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        RootView::Overlay overlay;
        std::function<bool()> isOpen;
    };
    const QList<Case> cases{
        {Qt::Key_P, Qt::ControlModifier, RootView::Overlay::quickOpen, [&] { return state().quickOpenOpen(); }},
        {Qt::Key_K, Qt::ControlModifier, RootView::Overlay::palette, [&] { return state().paletteOpen(); }},
        {Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier, RootView::Overlay::projectSearch,
         [&] { return state().projectSearchOpen(); }},
    };
    for (const Case& c : cases) {
        press(&window, c.key, c.modifiers);
        QWidget* overlay = nullptr;
        ASSERT_TRUE(waitUntil([&] {
            overlay = root()->overlay(c.overlay);
            return overlay && focused() && focused()->inherits("QLineEdit") && overlay->isAncestorOf(focused());
        }));
        QWidget* field = focused();
        type(&window, "al");
        // Project search lists its hits once Return is pressed: wait for them, so the list is there.
        if (c.overlay == RootView::Overlay::projectSearch) {
            press(&window, Qt::Key_Return);
            auto* search = qobject_cast<ProjectSearchView*>(overlay);
            ASSERT_NE(search, nullptr);
            // The search over, so the rows Tab reaches are the last ones made.
            ASSERT_TRUE(waitUntil([&] { return !search->isSearching() && !search->hitRows().isEmpty(); }));
        }
        for (const bool back : {false, true}) {
            press(&window, back ? Qt::Key_Backtab : Qt::Key_Tab, back ? Qt::ShiftModifier : Qt::NoModifier);
            // Project search's hits have no selection of their own: Tab goes to the first one, and
            // Shift+Tab comes back to the field. The other overlays keep the keys in the field.
            if (c.overlay == RootView::Overlay::projectSearch && !back) {
                EXPECT_EQ(focused(), qobject_cast<ProjectSearchView*>(overlay)->hitRows().value(0));
                continue;
            }
            EXPECT_EQ(focused(), field) << "Tab took the keys from the field of overlay " << int(c.overlay) << " to "
                                        << (focused() ? focused()->metaObject()->className() : "nothing");
        }
        // A field reached again with Shift+Tab has its text selected, as every field has; End keeps it.
        press(&window, Qt::Key_End);
        type(&window, "p");
        EXPECT_EQ(qobject_cast<QLineEdit*>(field)->text(), "alp");
        press(&window, Qt::Key_Escape);
        EXPECT_FALSE(c.isOpen()) << "Escape left overlay " << int(c.overlay) << " open";
        ASSERT_TRUE(waitUntil([&] { return focused() == editor(); }));
    }
}

TEST_F(KeyRoutingTest, TabAndShiftTabIndentAndOutdentInTheEditor) {
    TempFolder dir;
    const QString file = dir.write("a.txt", "one\n    two\n");
    ASSERT_TRUE(openOn(dir.path(), file));
    QTest::mouseClick(editor()->viewport(), Qt::LeftButton, {}, editor()->cursorRect().center());
    press(&window, Qt::Key_Tab);
    EXPECT_EQ(document()->text(), "\tone\n    two\n");
    press(&window, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(focused(), editor()) << "Shift+Tab left the text";
    EXPECT_EQ(document()->text(), "one\n    two\n");
    type(&window, "b");
    EXPECT_EQ(document()->text(), "bone\n    two\n");
    // Every line the selection touches loses one level; a line without one is left alone.
    press(&window, Qt::Key_A, Qt::ControlModifier);
    press(&window, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(document()->text(), "bone\ntwo\n");
    EXPECT_EQ(focused(), editor());
}

TEST_F(KeyRoutingTest, KeysAfterAClickInTheExplorerMoveInTheTreeNotTheText) {
    TempFolder dir;
    dir.write("docs/guide.md", "# guide\n");
    dir.write("docs/notes.md", "# notes\n");
    const QString main = dir.write("main.rs", "fn main() {}\n");
    ASSERT_TRUE(openOn(dir.path(), main));
    FileExplorerView* explorer = root()->explorer();
    ASSERT_TRUE(explorer);
    QListView* list = explorer->list();
    ASSERT_TRUE(waitUntil([&] { return explorer->model()->rowOf(dir.file("docs")) >= 0; }));
    const auto rowRect = [&](const QString& path) {
        return list->visualRect(explorer->model()->index(explorer->model()->rowOf(path), 0));
    };

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowRect(dir.file("docs")).center());
    ASSERT_TRUE(waitUntil([&] { return explorer->model()->rowOf(dir.file("docs/notes.md")) >= 0; })) << "the click opened the folder";
    EXPECT_EQ(focused(), list);
    press(&window, Qt::Key_Down);  // guide.md
    press(&window, Qt::Key_Down);  // notes.md
    press(&window, Qt::Key_Right);
    press(&window, Qt::Key_Return);
    EXPECT_FALSE(document()->isDirty()) << "the keys edited main.rs";
    ASSERT_TRUE(waitUntil([&] { return document()->url() == dir.file("docs/notes.md"); })) << "Return opened the row";
    EXPECT_TRUE(waitUntil([&] { return focused() == editor(); }));

    // Tab after a click on blank explorer space does not indent the text; Escape goes back to it.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(20, list->viewport()->height() - 5));
    EXPECT_EQ(focused(), list);
    press(&window, Qt::Key_Tab);
    EXPECT_FALSE(document()->isDirty());
    list->setFocus();
    press(&window, Qt::Key_Escape);
    EXPECT_EQ(focused(), editor());
}

// Rows rebuilt under a pointer that did not move keep the selection on the first row.
TEST_F(KeyRoutingTest, ARestingPointerDoesNotTakeTheSelectionFromTyping) {
    TempFolder dir;
    for (int i = 0; i < 500; ++i) dir.write(QStringLiteral("file_%1.txt").arg(i), "x\n");
    ASSERT_TRUE(openOn(dir.path()));

    press(&window, Qt::Key_K, Qt::ControlModifier);
    CommandPaletteView* palette = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        palette = qobject_cast<CommandPaletteView*>(root()->overlay(RootView::Overlay::palette));
        return palette && palette->rows().size() == 6 && focused() == palette->field()->lineEdit();
    }));
    PaletteRow* save = palette->rows()[3];
    ASSERT_EQ(save->title(), "Save");
    QCursor::setPos(save->mapToGlobal(save->rect().center()));
    QApplication::processEvents();
    type(&window, "e");  // every title holds an e: the same rows are built again under the pointer
    QApplication::processEvents();
    EXPECT_EQ(palette->selection(), 0);
    press(&window, Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([&] { return !state().paletteOpen(); }));

    press(&window, Qt::Key_P, Qt::ControlModifier);
    QuickOpenView* quick = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        quick = qobject_cast<QuickOpenView*>(root()->overlay(RootView::Overlay::quickOpen));
        return quick && focused() == quick->field()->lineEdit();
    }));
    type(&window, "file_");
    QApplication::processEvents();
    ASSERT_GT(quick->rows().size(), 6);
    PaletteRow* sixth = quick->rows()[5];
    QCursor::setPos(sixth->mapToGlobal(sixth->rect().center()));
    QApplication::processEvents();
    type(&window, "2");
    QApplication::processEvents();
    EXPECT_EQ(quick->selection(), 0);
    // A pointer that moves onto a row still takes the selection.
    PaletteRow* third = quick->rows()[2];
    QCursor::setPos(third->mapToGlobal(third->rect().center()));
    QApplication::processEvents();
    EXPECT_EQ(quick->selection(), 2);
}

// The branch popover stands in a window of its own above the main one: Escape typed there closes
// it, not the find bar open behind it (whose Escape reaches across the whole main window).
TEST_F(KeyRoutingTest, EscapeInTheBranchPopoverClosesItAndNotTheFindBarBehind) {
    TempFolder dir;
    const QString file = dir.write("a.txt", "alpha\n");
    ASSERT_TRUE(openOn(dir.path(), file));
    press(&window, Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return root()->findBar() != nullptr; }));
    QWidget* field = focused();
    ASSERT_EQ(field, root()->findBar()->queryField());
    for (const char* where : {"filter", "newBranch"}) {
        SCOPED_TRACE(where);
        QPointer<BranchPopover> popover = BranchPopover::show(state(), root()->statusBar());
        // A tool window counts as active with its parent: wait for the keyboard itself.
        ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == popover; }));
        QWidget* control = qstrcmp(where, "filter") == 0 ? static_cast<QWidget*>(popover->filterField())
                                                           : popover->findChild<QWidget*>(where);
        ASSERT_NE(control, nullptr);
        control->setFocus(Qt::TabFocusReason);
        press(popover, Qt::Key_Escape);
        EXPECT_TRUE(waitUntil([&] { return !popover || !popover->isVisible(); })) << "the popover stayed open";
        EXPECT_TRUE(state().findOpen()) << "Escape closed the find bar behind the popover";
        // The keys go back to the window, where they were.
        EXPECT_TRUE(waitUntil([&] { return focused() == field; }))
            << (QApplication::activeWindow() ? QApplication::activeWindow()->metaObject()->className() : "no window has the keys");
        if (popover) popover->close();
        window.showActive();
    }
}

} // namespace

// Tab walks the window in the order it is seen: the rail, the sidebar panel, the find bar above the
// text, the text. Tab from the find bar's last control goes on into the text (not round to the rail),
// and Shift+Tab from its field back into the panel, whichever panel shows.
TEST_F(KeyRoutingTest, TabFromTheFindBarGoesOnToTheTextAndBackToThePanel) {
    TempFolder dir;
    const QString file = dir.write("a.txt", "alpha\n");
    dir.write("requests/ping.http", "### ping\nGET http://127.0.0.1:9/ping\n");
    ASSERT_TRUE(openOn(dir.path(), file));
    ActivityBar* rail = root()->activityBar();
    for (SidebarPanel panel : {SidebarPanel::explorer, SidebarPanel::sourceControl, SidebarPanel::api}) {
        SCOPED_TRACE(int(panel));
        state().setSidebar(panel);
        if (state().findOpen()) press(&window, Qt::Key_F, Qt::ControlModifier);
        editor()->setFocus();
        press(&window, Qt::Key_F, Qt::ControlModifier);
        ASSERT_TRUE(waitUntil([&] { return root()->findBar() && focused() == root()->findBar()->queryField(); }));
        FindBar* bar = root()->findBar();
        int stops = 0;
        while (focused() && bar->isAncestorOf(focused()) && ++stops < 40) press(&window, Qt::Key_Tab);
        EXPECT_EQ(focused(), editor()) << "Tab left the find bar for " << (focused() ? focused()->metaObject()->className() : "nothing")
                                       << (focused() && rail->isAncestorOf(focused()) ? " on the rail" : "");
        type(&window, "x");
        EXPECT_EQ(document()->text(), "xalpha\n") << "the key went to the text";
        press(&window, Qt::Key_Z, Qt::ControlModifier);

        bar->queryField()->setFocus(Qt::TabFocusReason);
        stops = 0;
        do press(&window, Qt::Key_Backtab, Qt::ShiftModifier);
        while (focused() && bar->isAncestorOf(focused()) && ++stops < 40);
        ASSERT_TRUE(focused());
        EXPECT_TRUE(root()->sidebarSlot()->isAncestorOf(focused()))
            << "Shift+Tab from the find field went to " << focused()->metaObject()->className()
            << (rail->isAncestorOf(focused()) ? " on the rail" : "");
    }
}
