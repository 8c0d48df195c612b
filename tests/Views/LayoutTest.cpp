// Every view, popover and sheet at the smallest and the default window size, filled with long
// content: no row or label is squashed below its font's line height, no popup leaves the screen,
// and no text is shortened while its row has room for it. Set BRIMEL_SHOT_DIR to keep a picture
// of each.
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>

#include "Git/GitTestSupport.h"
#include "Platform/SettingsStore.h"
#include "UI/ElidedText.h"
#include "UI/PressableButton.h"
#include "Views/EditorPaneView.h"
#include "Views/HTTP/CollectionFileRow.h"
#include "Views/HTTP/HTTPStyle.h"
#include "Views/HTTP/HistoryPopover.h"
#include "Views/HTTP/RequestCollectionsPanel.h"
#include "Views/HTTP/RequestView.h"
#include "Views/HTTP/StatusPill.h"
#include "Views/Navigation/ProjectSearchView.h"
#include "Views/Navigation/QuickOpenView.h"
#include "Views/SourceControl/BranchPopover.h"
#include "Views/SourceControl/CloneSheet.h"
#include "Views/ViewsTestSupport.h"
#include "Views/Workbench/SettingsView.h"
#include "Views/Workbench/StatusBarView.h"
#include "Views/Workbench/WelcomeView.h"
#include "Views/Workbench/WhatsNewView.h"

using namespace testing_support;
using namespace views_test;

