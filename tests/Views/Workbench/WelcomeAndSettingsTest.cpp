// The welcome screen completes exactly when the window has something to work on; the settings
// window writes every control straight to the settings store and explains the AI tool choice.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QHash>
#include <QPaintEvent>
#include <QPointer>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QSignalSpy>
#include <QSlider>
#include <algorithm>

#include "Platform/SettingsStore.h"
#include "ScriptedPrompter.h"
#include "UI/AuroraBackground.h"
#include "UI/CascadeModifier.h"
#include "UI/GlassBackdrop.h"
#include "UI/GlassCard.h"
#include "UI/GradientButton.h"
#include "UI/PressableButton.h"
#include "UI/Timeline.h"
#include "Views/ViewsTestSupport.h"
#include "Views/Workbench/SegmentedPicker.h"
#include "Views/Workbench/SettingsView.h"
#include "Views/Workbench/WelcomeView.h"

using namespace testing_support;

namespace {

class WelcomeViewTest : public ::testing::Test {
protected:
    std::unique_ptr<WelcomeView> make() {
        auto view = std::make_unique<WelcomeView>(app, [this] { ++completed; });
        view->resize(1040, 720);
        view->show();
        return view;
    }
    // Active, with its entrance played out: the effects are gone once the groups are in place.
    static bool settle(QWidget& view) {
        view.activateWindow();
        return QTest::qWaitForWindowActive(&view, 60000) && waitUntil([&] {
            const auto all = view.findChildren<QWidget*>();
            return std::none_of(all.begin(), all.end(), [](QWidget* w) { return qobject_cast<CascadeModifier*>(w->graphicsEffect()); });
        });
    }
    TempFolder dir;
    AppState app;
    int completed = 0;
};

TEST_F(WelcomeViewTest, RecentListShowsTheFourNewestOrNothing) {
    SettingsStore::shared().remove(SettingsKey::recentFolders);
    {
        AppState fresh;
        WelcomeView view(fresh, {});
        EXPECT_EQ(view.recentHeader(), nullptr);
        EXPECT_TRUE(view.recentButtons().isEmpty());
    }
    for (int i = 1; i <= 8; ++i) app.openFolder(dir.mkdir(QStringLiteral("folder-with-a-rather-long-name-%1").arg(i)));
    auto view = make();
    ASSERT_EQ(view->recentButtons().size(), 4);
    EXPECT_EQ(view->recentButtons()[0]->toolTip(), dir.file("folder-with-a-rather-long-name-8")) << "newest first";
    EXPECT_EQ(view->recentButtons()[3]->toolTip(), dir.file("folder-with-a-rather-long-name-5"));
}

// A folder opened behind the screen (the window's first load restores one) joins the list at once.
TEST_F(WelcomeViewTest, RecentListFollowsTheRecentFolders) {
    SettingsStore::shared().remove(SettingsKey::recentFolders);
    AppState fresh;
    WelcomeView view(fresh, {});
    view.resize(1040, 720);
    view.show();
    ASSERT_TRUE(view.recentButtons().isEmpty());
    fresh.openFolder(dir.mkdir("restored"));
    ASSERT_EQ(view.recentButtons().size(), 1);
    EXPECT_EQ(view.recentButtons()[0]->toolTip(), dir.file("restored"));
    ASSERT_NE(view.recentHeader(), nullptr);
    EXPECT_TRUE(view.recentButtons()[0]->isVisibleTo(&view));
    fresh.openFolder(dir.mkdir("later"));
    ASSERT_EQ(view.recentButtons().size(), 2);
    EXPECT_EQ(view.recentButtons()[0]->toolTip(), dir.file("later")) << "newest first";
    // A recent row's own click changes the list it belongs to.
    view.recentButtons()[1]->click();
    EXPECT_EQ(fresh.rootNode()->url(), dir.file("restored"));
    QCoreApplication::processEvents();
    EXPECT_EQ(view.recentButtons()[0]->toolTip(), dir.file("restored"));
}

// Open Folder cancelled and the clone sheet closed complete the screen only with a folder open.
TEST_F(WelcomeViewTest, OpenFolderAndTheCloneSheetCompleteOnlyWithAFolderOpen) {
    auto view = make();
    ScriptedChooser chooser;
    chooser.answers = {std::nullopt};
    view->openFolderButton()->click();
    view->cloneButton()->click();
    ASSERT_NE(view->cloneSheet(), nullptr);
    view->cloneSheet()->reject();
    EXPECT_EQ(completed, 0) << "cancelled with no folder: the screen stays";
    chooser.answers = {dir.mkdir("p")};
    view->openFolderButton()->click();
    EXPECT_EQ(completed, 1);
    chooser.answers = {std::nullopt};
    view->openFolderButton()->click();
    EXPECT_EQ(completed, 2) << "a folder already open behind the screen completes it even when cancelled";
    view->cloneButton()->click();
    view->cloneSheet()->reject();
    EXPECT_EQ(completed, 3);
}

TEST_F(WelcomeViewTest, BlankFileAndRecentFoldersCompleteUnconditionally) {
    auto view = make();
    view->blankFileButton()->click();
    EXPECT_EQ(completed, 1);
    ASSERT_EQ(app.documents().size(), 1);
    EXPECT_FALSE(app.activeDocument()->url().has_value());
    EXPECT_EQ(app.rootNode(), nullptr);

    view->openRecent(dir.file("vanished"));
    EXPECT_EQ(completed, 2) << "even a folder that no longer exists";
}

// What the screen shows while the backdrop animates, after the focus moves and after a sheet came
// and went, is a full repaint of the same moment (within a few levels), at every size: no seam
// where one part was drawn at another moment than the rest, no box, no slab.
TEST_F(WelcomeViewTest, TheScreenMatchesAFullRepaintOfTheSameMoment) {
    for (const QSize size : {QSize(1040, 720), QSize(1280, 820), QSize(1700, 1000)}) {
        QWidget window;
        auto* view = new WelcomeView(app, {}, &window);
        window.resize(size);
        view->resize(size);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window, 60000));
        auto* backdrop = view->findChild<AuroraBackground*>();
        ASSERT_NE(backdrop, nullptr);
        // The entrance has played out: its effects are gone once the groups are in place.
        ASSERT_TRUE(waitUntil([&] {
            const auto all = view->findChildren<QWidget*>();
            return std::none_of(all.begin(), all.end(), [](QWidget* w) { return qobject_cast<CascadeModifier*>(w->graphicsEffect()); });
        }));
        const auto compare = [&](const char* when) {
            // Right after a tick, with its repaints done and before the next one can come.
            QSignalSpy ticked(&backdrop->timeline(), &Timeline::tick);
            ASSERT_TRUE(ticked.wait(120000));
            QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateLater);
            const QImage shown = window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
            const QImage full = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
            ASSERT_EQ(shown.size(), full.size());
            int off = 0, worst = 0;
            QRect where;
            for (int y = 0; y < full.height(); ++y)
                for (int x = 0; x < full.width(); ++x) {
                    const QRgb a = shown.pixel(x, y), b = full.pixel(x, y);
                    const int d = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
                    worst = std::max(worst, d);
                    if (d > 3) {
                        ++off;
                        where |= QRect(x, y, 1, 1);
                    }
                }
            EXPECT_EQ(off, 0) << when << " at " << size.width() << "×" << size.height() << ": " << off
                              << " pixels differ by up to " << worst << " levels, within " << where.x() << "," << where.y()
                              << " " << where.width() << "×" << where.height();
        };
        compare("at rest");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        compare("after the focus moved");
        view->cloneButton()->click();
        ASSERT_NE(view->cloneSheet(), nullptr);
        view->cloneSheet()->reject();
        // Gone: hidden and deleted, the window no longer blocked by it.
        ASSERT_TRUE(waitUntil([&] { return view->cloneSheet() == nullptr; }));
        compare("after a sheet came and went");
    }
}

