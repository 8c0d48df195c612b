// Project search while its hits still arrive: each batch joins the list without rebuilding the
// rows already shown, so the hit the keyboard is on and the scroll position stay where they were.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScrollBar>
#include <QSet>

#include "UI/FocusRing.h"
#include "Views/Navigation/OverlayList.h"
#include "Views/Navigation/ProjectSearchView.h"
#include "Views/Navigation/SearchHitRow.h"
#include "Views/PaletteField.h"
#include "Views/ViewsTestSupport.h"

using namespace testing_support;

namespace {

QList<SearchHit> hitsIn(const QString& url, int first, int count) {
    QList<SearchHit> out;
    for (int line = first; line < first + count; ++line) out.append({url, line, QStringLiteral("match %1").arg(line)});
    return out;
}

struct BatchFixture : ::testing::Test {
    BatchFixture() {
        folder.mkdir("proj");
        app.openFolder(folder.file("proj"));
        app.setProjectSearchOpen(true);
        view = std::make_unique<ProjectSearchView>(app);
        view->resize(1000, 700);
        view->show();
        view->activateWindow();
        QApplication::setActiveWindow(view.get());
        (void)QTest::qWaitForWindowActive(view.get(), 60000);
    }
    QString file(const QString& name) const { return folder.file("proj/" + name); }
    SearchHitRow* rowFor(int line, const QString& url) const {
        for (SearchHitRow* row : view->hitRows())
            if (row->hit().url == url && row->hit().line == line) return row;
        return nullptr;
    }

