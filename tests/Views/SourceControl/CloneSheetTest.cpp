#include <QAbstractButton>
#include <QLineEdit>
#include <QTest>

#include "ScmTestSupport.h"
#include "ScriptedPrompter.h"
#include "UI/GradientButton.h"
#include "Views/SourceControl/CloneSheet.h"

namespace {

using namespace scm_test;
using testing_support::ScriptedChooser;

class CloneSheetTest : public ScmViewTest {
protected:
    TempFolder parent;
    AppState app;
};

TEST_F(CloneSheetTest, TheFolderNameFollowsTheFirstUrlEditUntilItIsEmptiedAgain) {
    CloneSheet sheet(app, {});
    sheet.urlField()->setText("git@example.com:team/widgets.git");
    EXPECT_EQ(sheet.nameField()->text(), "widgets");
    sheet.urlField()->setText("https://example.com/team/other.git");
    EXPECT_EQ(sheet.nameField()->text(), "widgets");

    sheet.nameField()->clear();
    sheet.urlField()->clear();
    sheet.urlField()->setFocus();
    QTest::keyClicks(sheet.urlField(), "ab");
    EXPECT_EQ(sheet.nameField()->text(), "a");
}

TEST_F(CloneSheetTest, CloneIsEnabledOnlyWithAUrlAParentAndAName) {
    ScriptedChooser chooser;
    CloneSheet sheet(app, {});
    EXPECT_FALSE(sheet.cloneButton()->isEnabled());
    sheet.urlField()->setText("   ");
    sheet.nameField()->setText("x");
    chooser.answers = {std::nullopt};
    sheet.pickFolder();  // cancelled
    EXPECT_FALSE(sheet.parentFolder());
    chooser.answers = {parent.path()};
    sheet.pickFolder();
    EXPECT_EQ(sheet.parentFolder(), parent.path());
    EXPECT_FALSE(sheet.canClone());
    sheet.urlField()->setText("/some/where");
    EXPECT_TRUE(sheet.canClone());
    sheet.nameField()->setText(" \t");
    EXPECT_FALSE(sheet.canClone());
}

TEST_F(CloneSheetTest, ClonesALocalRepositoryOpensItAndTellsThePresenter) {
    TempFolder source;
    makeRepository(source);
    ScriptedChooser chooser;
    chooser.answers = {parent.path()};
    QString told;
    CloneSheet sheet(app, [&told](const QString& folder) { told = folder; });
    sheet.open();
    sheet.pickFolder();
    sheet.urlField()->setText("  " + source.path() + "\n");
    sheet.nameField()->setText(" copy ");
    sheet.clone();
    EXPECT_TRUE(sheet.isCloning());
    ASSERT_TRUE(waitUntil([&] { return !sheet.isCloning(); }, 120000));
    EXPECT_FALSE(sheet.errorText());
    EXPECT_EQ(told, parent.file("copy"));
    ASSERT_TRUE(app.rootNode());
    EXPECT_EQ(app.rootNode()->url(), parent.file("copy"));
    EXPECT_TRUE(QFile::exists(parent.file("copy/README.md")));
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
}

TEST_F(CloneSheetTest, FailuresShowTheFixedTextAndBadFolderNamesAreRefusedBeforeGitRuns) {
    ScriptedChooser chooser;
    chooser.answers = {parent.path()};
    CloneSheet sheet(app, {});
    sheet.pickFolder();
    sheet.urlField()->setText(parent.file("no-such-repository"));
    sheet.nameField()->setText("out");
    sheet.clone();
    ASSERT_TRUE(waitUntil([&] { return !sheet.isCloning(); }, 120000));
    EXPECT_EQ(sheet.errorText(), CloneSheet::failureText());
    EXPECT_FALSE(app.rootNode());

    for (const char* bad : {"../escape", "a/b", "..", "."}) {
        sheet.nameField()->setText(bad);
        sheet.clone();
        EXPECT_FALSE(sheet.isCloning()) << bad;
        ASSERT_TRUE(sheet.errorText()) << bad;
        EXPECT_NE(*sheet.errorText(), CloneSheet::failureText()) << bad;
    }
    EXPECT_EQ(QDir(parent.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(), 0);
}

TEST_F(CloneSheetTest, CancelOrClosingStopsAHangingCloneRemovesItsFolderAndOpensNothing) {
    git_test::SilentServer server;
    ScriptedChooser chooser;
    // Once by Cancel, once by the sheet going away with its window (as when quitting).
    for (const bool byCancel : {true, false}) {
        SCOPED_TRACE(byCancel ? "cancel" : "closed");
        const int connections = server.accepted;
        chooser.answers = {parent.path()};
        auto sheet = std::make_unique<CloneSheet>(app, [](const QString&) { ADD_FAILURE() << "nothing is opened"; });
        sheet->pickFolder();
        sheet->urlField()->setText(server.url());
        sheet->clone();
        ASSERT_TRUE(waitUntil([&] { return server.accepted > connections; }));
        EXPECT_TRUE(QFileInfo::exists(parent.file("repo"))) << "git has made its folder";
        if (byCancel) {
            sheet->findChild<QAbstractButton*>("cancel")->click();
            EXPECT_FALSE(sheet->isCloning());
            EXPECT_EQ(sheet->result(), QDialog::Rejected);
        }
        sheet.reset();
        EXPECT_FALSE(QFileInfo::exists(parent.file("repo")));
        EXPECT_TRUE(waitUntil([&] { return server.closed == server.accepted; }, 120000)) << "git and its helpers ended";
        EXPECT_FALSE(app.rootNode());
    }
}

TEST_F(CloneSheetTest, ACloneIntoAFolderThatExistsSaysSoAndLeavesItAlone) {
    TempFolder source;
    makeRepository(source);
    parent.write("taken/mine.txt", "mine\n");
    ScriptedChooser chooser;
    chooser.answers = {parent.path()};
    CloneSheet sheet(app, {});
    sheet.pickFolder();
    sheet.urlField()->setText(source.path());
    sheet.nameField()->setText("taken");
    sheet.clone();
    ASSERT_TRUE(waitUntil([&] { return !sheet.isCloning(); }, 120000));
    ASSERT_TRUE(sheet.errorText());
    EXPECT_TRUE(sheet.errorText()->contains("“taken” already exists")) << sheet.errorText()->toStdString();
    EXPECT_EQ(QDir(parent.file("taken")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"mine.txt"});
}

} // namespace
