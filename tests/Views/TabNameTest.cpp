// A tab with a very long name takes a bounded share of the tab bar, its name shortened in the
// middle, so the other tabs stay in view beside it.
#include <gtest/gtest.h>

#include "AppState.h"
#include "TestSupport.h"
#include "Views/EditorTabBarView.h"
#include "Views/TabChip.h"
#include "Workspace/EditorDocument.h"

using namespace testing_support;

namespace {

TEST(TabName, AVeryLongNameKeepsItsChipNarrowAndTheOtherTabsInView) {
    TempFolder folder;
    AppState app;
    EditorTabBarView bar(&app);
    bar.resize(1040, EditorTabBarView::kHeight);
    bar.show();
    const auto open = [&](const QString& name) {
        app.open(folder.write(name, "text\n"));
        return app.activeDocument();
    };
    EditorDocument* first = open("first.txt");
    EditorDocument* longer = open(QString(100, u'n') + ".txt");
    EditorDocument* longest = open(QString(240, u'n') + ".txt");
    EditorDocument* last = open("last.txt");
    app.selectTab(first);

    const int width = bar.chip(longest->id())->sizeHint().width();
    EXPECT_EQ(width, bar.chip(longer->id())->sizeHint().width()) << "a longer name widens the chip no more";
    EXPECT_LT(width, 1040 / 3);
    EXPECT_LT(bar.chip(first->id())->sizeHint().width(), width) << "a short name is shown whole";
    TabChip* lastChip = bar.chip(last->id());
    ASSERT_TRUE(waitUntil([&] { return lastChip->width() > 0 && lastChip->x() > width; }));
    EXPECT_LE(lastChip->geometry().right(), bar.viewport()->width()) << "the four tabs fit in the bar";
}

} // namespace