// At rest the backdrop moves under the glass and the title's sheen sweeps: the buttons, the feature
// rows and the tagline lie still over them and are laid over each frame as last drawn.
TEST_F(WelcomeViewTest, FramesAtRestDoNotDrawTheStillWidgetsAgain) {
    auto view = make();
    ASSERT_TRUE(settle(*view));
    auto* backdrop = view->findChild<AuroraBackground*>();
    QSignalSpy ticked(&backdrop->timeline(), &Timeline::tick);
    ASSERT_TRUE(ticked.wait(120000));
    QCoreApplication::processEvents();
    struct Counter : QObject {
        QHash<QString, int> paints;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Paint) ++paints[watched->metaObject()->className()];
            return false;
        }
    } counter;
    qApp->installEventFilter(&counter);
    for (int frames = 0; frames < 6; ++frames) ASSERT_TRUE(ticked.wait(120000));
    QCoreApplication::processEvents();
    qApp->removeEventFilter(&counter);
    EXPECT_GT(counter.paints.value("AuroraBackground"), 0);
    for (const char* still : {"PressableButton", "CachedLabel", "QLabel"}) EXPECT_EQ(counter.paints.value(still), 0) << still;
    // What the frames and the sheen do repaint draws no styled background of its own: a style
    // sheet's background is drawn at every repaint of the widget that has it, and reaches its children.
    for (QWidget* w : view->findChildren<QWidget*>())
        if (!qobject_cast<QLabel*>(w) && !qobject_cast<QScrollBar*>(w))
            EXPECT_FALSE(w->testAttribute(Qt::WA_StyledBackground) || w->style()->inherits("QStyleSheetStyle"))
                << w->metaObject()->className();
}

