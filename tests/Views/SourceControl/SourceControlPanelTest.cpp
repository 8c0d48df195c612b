#include <QAbstractButton>
#include <QFileInfo>
#include <QHoverEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ScmTestSupport.h"
#include "ScriptedPrompter.h"
#include "UI/PressableButton.h"
#include "Views/SourceControl/BranchPopover.h"
#include "Views/SourceControl/ChangeListView.h"
#include "Views/SourceControl/ChangeLists.h"
#include "Views/SourceControl/ChangeRowDelegate.h"
#include "Views/SourceControl/CommitComposer.h"
#include "Views/SourceControl/DiffView.h"
#include "Views/SourceControl/IconButton.h"
#include "Views/SourceControl/SourceControlPanel.h"

namespace {

using namespace scm_test;
using testing_support::ScriptedPrompter;

class SourceControlPanelTest : public ScmViewTest {
protected:
    // The panel over the folder as it is now, in a window state that has read it.
    SourceControlPanel& open(bool repository = true) {
        app = openState(folder, repository);
        panel_ = std::make_unique<SourceControlPanel>(*app);
        return *panel_;
    }
    QStringList rowPaths(const SourceControlPanel& panel, bool staged) {
        QStringList out;
        const ChangeListModel& rows = panel.changeList()->changes();
        for (int r = 0; r < rows.rowCount(); ++r)
            if (rows.change(r) && rows.isStagedRow(r) == staged) out << rows.change(r)->path;
        return out;
    }
    // The row of a change, -1 when none lists it.
    int row(const SourceControlPanel& panel, const QString& path) {
        const ChangeListModel& rows = panel.changeList()->changes();
        for (int r = 0; r < rows.rowCount(); ++r)
            if (rows.change(r) && rows.change(r)->path == path) return r;
        return -1;
    }
    const GitFileChange& change(const SourceControlPanel& panel, const QString& path) {
        static const GitFileChange none;
        const GitFileChange* found = panel.changeList()->changes().change(row(panel, path));
        return found ? *found : none;
    }
    // A real click where the pointer would be: on a row, or on one of its actions after hovering it.
    void click(const SourceControlPanel& panel, const QString& path, const QString& action = {}) {
        ChangeListView* list = panel.changeList();
        const int r = row(panel, path);
        ASSERT_GE(r, 0) << path.toStdString();
        list->scrollTo(list->model()->index(r, 0));
        const QRect rowRect = list->rowRect(r);
        QTest::mouseMove(list->viewport(), rowRect.center());
        const QPoint at = action.isEmpty() ? QPoint(60, rowRect.center().y()) : list->actionRect(r, action).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    }
    // The panel in a window of its own that has the keyboard, as the keys tests need.
    bool showActive(SourceControlPanel& panel) {
        panel.resize(300, 600);
        panel.show();
        QApplication::setActiveWindow(&panel);
        return QTest::qWaitForWindowActive(&panel, 60000);
    }
    TempFolder folder;
    std::unique_ptr<AppState> app;
    std::unique_ptr<SourceControlPanel> panel_;
};

TEST_F(SourceControlPanelTest, ListsEachChangeOnceByItsIndexColumnAndShowsTheCleanState) {
    makeRepository(folder);
    SourceControlPanel& panel = open();
    EXPECT_EQ(panel.contentState(), "clean");
    EXPECT_TRUE(panel.sectionTitles().isEmpty());

    folder.write("README.md", "staged\n");
    gitOk(folder.path(), {"add", "README.md"});
    folder.write("README.md", "staged then changed\n");  // "MM"
    folder.write("notes.txt", "new\n");                  // "??"
    folder.write("src/app.py", "print('changed')\n");     // " M"
    refreshed(*app);

    EXPECT_EQ(panel.contentState(), "changes");
    EXPECT_EQ(panel.sectionTitles(), QStringList({"STAGED CHANGES", "CHANGES"}));
    EXPECT_EQ(rowPaths(panel, true), QStringList({"README.md"}));
    EXPECT_EQ(rowPaths(panel, false), QStringList({"src/app.py", "notes.txt"}));

    EXPECT_EQ(ChangeRowDelegate::fileName(change(panel, "src/app.py")), "app.py");
    EXPECT_EQ(ChangeRowDelegate::folder(change(panel, "src/app.py")), "src");
    EXPECT_TRUE(ChangeRowDelegate::folder(change(panel, "README.md")).isEmpty());

    // Only staged changes: the "Changes" section goes away.
    gitOk(folder.path(), {"add", "-A"});
    refreshed(*app);
    EXPECT_EQ(panel.sectionTitles(), QStringList({"STAGED CHANGES"}));
    EXPECT_NE(panel.button("Unstage All"), nullptr);
    EXPECT_EQ(panel.button("Stage All Changes"), nullptr);
}

TEST_F(SourceControlPanelTest, RowsStageUnstageAndSelectTheirDiffAndDiscardOnlyAfterConfirmation) {
    makeRepository(folder);
    folder.write("src/app.py", "print('changed')\n");
    SourceControlPanel& panel = open();
    panel.resize(300, 600);
    panel.show();

    click(panel, "src/app.py");
    ASSERT_TRUE(app->activeDiff());
    EXPECT_EQ(app->activeDiff()->path, "src/app.py");

    // Stage through the row's button; the button's click does not reselect anything.
    app->setActiveDiff(std::nullopt);
    click(panel, "src/app.py", "Stage");
    ASSERT_TRUE(waitUntil([&] { return rowPaths(panel, true) == QStringList({"src/app.py"}); }, 120000));
    EXPECT_FALSE(app->activeDiff());

    click(panel, "src/app.py", "Unstage");
    ASSERT_TRUE(waitUntil([&] { return rowPaths(panel, false) == QStringList({"src/app.py"}); }, 120000));

    // Discard asks; "Cancel" keeps the change, "Discard" throws it away.
    ScriptedPrompter prompter;
    prompter.answers = {1};
    click(panel, "src/app.py", "Discard");
    ASSERT_EQ(prompter.asked.size(), 1);
    EXPECT_TRUE(prompter.asked[0].warning);
    EXPECT_EQ(prompter.asked[0].buttons.first(), "Discard");
    refreshed(*app);
    EXPECT_EQ(testing_support::readBytes(folder.file("src/app.py")), "print('changed')\n");

    prompter.answers = {0};
    click(panel, "src/app.py", "Discard");
    ASSERT_TRUE(waitUntil([&] { return panel.contentState() == "clean"; }, 120000));
    EXPECT_EQ(testing_support::readBytes(folder.file("src/app.py")), "print('one')\nprint('two')\n");
}

TEST_F(SourceControlPanelTest, DiscardAllAsksFirstAndKeepsStagedWork) {
    makeRepository(folder);
    folder.write("README.md", "staged\n");
    gitOk(folder.path(), {"add", "README.md"});
    folder.write("src/app.py", "changed\n");
    folder.write("junk/tmp.txt", "x\n");
    SourceControlPanel& panel = open();

    ScriptedPrompter prompter;
    prompter.answers = {1};
    panel.button("Discard All Changes")->click();
    ASSERT_EQ(prompter.asked.size(), 1);
    refreshed(*app);
    EXPECT_EQ(app->git().changes().size(), 3);

    prompter.answers = {0};
    panel.button("Discard All Changes")->click();
    ASSERT_TRUE(waitUntil([&] { return app->git().changes().size() == 1; }, 120000));
    EXPECT_EQ(rowPaths(panel, true), QStringList({"README.md"}));
    EXPECT_FALSE(QFile::exists(folder.file("junk/tmp.txt")));
    EXPECT_EQ(testing_support::readBytes(folder.file("README.md")), "staged\n");
}

TEST_F(SourceControlPanelTest, CommitComposerCommitsAllWhenNothingIsStagedAndShowsGitsLineOnFailure) {
    makeRepository(folder);
    SourceControlPanel& panel = open();
    CommitComposer* composer = panel.composer();

    // Blank messages cannot commit, by button or by key.
    composer->setMessage(" \n\t ");
    EXPECT_FALSE(composer->commitButton()->isEnabled());
    EXPECT_EQ(composer->commitButton()->label().text, "Commit All");

    // Nothing to commit: git's own line shows and the message stays.
    composer->setMessage("empty");
    composer->commit();
    ASSERT_TRUE(waitUntil([&] { return !composer->isCommitting(); }, 120000));
    ASSERT_TRUE(composer->errorText());
    EXPECT_FALSE(composer->errorText()->isEmpty());
    EXPECT_EQ(composer->errorText(), app->git().lastError());
    EXPECT_EQ(composer->message(), "empty");

    // Only unstaged changes: everything is staged first, untracked files included.
    folder.write("src/app.py", "changed\n");
    folder.write("new.txt", "new\n");
    refreshed(*app);
    EXPECT_EQ(composer->commitButton()->label().text, "Commit All");
    composer->setMessage("all of it");
    composer->commit();
    ASSERT_TRUE(waitUntil([&] { return !composer->isCommitting(); }, 120000));
    EXPECT_FALSE(composer->errorText());
    EXPECT_TRUE(composer->message().isEmpty());
    EXPECT_EQ(gitOk(folder.path(), {"log", "-1", "--format=%s"}), "all of it");
    EXPECT_EQ(panel.contentState(), "clean");

    // Something staged: only that is committed.
    folder.write("README.md", "one\n");
    folder.write("src/app.py", "two\n");
    gitOk(folder.path(), {"add", "README.md"});
    refreshed(*app);
    EXPECT_EQ(composer->commitButton()->label().text, "Commit");
    composer->setMessage("readme only");
    composer->commit();
    ASSERT_TRUE(waitUntil([&] { return !composer->isCommitting(); }, 120000));
    EXPECT_EQ(gitOk(folder.path(), {"show", "--name-only", "--format=", "HEAD"}), "README.md");
}

TEST_F(SourceControlPanelTest, CtrlReturnCommitsFromTheMessageFieldOnlyWhenAMessageIsThere) {
    makeRepository(folder);
    folder.write("README.md", "changed\n");
    SourceControlPanel& panel = open();
    panel.resize(300, 600);
    panel.show();
    panel.activateWindow();
    QApplication::setActiveWindow(&panel);
    CommitComposer* composer = panel.composer();
    composer->editor()->setFocus();

    QTest::keyClick(composer->editor(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_FALSE(composer->isCommitting());

    QTest::keyClicks(composer->editor(), "by key");
    QTest::keyClick(composer->editor(), Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return composer->message().isEmpty() && !composer->isCommitting(); }, 120000));
    EXPECT_EQ(gitOk(folder.path(), {"log", "-1", "--format=%s"}), "by key");
}

TEST_F(SourceControlPanelTest, GenerateNeedsAToolAndStagedChanges) {
    makeRepository(folder);
    SourceControlPanel& panel = open();
    CommitComposer* composer = panel.composer();
    composer->setBackend(std::nullopt);
    EXPECT_FALSE(composer->generateButton()->isEnabled());
    composer->setBackend(AIBackend::codex);
    EXPECT_FALSE(composer->generateButton()->isEnabled());  // nothing staged
    folder.write("README.md", "x\n");
    gitOk(folder.path(), {"add", "README.md"});
    refreshed(*app);
    EXPECT_TRUE(composer->generateButton()->isEnabled());
}

TEST_F(SourceControlPanelTest, ToolbarFailuresAndStash) {
    makeRepository(folder);
    SourceControlPanel& panel = open();
    EXPECT_EQ(panel.branchChip()->label().text, "main");
    EXPECT_EQ(panel.stashMenuItems(), QStringList({"Stash Changes…"}));

    // A failing command (no remote to pull from) shows git's line in the panel.
    panel.pull();
    ASSERT_TRUE(waitUntil([&] { return !panel.errorLine().isEmpty(); }, 120000));
    EXPECT_EQ(panel.errorLine(), app->git().lastError().value_or(QString()));

    // Stash with an empty message; then the pop item appears and the line clears on success.
    folder.write("README.md", "stash me\n");
    refreshed(*app);
    ScriptedPrompter prompter;
    prompter.texts = {QString()};
    panel.promptStash();
    ASSERT_EQ(prompter.askedText.size(), 1);
    // The line clears when the stash's own result arrives, which may be after the state shows it.
    ASSERT_TRUE(waitUntil([&] { return app->git().stashCount() == 1 && panel.errorLine().isEmpty(); }, 120000))
        << panel.errorLine().toStdString();
    EXPECT_EQ(panel.stashMenuItems(), QStringList({"Stash Changes…", "Pop Latest Stash"}));
    EXPECT_EQ(panel.contentState(), "clean");

    panel.popStash();
    ASSERT_TRUE(waitUntil([&] { return app->git().stashCount() == 0 && !app->git().changes().isEmpty(); }, 120000));
}

// A damaged index: git cannot say what changed. The panel keeps what it showed rather than a
// clean tree on no branch, and says why; a repaired index clears the line.
TEST_F(SourceControlPanelTest, AStateThatCannotBeReadKeepsTheListsAndSaysWhy) {
    makeRepository(folder);
    folder.write("README.md", "changed\n");
    SourceControlPanel& panel = open();
    ASSERT_EQ(panel.contentState(), "changes");
    EXPECT_EQ(panel.readErrorLine(), "");

    folder.write(".git/index", "not an index");
    refreshed(*app);
    EXPECT_EQ(panel.contentState(), "changes");
    EXPECT_EQ(rowPaths(panel, false), QStringList({"README.md"}));
    EXPECT_TRUE(panel.branchChip()->isVisibleTo(&panel));
    EXPECT_TRUE(panel.readErrorLine().startsWith("fatal:")) << panel.readErrorLine().toStdString();
    EXPECT_EQ(panel.errorLine(), "") << "no command of the user's failed";

    ASSERT_TRUE(QFile::remove(folder.file(".git/index")));
    gitOk(folder.path(), {"reset", "-q"});
    refreshed(*app);
    EXPECT_EQ(panel.readErrorLine(), "");
    EXPECT_EQ(rowPaths(panel, false), QStringList({"README.md"}));
}

// A refresh that changes a long list (a file added, one staged above the view) leaves the change
// at the top of the view where it was, though the new list is laid out a batch at a time.
TEST_F(SourceControlPanelTest, ARefreshKeepsTheChangeAtTheTopOfALongListInPlace) {
    makeRepository(folder);
    gitOk(folder.path(), {"config", "status.showUntrackedFiles", "all"});
    for (int i = 0; i < 3000; ++i) folder.write(QString("many/f%1.txt").arg(i, 5, 10, QChar('0')), "x\n");
    SourceControlPanel& panel = open();
    panel.resize(300, 600);
    panel.show();
    ChangeListView* list = panel.changeList();
    const auto laidOut = [&] {
        const int last = list->model()->rowCount() - 1;
        return waitUntil([&] { return list->visualRect(list->model()->index(last, 0)).isValid(); }, 120000);
    };
    ASSERT_TRUE(laidOut());
    list->scrollTo(list->model()->index(1500, 0), QAbstractItemView::PositionAtTop);
    const QPoint top(list->viewport()->width() / 2, ChangeRowDelegate::kGap);
    const QString shown = list->indexAt(top).data().toString();
    ASSERT_EQ(shown, "many/f01499.txt");
    const int offset = list->visualRect(list->indexAt(top)).top();

    folder.write("zz.txt", "x\n");
    refreshed(*app);
    ASSERT_TRUE(laidOut());
    EXPECT_EQ(list->indexAt(top).data().toString(), shown);
    EXPECT_EQ(list->visualRect(list->indexAt(top)).top(), offset);

    gitOk(folder.path(), {"add", "many/f00010.txt"});
    refreshed(*app);
    ASSERT_TRUE(laidOut());
    EXPECT_EQ(panel.sectionTitles(), QStringList({"STAGED CHANGES", "CHANGES"}));
    EXPECT_EQ(list->indexAt(top).data().toString(), shown);
    EXPECT_EQ(list->visualRect(list->indexAt(top)).top(), offset);
}

// The pointer resting on a row while refreshes arrive: the row keeps showing its actions, as it
// did before the refresh, rather than its badge until the pointer moves.
TEST_F(SourceControlPanelTest, ARowUnderTheRestingPointerKeepsItsActionsAcrossARefresh) {
    makeRepository(folder);
    folder.write("README.md", "changed\n");
    folder.write("src/app.py", "changed\n");
    SourceControlPanel& panel = open();
    ASSERT_TRUE(showActive(panel));
    ChangeListView* list = panel.changeList();
    const int r = row(panel, "README.md");
    ASSERT_GE(r, 0);
    const QRect rect = list->rowRect(r);
    // The pointer moves as the window system tells it: below the rows, then to rest over the row.
    const auto moveTo = [&](const QPoint& at) {
        QCursor::setPos(list->viewport()->mapToGlobal(at));
        QHoverEvent move(QEvent::HoverMove, at, list->viewport()->mapToGlobal(at), at);
        QCoreApplication::sendEvent(list->viewport(), &move);
    };
    moveTo(QPoint(rect.center().x(), list->viewport()->height() - 2));
    const QImage plain = list->viewport()->grab(rect).toImage();
    moveTo(rect.center() + QPoint(7, 1));
    ASSERT_TRUE(waitUntil([&] { return list->viewport()->grab(rect).toImage() != plain; }, 60000)) << "hover shows";
    const QImage hovered = list->viewport()->grab(rect).toImage();

    for (int i = 0; i < 3; ++i) {
        folder.write(QString("new%1.txt").arg(i), "x\n");
        refreshed(*app);
        ASSERT_EQ(list->rowRect(row(panel, "README.md")), rect);
        EXPECT_TRUE(list->viewport()->grab(rect).toImage() == hovered) << "refresh " << i;
    }
}

// The row whose diff the window shows is drawn with the active fill, and only while it is shown.
TEST_F(SourceControlPanelTest, TheRowOfTheShownDiffIsDrawnActive) {
    makeRepository(folder);
    folder.write("README.md", "changed\n");
    SourceControlPanel& panel = open();
    panel.resize(300, 600);
    panel.show();
    ChangeListView* list = panel.changeList();
    const QPoint below(10, list->viewport()->height() - 2);  // no row under the pointer
    QHoverEvent away(QEvent::HoverMove, below, list->viewport()->mapToGlobal(below), below);
    QCoreApplication::sendEvent(list->viewport(), &away);
    const QRect rect = list->rowRect(row(panel, "README.md"));
    const QImage plain = list->viewport()->grab(rect).toImage();
    app->setActiveDiff(change(panel, "README.md"));
    EXPECT_TRUE(list->viewport()->grab(rect).toImage() != plain);
    app->setActiveDiff(std::nullopt);
    EXPECT_TRUE(list->viewport()->grab(rect).toImage() == plain);
}

TEST_F(SourceControlPanelTest, ALongBranchNameIsShortenedInsideTheChipRatherThanCutAtItsEdges) {
    makeRepository(folder);
    const QString name = "feature/a-branch-name-far-too-long-for-the-chip-2999";
    gitOk(folder.path(), {"checkout", "-q", "-b", name});
    SourceControlPanel& panel = open();
    PressableButton* chip = panel.branchChip();
    EXPECT_LE(chip->sizeHint().width(), chip->maximumWidth());
    const QString shown = chip->label().text;
    EXPECT_TRUE(shown.startsWith("fea") && shown.endsWith("2999") && shown.contains(u'…')) << shown.toStdString();
}

TEST_F(SourceControlPanelTest, NamesWithLineBreaksOrBytesThatAreNotUtf8AreListedOnOneVisibleLine) {
    makeRepository(folder);
    folder.write("src/two\nlines.txt", "x\n");
    const QByteArray latin = QFile::encodeName(folder.path()) + "/caf\xe9.txt";
    const int fd = ::open(latin.constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    // The temp folder's own clean-up cannot name this file.
    const std::shared_ptr<void> removeLatin(nullptr, [&latin](void*) { ::unlink(latin.constData()); });
    SourceControlPanel& panel = open();

    EXPECT_EQ(panel.contentState(), "changes");
    QStringList shown;
    for (const GitFileChange& c : app->git().changes())
        shown << ChangeRowDelegate::folder(c) + "|" + ChangeRowDelegate::fileName(c);
    EXPECT_EQ(shown.size(), 2);
    EXPECT_TRUE(shown.contains(QString::fromUtf8("|caf\uFFFD.txt"))) << shown.join(", ").toStdString();
    EXPECT_TRUE(shown.contains("src|two\\nlines.txt")) << shown.join(", ").toStdString();

    ASSERT_GE(row(panel, "src/two\nlines.txt"), 0);
    DiffView view(*app, change(panel, "src/two\nlines.txt"));
    EXPECT_EQ(view.findChild<QLabel*>("diffPath")->text(), "src/two\\nlines.txt");
    ASSERT_TRUE(waitUntil([&] { return !view.isLoading(); }, 120000));
    EXPECT_EQ(view.contentState(), "lines");
}

TEST_F(SourceControlPanelTest, AFolderThatIsNoRepositoryOffersToInitialiseOne) {
    folder.write("a.txt", "a\n");
    SourceControlPanel& panel = open(false);
    EXPECT_EQ(panel.contentState(), "empty");
    panel.initRepository();
    ASSERT_TRUE(waitUntil([&] { return panel.contentState() == "changes"; }, 120000));
    EXPECT_TRUE(QFileInfo::exists(folder.file(".git")));

    AppState noFolder;
    SourceControlPanel bare(noFolder);
    EXPECT_EQ(bare.contentState(), "empty");
    EXPECT_EQ(bare.findChild<QAbstractButton*>("initRepository")->isVisibleTo(&bare), false);
}

} // namespace

TEST_F(SourceControlPanelTest, AMergeOrRebaseInConflictStaysInProgressWhateverThePanelDoes) {
    struct Case {
        const char* name;
        QStringList start;      // the command that stops in conflict
        const char* inProgress;  // what git keeps while it is stopped
    };
    for (const Case& c : {Case{"merge", {"merge", "topic"}, ".git/MERGE_HEAD"},
                          Case{"rebase", {"rebase", "topic"}, ".git/rebase-merge"}}) {
        SCOPED_TRACE(c.name);
        TempFolder repo;
        makeRepository(repo);
        repo.write("gone.txt", "kept on main\n");
        gitOk(repo.path(), {"add", "gone.txt"});
        gitOk(repo.path(), {"commit", "-q", "-m", "gone"});
        gitOk(repo.path(), {"checkout", "-q", "-b", "topic"});
        repo.write("README.md", "topic\n");
        repo.write("clean.txt", "merges cleanly\n");
        gitOk(repo.path(), {"rm", "-q", "gone.txt"});
        gitOk(repo.path(), {"add", "-A"});
        gitOk(repo.path(), {"commit", "-q", "-m", "topic"});
        gitOk(repo.path(), {"checkout", "-q", "main"});
        repo.write("README.md", "main\n");
        repo.write("gone.txt", "changed on main\n");
        repo.write("src/app.py", "print('main')\n");
        gitOk(repo.path(), {"commit", "-q", "-am", "main"});
        EXPECT_NE(git(repo.path(), c.start).exit, 0);
        ASSERT_TRUE(QFileInfo::exists(repo.file(c.inProgress)));

        auto app = openState(repo);
        SourceControlPanel panel(*app);
        EXPECT_EQ(panel.sectionTitles().value(0), "CONFLICTS");
        EXPECT_FALSE(rowPaths(panel, true).contains("README.md"));
        EXPECT_FALSE(rowPaths(panel, true).contains("gone.txt"));
        const int conflict = row(panel, "README.md");
        ASSERT_GE(conflict, 0);
        EXPECT_TRUE(panel.changeList()->actionRect(conflict, "Unstage").isNull());

        // Unstage All keeps the operation and its conflicts.
        ASSERT_NE(panel.button("Unstage All"), nullptr);
        panel.unstageAll();
        ASSERT_TRUE(waitUntil([&] { return rowPaths(panel, true).isEmpty(); }, 120000));
        EXPECT_TRUE(QFileInfo::exists(repo.file(c.inProgress)));
        EXPECT_TRUE(change(panel, "README.md").isUnmerged());

        // Committing everything while markers remain asks first; saying no commits nothing.
        ScriptedPrompter prompter;
        const QString head = gitOk(repo.path(), {"rev-parse", "HEAD"});
        CommitComposer* composer = panel.composer();
        composer->setMessage("resolved?");
        prompter.answers = {1};
        composer->commit();
        ASSERT_TRUE(waitUntil([&] { return !composer->isCommitting(); }, 120000));
        ASSERT_EQ(prompter.asked.size(), 1);
        EXPECT_TRUE(prompter.asked[0].message.contains("README.md")) << prompter.asked[0].message.toStdString();
        EXPECT_EQ(gitOk(repo.path(), {"rev-parse", "HEAD"}), head);
        EXPECT_TRUE(QFileInfo::exists(repo.file(c.inProgress)));
        EXPECT_TRUE(change(panel, "README.md").isUnmerged());

        // A file staged with its markers still in it is asked about too.
        gitOk(repo.path(), {"add", "README.md", "gone.txt"});
        refreshed(*app);
        prompter.answers = {1};
        composer->commit();
        ASSERT_TRUE(waitUntil([&] { return !composer->isCommitting(); }, 120000));
        EXPECT_EQ(prompter.asked.size(), 2);
        EXPECT_EQ(gitOk(repo.path(), {"rev-parse", "HEAD"}), head);

        // Saying yes commits, a merge with both its parents.
        prompter.answers = {0};
        composer->commit();
        ASSERT_TRUE(waitUntil([&] { return !composer->isCommitting(); }, 120000));
        EXPECT_NE(gitOk(repo.path(), {"rev-parse", "HEAD"}), head) << composer->errorText().value_or("").toStdString();
        if (c.inProgress == QString(".git/MERGE_HEAD")) EXPECT_EQ(git(repo.path(), {"rev-parse", "-q", "--verify", "HEAD^2"}).exit, 0);
    }
}

TEST_F(SourceControlPanelTest, WidgetsAndRowsDrawnPerFrameDoNotGrowWithTheNumberOfChanges) {
    makeRepository(folder);
    gitOk(folder.path(), {"config", "status.showUntrackedFiles", "all"});
    SourceControlPanel& panel = open();
    panel.resize(300, 600);
    panel.show();
    int written = 0;
    const auto measure = [&](int files) {
        for (; written < files; ++written) folder.write(QString("many/f%1.txt").arg(written), "x\n");
        refreshed(*app);
        EXPECT_EQ(app->git().changes().size(), files);
        // The list lays its rows out over several turns: the frame is drawn once all are placed.
        const int last = panel.changeList()->model()->rowCount() - 1;
        EXPECT_TRUE(waitUntil([&] { return panel.changeList()->visualRect(panel.changeList()->model()->index(last, 0)).isValid(); }));
        const qsizetype widgets = panel.findChildren<QWidget*>().size();
        ChangeRowDelegate::paintedRows = 0;
        panel.changeList()->viewport()->repaint();
        return std::pair{widgets, ChangeRowDelegate::paintedRows};
    };
    const auto few = measure(30);
    const auto many = measure(3000);
    EXPECT_EQ(few.first, many.first);
    EXPECT_GT(few.second, 0);
    EXPECT_EQ(few.second, many.second);  // both fill the list, and only what shows is drawn
}

TEST_F(SourceControlPanelTest, RowsMeasuredPerLayoutPassDoNotGrowWithTheNumberOfChanges) {
    makeRepository(folder);
    gitOk(folder.path(), {"config", "status.showUntrackedFiles", "all"});
    SourceControlPanel& panel = open();
    panel.resize(300, 600);
    panel.show();
    ChangeListView* list = panel.changeList();
    int written = 0;
    // Rows measured by one layout pass over n changes, once every row has been placed.
    const auto measure = [&](int files) {
        for (; written < files; ++written) folder.write(QString("many/f%1.txt").arg(written), "x\n");
        refreshed(*app);
        EXPECT_EQ(app->git().changes().size(), files);
        const int last = list->model()->rowCount() - 1;
        EXPECT_EQ(last, files);  // the header, then a row per change
        EXPECT_TRUE(waitUntil([&] { return list->visualRect(list->model()->index(last, 0)).isValid(); }, 120000));
        ChangeRowDelegate::sizedRows = 0;
        list->doItemsLayout();
        return ChangeRowDelegate::sizedRows;
    };
    const qint64 few = measure(2000);
    const qint64 many = measure(20000);
    EXPECT_GT(few, 0);
    EXPECT_LT(few, 2000);
    EXPECT_EQ(few, many);

    // Every row is reached in the end, and shows where its position says.
    const int last = list->model()->rowCount() - 1;
    ASSERT_TRUE(waitUntil([&] { return list->visualRect(list->model()->index(last, 0)).isValid(); }, 120000));
    list->scrollToBottom();
    QCoreApplication::processEvents();
    ChangeRowDelegate::paintedRows = 0;
    list->viewport()->repaint();
    EXPECT_GT(ChangeRowDelegate::paintedRows, 0);
    EXPECT_TRUE(list->viewport()->rect().intersects(list->visualRect(list->model()->index(last, 0))));
}

TEST_F(SourceControlPanelTest, TheKeyboardMovesBetweenRowsAndTheirActions) {
    makeRepository(folder);
    folder.write("README.md", "changed\n");
    folder.write("src/app.py", "changed\n");
    gitOk(folder.path(), {"add", "README.md"});
    SourceControlPanel& panel = open();
    panel.resize(300, 600);
    panel.show();
    QApplication::setActiveWindow(&panel);
    ChangeListView* list = panel.changeList();
    list->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(list->currentIndex().row(), row(panel, "README.md"));  // headers are passed over

    QTest::keyClick(list, Qt::Key_Return);
    ASSERT_TRUE(app->activeDiff());
    EXPECT_EQ(app->activeDiff()->path, "README.md");

    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentIndex().row(), row(panel, "src/app.py"));
    QTest::keyClick(list, Qt::Key_Right);
    QTest::keyClick(list, Qt::Key_Right);
    QTest::keyClick(list, Qt::Key_Right);  // no further than the last action
    EXPECT_EQ(list->keyboardAction(), 1);
    QTest::keyClick(list, Qt::Key_Left);
    ScriptedPrompter prompter;
    prompter.answers = {1};
    QTest::keyClick(list, Qt::Key_Space);  // Discard asks first
    ASSERT_EQ(prompter.asked.size(), 1);
    EXPECT_TRUE(prompter.asked[0].title.contains("app.py"));

