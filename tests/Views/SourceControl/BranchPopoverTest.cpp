#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include "ScmTestSupport.h"
#include "ScriptedPrompter.h"
#include "UI/PressableButton.h"
#include "Views/SourceControl/BranchListView.h"
#include "Views/SourceControl/BranchPopover.h"

namespace {

using namespace scm_test;
using testing_support::ScriptedPrompter;

class BranchPopoverTest : public ScmViewTest {
protected:
    void SetUp() override {
        makeRepository(folder);
        gitOk(folder.path(), {"branch", "Feature/Login"});
        gitOk(folder.path(), {"branch", "release"});
        app = openState(folder);
    }
    QString head() { return gitOk(folder.path(), {"rev-parse", "--abbrev-ref", "HEAD"}); }
    // Waits until every git command queued so far has run and reported.
    void settleGit() {
        bool done = false;
        app->git().run({"git", "rev-parse", "HEAD"}, [&](bool) { done = true; });
        ASSERT_TRUE(waitUntil([&] { return done; }));
        QCoreApplication::processEvents();
    }

    TempFolder folder;
    std::unique_ptr<AppState> app;
};

TEST_F(BranchPopoverTest, FiltersByCaseInsensitiveContainmentAndSaysWhenNothingMatches) {
    const QList<GitBranchInfo> branches{{"main", {}}, {"Feature/Login", QString("origin/login")}, {"a b", {}}};
    EXPECT_EQ(BranchPopover::filtered(branches, "").size(), 3);
    EXPECT_EQ(BranchPopover::filtered(branches, "feature").size(), 1);
    EXPECT_EQ(BranchPopover::filtered(branches, "a ").size(), 1);        // the space counts
    EXPECT_EQ(BranchPopover::filtered(branches, "origin").size(), 0);    // upstreams are not searched

    BranchPopover popover(*app);
    EXPECT_EQ(popover.shownNames(), QStringList({"Feature/Login", "main", "release"}));
    popover.filterField()->setText("LOG");
    EXPECT_EQ(popover.shownNames(), QStringList({"Feature/Login"}));
    popover.filterField()->setText("zzz");
    EXPECT_TRUE(popover.showsNoMatch());
    EXPECT_EQ(popover.newBranchLabel(), "New Branch from main…");
    EXPECT_TRUE(popover.countsText().isEmpty());
}

TEST_F(BranchPopoverTest, ClickingAnotherBranchSwitchesAndClosesWhileTheCurrentRowDoesNothing) {
    BranchPopover* popover = BranchPopover::show(*app, nullptr);
    QPointer<BranchPopover> alive(popover);
    QTest::mouseClick(popover->list()->viewport(), Qt::LeftButton, {}, popover->rowRect("main").center());
    settleGit();
    ASSERT_TRUE(alive);
    EXPECT_EQ(head(), "main");

    QTest::mouseClick(popover->list()->viewport(), Qt::LeftButton, {}, popover->rowRect("release").center());
    ASSERT_TRUE(waitUntil([&] { return alive.isNull(); }, 120000));
    EXPECT_EQ(head(), "release");
    EXPECT_EQ(app->git().branch(), QString("release"));
}

TEST_F(BranchPopoverTest, AFailedSwitchStaysOpenWithGitsLine) {
    // An uncommitted change that the other branch would overwrite blocks the checkout.
    gitOk(folder.path(), {"checkout", "-q", "release"});
    folder.write("README.md", "release text\n");
    gitOk(folder.path(), {"commit", "-q", "-am", "on release"});
    gitOk(folder.path(), {"checkout", "-q", "main"});
    folder.write("README.md", "local edit\n");
    refreshed(*app);

    BranchPopover popover(*app);
    popover.switchTo({"release", {}});
    ASSERT_TRUE(waitUntil([&] { return popover.errorText().has_value(); }, 120000));
    EXPECT_EQ(popover.errorText(), app->git().lastError());
    EXPECT_EQ(head(), "main");
}

TEST_F(BranchPopoverTest, CreatesATrimmedBranchIgnoresBlankNamesAndReportsDuplicates) {
    BranchPopover popover(*app);
    popover.beginCreating();
    EXPECT_TRUE(popover.isCreating());

    popover.newBranchField()->setText("   ");
    popover.createNew();
    settleGit();
    EXPECT_TRUE(popover.isCreating());
    EXPECT_FALSE(popover.errorText());

    popover.newBranchField()->setText("release");
    popover.createNew();
    ASSERT_TRUE(waitUntil([&] { return popover.errorText().has_value(); }, 120000));
    EXPECT_NE(popover.errorText()->indexOf("release"), -1);

    // Options are never taken from a name.
    popover.newBranchField()->setText("--orphan");
    popover.createNew();
    ASSERT_TRUE(waitUntil([&] { return popover.errorText() && popover.errorText()->contains("--orphan"); }, 120000));
    EXPECT_EQ(head(), "main");

    popover.cancelCreating();
    EXPECT_FALSE(popover.isCreating());
    EXPECT_TRUE(popover.newBranchField()->text().isEmpty());
    EXPECT_TRUE(popover.errorText().has_value());  // cancel leaves the line

    QPointer<BranchPopover> shown = BranchPopover::show(*app, nullptr);
    shown->beginCreating();
    shown->newBranchField()->setText("  topic/new\t");
    QTest::keyClick(shown->newBranchField(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return shown.isNull(); }, 120000));
    EXPECT_EQ(head(), "topic/new");
}

