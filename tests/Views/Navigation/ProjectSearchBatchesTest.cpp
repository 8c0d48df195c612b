// Project search while its hits still arrive: each batch joins the list without rebuilding the
// rows already shown, so the hit the keyboard is on and the scroll position stay where they were.
#include <gtest/gtest.h>

#include <QLabel>
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

// Batches can continue a file already listed, add a file after it, and (the walk's order is not
// the list's) add one that sorts before it.
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

    view->addHits(hitsIn(file("m.txt"), 41, 5) + hitsIn(file("z.txt"), 1, 5) + hitsIn(file("a.txt"), 1, 5));
    QCoreApplication::processEvents();

    ASSERT_TRUE(focused) << "the row with the keyboard was thrown away";
    EXPECT_EQ(QApplication::focusWidget(), focused.data()) << "the keyboard stays on the same hit";
    EXPECT_TRUE(focused->focusRing().isShown());
    EXPECT_EQ(scroll->value(), scrolled);
    const QList<SearchHitRow*> after = view->hitRows();
    ASSERT_EQ(after.size(), 55);
    // Only the new hits got rows: the 40 built before are the same widgets.
    const QSet<SearchHitRow*> old(before.begin(), before.end());
    qsizetype kept = 0;
    for (SearchHitRow* row : after) kept += old.contains(row);
    EXPECT_EQ(kept, 40);
    // And the list reads as it would had the hits come at once: files by path, lines in order.
    EXPECT_EQ(after.front()->hit().url, file("a.txt"));
    EXPECT_EQ(after[5]->hit().line, 1);
    EXPECT_EQ(after[49]->hit().line, 45);
    EXPECT_EQ(after.back()->hit().url, file("z.txt"));
    auto* summary = qobject_cast<QLabel*>(view->list()->rows().front());
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(summary->text(), "55 matches in 3 files");
}

} // namespace
