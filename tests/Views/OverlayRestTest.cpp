// An open overlay at rest: nothing of the window repaints while frames of the clock pass, and the
// overlay's glass shows what lies behind it blurred.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBackingStore>
#include <QLabel>
#include <QPaintEvent>
#include <algorithm>

#include "Platform/SettingsStore.h"
#include "UI/AuroraBackground.h"
#include "UI/LayerCache.h"
#include "UI/StatusDot.h"
#include "UI/Timeline.h"
#include "Views/Editor/CodeEditorView.h"
#include "ViewsTestSupport.h"
#include "Views/FindBar.h"
#include "Views/Navigation/QuickOpenView.h"
#include "Views/OverlayTransition.h"
#include "Views/PaletteScaffold.h"

using namespace testing_support;
using namespace views_test;

namespace {

class OverlayRestTest : public ::testing::Test {
protected:
    void SetUp() override {
        SettingsStore::shared().setValue(SettingsKey::lastSeenVersion, AppInfo::version());
        flashTime_ = QApplication::cursorFlashTime();
        QApplication::setCursorFlashTime(0);  // a blinking caret is the one repaint a user expects
        QString code;
        for (int i = 0; i < 300; ++i) code += QStringLiteral("const value%1 = compute(line, %1) + other.length;\n").arg(i);
        const QString file = folder.write("main.js", code.toUtf8());
        window = std::make_unique<MenuTestWindow>();
        window->showActive(QSize(1040, 720));
        window->app->openFolder(folder.path());
        window->app->open(file);
    }
    void TearDown() override {
        window.reset();
        QApplication::setCursorFlashTime(flashTime_);
        spin(1);
    }
    // Waits until what just opened has come to rest in place (its entrance has ended).
    bool settled(QWidget* w) {
        return waitUntil([&] { return w && !OverlayTransition::isMoving(w); }) && (spin(50), true);
    }
    // Waits until the window's late news (the folder's listing, git's answer) has been drawn and
    // nothing repaints for a moment.
    static bool quiet() {
        return waitUntil([] {
            EventCounter counter;
            spin(200);
            return counter.total() == 0;
        });
    }
    // Runs frames of the shared clock as its timer would, with the repaints they cause.
    void runFrames(int n) {
        for (int i = 0; i < n; ++i) {
            Timeline::advanceClock();
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }
    AuroraBackground* aurora() const { return window->root->findChild<AuroraBackground*>(); }
    StatusDot* statusDot() const { return window->root->findChild<StatusDot*>(); }

    TempFolder folder;
    std::unique_ptr<MenuTestWindow> window;
    int flashTime_ = 0;
};

TEST_F(OverlayRestTest, QuickOpenAtRestRepaintsNothingAndItsBackdropRestsUntilItCloses) {
    window->app->setQuickOpenOpen(true);
    auto* overlay = qobject_cast<QuickOpenView*>(window->root->overlay(RootView::Overlay::quickOpen));
    ASSERT_TRUE(overlay);
    ASSERT_TRUE(waitUntil([&] { return !overlay->results().isEmpty(); }));
    ASSERT_TRUE(settled(overlay));
    ASSERT_TRUE(quiet());
    EventCounter counter;
    runFrames(40);
    EXPECT_EQ(counter.total(), 0) << counter.names().toStdString();
    EXPECT_FALSE(aurora()->timeline().isRunning());
    EXPECT_FALSE(statusDot()->timeline().isRunning());

    window->app->setQuickOpenOpen(false);
    EXPECT_TRUE(waitUntil([&] { return aurora()->timeline().isRunning() && statusDot()->timeline().isRunning(); }));
}

TEST_F(OverlayRestTest, TheFindBarsGlassIsNotBlurredAgainWhileNothingChangesBehindIt) {
    window->app->setFindOpen(true);
    FindBar* bar = window->root->findBar();
    ASSERT_TRUE(settled(bar));
    ASSERT_GE(bar->backdrop().blurCount(), 1);
    const int made = bar->backdrop().blurCount();
    // The backdrop behind the workbench keeps moving; the bar lies over the editor, which hides it.
    runFrames(40);
    EXPECT_EQ(bar->backdrop().blurCount(), made);
    // Typing a query marks its matches in the text under the bar: that is a change behind it.
    window->app->findState().setQuery(QStringLiteral("other"));
    EXPECT_TRUE(waitUntil([&] { return bar->backdrop().blurCount() > made; }));
}

// A find that moves the caret far changes the status bar's text, and so the window's layout: the
// panels around the editor stay where they were, so the backdrop's frames after it lay them over
// as they were drawn, as before the find, rather than drawing each of them afresh.
TEST_F(OverlayRestTest, AFindThatMovesTheCaretLeavesThePanelsAsTheyWereDrawn) {
    window->app->setFindOpen(true);
    ASSERT_TRUE(settled(window->root->findBar()));
    auto* editor = window->root->findChild<CodeEditorView*>();
    ASSERT_TRUE(editor);
    // The kept pictures of the panels; the caret's own label changes with the find.
    const auto panelRenders = [&] {
        int n = 0;
        for (const LayerCache* cache : window->root->findChildren<LayerCache*>()) {
            const auto* label = qobject_cast<const QLabel*>(cache->parent());
            if (!label || !label->text().startsWith(u"Ln ")) n += cache->renderCount();
        }
        return n;
    };
    editor->moveCursor(QTextCursor::End);
    // Until the window's late news (the folder's listing, git's answer) and the caret's move have
    // been drawn.
    ASSERT_TRUE(waitUntil([&] {
        const int renders = panelRenders();
        runFrames(8);
        spin(200);
        runFrames(8);
        return panelRenders() == renders;
    }));
    const int before = panelRenders();
    window->app->findState().setQuery(QStringLiteral("value"));
    ASSERT_TRUE(waitUntil([&] { return window->app->findState().current() == 1 && !window->app->findState().counting(); }));
    runFrames(40);
    EXPECT_EQ(panelRenders(), before);
}

TEST_F(OverlayRestTest, TheOverlaysCardShowsTheCodeBehindItBlurred) {
    window->app->setPaletteOpen(true);
    auto* scaffold = window->root->overlay(RootView::Overlay::palette)->findChild<PaletteScaffold*>();
    ASSERT_TRUE(scaffold);
    ASSERT_TRUE(settled(window->root->overlay(RootView::Overlay::palette)));
    EXPECT_GE(scaffold->backdrop().blurCount(), 1);
    // What was read behind the card is the dimmed code: lines of text, not the card's own rows.
    // Text painted late (the file is read and coloured after the window opens) reaches the glass
    // at the latest when its next drift is due.
    const auto light = [&] {
        const QImage& sharp = scaffold->backdrop().sharp();
        int n = 0;
        for (int y = 0; y < sharp.height(); ++y)
            for (int x = 0; x < sharp.width(); x += 3) n += qGray(sharp.pixel(x, y)) > 60;
        return n;
    };
    EXPECT_TRUE(waitUntil([&] { return light() > 20; })) << light();
}

// The editor repaints whole under the find bar when its matches appear or the focus leaves it; the
// backdrop under the workbench is built only where it shows, not under the editor painting over it.
TEST_F(OverlayRestTest, TheEditorRepaintsWithoutTheBackdropUnderIt) {
    auto* editor = window->root->findChild<CodeEditorView*>();
    ASSERT_TRUE(editor);
    aurora()->setResting(true);
    statusDot()->setResting(true);
    ASSERT_TRUE(quiet());
    {
        // Nor does the file list, which shows nothing of the find bar, repaint as it comes.
        EventCounter counter;
        window->app->setFindOpen(true);
        aurora()->setResting(true);  // the bar's coming let it move again
        statusDot()->setResting(true);
        ASSERT_TRUE(settled(window->root->findBar()));
        EXPECT_EQ(counter.counts.value("FileExplorerView"), 0) << counter.names().toStdString();
    }
    FindBar* bar = window->root->findBar();
    ASSERT_TRUE(quiet());
    const qint64 built = aurora()->renderer().pixelsBuilt();
    editor->update();
    bar->update();
    QCoreApplication::processEvents();
    EXPECT_EQ(aurora()->renderer().pixelsBuilt() - built, 0);
}

// For each repaint of a window, the area its backdrop (which lies under everything) was asked to
// paint: how much of the workbench that repaint drew again.
class UnderAreas : public QObject {
public:
    explicit UnderAreas(QWidget* window) : window_(window) { qApp->installEventFilter(this); }
    ~UnderAreas() override { qApp->removeEventFilter(this); }
    qint64 largest = 0;  // in one repaint
    qint64 total = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::UpdateRequest) frame_ = 0;
        if (event->type() == QEvent::Paint && qobject_cast<AuroraBackground*>(watched)) {
            for (const QRect& r : static_cast<QPaintEvent*>(event)->region()) {
                frame_ += qint64(r.width()) * r.height();
                total += qint64(r.width()) * r.height();
            }
            largest = std::max(largest, frame_);
        }
        return false;
    }

private:
    QWidget* window_;
    qint64 frame_ = 0;
};