namespace {

const QList<QSize> kWindowSizes{{1040, 720}, {1280, 820}};
const QString kLong = QStringLiteral("a-rather-long-name-that-keeps-going-for-quite-a-while");

QString describe(const QWidget* w) {
    QString name = QString::fromLatin1(w->metaObject()->className());
    if (!w->objectName().isEmpty()) name += "#" + w->objectName();
    if (auto* label = qobject_cast<const QLabel*>(w)) name += " \"" + label->text().left(40) + "\"";
    return name;
}

// Free width at the trailing end of a text's row: what its layout left unused.
int spareWidth(const QWidget* text) {
    const QWidget* row = text->parentWidget();
    if (!row) return 0;
    int right = 0;
    for (const QWidget* sibling : row->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (sibling->isVisible()) right = std::max(right, sibling->geometry().right());
    return row->contentsRect().right() - right;
}

// What a user would notice in one view: squashed rows and labels, texts cut short with room to
// spare, popups off the screen.
QStringList problemsIn(QWidget* top) {
    QStringList problems;
    QList<QWidget*> widgets = top->findChildren<QWidget*>();
    widgets.prepend(top);
    for (QWidget* w : widgets) {
        if (w != top && !w->isVisibleTo(top)) continue;
        if (QLayout* layout = w->layout(); layout && w->height() + 1 < layout->minimumSize().height())
            problems << QStringLiteral("%1 is %2 high, its content needs %3").arg(describe(w)).arg(w->height()).arg(layout->minimumSize().height());
        if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty()) {
            const int line = QFontMetrics(label->font()).height();
            const int need = label->wordWrap() ? std::min(label->heightForWidth(label->width()), label->maximumHeight()) : line;
            const int have = label->wordWrap() ? label->height() : label->contentsRect().height();
            if (have + 1 < std::min(need, label->maximumHeight()))
                problems << QStringLiteral("%1 is %2 high, its text needs %3").arg(describe(w)).arg(have).arg(need);
            if (label->text().endsWith(QChar(0x2026)) && !label->wordWrap() && spareWidth(label) > 8)
                problems << QStringLiteral("%1 is shortened with room to spare").arg(describe(w));
        }
        if (auto* text = qobject_cast<ElidedText*>(w)) {
            if (text->height() < QFontMetrics(text->font()).height())
                problems << QStringLiteral("%1 is %2 high").arg(describe(w)).arg(text->height());
            if (text->isElided() && spareWidth(text) > 8) problems << QStringLiteral("%1 is shortened with room to spare").arg(describe(w));
        }
        if (auto* scroll = qobject_cast<QScrollArea*>(w);
            scroll && scroll->widget() && scroll->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOff &&
            scroll->widget()->width() > scroll->viewport()->width())
            problems << QStringLiteral("%1 holds content %2 wide in %3: its right end is cut off")
                            .arg(describe(w)).arg(scroll->widget()->width()).arg(scroll->viewport()->width());
        if (auto* row = qobject_cast<CollectionFileRow*>(w); row && row->height() < QFontMetrics(HTTPStyle::font(12.5)).height())
            problems << QStringLiteral("the row of %1 is %2 high").arg(row->fileName()).arg(row->height());
        if (auto* button = qobject_cast<PressableButton*>(w); button && !button->label().text.isEmpty())
            if (button->height() < QFontMetrics(button->label().font).height())
                problems << QStringLiteral("button \"%1\" is %2 high").arg(button->label().text).arg(button->height());
        if (auto* pill = qobject_cast<StatusPill*>(w); pill && pill->shownText() != pill->text())
            if (spareWidth(pill) > 8) problems << QStringLiteral("the status pill cuts \"%1\" with room to spare").arg(pill->text());
        if (w->isWindow() && w != top && w->isVisible()) {
            const QRect screen = (w->screen() ? w->screen() : QGuiApplication::primaryScreen())->availableGeometry();
            if (!screen.contains(w->frameGeometry()))
                problems << QStringLiteral("%1 at %2,%3 %4×%5 leaves the screen").arg(describe(w)).arg(w->x()).arg(w->y())
                                .arg(w->width()).arg(w->height());
        }
    }
    return problems;
}

void expectSound(QWidget* view, const QString& name, QSize size) {
    // Overlays grow into place as they open: wait for the settled layout (the deadline only bounds a hang).
    waitUntil([&] { return problemsIn(view).isEmpty(); }, 120000);
    const QStringList problems = problemsIn(view);
    EXPECT_TRUE(problems.isEmpty()) << name.toStdString() << " at " << size.width() << "×" << size.height() << ":\n  "
                                    << problems.join("\n  ").toStdString();
    const QString dir = qEnvironmentVariable("BRIMEL_SHOT_DIR");
    if (!dir.isEmpty()) {
        spin(900);  // only for the picture: entrance animations finish
        QDir().mkpath(dir);
        view->grab().save(QDir(dir).filePath(QStringLiteral("%1-%2x%3.png").arg(name).arg(size.width()).arg(size.height())));
    }
}

class LayoutTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { git_test::useIsolatedGitConfig(); }
    void SetUp() override {
        QStringList recents;
        for (int i = 0; i < 8; ++i) recents << folder.file(QStringLiteral("recent-%1-%2").arg(i).arg(kLong));
        SettingsStore::shared().setValue(SettingsKey::recentFolders, QJsonArray::fromStringList(recents));
        // A repository with long file names, several branches and changes.
        const QString repo = folder.file("project");
        folder.write("project/README.md", "hello\n");
        for (int i = 0; i < 12; ++i) folder.write(QStringLiteral("project/src/%1-%2.py").arg(kLong).arg(i), "print('x')\n");
        folder.write("project/requests/" + kLong + ".http",
                     ("### " + kLong + "\nGET https://api.example.com/" + kLong + "/" + kLong + "\n").toUtf8());
        git_test::gitOk(repo, {"init", "-q", "-b", "main"});
        git_test::gitOk(repo, {"add", "-A"});
        git_test::gitOk(repo, {"commit", "-q", "-m", "first"});
        for (int i = 0; i < 6; ++i) git_test::gitOk(repo, {"branch", QStringLiteral("feature/%1-%2").arg(kLong).arg(i)});
        // A branch that cannot be switched to while README.md has changes here.
        git_test::gitOk(repo, {"checkout", "-q", "-b", "other"});
        folder.write("project/README.md", "other\n");
        git_test::gitOk(repo, {"commit", "-q", "-am", "other"});
        git_test::gitOk(repo, {"checkout", "-q", "main"});
        folder.write("project/README.md", "changed here\n");
        folder.write("project/new-" + kLong + ".txt", "new\n");
    }
    void TearDown() override { SettingsStore::shared().remove(SettingsKey::recentFolders); }

    TempFolder folder;
};