    QTest::keyClick(list, Qt::Key_Down);  // already on the last row: it stays there
    EXPECT_EQ(list->currentIndex().row(), row(panel, "src/app.py"));
    QTest::keyClick(list, Qt::Key_Right);
    QTest::keyClick(list, Qt::Key_Right);
    QTest::keyClick(list, Qt::Key_Return);  // Stage
    ASSERT_TRUE(waitUntil([&] { return rowPaths(panel, true).size() == 2; }, 20000));

    // The keyboard stays on a section's button while the section stays, and goes to the message
    // field when the section goes with the button's own work.
    IconButton* unstageAll = panel.button("Unstage All");
    unstageAll->setFocus(Qt::TabFocusReason);
    folder.write("notes.txt", "new\n");
    refreshed(*app);
    EXPECT_TRUE(unstageAll->hasFocus());
    QTest::keyClick(unstageAll, Qt::Key_Space);
    ASSERT_TRUE(waitUntil([&] { return rowPaths(panel, true).isEmpty(); }, 20000));
    EXPECT_TRUE(panel.composer()->editor()->hasFocus());
}

// Pull and Fetch (and Push) are disabled while a command runs, which would pass the keys on to
// the next control (the stash menu, which a second Return would open); they come back when the
// command ends, unless the user moved them meanwhile.
TEST_F(SourceControlPanelTest, TheKeysComeBackToARemoteButtonWhenItsCommandEnds) {
    makeRepository(folder);
    SourceControlPanel& panel = open();
    ASSERT_TRUE(showActive(panel));
    for (const QString help : {QStringLiteral("Pull"), QStringLiteral("Fetch")}) {
        SCOPED_TRACE(help.toStdString());
        IconButton* button = panel.button(help);
        ASSERT_NE(button, nullptr);
        button->setFocus(Qt::TabFocusReason);
        QTest::keyClick(button, Qt::Key_Space);
        ASSERT_TRUE(app->git().isNetworking());
        // No remote: the command fails, and the buttons come back.
        ASSERT_TRUE(waitUntil([&] { return !app->git().isNetworking(); }));
        EXPECT_EQ(QApplication::focusWidget(), button)
            << "the keys stayed on " << (QApplication::focusWidget() ? QApplication::focusWidget()->toolTip().toStdString() : "nothing");
    }
    // Moved by the user while the command ran, they stay where the user put them.
    panel.button("Fetch")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(panel.button("Fetch"), Qt::Key_Space);
    ASSERT_TRUE(app->git().isNetworking());
    panel.button("Refresh")->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(waitUntil([&] { return !app->git().isNetworking(); }));
    EXPECT_EQ(QApplication::focusWidget(), panel.button("Refresh"));
}

