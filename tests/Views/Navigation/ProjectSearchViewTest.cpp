// Project search on screen: when it searches, what it shows, grouping, and jumping to a hit.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSignalSpy>
#include <QThreadPool>

#include "UI/FocusRing.h"
#include "Views/ViewsTestSupport.h"
#include "Views/Navigation/ProjectSearchView.h"
#include "Views/Navigation/SearchFileHeader.h"
#include "Views/Navigation/SearchHitRow.h"
#include "Views/PaletteField.h"

using namespace testing_support;
using namespace views_test;

namespace {

TEST(ProjectSearchGroupingTest, GroupsByPathInPlainTextOrderAndCountsInThePlural) {
    const QList<SearchHit> hits{{"/p/b.txt", 1, "x"}, {"/p/a.txt", 4, "x"}, {"/p/b.txt", 9, "x"}, {"/p/B.txt", 2, "x"}};
    const auto groups = ProjectSearchView::grouped(hits);
    ASSERT_EQ(groups.size(), 3);
    EXPECT_EQ(groups[0].url, "/p/B.txt");  // upper case sorts first
    EXPECT_EQ(groups[1].url, "/p/a.txt");
    EXPECT_EQ(groups[2].url, "/p/b.txt");
    EXPECT_EQ(groups[2].hits.size(), 2);
    EXPECT_EQ(groups[2].hits[1].line, 9);
    EXPECT_EQ(ProjectSearchView::summary(hits, true), "4+ matches in 3 files");
}

struct SearchFixture : ::testing::Test {
    SearchFixture() {
        folder.write("proj/src/One.txt", "alpha\n  beta gamma\t\n");
        folder.write("proj/two.txt", "x\ny\nbeta\n");
        app.openFolder(folder.file("proj"));
        app.setProjectSearchOpen(true);
        view = std::make_unique<ProjectSearchView>(app);
        view->resize(1000, 700);
        view->show();
    }
    void search(const QString& query) {
        QSignalSpy done(view.get(), &ProjectSearchView::searchFinished);
        view->setQuery(query);
        QTest::keyClick(view->field()->lineEdit(), Qt::Key_Return);
        ASSERT_TRUE(done.wait(120000));
    }
    TempFolder folder;
    AppState app;
    std::unique_ptr<ProjectSearchView> view;
};

TEST_F(SearchFixture, ReturnSearchesTheTrimmedQueryAndTypingKeepsTheHits) {
    view->setQuery("be");
    EXPECT_FALSE(view->isSearching());  // typing alone never searches
    EXPECT_EQ(view->message(), "Type and press ↵ to search the open folder") << "the hint, not an empty result";
    search(" \tbeta  ");
    ASSERT_EQ(view->hits().size(), 2);
    EXPECT_TRUE(view->message().isEmpty());
    const auto rows = view->hitRows();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0]->hit().url, folder.file("proj/src/One.txt"));
    EXPECT_EQ(rows[0]->hit().preview, "beta gamma");
    EXPECT_EQ(rows[1]->hit().line, 3);

    view->setQuery("something else");
    EXPECT_EQ(view->hits().size(), 2);
    view->setQuery("");
    EXPECT_EQ(view->hits().size(), 2);
    EXPECT_TRUE(view->message().isEmpty());

    search("zzz");
    EXPECT_EQ(view->message(), "No results");
}

TEST_F(SearchFixture, AShortQueryClearsTheListWithoutSearching) {
    search("beta");
    view->setQuery(" b\t");
    view->runSearch();
    EXPECT_TRUE(view->hits().isEmpty());
    EXPECT_FALSE(view->isSearching());
    EXPECT_EQ(view->message(), "No results");
    // Up and Down do nothing; Escape closes.
    QTest::keyClick(view->field()->lineEdit(), Qt::Key_Down);
    EXPECT_TRUE(app.projectSearchOpen());
    QTest::keyClick(view->field()->lineEdit(), Qt::Key_Escape);
    EXPECT_FALSE(app.projectSearchOpen());
}

TEST_F(SearchFixture, AShortQueryDropsARunningSearch) {
    view->setQuery("beta");
    view->runSearch();
    EXPECT_TRUE(view->isSearching());
    EXPECT_EQ(view->message(), "Searching…");
    view->setQuery("b");
    view->runSearch();
    EXPECT_FALSE(view->isSearching());
    QThreadPool::globalInstance()->waitForDone();  // the dropped scan ends and reports to nobody
    QCoreApplication::processEvents();
    EXPECT_TRUE(view->hits().isEmpty());
}

// Tab goes from the field through every hit and back (Shift+Tab the other way), each shows that it
// has the keyboard, Space opens the hit, and Escape still closes from there.
TEST_F(SearchFixture, TabReachesEveryHitAndSpaceOpensIt) {
    view->activateWindow();
    QApplication::setActiveWindow(view.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get(), 60000));
    search("beta");
    const auto rows = view->hitRows();
    ASSERT_EQ(rows.size(), 2);
    QLineEdit* field = view->field()->lineEdit();
    field->setFocus(Qt::OtherFocusReason);
    const auto tab = [](bool back = false) {
        QTest::keyClick(QApplication::focusWidget(), back ? Qt::Key_Backtab : Qt::Key_Tab, back ? Qt::ShiftModifier : Qt::NoModifier);
        return QApplication::focusWidget();
    };
    ASSERT_EQ(tab(), rows[0]);
    EXPECT_TRUE(rows[0]->focusRing().isShown());
    EXPECT_EQ(tab(), rows[1]);
    EXPECT_EQ(tab(), field);
    EXPECT_EQ(tab(true), rows[1]);
    QTest::keyClick(rows[1], Qt::Key_Escape);
    EXPECT_FALSE(app.projectSearchOpen());

    app.setProjectSearchOpen(true);
    QTest::keyClick(rows[1], Qt::Key_Space);
    EXPECT_FALSE(app.projectSearchOpen());
    ASSERT_NE(app.activeDocument(), nullptr);
    EXPECT_EQ(app.activeDocument()->url(), folder.file("proj/two.txt"));
}

TEST_F(SearchFixture, ChoosingAHitOpensTheFileThenMovesTheCaret) {
    search("beta");
    FakeEditor editor;
    app.editorController().setActions(&editor);
    QTest::mouseClick(view->hitRows()[1], Qt::LeftButton);
    EXPECT_FALSE(app.projectSearchOpen());
    ASSERT_NE(app.activeDocument(), nullptr);
    EXPECT_EQ(app.activeDocument()->url(), folder.file("proj/two.txt"));
    EXPECT_TRUE(editor.lines.isEmpty());  // not yet: the editor gets a moment first
    view.reset();  // the overlay goes away; the caret still moves
    ASSERT_TRUE(waitUntil([&] { return !editor.lines.isEmpty(); }));
    EXPECT_EQ(editor.lines, (QList<int>{3}));
}

} // namespace

// A file name holding a line break heads its hits on one line, the break shown as its escape.
TEST_F(SearchFixture, AFileNameWithALineBreakIsDrawnOnOneLine) {
    folder.write("proj/two\nlines.md", "needle\n");
    folder.write("proj/two\\nlines.md", "needle\n");
    search("needle");
    const auto headers = view->findChildren<SearchFileHeader*>();
    ASSERT_EQ(headers.size(), 2);
    EXPECT_EQ(headers[0]->grab().toImage(), headers[1]->grab().toImage());
}