TEST_F(LayoutTest, WelcomeSettingsWhatsNewAndCloneHoldTheirContent) {
    for (QSize size : kWindowSizes) {
        AppState app;
        ASSERT_EQ(app.recentFolders().size(), 8);
        QWidget window;
        window.resize(size);
        auto* welcome = new WelcomeView(app, [] {}, &window);
        welcome->resize(size);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, 60000));
        EXPECT_EQ(welcome->recentButtons().size(), WelcomeView::kRecentRows);
        expectSound(welcome, "welcome", size);
        auto* scroll = welcome->findChild<QScrollArea*>();
        ASSERT_NE(scroll, nullptr);
        EXPECT_EQ(scroll->verticalScrollBar()->maximum(), 0) << "everything fits without scrolling";

        welcome->cloneRepository();
        ASSERT_NE(welcome->cloneSheet(), nullptr);
        auto* sheet = static_cast<CloneSheet*>(welcome->cloneSheet());
        sheet->urlField()->setText("https://git.example.com/" + kLong + "/" + kLong + ".git");
        expectSound(sheet, "clone", size);
        sheet->close();
    }
    SettingsView settings;
    settings.show();
    expectSound(&settings, "settings", settings.size());
}

TEST_F(LayoutTest, EveryReleaseNotesSheetHoldsItsContent) {
    for (QSize size : kWindowSizes) {
        MenuTestWindow window;
        window.showActive(size);
        for (const WhatsNewEntry& entry : WhatsNew::all()) {
            window.app->setWhatsNew(entry);
            WhatsNewView* sheet = window.root->whatsNewSheet();
            ASSERT_NE(sheet, nullptr);
            ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet, 60000));
            EXPECT_EQ(sheet->width(), WhatsNewView::kSide);
            // The sheet stays inside the smallest window, so it fits any screen that holds one.
            EXPECT_LE(sheet->height(), kWindowSizes.first().height());
            expectSound(sheet, "whats-new-" + entry.version, size);
        }
        window.app->setWhatsNew(std::nullopt);
    }
}