TEST_F(BranchPopoverTest, DeletingAsksWithTextsByUpstreamAndRunsOnlyWhenConfirmed) {
    ScriptedPrompter prompter;
    BranchPopover popover(*app);
    prompter.answers = {1};
    popover.confirmDelete({"release", {}});
    ASSERT_EQ(prompter.asked.size(), 1);
    EXPECT_EQ(prompter.asked[0].title, "Delete branch “release”?");
    EXPECT_EQ(prompter.asked[0].message, "This branch has no upstream. Local commits on it will be lost.");
    settleGit();
    EXPECT_EQ(git(folder.path(), {"rev-parse", "--verify", "-q", "release"}).exit, 0);

    prompter.answers = {0};
    popover.confirmDelete({"release", QString("origin/release")});
    EXPECT_EQ(prompter.asked[1].message, "Only the local copy will be removed; the remote stays.");
    ASSERT_TRUE(waitUntil([&] { return !popover.shownNames().contains("release"); }, 120000));
    EXPECT_NE(git(folder.path(), {"rev-parse", "--verify", "-q", "release"}).exit, 0);
}

TEST_F(BranchPopoverTest, HeaderShowsBothCountsOnceEitherIsSet) {
    TempFolder remote;
    gitOk(remote.path(), {"init", "-q", "--bare"});
    gitOk(folder.path(), {"remote", "add", "origin", remote.path()});
    gitOk(folder.path(), {"push", "-q", "-u", "origin", "main"});
    for (const char* message : {"a", "b"}) gitOk(folder.path(), {"commit", "-q", "--allow-empty", "-m", message});
    refreshed(*app);
    BranchPopover popover(*app);
    EXPECT_EQ(popover.countsText(), "↑2 ↓0");
}

} // namespace

TEST_F(BranchPopoverTest, ADetachedHeadIsAStateNotABranch) {
    BranchPopover popover(*app);
    EXPECT_TRUE(popover.stateText().isEmpty());
    gitOk(folder.path(), {"checkout", "-q", "--detach"});
    refreshed(*app);
    EXPECT_EQ(popover.shownNames(), QStringList({"Feature/Login", "main", "release"}));
    EXPECT_EQ(popover.stateText(), "Detached HEAD");
    EXPECT_EQ(popover.newBranchLabel(), "New Branch from HEAD…");
}