// Under the glass card lies its blur, made at most once an interval: between those the card's
// middle shows the same pixels whatever the backdrop does, and the backdrop's frames leave it alone.
TEST_F(WelcomeViewTest, FramesAtRestRedrawTheGlassMiddleOnlyWhenItsBlurIsDue) {
    auto view = make();
    ASSERT_TRUE(settle(*view));
    auto* card = view->findChild<GlassCard*>();
    ASSERT_NE(card, nullptr);
    const QRect glass = card->glassRect().toAlignedRect();
    const int inset = int(GlassCard::kCornerRadius) + 2;  // clear of the corners' soft edge
    const QRect middle = glass.adjusted(inset, inset, -inset, -inset);
    auto* backdrop = view->findChild<AuroraBackground*>();
    QSignalSpy ticked(&backdrop->timeline(), &Timeline::tick);
    ASSERT_TRUE(ticked.wait(120000));
    QCoreApplication::processEvents();
    struct Counter : QObject {
        QRect middle;
        int paints = 0, middlePaints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() != QEvent::Paint) return false;
            ++paints;
            if (static_cast<QPaintEvent*>(event)->region().intersects(middle)) ++middlePaints;
            return false;
        }
    } counter;
    counter.middle = middle;
    card->installEventFilter(&counter);
    QElapsedTimer elapsed;
    elapsed.start();
    constexpr int kFrames = 12;
    for (int frames = 0; frames < kFrames; ++frames) ASSERT_TRUE(ticked.wait(120000));
    QCoreApplication::processEvents();
    card->removeEventFilter(&counter);
    EXPECT_GT(counter.paints, 0);  // its shadow and rim still lie over the moving backdrop
    // Once an interval the due blur, and the one redraw asked for in case the backdrop stopped, which
    // a slow turn can let land just after it.
    EXPECT_LE(counter.middlePaints, 2 * (1 + elapsed.elapsed() / GlassBackdrop::kDriftIntervalMs)) << "of " << kFrames;
}

// ---

class SettingsViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const QString& key : {SettingsKey::fontSize, SettingsKey::tabWidth, SettingsKey::aiBackend, SettingsKey::onboarded})
            SettingsStore::shared().remove(key);
    }
    // A detector that answers when told to.
    SettingsView::Detector scripted() {
        return [this](Completion<std::optional<AIBackend>> done) { pending = std::move(done); };
    }
    Completion<std::optional<AIBackend>> pending;
};

TEST_F(SettingsViewTest, HintNamesTheChosenToolAndFontSizesReadWhole) {
    EXPECT_EQ(SettingsView::backendHint(AIBackend::codex, "claude"), "Commit messages and Ask AI shell through your Claude Code.")
        << "names the chosen tool, not the detected one";
    EXPECT_EQ(SettingsView::backendHint(AIBackend::codex, "Claude"), "Commit messages and Ask AI shell through your selected CLI.");
    EXPECT_EQ(SettingsView::fontSizeText(13.7), "13 pt");
    EXPECT_EQ(SettingsView::fontSizeText(std::numeric_limits<double>::quiet_NaN()), "13 pt");
}