// Once in place, an overlay's card shows what lies behind it as it is now; the window under the
// overlay, held still while it came, is drawn again a part at a time, never all in one frame.
TEST_F(OverlayRestTest, AnOverlaySettlesWithoutRepaintingTheWholeWindowInOneFrame) {
    aurora()->setResting(true);
    statusDot()->setResting(true);
    ASSERT_TRUE(quiet());
    UnderAreas under(window.get());
    window->app->setQuickOpenOpen(true);
    ASSERT_TRUE(settled(window->root->overlay(RootView::Overlay::quickOpen)));
    ASSERT_TRUE(quiet());
    EXPECT_GT(under.largest, 0);
    EXPECT_LE(under.largest, qint64(window->width()) * window->height() / 2);
}

} // namespace

// Coming and going, an overlay over the whole window moves its card and fades its dim over a still
// picture of the window: the workbench under it is not drawn again at every frame.
TEST_F(OverlayRestTest, AnOverlayComesAndGoesWithoutRepaintingTheWorkbenchAtEachFrame) {
    // What moves by itself under it is held still, so that every paint counted is the overlay's doing.
    aurora()->setResting(true);
    statusDot()->setResting(true);
    ASSERT_TRUE(quiet());
    // Frames that drew the workbench under the overlay (the backdrop lies under all of it).
    auto underPaints = [](const EventCounter& c) { return c.counts.value("AuroraBackground"); };
    QPointer<QWidget> overlay;
    {
        EventCounter counter;
        UnderAreas under(window.get());
        window->app->setPaletteOpen(true);
        overlay = window->root->overlay(RootView::Overlay::palette);
        ASSERT_TRUE(overlay);
        int frames = 0;
        ASSERT_TRUE(waitUntil([&] {
            frames = counter.counts.value("PaletteScaffold");
            return !OverlayTransition::isMoving(overlay);
        }));
        EXPECT_GE(frames, 3);
        // Once in place it is drawn again, behind the card and then band by band: about once in all.
        const qint64 whole = qint64(window->width()) * window->height();
        EXPECT_LE(under.total, whole * 3 / 2) << counter.names().toStdString();
        EXPECT_LE(underPaints(counter), 1 + window->height() / PaletteScaffold::kBandHeight + 1);
    }
    ASSERT_TRUE(quiet());
    EventCounter counter;
    window->app->setPaletteOpen(false);
    aurora()->setResting(true);
    statusDot()->setResting(true);
    ASSERT_TRUE(waitUntil([&] { return overlay.isNull(); }));
    EXPECT_GE(counter.counts.value("PaletteScaffold"), 3);
    // Drawn anew: at the exit's first frame (which the fade then keeps), when the editor takes the
    // focus back, and once the overlay is gone; never once a frame.
    EXPECT_LE(underPaints(counter), 3) << counter.names().toStdString();
}

// With nothing open over it, the backdrop moves under the translucent panels around the editor:
// each frame repaints the backdrop and the panels' tints, while the panels' widgets (buttons,
// file rows, tabs, labels) are laid over it as they were last drawn, not drawn again.
TEST_F(OverlayRestTest, TheBackdropMovesUnderThePanelsWithoutDrawingTheirWidgetsAgain) {
    ASSERT_TRUE(waitUntil([&] { return aurora()->timeline().isRunning(); }));
    static const QStringList tints = {"AuroraBackground", "QWidget", "StatusBarView", "StatusDot"};
    QString painted;
    // The window's late news (the folder's listing, git's answer) repaints the panels once more
    // when it comes: a run of frames counts once it has all been drawn.
    const bool onlyTints = waitUntil([&] {
        EventCounter counter;
        const double before = aurora()->frameTime();
        runFrames(48);
        painted = counter.names();
        if (aurora()->frameTime() == before || counter.counts.value("AuroraBackground") == 0) return false;
        for (auto it = counter.counts.begin(); it != counter.counts.end(); ++it)
            if (!tints.contains(it.key())) return false;
        return true;
    });
    EXPECT_TRUE(onlyTints) << painted.toStdString();
}