namespace {
// Answers as told and notes how the popover stood while it was asked.
class WatchingPrompter final : public Prompter {
public:
    explicit WatchingPrompter(QPointer<BranchPopover>& popover) : popover_(popover) { Prompter::install(this); }
    ~WatchingPrompter() override { Prompter::install(nullptr); }
    int ask(const Alert&) override {
        shownWhileAsking = popover_ && popover_->isVisible();
        popoverTookInput = QApplication::activePopupWidget() != nullptr;
        return answer;
    }
    std::optional<QString> askText(const TextPrompt&) override { return std::nullopt; }
    int answer = 1;
    bool shownWhileAsking = false;
    bool popoverTookInput = true;

private:
    QPointer<BranchPopover>& popover_;
};
// A branch is made by keyboard alone: Tab reaches New Branch after the list, Space opens the
// create row with its field ready, Tab reaches Create and the cancel button, and cancelling puts
// the keyboard back on New Branch.
TEST_F(BranchPopoverTest, TheKeyboardReachesNewBranchAndTheCreateRow) {
    BranchPopover popover(*app);
    popover.resize(BranchPopover::kWidth, 400);
    popover.QWidget::show();
    QApplication::setActiveWindow(&popover);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&popover, 60000));
    auto* newBranch = popover.findChild<PressableButton*>("newBranch");
    auto* create = popover.findChild<PressableButton*>("createBranch");
    auto* cancel = popover.findChild<PressableButton*>("cancelCreate");
    ASSERT_TRUE(newBranch && create && cancel);
    popover.filterField()->setFocus(Qt::TabFocusReason);
    const auto tab = [](Qt::Key key = Qt::Key_Tab) {
        QTest::keyClick(QApplication::focusWidget(), key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
        return QApplication::focusWidget();
    };
    EXPECT_EQ(tab(), popover.list());
    ASSERT_EQ(tab(), newBranch);
    EXPECT_TRUE(newBranch->focusRing().isShown());
    QTest::keyClick(newBranch, Qt::Key_Space);
    ASSERT_TRUE(popover.isCreating());
    EXPECT_EQ(QApplication::focusWidget(), popover.newBranchField());
    QTest::keyClicks(popover.newBranchField(), "topic");
    EXPECT_EQ(tab(), create);
    ASSERT_EQ(tab(), cancel);
    QTest::keyClick(cancel, Qt::Key_Space);
    EXPECT_FALSE(popover.isCreating());
    EXPECT_TRUE(popover.newBranchField()->text().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), newBranch);
    EXPECT_EQ(tab(Qt::Key_Backtab), popover.list());
}

} // namespace