TEST_F(LayoutTest, WorkbenchPanelsPopoversAndOverlaysHoldTheirContent) {
    // More request files than the panel can show at once, one too large to be expanded.
    for (int i = 0; i < 18; ++i)
        folder.write(QStringLiteral("project/api/%1-%2.http").arg(kLong).arg(i), "### a\nGET https://a\n\n### b\nGET https://b\n");
    QByteArray echo;
    for (int i = 0; i < 14; ++i) echo += "### echo " + QByteArray::number(i) + "\nGET https://e\n\n";
    folder.write("project/api/echo.http", echo);
    for (QSize size : kWindowSizes) {
        MenuTestWindow window;
        window.showActive(size);
        AppState& app = *window.app;
        app.setWhatsNew(std::nullopt);
        app.openFolder(folder.file("project"));
        app.open(folder.file(QStringLiteral("project/src/%1-0.py").arg(kLong)));
        ASSERT_TRUE(waitUntil([&] { return window.root->statusBar()->branchButton() && !app.git().changes().isEmpty(); }, 120000));
        for (SidebarPanel panel : {SidebarPanel::explorer, SidebarPanel::sourceControl, SidebarPanel::api}) {
            app.setSidebar(panel);
            QApplication::processEvents();
            expectSound(window.root, QStringLiteral("workbench-%1").arg(int(panel)), size);
        }
        auto* collections = window.root->findChild<RequestCollectionsPanel*>();
        ASSERT_NE(collections, nullptr);
        auto* scroll = collections->findChild<QScrollArea*>();
        ASSERT_NE(scroll, nullptr);
        EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0) << "the rows that do not fit scroll";
        const QList<CollectionFileRow*> files = collections->fileRows();
        const auto echoRow = std::find_if(files.begin(), files.end(), [](CollectionFileRow* r) { return r->fileName() == "echo.http"; });
        ASSERT_NE(echoRow, files.end());
        EXPECT_FALSE((*echoRow)->isExpanded());

        // The branch popover, also after a switch that git refuses.
        BranchPopover* branches = BranchPopover::show(app, window.root->statusBar()->branchButton());
        expectSound(branches, "branches", size);
        branches->switchTo({QStringLiteral("other"), std::nullopt});
        ASSERT_TRUE(waitUntil([&] { return branches->errorText().has_value(); }, 120000));
        expectSound(branches, "branches-error", size);
        branches->close();

        // Opened upward from a window whose bottom is the screen's (as when maximised), then grown
        // by a refused switch: it stays on the screen and off its own button.
        const QRect screen = window.screen()->availableGeometry();
        window.move(screen.left(), screen.bottom() + 1 - window.frameGeometry().height());
        ASSERT_TRUE(waitUntil([&] { return window.frameGeometry().bottom() == screen.bottom(); }));
        QWidget* button = window.root->statusBar()->branchButton();
        const auto placement = [&](const BranchPopover* popover) {
            const QRect anchor(button->mapToGlobal(QPoint(0, 0)), button->size());
            const QRect box = popover->frameGeometry();
            QStringList faults;
            if (!screen.contains(box)) faults << "leaves the screen";
            if (box.intersects(anchor)) faults << "covers its button";
            if (box.bottom() > anchor.top()) faults << "is not above its button";
            return QStringLiteral("%1,%2 %3×%4 for a button at %5,%6: %7")
                .arg(box.x()).arg(box.y()).arg(box.width()).arg(box.height()).arg(anchor.x()).arg(anchor.y())
                .arg(faults.isEmpty() ? QStringLiteral("fine") : faults.join(", "));
        };
        BranchPopover* upward = BranchPopover::show(app, button);
        const auto placedWell = [&] { return placement(upward).endsWith("fine"); };
        EXPECT_TRUE(waitUntil(placedWell, 120000)) << placement(upward).toStdString();
        const int shortHeight = upward->height();
        upward->switchTo({QStringLiteral("other"), std::nullopt});
        ASSERT_TRUE(waitUntil([&] { return upward->errorText().has_value() && upward->height() > shortHeight; }, 120000));
        // It moves to its new place a turn after it grows.
        EXPECT_TRUE(waitUntil(placedWell, 120000)) << "after a refused switch: " << placement(upward).toStdString();
        expectSound(upward, "branches-upward-error", size);
        upward->close();

        // The request editor with a response and fifty sends in its history.
        const APICollectionFile file = app.api().collections().first();
        HTTPResponse response;
        response.status = 404;
        response.statusText = "Not Found";
        response.headers = {{"Content-Type", "application/json; charset=utf-8"}};
        response.duration = 0.25;
        for (int i = 0; i < 50; ++i) app.history().record(file.requests[0], file.requests[0].url, response);
        app.openRequest(file.requests[0], file);
        app.replay(app.history().entries().first().id);
        auto* request = qobject_cast<RequestView*>(window.root->pane()->findChild<RequestView*>());
        ASSERT_NE(request, nullptr);
        QApplication::processEvents();
        expectSound(window.root, "request", size);
        request->historyButton()->click();
        ASSERT_NE(request->historyPopover(), nullptr);
        EXPECT_EQ(request->historyPopover()->width(), HistoryPopover::kWidth);
        EXPECT_EQ(request->historyPopover()->rows().size(), 50);
        expectSound(request->historyPopover(), "history", size);
        request->historyPopover()->close();

        // The overlays over an open document.
        app.open(folder.file(QStringLiteral("project/src/%1-0.py").arg(kLong)));
        app.setPaletteOpen(true);
        ASSERT_NE(window.root->overlay(RootView::Overlay::palette), nullptr);
        expectSound(window.root, "palette", size);
        app.setPaletteOpen(false);
        app.setQuickOpenOpen(true);
        auto* quick = qobject_cast<QuickOpenView*>(window.root->overlay(RootView::Overlay::quickOpen));
        ASSERT_NE(quick, nullptr);
        quick->setQuery("py");
        expectSound(window.root, "quick-open", size);
        app.setQuickOpenOpen(false);
        app.setProjectSearchOpen(true);
        auto* search = qobject_cast<ProjectSearchView*>(window.root->overlay(RootView::Overlay::projectSearch));
        ASSERT_NE(search, nullptr);
        QSignalSpy done(search, &ProjectSearchView::searchFinished);
        search->setQuery("print");
        search->runSearch();
        ASSERT_TRUE(done.wait(120000));
        expectSound(window.root, "project-search", size);
        app.setProjectSearchOpen(false);
    }
}

} // namespace