// Commit is disabled while it runs, which passes the keys on to the change list, where a second
// Return would act on a row. When it ends they come back: to Commit after a failure, to the
// emptied message field after a commit that leaves other changes listed.
TEST_F(SourceControlPanelTest, TheKeysComeBackFromCommitWhenItEnds) {
    makeRepository(folder);
    SourceControlPanel& panel = open();
    CommitComposer* composer = panel.composer();
    ASSERT_TRUE(showActive(panel));
    const auto commitByKey = [&] {
        composer->commitButton()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(composer->commitButton(), Qt::Key_Return);
        return waitUntil([&] { return !composer->isCommitting(); });
    };
    const auto keys = [] { return QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "nothing"; };

    // Something unstaged stays listed whatever happens.
    folder.write("README.md", "one\n");
    folder.write("src/app.py", "two\n");
    gitOk(folder.path(), {"add", "README.md"});
    refreshed(*app);
    composer->setMessage("readme only");
    gitOk(folder.path(), {"reset", "-q"});  // unstaged behind the panel's back: "Commit" now fails
    ASSERT_TRUE(commitByKey());
    ASSERT_TRUE(composer->errorText());
    EXPECT_EQ(QApplication::focusWidget(), composer->commitButton()) << "the keys stayed on " << keys();

    gitOk(folder.path(), {"add", "README.md"});
    refreshed(*app);
    composer->setMessage("readme only");
    ASSERT_TRUE(commitByKey());
    ASSERT_FALSE(composer->errorText());
    ASSERT_EQ(gitOk(folder.path(), {"log", "-1", "--format=%s"}), "readme only");
    EXPECT_EQ(QApplication::focusWidget(), composer->editor()) << "the keys stayed on " << keys();
}