TEST_F(BranchPopoverTest, ThePopoverStaysOpenWhileDeleteAsksAndAfterItAndTheListFollows) {
    QWidget window;
    window.resize(400, 300);
    window.show();
    QApplication::setActiveWindow(&window);
    QPointer<BranchPopover> popover = BranchPopover::show(*app, &window);
    WatchingPrompter prompter(popover);
    for (const int answer : {1, 0}) {  // Cancel, then Delete
        SCOPED_TRACE(answer);
        popover->filterField()->setFocus();
        // Through the row's menu, as a click on its "…" would.
        const QRect menuButton = popover->list()->menuRect(popover->list()->branches().rowOf("release"));
        QTest::mouseClick(popover->list()->viewport(), Qt::LeftButton, {}, menuButton.center());
        QMenu* menu = popover->findChild<QMenu*>();
        ASSERT_NE(menu, nullptr);
        QAction* remove = nullptr;
        for (QAction* a : menu->actions())
            if (a->text() == "Delete") remove = a;
        ASSERT_NE(remove, nullptr);
        prompter.answer = answer;
        prompter.shownWhileAsking = false;
        prompter.popoverTookInput = true;
        menu->close();
        remove->trigger();
        delete menu;

        EXPECT_TRUE(prompter.shownWhileAsking);
        EXPECT_FALSE(prompter.popoverTookInput) << "the question must get the keys and clicks";
        ASSERT_TRUE(popover);
        EXPECT_TRUE(popover->isVisible());
        EXPECT_TRUE(popover->isAncestorOf(popover->focusWidget())) << "the keyboard is back in the popover";
        if (answer == 1) {
            settleGit();
            EXPECT_TRUE(popover->shownNames().contains("release"));
            EXPECT_EQ(git(folder.path(), {"rev-parse", "--verify", "-q", "release"}).exit, 0);
        } else {
            ASSERT_TRUE(waitUntil([&] { return !popover->shownNames().contains("release"); }, 20000));
            EXPECT_NE(git(folder.path(), {"rev-parse", "--verify", "-q", "release"}).exit, 0);
            EXPECT_TRUE(popover && popover->isVisible());
            EXPECT_EQ(popover->shownNames(), QStringList({"Feature/Login", "main"}));
        }
    }
    // A click elsewhere closes it; a click on its anchor closes it without opening another.
    QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(200, 200));
    ASSERT_TRUE(waitUntil([&] { return popover.isNull(); }));
    QPushButton anchor("branch", &window);
    anchor.show();
    int clicks = 0;
    QObject::connect(&anchor, &QPushButton::clicked, [&] { ++clicks; });
    popover = BranchPopover::show(*app, &anchor);
    QTest::mouseClick(&anchor, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return popover.isNull(); }));
    EXPECT_EQ(clicks, 0);
}

TEST_F(BranchPopoverTest, WidgetsDoNotGrowWithTheBranchesAndTheKeyboardSwitches) {
    BranchPopover few(*app);
    const qsizetype widgets = few.findChildren<QWidget*>().size();
    QProcess refs;
    refs.setWorkingDirectory(folder.path());
    refs.start("git", {"update-ref", "--stdin"});
    ASSERT_TRUE(refs.waitForStarted());
    for (int i = 0; i < 300; ++i) refs.write(QString("create refs/heads/many/b%1 HEAD\n").arg(i, 3, 10, QChar('0')).toUtf8());
    refs.closeWriteChannel();
    ASSERT_TRUE(refs.waitForFinished());
    refreshed(*app);

    BranchPopover many(*app);
    EXPECT_EQ(many.shownNames().size(), 303);
    EXPECT_EQ(many.findChildren<QWidget*>().size(), widgets);
    many.filterField()->setText("B29");
    EXPECT_EQ(many.shownNames(), QStringList({"many/b290", "many/b291", "many/b292", "many/b293", "many/b294", "many/b295",
                                              "many/b296", "many/b297", "many/b298", "many/b299"}));
    EXPECT_EQ(many.findChildren<QWidget*>().size(), widgets);

    many.resize(BranchPopover::kWidth, 400);
    many.QWidget::show();
    QApplication::setActiveWindow(&many);
    many.list()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(many.list(), Qt::Key_Down);
    QTest::keyClick(many.list(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return head() == "many/b291"; }, 20000));
}

TEST_F(BranchPopoverTest, LongBranchNamesThatDifferOnlyAtTheEndAreDrawnApart) {
    const QString stem = "topic/" + QString(120, u'r');
    gitOk(folder.path(), {"branch", stem + "-alpha"});
    gitOk(folder.path(), {"branch", stem + "-omega"});
    refreshed(*app);
    BranchPopover popover(*app);
    popover.QWidget::show();
    const QRect first = popover.rowRect(stem + "-alpha");
    const QRect second = popover.rowRect(stem + "-omega");
    ASSERT_TRUE(first.isValid() && second.isValid());
    ASSERT_EQ(first.size(), second.size());
    QWidget* rows = popover.list()->viewport();
    EXPECT_TRUE(rows->grab(first).toImage() != rows->grab(second).toImage());
}
