// The activity bar and the status bar follow the window state and the repository of the open folder.
#include <gtest/gtest.h>

#include <QLabel>

#include "Git/GitTestSupport.h"
#include "ScriptedPrompter.h"
#include "UI/PressableButton.h"
#include "Views/Editor/CodeEditorView.h"
#include "Views/EditorPaneView.h"
#include "Views/ViewsTestSupport.h"
#include "Views/Workbench/ActivityBar.h"
#include "Views/Workbench/BranchStatusButton.h"
#include "Views/Workbench/StatusBarView.h"

using namespace testing_support;
using namespace git_test;

namespace {

TEST(ActivityBarTest, PanelButtonsShowHideAndSwitchTheSidebar) {
    AppState app;
    ActivityBar bar(app);
    PressableButton* explorer = bar.panelButton(SidebarPanel::explorer);
    PressableButton* sourceControl = bar.panelButton(SidebarPanel::sourceControl);
    EXPECT_TRUE(ActivityBar::isActive(explorer)) << "the window starts with the explorer";

    explorer->click();
    EXPECT_FALSE(app.sidebar().has_value());
    for (SidebarPanel p : SidebarPanels::allCases()) EXPECT_FALSE(ActivityBar::isActive(bar.panelButton(p)));
    explorer->click();
    EXPECT_EQ(app.sidebar(), SidebarPanel::explorer);
    sourceControl->click();
    EXPECT_EQ(app.sidebar(), SidebarPanel::sourceControl) << "one click switches panels";
    EXPECT_TRUE(ActivityBar::isActive(sourceControl));
    EXPECT_FALSE(ActivityBar::isActive(explorer));
    app.setSidebar(SidebarPanel::api);  // whoever sets it, the marker follows
    EXPECT_TRUE(ActivityBar::isActive(bar.panelButton(SidebarPanel::api)));
}

TEST(ActivityBarTest, QuickActionsToggleTheirOverlaysAndAreNeverActive) {
    AppState app;
    ActivityBar bar(app);
    bar.quickOpenButton()->click();
    EXPECT_TRUE(app.quickOpenOpen());
    bar.paletteButton()->click();
    EXPECT_TRUE(app.paletteOpen());
    EXPECT_FALSE(ActivityBar::isActive(bar.quickOpenButton()));
    EXPECT_FALSE(ActivityBar::isActive(bar.paletteButton()));
    bar.quickOpenButton()->click();
    bar.paletteButton()->click();
    EXPECT_FALSE(app.quickOpenOpen());
    EXPECT_FALSE(app.paletteOpen());

    // Open Folder opens here even with a folder open; cancelling changes nothing.
    TempFolder dir;
    ScriptedChooser chooser;
    app.openFolder(dir.mkdir("one"));
    chooser.answers = {std::nullopt, dir.mkdir("two")};
    bar.openFolderButton()->click();
    EXPECT_EQ(app.rootNode()->url(), dir.file("one"));
    bar.openFolderButton()->click();
    EXPECT_EQ(app.rootNode()->url(), dir.file("two"));
}

// However many changes, the badge stays within the rail, shortened where the count would not fit.
TEST(ActivityBarTest, TheChangeBadgeFitsTheRailForAnyCount) {
    AppState app;
    ActivityBar rail(app);
    rail.resize(ActivityBar::kWidth, 600);
    rail.show();
    const QRect button = rail.panelButton(SidebarPanel::sourceControl)->geometry();
    for (qsizetype count : {qsizetype(3), qsizetype(9999), qsizetype(10000), qsizetype(20000), qsizetype(999999),
                            qsizetype(123456789)}) {
        rail.badge()->setText(ActivityBar::badgeText(count));
        rail.resize(rail.width(), rail.height() + 1);  // places the badge again
        const QRect badge = rail.badge()->geometry();
        EXPECT_LE(badge.width(), button.width() + 4) << count;
        EXPECT_TRUE(rail.rect().contains(badge)) << count;
    }
    EXPECT_EQ(ActivityBar::badgeText(9999), "9999");
    EXPECT_EQ(ActivityBar::badgeText(20000), "20k");
}

TEST(StatusBarTest, ALongBranchNameIsElidedInTheMiddleWithTheWholeNameInTheTooltip) {
    AppState app;
    const QString name = QStringLiteral("feature/") + QString(220, u'x') + QStringLiteral("-end");
    BranchStatusButton button(app, name);
    EXPECT_LE(button.sizeHint().width(), 320);
    EXPECT_EQ(button.branch(), name);
    const QString shown = button.visibleTexts().value(0);
    EXPECT_TRUE(shown.startsWith("feature/") && shown.endsWith("-end") && shown.contains(u'…')) << shown.toStdString();
    EXPECT_TRUE(button.toolTip().contains(name));
    button.setBranch(QStringLiteral("main"));
    EXPECT_EQ(button.visibleTexts().value(0), "main");
    EXPECT_FALSE(button.toolTip().contains(name));
}

TEST(StatusBarTest, ShowsTheActiveDocumentsCaretLanguageAndUnsavedMarker) {
    AppState app;
    StatusBarView bar(app);
    bar.show();
    EXPECT_TRUE(bar.productLabel()->isVisible());
    EXPECT_FALSE(bar.caretLabel()->isVisible()) << "no document: only the dot and the name";
    EXPECT_EQ(bar.branchButton(), nullptr);

    app.newUntitled();
    EXPECT_TRUE(bar.caretLabel()->isVisible());
    EXPECT_EQ(bar.caretLabel()->text(), "Ln 1, Col 1");
    EXPECT_FALSE(bar.unsavedLabel()->isVisible());

    TempFolder dir;
    const QString path = dir.write("main.py", "x = 1\n");
    app.open(path);
    EditorDocument* doc = app.activeDocument();
    EXPECT_EQ(bar.languageLabel()->text(), CodeLanguages::displayName(CodeLanguage::python));
    doc->setCursorLine(12);
    doc->setCursorColumn(1234);
    EXPECT_EQ(bar.caretLabel()->text(), "Ln 12, Col 1234");
    doc->setText("x = 2\n");
    EXPECT_TRUE(bar.unsavedLabel()->isVisible());
    ASSERT_TRUE(app.save(doc));
    EXPECT_FALSE(bar.unsavedLabel()->isVisible());

    app.close(doc);
    app.close(app.activeDocument());
    EXPECT_FALSE(bar.caretLabel()->isVisible());
    doc = nullptr;
}

// In a window, the position shown is always where the editor's caret is: after moving it, after
// opening another file and after switching back.
TEST(StatusBarTest, CaretPositionFollowsTheEditorAcrossOpeningAndSwitchingTabs) {
    TempFolder dir;
    views_test::MenuTestWindow window;
    window.showActive();
    AppState& app = *window.app;
    const auto caretOfEditor = [&] {
        CodeEditorView* editor = window.root->pane()->editor();
        if (!editor || editor->editorDocument() != app.activeDocument()) return QString();
        const QTextCursor cursor = editor->textCursor();
        return QStringLiteral("Ln %1, Col %2").arg(cursor.blockNumber() + 1).arg(cursor.positionInBlock() + 1);
    };
    const auto agree = [&] {
        const QString shown = window.root->statusBar()->caretLabel()->text();
        return !caretOfEditor().isEmpty() && shown == caretOfEditor();
    };
    app.open(dir.write("a.txt", "one\ntwo\nthree\n"));
    ASSERT_TRUE(waitUntil([&] { return !caretOfEditor().isEmpty(); }));
    CodeEditorView* editor = window.root->pane()->editor();
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_Down);
    QTest::keyClick(editor, Qt::Key_Down);
    QTest::keyClick(editor, Qt::Key_End);
    EXPECT_TRUE(waitUntil(agree)) << window.root->statusBar()->caretLabel()->text().toStdString();
    EXPECT_EQ(window.root->statusBar()->caretLabel()->text(), "Ln 3, Col 6");

