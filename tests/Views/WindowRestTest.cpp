// A window at rest does no work: once what it opened with has settled, no timer fires and nothing
// repaints. The theme's living backdrop and status light are held still here; they are the only
// things meant to move while nothing happens.
#include <gtest/gtest.h>

#include <QAbstractAnimation>
#include <QApplication>

#include "Platform/SettingsStore.h"
#include "UI/AuroraBackground.h"
#include "UI/StatusDot.h"
#include "UI/Timeline.h"
#include "Views/FindBar.h"
#include "Views/OverlayTransition.h"
#include "ViewsTestSupport.h"

using namespace testing_support;
using namespace views_test;

class WindowRestTest : public ::testing::Test {
protected:
    void SetUp() override {
        SettingsStore::shared().setValue(SettingsKey::lastSeenVersion, AppInfo::version());
        flashTime_ = QApplication::cursorFlashTime();
        QApplication::setCursorFlashTime(0);  // a blinking caret is the one repaint a user expects
        QString code;
        for (int i = 0; i < 200; ++i) code += QStringLiteral("const value%1 = compute(line, %1);\n").arg(i);
        const QString file = folder.write("one.js", code.toUtf8());
        window = std::make_unique<MenuTestWindow>();
        window->showActive(QSize(1040, 720));
        window->app->open(file);
    }
    void TearDown() override {
        window.reset();
        QApplication::setCursorFlashTime(flashTime_);
        spin(1);
    }
    // Holds the pieces that move with the wall clock, as a dimming overlay would.
    void holdTheLivingPieces() {
        window->root->findChild<AuroraBackground*>()->setResting(true);
        window->root->findChild<StatusDot*>()->setResting(true);
    }
    // Whether a stretch of the event loop passed with no timer fired and nothing painted; what did
    // goes to names.
    static bool restsFor(int ms, std::string* names = nullptr) {
        EventCounter counter(true);
        spin(ms);
        if (names) *names = counter.names().toStdString();
        return counter.total() == 0;
    }
    // Waits until the window has come to rest: its late news drawn, its entrances over.
    bool settles() {
        return waitUntil([&] {
            holdTheLivingPieces();
            return !Timeline::clockIsActive() && restsFor(300);
        });
    }

    TempFolder folder;
    std::unique_ptr<MenuTestWindow> window;
    int flashTime_ = 0;
};

TEST_F(WindowRestTest, AWindowAtRestFiresNoTimerAndPaintsNothing) {
    ASSERT_TRUE(settles());
    std::string names;
    EXPECT_TRUE(restsFor(1500, &names)) << names;

    // The same with the find bar open over the text and the query's matches marked in it.
    window->app->setFindOpen(true);
    FindBar* bar = window->root->findBar();
    ASSERT_TRUE(bar);
    window->app->findState().setQuery(QStringLiteral("value1"));
    holdTheLivingPieces();  // the bar's coming let them move again
    ASSERT_TRUE(waitUntil([&] { return window->app->findState().matchCount() > 0 && !OverlayTransition::isMoving(bar); }));
    ASSERT_TRUE(settles());
    // The glass is blurred again only when what lies behind it changes.
    const int blurs = bar->backdrop().blurCount();
    EXPECT_TRUE(restsFor(1500, &names)) << names;
    EXPECT_EQ(bar->backdrop().blurCount(), blurs);
}
