// GitService when git itself misbehaves: a read that is killed or hangs, and a commit message too
// long for one argument.
#include <QFile>

#include "Git/GitService.h"
#include "GitTestSupport.h"

using namespace git_test;
using testing_support::TempFolder;
using testing_support::waitUntil;

namespace {

// A git on the path that, while FAKE_FLAG names a file that exists, kills itself, hangs or is slow (as
// FAKE_MODE says) when asked for the command named by FAKE_COMMAND; otherwise the real one.
class GitChildTroubleTest : public ::testing::Test {
protected:
    void SetUp() override {
        useIsolatedGitConfig();
        const QString bin = tmp.mkdir("bin");
        QFile fake(tmp.file("bin/git"));
        ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
        fake.write("#!/bin/sh\n"
                   "for a in \"$@\"; do\n"
                   "  if [ \"$a\" = \"$FAKE_COMMAND\" ] && [ -e \"$FAKE_FLAG\" ]; then\n"
                   "    if [ \"$FAKE_MODE\" = hang ]; then exec sleep 600; fi\n"
                   "    if [ \"$FAKE_MODE\" = slow ]; then sleep \"$FAKE_SLEEP\"; break; fi\n"
                   "    kill -9 $$\n"
                   "  fi\n"
                   "done\n"
                   "exec " + QFile::encodeName(realGit()) + " \"$@\"\n");
        fake.close();
        QFile::setPermissions(tmp.file("bin/git"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        savedPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin) + ':' + savedPath);
        qputenv("FAKE_FLAG", QFile::encodeName(tmp.file("misbehave")));
        work = tmp.mkdir("work");
        gitOk(work, {"init", "-q"});
        tmp.write("work/a.txt", "a\n");
        gitOk(work, {"add", "."});
        gitOk(work, {"commit", "-q", "-m", "first"});
        tmp.write("work/a.txt", "changed\n");
    }
    void TearDown() override {
        qputenv("PATH", savedPath);
        for (const char* name : {"FAKE_FLAG", "FAKE_MODE", "FAKE_COMMAND"}) qunsetenv(name);
    }
    static QString realGit() {
        for (const char* dir : {"/usr/bin", "/usr/local/bin", "/bin"})
            if (QFile::exists(QString("%1/git").arg(dir))) return QString("%1/git").arg(dir);
        return "git";
    }
    void misbehave(const char* command, const char* mode) {
        qputenv("FAKE_COMMAND", command);
        qputenv("FAKE_MODE", mode);
        tmp.write("misbehave", "");
    }
    void behave() { QFile::remove(tmp.file("misbehave")); }
    void refresh() { awaitDone([&](Completion<> d) { svc.refresh(d); }, 120000); }