// The branch chip is the keyboard's way to the branch list: Tab reaches it after Refresh, it shows
// the focus, and Space opens the list.
TEST_F(SourceControlPanelTest, TheBranchChipIsReachedWithTabAndOpensTheBranchList) {
    makeRepository(folder);
    SourceControlPanel& panel = open();
    ASSERT_TRUE(showActive(panel));
    panel.button("Refresh")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), panel.branchChip());
    EXPECT_TRUE(panel.branchChip()->focusRing().isShown());
    QTest::keyClick(panel.branchChip(), Qt::Key_Space);
    BranchPopover* popover = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<BranchPopover*>(w); found && found->isVisible()) popover = found;
    ASSERT_NE(popover, nullptr);
    EXPECT_TRUE(popover->shownNames().contains("main"));
    popover->close();
}

TEST_F(SourceControlPanelTest, ASpinnerStandsInTheCommitButtonWhileACommitRunsAndGoesWhenItEnds) {
    makeRepository(folder);
    const QByteArray release = QFile::encodeName(folder.file(".git/release"));
    ASSERT_EQ(::mkfifo(release.constData(), 0600), 0);
    // The hook says it has started, then waits for the test's word, and passes or fails by it.
    const QString hook = folder.write(".git/hooks/pre-commit", "#!/bin/sh\ntouch .git/started\nread answer < .git/release\n"
                                                               "rm .git/started\n[ \"$answer\" = pass ]\n");
    QFile::setPermissions(hook, QFile::permissions(hook) | QFileDevice::ExeOwner);
    SourceControlPanel& panel = open();
    CommitComposer* composer = panel.composer();
    EXPECT_TRUE(composer->commitSpinner()->isHidden());

    for (const QByteArray answer : {QByteArray("pass"), QByteArray("fail")}) {
        SCOPED_TRACE(answer.constData());
        folder.write("README.md", answer + "\n");
        refreshed(*app);
        composer->setMessage("held by the hook");
        composer->commit();
        ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(folder.file(".git/started")); }, 60000));
        QCoreApplication::processEvents();
        EXPECT_TRUE(composer->isCommitting());
        EXPECT_FALSE(composer->commitSpinner()->isHidden());
        EXPECT_FALSE(composer->commitButton()->isEnabled());

        const int fd = ::open(release.constData(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, answer.constData(), size_t(answer.size())), answer.size());
        ::write(fd, "\n", 1);
        ::close(fd);
        ASSERT_TRUE(waitUntil([&] { return !composer->isCommitting(); }, 60000));
        EXPECT_TRUE(composer->commitSpinner()->isHidden());
        EXPECT_EQ(composer->errorText().has_value(), answer == "fail");
    }
    EXPECT_EQ(gitOk(folder.path(), {"log", "-1", "--format=%s"}), "held by the hook");
}