    app.open(dir.write("b.txt", "bee\n"));
    EXPECT_TRUE(waitUntil(agree)) << window.root->statusBar()->caretLabel()->text().toStdString() << " vs "
                                  << caretOfEditor().toStdString();
    app.selectTab(app.documents().first());
    EXPECT_TRUE(waitUntil(agree)) << window.root->statusBar()->caretLabel()->text().toStdString() << " vs "
                                  << caretOfEditor().toStdString();
}

class RepositoryBarsTest : public ::testing::Test {
protected:
    void SetUp() override { useIsolatedGitConfig(); }
    TempFolder dir;
};

TEST_F(RepositoryBarsTest, BranchButtonAndBadgeFollowTheRepository) {
    AppState app;
    ActivityBar rail(app);
    StatusBarView bar(app);
    rail.show();
    bar.show();
    const QString plain = dir.mkdir("plain");
    app.openFolder(plain);
    QCoreApplication::processEvents();
    EXPECT_EQ(bar.branchButton(), nullptr) << "not a repository: no branch button";
    EXPECT_TRUE(rail.badge()->isHidden());

    // A repository one commit ahead of its upstream... then two, with three changed files.
    const QString remote = dir.mkdir("remote.git");
    gitOk(remote, {"init", "--bare", "-q"});
    gitOk(dir.path(), {"clone", "-q", remote, "work"});
    const QString work = dir.file("work");
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) dir.write(QStringLiteral("work/") + name, "1\n");
    gitOk(work, {"add", "."});
    gitOk(work, {"commit", "-q", "-m", "first"});
    gitOk(work, {"push", "-q", "-u", "origin", "HEAD"});
    for (const char* message : {"second", "third"}) gitOk(work, {"commit", "-q", "--allow-empty", "-m", message});
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) dir.write(QStringLiteral("work/") + name, "2\n");

    app.openFolder(work);
    ASSERT_TRUE(waitUntil([&] { return bar.branchButton() && app.git().changes().size() == 3 && app.git().aheadBy() == 2; }, 120000));
    BranchStatusButton* button = bar.branchButton();
    EXPECT_EQ(button->visibleTexts(), (QStringList{"main", "↑2", "•", "3"})) << button->visibleTexts().join('|').toStdString();
    EXPECT_FALSE(button->spinner()->isVisibleTo(button));
    EXPECT_FALSE(rail.badge()->isHidden());
    EXPECT_EQ(rail.badge()->text(), "3");
    app.setSidebar(std::nullopt);
    EXPECT_FALSE(rail.badge()->isHidden()) << "the badge stays while the sidebar is hidden";

    // Clean and in sync: the symbol and the name only.
    gitOk(work, {"commit", "-q", "-am", "fourth"});
    gitOk(work, {"push", "-q"});
    app.git().refresh();
    ASSERT_TRUE(waitUntil([&] { return app.git().changes().isEmpty() && app.git().aheadBy() == 0; }, 120000));
    EXPECT_EQ(button->visibleTexts(), QStringList{"main"});
    EXPECT_TRUE(rail.badge()->isHidden());

    app.openFolder(plain);
    ASSERT_TRUE(waitUntil([&] { return bar.branchButton() == nullptr; }, 120000)) << "leaving the repository removes the button";
}

} // namespace