    TempFolder tmp;
    QByteArray savedPath;
    QString work;
    GitService svc;
};

struct ReadStallLimit {
    explicit ReadStallLimit(int ms) : saved(GitService::readStallLimit()) { GitService::setReadStallLimit(ms); }
    ~ReadStallLimit() { GitService::setReadStallLimit(saved); }
    int saved;
};

TEST_F(GitChildTroubleTest, AStatusReadThatIsKilledKeepsWhatWasShownAndSaysWhy) {
    awaitDone([&](Completion<> d) { svc.attach(work, d); });
    ASSERT_EQ(svc.changes().size(), 1);
    ASSERT_EQ(svc.branch(), QStringLiteral("main"));
    EXPECT_FALSE(svc.readError());

    misbehave("status", "kill");
    refresh();
    // Not a clean tree on no branch: nothing was read, so what was read before stays.
    EXPECT_TRUE(svc.isRepo());
    EXPECT_EQ(svc.changes().size(), 1);
    EXPECT_EQ(svc.branch(), QStringLiteral("main"));
    ASSERT_TRUE(svc.readError());
    EXPECT_TRUE(svc.readError()->contains("git status")) << svc.readError()->toStdString();
    EXPECT_TRUE(svc.readError()->contains("killed")) << svc.readError()->toStdString();
    EXPECT_FALSE(svc.lastError()) << "no command of the user's failed";

    behave();
    tmp.write("work/b.txt", "new\n");
    refresh();
    EXPECT_EQ(svc.changes().size(), 2);
    EXPECT_FALSE(svc.readError());
}

TEST_F(GitChildTroubleTest, AReadThatHangsIsStoppedSaysSoAndHoldsUpNoLaterRefresh) {
    const ReadStallLimit limit(1500);
    // The folder's first question hangs: no answer is not "no repository", and says why.
    misbehave("rev-parse", "hang");
    awaitDone([&](Completion<> d) { svc.attach(work, d); }, 120000);
    EXPECT_FALSE(svc.isRepo());
    EXPECT_EQ(svc.readError(), GitService::stallMessage("git rev-parse", 1500));

    behave();
    awaitDone([&](Completion<> d) { svc.attach(work, d); }, 120000);
    ASSERT_TRUE(svc.isRepo());
    EXPECT_FALSE(svc.readError());
    ASSERT_EQ(svc.changes().size(), 1);

    misbehave("status", "hang");
    bool first = false, second = false;
    svc.refresh([&] { first = true; });
    svc.refresh([&] { second = true; });  // waits for the one that hangs
    ASSERT_TRUE(waitUntil([&] { return first; }, 120000));
    EXPECT_EQ(svc.readError(), GitService::stallMessage("git status", 1500));
    EXPECT_EQ(svc.changes().size(), 1);
    behave();
    tmp.write("work/b.txt", "new\n");
    ASSERT_TRUE(waitUntil([&] { return second; }, 120000));
    refresh();
    EXPECT_EQ(svc.changes().size(), 2);
    EXPECT_FALSE(svc.readError());
}

TEST_F(GitChildTroubleTest, ADiffThatHangsIsStoppedAndSaysSo) {
    const ReadStallLimit limit(1500);
    awaitDone([&](Completion<> d) { svc.attach(work, d); });
    ASSERT_EQ(svc.changes().size(), 1);
    misbehave("diff", "hang");
    const QString text = await<QString>([&](auto d) { svc.diff(svc.changes().first(), d); }, 120000);
    EXPECT_EQ(text, GitService::stallMessage("git diff", 1500));
    behave();
    EXPECT_TRUE(await<QString>([&](auto d) { svc.diff(svc.changes().first(), d); }, 120000).contains("+changed"));
}

// A command that changes the repository is never stopped half-way, but one that takes long is
// named while it runs, and the refreshes meanwhile keep naming it.
TEST_F(GitChildTroubleTest, ACommandThatTakesLongIsNamedUntilItEnds) {
    const ReadStallLimit limit(1000);
    awaitDone([&](Completion<> d) { svc.attach(work, d); });
    qputenv("FAKE_SLEEP", "4");
    misbehave("add", "slow");
    std::optional<bool> staged;
    svc.stageAll([&](bool ok) { staged = ok; });
    ASSERT_TRUE(waitUntil([&] { return svc.readError().has_value(); }, 120000));
    EXPECT_FALSE(staged.has_value());
    const QString notice = *svc.readError();
    EXPECT_TRUE(notice.contains("“git add” has not finished")) << notice.toStdString();
    refresh();
    EXPECT_EQ(svc.readError(), notice);
    ASSERT_TRUE(waitUntil([&] { return staged.has_value(); }, 120000));
    EXPECT_TRUE(*staged);
    EXPECT_FALSE(svc.readError());
    EXPECT_EQ(svc.changes().first().staged, u'M');
    qunsetenv("FAKE_SLEEP");
}

TEST_F(GitChildTroubleTest, ACommitMessageTooLongForOneArgumentIsCommittedWhole) {
    awaitDone([&](Completion<> d) { svc.attach(work, d); });
    ASSERT_TRUE(await<bool>([&](auto d) { svc.stageAll(d); }));
    QStringList lines;
    for (int i = 0; i < 10000; ++i) lines << QStringLiteral("line %1 of a long message, with ‘quotes’ and $HOME").arg(i);
    const QString message = lines.join('\n');
    ASSERT_GT(message.toUtf8().size(), 128 * 1024);
    EXPECT_TRUE(await<bool>([&](auto d) { svc.commit(message, d); })) << svc.lastError().value_or("").toStdString();
    EXPECT_FALSE(svc.lastError());
    EXPECT_EQ(git(work, {"log", "-1", "--format=%B"}).output, message + "\n\n");
    EXPECT_TRUE(svc.changes().isEmpty());
}

} // namespace