// Names too long for a row keep their ends, which tell them apart, and lose their middle.
TEST_F(SourceControlPanelTest, LongNamesThatDifferOnlyAtTheEndAreDrawnApart) {
    makeRepository(folder);
    const QString stem = QString(200, u'n');
    folder.write(stem + "-1.txt", "x\n");
    folder.write(stem + "-2.txt", "x\n");
    SourceControlPanel& panel = open();
    panel.resize(300, 600);
    panel.show();
    ChangeListView* list = panel.changeList();
    const QPoint below(10, list->viewport()->height() - 2);
    QHoverEvent away(QEvent::HoverMove, below, list->viewport()->mapToGlobal(below), below);
    QCoreApplication::sendEvent(list->viewport(), &away);
    const QRect first = list->rowRect(row(panel, stem + "-1.txt"));
    const QRect second = list->rowRect(row(panel, stem + "-2.txt"));
    ASSERT_EQ(first.size(), second.size());
    EXPECT_TRUE(list->viewport()->grab(first).toImage() != list->viewport()->grab(second).toImage());
}

// Keys typed into the message look at no change, however many are listed.
TEST_F(SourceControlPanelTest, TypingTheMessageLooksAtNoChange) {
    makeRepository(folder);
    for (int i = 0; i < 400; ++i) folder.write(QString("staged%1.txt").arg(i), "x\n");
    gitOk(folder.path(), {"add", "-A"});
    for (int i = 0; i < 400; ++i) folder.write(QString("new%1.txt").arg(i), "x\n");
    SourceControlPanel& panel = open();
    ASSERT_EQ(app->git().changes().size(), 800);
    CommitComposer* composer = panel.composer();
    const qint64 before = ChangeLists::changesLookedAt;
    QTest::keyClicks(composer->editor(), "Fix the parser");
    EXPECT_EQ(composer->message(), "Fix the parser");
    EXPECT_EQ(ChangeLists::changesLookedAt - before, 0);
    EXPECT_EQ(composer->commitButton()->label().text, "Commit");
    EXPECT_TRUE(composer->commitButton()->isEnabled());
}
