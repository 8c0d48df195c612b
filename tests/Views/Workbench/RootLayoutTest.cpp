// The workbench layout: sidebar panels in their slot, overlays stacked in a fixed order, the
// what's-new sheet bound to the window state, and the commands that need a folder or a document.
#include <gtest/gtest.h>

#include "ScriptedPrompter.h"
#include "UI/GradientButton.h"
#include "Views/ViewsTestSupport.h"
#include "Platform/SettingsStore.h"
#include "Views/EditorPaneView.h"
#include "Views/Workbench/ActivityBar.h"
#include "Views/Workbench/SidebarSlot.h"
#include "Views/Workbench/WhatsNewView.h"

using namespace testing_support;
using namespace views_test;

namespace {

class RootLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<MenuTestWindow>();
        window->showActive();
        app()->setWhatsNew(std::nullopt);  // the first showing may offer the notes
        spin(1);
    }
    void TearDown() override {
        window.reset();
        spin(1);
    }
    AppState* app() const { return window->app; }
    RootView* root() const { return window->root; }
    std::unique_ptr<MenuTestWindow> window;
};

TEST_F(RootLayoutTest, TheSidebarSlotSlidesPanelsInAndOutBesideTheActivityBar) {
    SidebarSlot* slot = root()->sidebarSlot();
    ASSERT_NE(root()->explorer(), nullptr) << "the window starts with the explorer";
    // Each widget's layout follows the slot's width a turn later: wait for the state itself.
    EXPECT_TRUE(waitUntil([&] { return slot->width() == SidebarSlot::kWidth && slot->x() == ActivityBar::kWidth; }))
        << slot->x();

    app()->setSidebar(std::nullopt);
    const auto paneX = [&] { return root()->pane()->mapTo(root(), QPoint(0, 0)).x(); };
    EXPECT_TRUE(waitUntil([&] { return slot->width() == 0 && paneX() == ActivityBar::kWidth; }))
        << "the editor sits by the rail: " << paneX();
    EXPECT_EQ(slot->panel(), nullptr);

    app()->setSidebar(SidebarPanel::sourceControl);
    QWidget* first = slot->panel();
    ASSERT_NE(first, nullptr);
    app()->setSidebar(SidebarPanel::api);
    EXPECT_NE(slot->panel(), first) << "another panel replaces the content in the same slot";
    EXPECT_EQ(root()->explorer(), nullptr);
    EXPECT_TRUE(waitUntil([&] { return slot->panel()->width() == SidebarSlot::kWidth; })) << slot->panel()->width();
}

TEST_F(RootLayoutTest, OverlaysStackInTheirOwnOrderWhateverOpensFirst) {
    press(Qt::Key_P, Qt::ControlModifier);
    press(Qt::Key_K, Qt::ControlModifier);
    QWidget* quick = root()->overlay(RootView::Overlay::quickOpen);
    QWidget* palette = root()->overlay(RootView::Overlay::palette);
    ASSERT_NE(quick, nullptr);
    ASSERT_NE(palette, nullptr);
    const QObjectList& order = root()->children();
    EXPECT_GT(order.indexOf(quick), order.indexOf(palette)) << "quick open stays above the palette";
    EXPECT_EQ(quick->geometry(), root()->rect()) << "over the whole window, rail included";

    press(Qt::Key_K, Qt::ControlModifier);
    press(Qt::Key_P, Qt::ControlModifier);
    EXPECT_FALSE(app()->paletteOpen());
    EXPECT_FALSE(app()->quickOpenOpen());
    EXPECT_EQ(root()->overlay(RootView::Overlay::quickOpen), nullptr);
}

TEST_F(RootLayoutTest, ProjectSearchNeedsAFolderAndToggles) {
    press(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(app()->projectSearchOpen()) << "no folder: nothing opens";
    TempFolder dir;
    app()->openFolder(dir.mkdir("p"));
    press(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(app()->projectSearchOpen());
    EXPECT_NE(root()->overlay(RootView::Overlay::projectSearch), nullptr);
    press(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(app()->projectSearchOpen());
}

TEST_F(RootLayoutTest, TheWhatsNewSheetFollowsTheWindowState) {
    const WhatsNewEntry entry = *WhatsNew::entry(QStringLiteral("0.1.0"));
    app()->setWhatsNew(entry);
    WhatsNewView* sheet = root()->whatsNewSheet();
    ASSERT_NE(sheet, nullptr) << "presented at once";
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->rows().size(), 5);

    // Another entry replaces the sheet; clearing the field dismisses it.
    app()->setWhatsNew(*WhatsNew::entry(QStringLiteral("0.4.4")));
    ASSERT_NE(root()->whatsNewSheet(), nullptr);
    EXPECT_EQ(root()->whatsNewSheet()->rows().size(), 1);
    EXPECT_TRUE(app()->whatsNew().has_value()) << "closing the replaced sheet keeps the new entry";
    app()->setWhatsNew(std::nullopt);
    EXPECT_EQ(root()->whatsNewSheet(), nullptr);

    // "Got it" clears the field.
    app()->setWhatsNew(entry);
    root()->whatsNewSheet()->gotIt()->click();
    EXPECT_FALSE(app()->whatsNew().has_value());
    EXPECT_EQ(root()->whatsNewSheet(), nullptr);
}

TEST(RootWhatsNewCheckTest, TheFirstShowingOffersTheRunningVersionOnce) {
    SettingsStore::shared().remove(SettingsKey::lastSeenVersion);
    MenuTestWindow first;
    EXPECT_FALSE(first.app->whatsNew().has_value()) << "no check before the workbench is shown";
    first.showActive();
    const auto expected = WhatsNew::entry(AppInfo::version());
    EXPECT_EQ(first.app->whatsNew().has_value(), expected.has_value());
    EXPECT_EQ(first.root->whatsNewSheet() != nullptr, expected.has_value());
    EXPECT_EQ(SettingsStore::shared().string(SettingsKey::lastSeenVersion), AppInfo::version());

    MenuTestWindow second;
    second.showActive();
    EXPECT_FALSE(second.app->whatsNew().has_value()) << "the same version is offered once";
}

} // namespace