    TempFolder folder;
    AppState app;
    std::unique_ptr<ProjectSearchView> view;
};

// A batch can continue the file already listed and add one after it.
TEST_F(BatchFixture, ABatchKeepsTheFocusedHitTheScrollAndTheRowsAlreadyBuilt) {
    view->addHits(hitsIn(file("m.txt"), 1, 40));
    QScrollBar* scroll = view->list()->verticalScrollBar();
    ASSERT_TRUE(waitUntil([&] { return scroll->maximum() > 0; })) << "the list must scroll for this test";

    QPointer<SearchHitRow> focused = rowFor(30, file("m.txt"));
    ASSERT_TRUE(focused);
    focused->setFocus(Qt::TabFocusReason);  // as Tab brings it there
    ASSERT_TRUE(waitUntil([&] { return scroll->value() > 0; })) << "the focused hit is scrolled into view";
    const int scrolled = scroll->value();
    const QList<SearchHitRow*> before = view->hitRows();

    view->addHits(hitsIn(file("m.txt"), 41, 5) + hitsIn(file("z.txt"), 1, 5));
    QCoreApplication::processEvents();

    ASSERT_TRUE(focused) << "the row with the keyboard was thrown away";
    EXPECT_EQ(QApplication::focusWidget(), focused.data()) << "the keyboard stays on the same hit";
    EXPECT_TRUE(focused->focusRing().isShown());
    EXPECT_EQ(scroll->value(), scrolled);
    const QList<SearchHitRow*> after = view->hitRows();
    ASSERT_EQ(after.size(), 50);
    // Only the new hits got rows: the 40 built before are the same widgets.
    const QSet<SearchHitRow*> old(before.begin(), before.end());
    qsizetype kept = 0;
    for (SearchHitRow* row : after) kept += old.contains(row);
    EXPECT_EQ(kept, 40);
    EXPECT_EQ(after[44]->hit().line, 45);
    EXPECT_EQ(after.back()->hit().url, file("z.txt"));
    auto* summary = qobject_cast<QLabel*>(view->list()->rows().front());
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(summary->text(), "50 matches in 2 files");
}

// The walk lists a folder's own files before its subfolders, so a later batch can bring a file that
// sorts above the hit with the keyboard: the list scrolls by what came above, and the hit stays where it
// was on screen.
TEST_F(BatchFixture, HitsAboveTheFocusedOneLeaveItWhereItIsOnScreen) {
    view->addHits(hitsIn(file("m.txt"), 1, 40));
    QScrollBar* scroll = view->list()->verticalScrollBar();
    ASSERT_TRUE(waitUntil([&] { return scroll->maximum() > 0; }));
    QPointer<SearchHitRow> focused = rowFor(30, file("m.txt"));
    ASSERT_TRUE(focused);
    focused->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(waitUntil([&] { return scroll->value() > 0; }));
    QWidget* viewport = view->list()->viewport();
    const int onScreen = focused->mapTo(viewport, QPoint()).y();

    view->addHits(hitsIn(file("a.txt"), 1, 3) + hitsIn(file("b.txt"), 1, 2));
    QCoreApplication::processEvents();
    ASSERT_TRUE(focused);
    EXPECT_EQ(QApplication::focusWidget(), focused.data());
    EXPECT_EQ(focused->mapTo(viewport, QPoint()).y(), onScreen);
    // The list reads as it would had the hits come at once: files by path, lines in order.
    const QList<SearchHitRow*> rows = view->hitRows();
    ASSERT_EQ(rows.size(), 45);
    EXPECT_EQ(rows[0]->hit().url, file("a.txt"));
    EXPECT_EQ(rows[3]->hit().url, file("b.txt"));
    EXPECT_EQ(rows[5]->hit().line, 1);
    EXPECT_EQ(rows[44]->hit().line, 40);
}

// Tab goes through the hits in the list's order, not in the order they came in.
TEST_F(BatchFixture, TabFollowsTheListWhicheverOrderTheHitsCameIn) {
    view->addHits(hitsIn(file("m.txt"), 1, 2));
    view->addHits(hitsIn(file("m.txt"), 3, 1) + hitsIn(file("c.txt"), 1, 2) + hitsIn(file("z.txt"), 1, 1));
    view->addHits(hitsIn(file("a.txt"), 1, 1) + hitsIn(file("c.txt"), 3, 1));
    const QList<SearchHitRow*> rows = view->hitRows();
    ASSERT_EQ(rows.size(), 8);
    QLineEdit* field = view->field()->lineEdit();
    field->setFocus(Qt::OtherFocusReason);
    QList<QWidget*> reached;
    for (int i = 0; i < rows.size() + 1; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached.append(QApplication::focusWidget());
    }
    QList<QWidget*> expected(rows.begin(), rows.end());
    expected.append(field);
    EXPECT_EQ(reached, expected);
}

// A new search starts the list afresh: its batches build a summary line of their own, not one the
// old list let go of.
TEST_F(BatchFixture, ASecondSearchsBatchesCountItsOwnHits) {
    view->addHits(hitsIn(file("m.txt"), 1, 3));
    view->setQuery("zz");
    view->runSearch();  // drops the list; the real scan finds nothing in the empty folder
    view->addHits(hitsIn(file("a.txt"), 1, 2));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // the old rows go
    view->addHits(hitsIn(file("b.txt"), 1, 1));
    auto* summary = qobject_cast<QLabel*>(view->list()->rows().value(0));
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(summary->text(), "3 matches in 2 files");
    EXPECT_EQ(view->hitRows().size(), 3);
}

// The same in the window, whose overlay keeps Tab among its own controls, with Tab pressed between
// batches as a user does while the search goes on.
TEST(ProjectSearchBatchesInWindowTest, TabBetweenBatchesMovesOneHitAtATimeInTheListsOrder) {
    TempFolder folder;
    folder.mkdir("proj");
    views_test::MenuTestWindow window;
    window.app->openFolder(folder.file("proj"));
    window.showActive();
    window.app->setProjectSearchOpen(true);
    auto* view = qobject_cast<ProjectSearchView*>(window.root->overlay(RootView::Overlay::projectSearch));
    ASSERT_NE(view, nullptr);
    QLineEdit* field = view->field()->lineEdit();
    ASSERT_TRUE(waitUntil([&] { return QApplication::focusWidget() == field; }));
    const auto file = [&](const QString& name) { return folder.file("proj/" + name); };
    const auto focusedHit = [] {
        auto* row = qobject_cast<SearchHitRow*>(QApplication::focusWidget());
        return row ? row->hit().id() : QString();
    };
    const auto id = [&](const QString& name, int line) { return file(name) + ':' + QString::number(line); };

    views_test::press(Qt::Key_Tab);  // nothing listed yet: the keys stay in the field
    EXPECT_EQ(QApplication::focusWidget(), field);
    view->addHits(hitsIn(file("m.txt"), 1, 3));
    views_test::press(Qt::Key_Tab);
    EXPECT_EQ(focusedHit(), id("m.txt", 1));
    view->addHits(hitsIn(file("a.txt"), 1, 2) + hitsIn(file("z.txt"), 1, 1));
    views_test::press(Qt::Key_Tab);
    EXPECT_EQ(focusedHit(), id("m.txt", 2));
    views_test::press(Qt::Key_Backtab, Qt::ShiftModifier);
    views_test::press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(focusedHit(), id("a.txt", 2));
}

} // namespace