TEST_F(SettingsViewTest, ControlsReadDefaultsAndWriteStraightThrough) {
    SettingsView view(scripted());
    view.show();
    EXPECT_EQ(view.fontSlider()->value(), 13);
    EXPECT_EQ(view.fontValue()->text(), "13 pt");
    EXPECT_EQ(view.tabWidthPicker()->selectedIndex(), 1);
    EXPECT_EQ(view.backendPicker()->selectedIndex(), 0);

    view.fontSlider()->setValue(17);
    EXPECT_EQ(SettingsStore::shared().number(SettingsKey::fontSize, 0), 17);
    EXPECT_EQ(view.fontValue()->text(), "17 pt");
    view.fontSlider()->setValue(40);
    EXPECT_EQ(SettingsStore::shared().number(SettingsKey::fontSize, 0), 24) << "the slider stops at 24";

    view.tabWidthPicker()->segment(2)->click();
    EXPECT_EQ(SettingsStore::shared().value(SettingsKey::tabWidth), QJsonValue(8));
    SettingsStore::shared().setValue(SettingsKey::tabWidth, 3);
    EXPECT_EQ(view.tabWidthPicker()->selectedIndex(), -1) << "an odd stored width selects no segment";

    view.backendPicker()->segment(2)->click();
    EXPECT_EQ(SettingsStore::shared().string(SettingsKey::aiBackend), "codex");
    SettingsStore::shared().setValue(SettingsKey::aiBackend, QStringLiteral("Claude"));
    EXPECT_EQ(view.backendPicker()->selectedIndex(), -1);

    SettingsStore::shared().setValue(SettingsKey::onboarded, true);
    view.welcomeTourButton()->click();
    EXPECT_FALSE(SettingsStore::shared().boolean(SettingsKey::onboarded, true));

    QStringList posted;
    QObject::connect(&NotificationCenter::shared(), &NotificationCenter::posted, &view, [&](const QString& n) { posted << n; });
    view.whatsNewButton()->click();
    EXPECT_EQ(posted, QStringList{"ziduduzovu.whatsnew"});
}

TEST_F(SettingsViewTest, TheHintWaitsForDetectionAndFollowsTheChoice) {
    SettingsView view(scripted());
    view.show();
    EXPECT_TRUE(view.hint()->text().startsWith("No claude or codex CLI")) << "until detection has finished";
    pending(std::optional<AIBackend>(AIBackend::claude));
    EXPECT_EQ(view.hint()->text(), "Uses whichever CLI is on your PATH — currently Claude Code.");
    view.backendPicker()->segment(2)->click();
    EXPECT_EQ(view.hint()->text(), "Commit messages and Ask AI shell through your Codex.");
}

// Tab and Shift+Tab walk every control of the window in the order they are seen, round and round;
// Escape closes the window.
TEST_F(SettingsViewTest, TabWalksEveryControlAndEscapeCloses) {
    auto* view = new SettingsView(scripted());
    view->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<SettingsView> alive(view);
    view->show();
    view->activateWindow();
    QApplication::setActiveWindow(view);
    ASSERT_TRUE(QTest::qWaitForWindowActive(view, 60000));
    QList<QWidget*> controls{view->fontSlider()};
    for (SegmentedPicker* picker : {view->tabWidthPicker(), view->backendPicker()})
        for (int i = 0; picker->segment(i); ++i) controls << picker->segment(i);
    controls << view->welcomeTourButton() << view->whatsNewButton();
    view->fontSlider()->setFocus(Qt::TabFocusReason);
    for (int round = 0; round < 2; ++round)
        for (qsizetype i = 0; i < controls.size(); ++i) {
            ASSERT_EQ(QApplication::focusWidget(), controls[i]) << "stop " << i;
            views_test::press(Qt::Key_Tab);
        }
    for (qsizetype i = controls.size() - 1; i >= 0; --i) {
        views_test::press(Qt::Key_Backtab, Qt::ShiftModifier);
        ASSERT_EQ(QApplication::focusWidget(), controls[i]) << "back to stop " << i;
    }
    views_test::press(Qt::Key_Escape);
    EXPECT_TRUE(waitUntil([&] { return !alive; })) << "Escape closes the window";
    delete alive.data();
}

// The settings window opens with the keys on the font slider, where the arrows change the size:
// the slider shows that it has them, as every other control does (the style marks it only after
// a Tab, not when the window opens with it).
TEST_F(SettingsViewTest, TheFontSliderShowsThatItHasTheKeysWhenTheWindowOpens) {
    SettingsView view(scripted());
    QTest::keyClick(&view, Qt::Key_Comma, Qt::ControlModifier);  // opened from the keyboard
    view.show();
    view.activateWindow();
    QApplication::setActiveWindow(&view);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view, 60000));
    QSlider* slider = view.fontSlider();
    ASSERT_TRUE(waitUntil([&] { return QApplication::focusWidget() == slider; }));
    const QImage holding = slider->grab().toImage();
    slider->clearFocus();
    EXPECT_GT(largestChannelDifference(holding, slider->grab().toImage()), 64) << "the slider looks the same with the keys";
}

} // namespace
