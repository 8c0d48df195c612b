// GitService against real temporary repositories with a local bare "origin".
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>

#include <fcntl.h>
#include <unistd.h>

#include "Git/GitClone.h"
#include "Git/GitService.h"
#include "Git/ProcessText.h"
#include "GitTestSupport.h"

using namespace git_test;
using testing_support::TempFolder;
using testing_support::readBytes;
using testing_support::waitUntil;

namespace {

// QFile cannot name a file whose name is not UTF-8; these take the name as bytes.
void writeRaw(const QString& dir, const QByteArray& name, const QByteArray& content) {
    const QByteArray path = QFile::encodeName(dir) + '/' + name;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path.toStdString();
    EXPECT_EQ(::write(fd, content.constData(), size_t(content.size())), content.size());
    ::close(fd);
}

QByteArray readRaw(const QString& dir, const QByteArray& name) {
    QByteArray content;
    const int fd = ::open((QFile::encodeName(dir) + '/' + name).constData(), O_RDONLY);
    if (fd < 0) return "(missing)";
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) content.append(buffer, n);
    ::close(fd);
    return content;
}

class GitServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        useIsolatedGitConfig();
        origin = tmp.mkdir("origin.git");
        gitOk(origin, {"init", "-q", "--bare"});
        work = tmp.mkdir("work");
        gitOk(work, {"init", "-q"});
        tmp.write("work/README.md", "hello\n");
        gitOk(work, {"add", "."});
        gitOk(work, {"commit", "-q", "-m", "initial"});
        gitOk(work, {"remote", "add", "origin", origin});
        gitOk(work, {"push", "-q", "-u", "origin", "main"});
        attach(work);
    }

    void attach(const QString& folder) { awaitDone([&](Completion<> d) { svc.attach(folder, d); }); }
    void refresh() { awaitDone([&](Completion<> d) { svc.refresh(d); }); }
    bool call(const std::function<void(Completion<bool>)>& start) { return await<bool>(start); }
    QString diffOf(const GitFileChange& change) {
        return await<QString>([&](Completion<QString> d) { svc.diff(change, d); });
    }
    std::optional<GitFileChange> changeAt(const QString& path) const {
        for (const GitFileChange& c : svc.changes())
            if (c.path == path) return c;
        return std::nullopt;
    }
    QString statusLetters(const QString& path) const {
        const auto c = changeAt(path);
        return c ? QString(c->staged) + c->unstaged : QStringLiteral("none");
    }
    bool exists(const QString& relative) const { return QFileInfo::exists(tmp.file(relative)); }
    std::optional<GitFileChange> changeNamed(const QByteArray& rawPath) const {
        for (const GitFileChange& c : svc.changes())
            if (ProcessText::encodeExact(c.path) == rawPath) return c;
        return std::nullopt;
    }

    TempFolder tmp;
    QString origin, work;
    GitService svc;
};

TEST_F(GitServiceTest, AttachPublishesRootBranchAndCleanStateAndFindsTopLevelFromSubfolder) {
    EXPECT_TRUE(svc.isRepo());
    EXPECT_EQ(svc.root(), work);
    EXPECT_EQ(svc.branch(), "main");
    EXPECT_TRUE(svc.changes().isEmpty());
    ASSERT_EQ(svc.branches().size(), 1);
    EXPECT_EQ(svc.branches()[0], (GitBranchInfo{"main", QString("origin/main")}));
    EXPECT_EQ(svc.stashCount(), 0);
    EXPECT_EQ(svc.aheadBy(), 0);
    EXPECT_EQ(svc.behindBy(), 0);

    attach(tmp.mkdir("work/sub/deeper"));
    EXPECT_EQ(svc.root(), work);
    EXPECT_TRUE(svc.isRepo());

    QSignalSpy repoSpy(&svc, &GitService::isRepoChanged);
    attach(tmp.mkdir("plain"));
    EXPECT_FALSE(svc.isRepo());
    EXPECT_FALSE(svc.root().has_value());
    EXPECT_FALSE(svc.branch().has_value());
    EXPECT_TRUE(svc.changes().isEmpty());
    EXPECT_EQ(repoSpy.count(), 1);

    attach(tmp.file("does-not-exist"));
    EXPECT_FALSE(svc.isRepo());

    // Another folder opened before the first has been read: the first still reports back.
    bool overtakenDone = false;
    svc.attach(work, [&] { overtakenDone = true; });
    attach(tmp.file("plain"));
    EXPECT_TRUE(waitUntil([&] { return overtakenDone; }, 60000));
    EXPECT_FALSE(svc.isRepo());
}

TEST_F(GitServiceTest, StagesUnstagesCommitsDiffsAndDiscardsAFileWithSpacesQuotesAndNonAsciiLetters) {
    const QString name = QString::fromUtf8("dir with space/ünï \"q\".txt");
    tmp.write("work/" + name, "one\n");
    refresh();
    // An untracked folder is listed as the folder.
    ASSERT_EQ(statusLetters("dir with space/"), "??");
    EXPECT_EQ(changeAt("dir with space/")->displayStatus(), "U");

    EXPECT_TRUE(call([&](auto d) { svc.stage(*changeAt("dir with space/"), d); }));
    ASSERT_EQ(statusLetters(name), "A ") << "raw path expected, not git's quoted form";

    EXPECT_TRUE(call([&](auto d) { svc.unstage(*changeAt(name), d); }));
    EXPECT_EQ(statusLetters("dir with space/"), "??");

    EXPECT_TRUE(call([&](auto d) { svc.stageAll(d); }));
    EXPECT_TRUE(call([&](auto d) { svc.commit("add odd file", d); }));
    EXPECT_TRUE(svc.changes().isEmpty());
    EXPECT_EQ(gitOk(work, {"log", "-1", "--format=%s"}), "add odd file");

    tmp.write("work/" + name, "two\n");
    refresh();
    ASSERT_EQ(statusLetters(name), " M");
    const QString diff = diffOf(*changeAt(name));
    EXPECT_TRUE(diff.contains("-one") && diff.contains("+two")) << diff.toStdString();

    EXPECT_TRUE(call([&](auto d) { svc.discard(*changeAt(name), d); }));
    EXPECT_EQ(readBytes(tmp.file("work/" + name)), "one\n");
    EXPECT_TRUE(svc.changes().isEmpty());
}

TEST_F(GitServiceTest, CommitRefusesABlankMessageWithoutRunningGit) {
    tmp.write("work/README.md", "changed\n");
    EXPECT_TRUE(call([&](auto d) { svc.stageAll(d); }));
    EXPECT_FALSE(call([&](auto d) { svc.commit("  \n", d); }));
    EXPECT_EQ(gitOk(work, {"rev-list", "--count", "HEAD"}), "1");
    EXPECT_TRUE(call([&](auto d) { svc.commit(" fix ", d); }));
    EXPECT_EQ(gitOk(work, {"rev-list", "--count", "HEAD"}), "2");
}

TEST_F(GitServiceTest, LastErrorHoldsTheFirstOutputLineOfAFailureAndClearsOnSuccess) {
    EXPECT_FALSE(call([&](auto d) { svc.checkout("no-such-branch", d); }));
    ASSERT_TRUE(svc.lastError().has_value());
    EXPECT_TRUE(svc.lastError()->contains("no-such-branch")) << svc.lastError()->toStdString();

    EXPECT_TRUE(call([&](auto d) { svc.stageAll(d); }));
    EXPECT_FALSE(svc.lastError().has_value());

    // A failure that prints nothing still says what failed.
    tmp.write("work/README.md", "changed\n");
    EXPECT_FALSE(call([&](auto d) { svc.run({"git", "diff", "--quiet"}, d); }));
    EXPECT_EQ(svc.lastError(), "“git diff” failed (exit status 1).");
}

TEST_F(GitServiceTest, CreatesSwitchesAndDeletesBranchesAndNeverReadsNamesAsOptionsOrFiles) {
    EXPECT_TRUE(call([&](auto d) { svc.createBranch("topic", d); }));
    EXPECT_EQ(svc.branch(), "topic");
    EXPECT_TRUE(svc.branches().contains(GitBranchInfo{"topic", std::nullopt}));

    EXPECT_TRUE(call([&](auto d) { svc.checkout("main", d); }));
    EXPECT_EQ(svc.branch(), "main");
    EXPECT_TRUE(call([&](auto d) { svc.deleteBranch("topic", d); }));
    EXPECT_EQ(svc.branches().size(), 1);

    EXPECT_FALSE(call([&](auto d) { svc.createBranch("-f", d); }));
    EXPECT_FALSE(call([&](auto d) { svc.deleteBranch("-D", d); }));
    ASSERT_TRUE(svc.lastError().has_value());
    EXPECT_TRUE(svc.lastError()->contains("-D"));
    EXPECT_EQ(svc.branches().size(), 1);

    // Switching to a "branch" that is really a file name must not throw away the file's edits.
    tmp.write("work/README.md", "precious edit\n");
    EXPECT_FALSE(call([&](auto d) { svc.checkout("README.md", d); }));
    EXPECT_EQ(readBytes(tmp.file("work/README.md")), "precious edit\n");
}

TEST_F(GitServiceTest, StashesAndPopsChanges) {
    tmp.write("work/README.md", "wip\n");
    EXPECT_TRUE(call([&](auto d) { svc.stash(std::nullopt, d); }));
    EXPECT_EQ(svc.stashCount(), 1);
    EXPECT_TRUE(svc.changes().isEmpty());

    tmp.write("work/README.md", "second wip\n");
    EXPECT_TRUE(call([&](auto d) { svc.stash(QString("note for later"), d); }));
    EXPECT_EQ(svc.stashCount(), 2);
    EXPECT_TRUE(gitOk(work, {"stash", "list"}).contains("note for later"));

    EXPECT_TRUE(call([&](auto d) { svc.stashPop(d); }));
    EXPECT_EQ(svc.stashCount(), 1);
    EXPECT_EQ(readBytes(tmp.file("work/README.md")), "second wip\n");
    EXPECT_EQ(statusLetters("README.md"), " M");
}

TEST_F(GitServiceTest, PushPublishesANewBranchAndAheadBehindFollowsBothSides) {
    EXPECT_TRUE(call([&](auto d) { svc.createBranch("feature", d); }));
    tmp.write("work/f.txt", "f\n");
    EXPECT_TRUE(call([&](auto d) { svc.stageAll(d); }));
    EXPECT_TRUE(call([&](auto d) { svc.commit("feature work", d); }));
    EXPECT_TRUE(call([&](auto d) { svc.push(d); })) << svc.lastError().value_or("").toStdString();
    EXPECT_TRUE(svc.branches().contains(GitBranchInfo{"feature", QString("origin/feature")}));
    EXPECT_FALSE(gitOk(origin, {"branch", "--list", "feature"}).isEmpty());

    EXPECT_TRUE(call([&](auto d) { svc.checkout("main", d); }));
    const QString other = tmp.path() + "/other";
    gitOk(tmp.path(), {"clone", "-q", origin, other});
    tmp.write("other/theirs.txt", "theirs\n");
    gitOk(other, {"add", "."});
    gitOk(other, {"commit", "-q", "-m", "theirs"});
    gitOk(other, {"push", "-q", "origin", "main"});

    QSignalSpy networking(&svc, &GitService::isNetworkingChanged);
    EXPECT_TRUE(call([&](auto d) { svc.fetch(d); }));
    EXPECT_EQ(networking.count(), 2);
    EXPECT_FALSE(svc.isNetworking());
    EXPECT_EQ(svc.aheadBy(), 0);
    EXPECT_EQ(svc.behindBy(), 1);

    tmp.write("work/mine.txt", "mine\n");
    EXPECT_TRUE(call([&](auto d) { svc.stageAll(d); }));
    EXPECT_TRUE(call([&](auto d) { svc.commit("mine", d); }));
    EXPECT_EQ(svc.aheadBy(), 1);
    EXPECT_EQ(svc.behindBy(), 1);

    // The branch has an upstream now, so this is a plain push, refused as not fast-forward.
    EXPECT_FALSE(call([&](auto d) { svc.push(d); }));
    EXPECT_TRUE(svc.lastError().has_value());
    EXPECT_FALSE(svc.isNetworking());

    EXPECT_TRUE(call([&](auto d) { svc.pull(d); })) << svc.lastError().value_or("").toStdString();
    EXPECT_EQ(svc.behindBy(), 0);
    EXPECT_EQ(svc.aheadBy(), 2);
}

TEST_F(GitServiceTest, ClonesFromAFileAddressAndRefusesUnsafeFolderNames) {
    QObject owner;
    const auto cloneOutcome = [&](const QString& address, const QString& name) {
        return await<GitClone::Outcome>(
            [&](Completion<GitClone::Outcome> d) { GitClone::start(address, tmp.path(), name, &owner, d); });
    };
    const auto clone = [&](const QString& address, const QString& name) { return cloneOutcome(address, name).folder; };
    const auto copy = clone("file://" + origin, "copy");
    ASSERT_EQ(copy, tmp.file("copy"));
    EXPECT_EQ(readBytes(tmp.file("copy/README.md")), "hello\n");

    const GitClone::Outcome again = cloneOutcome("file://" + origin, "copy");
    EXPECT_EQ(again.folder, std::nullopt);
    EXPECT_TRUE(again.problem && again.problem->contains("already exists")) << "the folder exists and is not empty";
    EXPECT_EQ(readBytes(tmp.file("copy/README.md")), "hello\n") << "an existing folder is never touched";
    // A failed clone leaves nothing behind; into an empty folder it leaves the folder empty.
    EXPECT_EQ(clone("file://" + tmp.file("nothing-here"), "failed"), std::nullopt);
    EXPECT_FALSE(exists("failed"));
    tmp.mkdir("empty");
    EXPECT_EQ(clone("file://" + origin, "empty"), tmp.file("empty"));
    for (const QString& bad : {QString(), QString("."), QString(".."), QString("a/b"), QString("../escape")})
        EXPECT_EQ(clone("file://" + origin, bad), std::nullopt) << bad.toStdString();
    EXPECT_FALSE(exists("a"));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(tmp.path()).dir().filePath("escape")));

    // An address that looks like an option is still only an address.
    EXPECT_EQ(clone("--upload-pack=touch pwned", "opt"), std::nullopt);
    EXPECT_FALSE(exists("opt/pwned"));
    EXPECT_FALSE(exists("pwned"));
}

TEST_F(GitServiceTest, InitialisesAFolderThatIsNoRepositoryAndWorksBeforeTheFirstCommit) {
    GitService fresh;
    EXPECT_FALSE(await<bool>([&](auto d) { fresh.initRepo(d); }));

    // An init still queued when another folder is opened reports back, as not done.
    const QString other = tmp.mkdir("other");
    gitOk(other, {"init", "-q"});
    std::optional<bool> overtaken;
    svc.run({"git", "status"});
    svc.initRepo([&](bool ok) { overtaken = ok; });
    attach(other);
    EXPECT_TRUE(call([&](auto d) { svc.run({"git", "status"}, d); })) << "queued after the init";
    EXPECT_EQ(overtaken, std::optional<bool>(false));

    // A folder git cannot make a repository of: the init reports failure and says why.
    tmp.write("broken/.git", "not a git file\n");
    attach(tmp.file("broken"));
    EXPECT_FALSE(call([&](auto d) { svc.initRepo(d); }));
    EXPECT_TRUE(svc.lastError().has_value());

    const QString plain = tmp.mkdir("plain");
    attach(plain);
    ASSERT_FALSE(svc.isRepo());
    EXPECT_TRUE(call([&](auto d) { svc.initRepo(d); }));
    EXPECT_TRUE(svc.isRepo());
    EXPECT_EQ(svc.root(), plain);
    EXPECT_EQ(svc.branch(), "main") << "an unborn branch keeps its name";

    tmp.write("plain/a.txt", "a\n");
    EXPECT_TRUE(call([&](auto d) { svc.stageAll(d); }));
    EXPECT_EQ(statusLetters("a.txt"), "A ");
    EXPECT_TRUE(call([&](auto d) { svc.unstageAll(d); })) << svc.lastError().value_or("").toStdString();
    EXPECT_EQ(statusLetters("a.txt"), "??");
    EXPECT_TRUE(call([&](auto d) { svc.stage(*changeAt("a.txt"), d); }));
    EXPECT_TRUE(call([&](auto d) { svc.unstage(*changeAt("a.txt"), d); }));
    EXPECT_EQ(statusLetters("a.txt"), "??");
}

TEST_F(GitServiceTest, DiffShowsEachKindOfChange) {
    tmp.write("work/gone.txt", "bye\n");
    tmp.write("work/mover.txt", "moving\n");
    gitOk(work, {"add", "."});
    gitOk(work, {"commit", "-q", "-m", "gone"});

    tmp.write("work/untracked.txt", "fresh\n");
    tmp.write("work/README.md", "staged line\n");
    gitOk(work, {"add", "README.md"});
    tmp.write("work/README.md", "unstaged line\n");
    QFile::remove(tmp.file("work/gone.txt"));
    tmp.write("work/added.txt", "added\n");
    gitOk(work, {"add", "added.txt"});
    refresh();

    ASSERT_EQ(statusLetters("README.md"), "MM");
    const QString both = diffOf(*changeAt("README.md"));
    EXPECT_TRUE(both.contains("+staged line")) << both.toStdString();
    EXPECT_FALSE(both.contains("unstaged line")) << "only the staged part";
    EXPECT_TRUE(diffOf(*changeAt("untracked.txt")).contains("+fresh"));
    ASSERT_EQ(statusLetters("gone.txt"), " D");
    EXPECT_TRUE(diffOf(*changeAt("gone.txt")).contains("-bye"));
    ASSERT_EQ(statusLetters("added.txt"), "A ");
    EXPECT_TRUE(diffOf(*changeAt("added.txt")).contains("+added"));

    const QString staged = await<QString>([&](Completion<QString> d) { svc.stagedDiff(d); });
    EXPECT_TRUE(staged.contains("+staged line") && staged.contains("+added"));

    gitOk(work, {"mv", "mover.txt", "moved.txt"});
    refresh();
    ASSERT_EQ(statusLetters("moved.txt"), "R ");
    EXPECT_EQ(changeAt("moved.txt")->originalPath, "mover.txt");
    EXPECT_TRUE(diffOf(*changeAt("moved.txt")).contains("rename from mover.txt"));
    GitFileChange unknownOrigin = *changeAt("moved.txt");
    unknownOrigin.originalPath.clear();
    EXPECT_TRUE(diffOf(unknownOrigin).contains("+moving")) << "a rename whose old name is unknown shows the new file";
}

TEST_F(GitServiceTest, DiscardsEveryKindOfChange) {
    tmp.write("work/.gitignore", "*.log\n");
    gitOk(work, {"add", "."});
    gitOk(work, {"commit", "-q", "-m", "ignore logs"});

    // Untracked folder: git's untracked files go, the ignored one stays.
    tmp.write("work/build/out.o", "obj");
    tmp.write("work/build/keep.log", "log");
    tmp.write("work/loose.txt", "loose");
    refresh();
    ASSERT_EQ(statusLetters("build/"), "??");
    EXPECT_TRUE(call([&](auto d) { svc.discard(*changeAt("build/"), d); }));
    EXPECT_FALSE(exists("work/build/out.o"));
    EXPECT_TRUE(exists("work/build/keep.log"));
    EXPECT_TRUE(call([&](auto d) { svc.discard(*changeAt("loose.txt"), d); }));
    EXPECT_FALSE(exists("work/loose.txt"));

    // Staged new file.
    tmp.write("work/new.txt", "new");
    gitOk(work, {"add", "new.txt"});
    refresh();
    EXPECT_TRUE(call([&](auto d) { svc.discard(*changeAt("new.txt"), d); }));
    EXPECT_FALSE(exists("work/new.txt"));

    // Rename.
    gitOk(work, {"mv", "README.md", "READ ME.md"});
    refresh();
    ASSERT_EQ(statusLetters("READ ME.md"), "R ");
    EXPECT_TRUE(call([&](auto d) { svc.discard(*changeAt("READ ME.md"), d); }));
    EXPECT_EQ(readBytes(tmp.file("work/README.md")), "hello\n");
    EXPECT_FALSE(exists("work/READ ME.md"));
    EXPECT_TRUE(svc.changes().isEmpty());
    // A rename undone elsewhere since: the failed removal leaves the old name's edits alone.
    tmp.write("work/README.md", "edited\n");
    EXPECT_FALSE(call([&](auto d) { svc.discard(GitFileChange{"READ ME.md", u'R', u' ', "README.md"}, d); }));
    EXPECT_EQ(readBytes(tmp.file("work/README.md")), "edited\n");

    // Paths that would reach outside the repository, or the repository itself, are refused.
    tmp.write("outside.txt", "keep");
    for (const QString& path : {QString("../outside.txt"), QString("."), QString("build/.."), QString(work)})
        EXPECT_FALSE(call([&](auto d) { svc.discard(GitFileChange{path, u'?', u'?', {}}, d); })) << path.toStdString();
    EXPECT_TRUE(exists("outside.txt"));
    EXPECT_TRUE(exists("work/README.md"));
    EXPECT_TRUE(exists("work/build/keep.log"));

    // A discard overtaken by opening another folder still reports back, as not done.
    ASSERT_EQ(statusLetters("README.md"), " M");
    std::optional<bool> discarded;
    svc.discard(*changeAt("README.md"), [&](bool ok) { discarded = ok; });
    attach(tmp.mkdir("plain"));
    EXPECT_TRUE(waitUntil([&] { return discarded.has_value(); }));
    EXPECT_EQ(discarded, std::optional<bool>(false));
    EXPECT_EQ(readBytes(tmp.file("work/README.md")), "edited\n");
}

TEST_F(GitServiceTest, PathsAreNeverPatterns) {
    tmp.write("work/a.txt", "a\n");
    tmp.write("work/*.txt", "star\n");
    gitOk(work, {"add", "."});
    gitOk(work, {"commit", "-q", "-m", "files"});
    tmp.write("work/a.txt", "edited a\n");
    tmp.write("work/*.txt", "edited star\n");
    refresh();
    EXPECT_TRUE(call([&](auto d) { svc.stage(*changeAt("*.txt"), d); }));
    EXPECT_EQ(statusLetters("a.txt"), " M");
    EXPECT_TRUE(call([&](auto d) { svc.discard(*changeAt("*.txt"), d); }));
    EXPECT_EQ(readBytes(tmp.file("work/*.txt")), "star\n");
    EXPECT_EQ(readBytes(tmp.file("work/a.txt")), "edited a\n") << "another file's edits were thrown away";
}

TEST_F(GitServiceTest, RefreshingWritesNothingInsideTheRepository) {
    // A changed timestamp makes a plain status rewrite the index, which the folder watcher would
    // report, which would refresh again.
    const QString index = tmp.file("work/.git/index");
    const QByteArray before = readBytes(index);
    const QDateTime now = QDateTime::currentDateTime();
    const auto setStamp = [](const QString& path, const QDateTime& stamp) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(stamp, QFileDevice::FileModificationTime));
    };
    // The index older than the file's new stamp, as if the file was touched a while after the last status.
    setStamp(index, now.addSecs(-60));
    setStamp(tmp.file("work/README.md"), now);
    const QDateTime stamp = QFileInfo(index).lastModified();
    refresh();
    refresh();
    EXPECT_EQ(readBytes(index), before);
    EXPECT_EQ(QFileInfo(index).lastModified(), stamp);
}

TEST_F(GitServiceTest, DiscardAllKeepsStagedWorkAndIgnoredFiles) {
    tmp.write("work/.gitignore", "*.log\n");
    tmp.write("work/staged.txt", "staged\n");
    gitOk(work, {"add", "staged.txt"});
    tmp.write("work/README.md", "edited\n");
    tmp.write("work/debug.log", "log");
    refresh();
    EXPECT_TRUE(call([&](auto d) { svc.discardAll(d); }));
    EXPECT_EQ(readBytes(tmp.file("work/README.md")), "hello\n");
    EXPECT_TRUE(exists("work/staged.txt"));
    EXPECT_FALSE(exists("work/.gitignore"));
    EXPECT_TRUE(exists("work/debug.log"));
    EXPECT_EQ(statusLetters("staged.txt"), "A ");
}

TEST_F(GitServiceTest, ManyOverlappingCommandsAndRefreshesAllSucceed) {
    constexpr int kFiles = 24;
    for (int i = 0; i < kFiles; ++i) tmp.write(QString("work/f%1.txt").arg(i), "x\n");
    refresh();
    const QList<GitFileChange> untracked = svc.changes();
    ASSERT_EQ(untracked.size(), kFiles);
    int finished = 0, succeeded = 0;
    for (const GitFileChange& change : untracked) {
        svc.stage(change, [&](bool ok) {
            ++finished;
            succeeded += ok;
        });
        svc.refresh();
    }
    ASSERT_TRUE(testing_support::waitUntil([&] { return finished == kFiles; }, 60000));
    EXPECT_EQ(succeeded, kFiles) << svc.lastError().value_or("").toStdString();
    refresh();
    for (const GitFileChange& change : svc.changes()) EXPECT_EQ(change.staged, u'A') << change.path.toStdString();
}

TEST_F(GitServiceTest, ADetachedServiceRunsNothingAndAVanishedRootReadsAsEmpty) {
    GitService detached;
    QSignalSpy anyChange(&detached, &GitService::changed);
    EXPECT_FALSE(await<bool>([&](auto d) { detached.run({"git", "status"}, d); }));
    EXPECT_FALSE(await<bool>([&](auto d) { detached.push(d); }));
    EXPECT_FALSE(await<bool>([&](auto d) { detached.pull(d); }));
    EXPECT_FALSE(await<bool>([&](auto d) { detached.stage(GitFileChange{"a", u'?', u'?', {}}, d); }));
    EXPECT_TRUE(await<QString>([&](Completion<QString> d) { detached.stagedDiff(d); }).isEmpty());
    EXPECT_EQ(anyChange.count(), 0);

    // Nothing can wait on our input, and a folder that is gone is a start failure.
    const auto shell = [&](const QStringList& arguments, const QString& cwd) {
        return await<GitShellResult>([&](Completion<GitShellResult> d) { GitService::shell(arguments, cwd, d); });
    };
    const GitShellResult input = shell({"cat"}, work);
    EXPECT_EQ(input.exit, 0);
    EXPECT_EQ(input.output, "");
    const GitShellResult missing = shell({"git", "status"}, tmp.file("gone"));
    EXPECT_EQ(missing.exit, -1);
    EXPECT_FALSE(missing.output.isEmpty());

    tmp.write("work/x.txt", "x");
    refresh();
    ASSERT_FALSE(svc.changes().isEmpty());
    QDir(work).removeRecursively();
    refresh();
    EXPECT_TRUE(svc.changes().isEmpty()) << "a start error is no status listing";
    EXPECT_FALSE(svc.branch().has_value());
}

TEST_F(GitServiceTest, NoCompletionOutlivesItsReceiverOrTheService) {
    auto* receiver = new QObject;
    bool called = false;
    svc.refresh({receiver, [&] { called = true; }});
    delete receiver;
    bool after = false;
    svc.refresh([&] { after = true; });
    ASSERT_TRUE(testing_support::waitUntil([&] { return after; }));
    EXPECT_FALSE(called);

    // A service that goes away mid-command stops its processes and calls nobody back.
    auto* doomed = new GitService;
    bool reported = false;
    doomed->attach(work, [&] { reported = true; });
    delete doomed;  // before the event loop could deliver git's exit
    refresh();  // a whole round of git commands, long enough for the stopped one to have reported
    EXPECT_FALSE(reported);
}

TEST_F(GitServiceTest, NamesAndLinesThatAreNotUtf8KeepEveryEntryAndReachGitByteForByte) {
    const QByteArray latin = "caf\xe9.txt";
    // The temp folder's own clean-up cannot name these files.
    const std::shared_ptr<void> removeRaw(nullptr, [&](void*) {
        for (const QByteArray& name : {latin, QByteArray("new\xe8.txt")})
            ::unlink((QFile::encodeName(work) + '/' + name).constData());
    });
    writeRaw(work, latin, "one\n");
    for (int i = 0; i < 17; ++i) tmp.write(QStringLiteral("work/f%1.txt").arg(i), "one\n");
    gitOk(work, {"add", "-A"});
    gitOk(work, {"commit", "-q", "-m", "files"});
    writeRaw(work, latin, "two\n");
    for (int i = 0; i < 17; ++i) tmp.write(QStringLiteral("work/f%1.txt").arg(i), "two\n");
    writeRaw(work, "new\xe8.txt", "fresh\n");
    refresh();

    ASSERT_EQ(svc.changes().size(), 19) << "one odd name must not hide the other changes";
    ASSERT_TRUE(changeNamed(latin).has_value());
    EXPECT_EQ(ProcessText::visibleName(changeNamed(latin)->path), QString::fromUtf8("caf\uFFFD.txt"));
    EXPECT_TRUE(diffOf(*changeNamed(latin)).contains("+two"));

    EXPECT_TRUE(call([&](auto d) { svc.stage(*changeNamed(latin), d); }));
    EXPECT_EQ(changeNamed(latin)->staged, u'M');
    EXPECT_TRUE(call([&](auto d) { svc.unstage(*changeNamed(latin), d); }));
    EXPECT_EQ(changeNamed(latin)->staged, u' ');
    EXPECT_TRUE(call([&](auto d) { svc.discard(*changeNamed(latin), d); }));
    EXPECT_EQ(readRaw(work, latin), "one\n");
    EXPECT_FALSE(changeNamed(latin).has_value());
    EXPECT_TRUE(call([&](auto d) { svc.discard(*changeNamed("new\xe8.txt"), d); }));
    EXPECT_EQ(readRaw(work, "new\xe8.txt"), "(missing)");
    EXPECT_EQ(svc.changes().size(), 17);

    // One Latin-1 line in a staged file must not blank out the whole staged diff.
    tmp.write("work/README.md", "hello\nna\xefve\n");
    gitOk(work, {"add", "README.md", "f0.txt"});
    const QString staged = await<QString>([&](Completion<QString> d) { svc.stagedDiff(d); });
    EXPECT_TRUE(staged.contains(QString::fromUtf8("+na\uFFFDve"))) << staged.toStdString();
    EXPECT_TRUE(staged.contains("f0.txt"));
}

TEST_F(GitServiceTest, NoticesCommitsAndBranchSwitchesMadeElsewhereWhenOpenedBelowTheTop) {
    attach(tmp.mkdir("work/sub"));
    tmp.write("work/README.md", "edited at the top\n");
    refresh();
    ASSERT_EQ(statusLetters("README.md"), " M");

    // A terminal commits outside the opened folder: only the repository's own files change.
    gitOk(work, {"commit", "-q", "-am", "from a terminal"});
    EXPECT_TRUE(waitUntil([&] { return svc.changes().isEmpty(); }, 120000)) << "the commit never reached the state";
    gitOk(work, {"checkout", "-q", "-b", "feature/elsewhere"});
    EXPECT_TRUE(waitUntil([&] { return svc.branch() == "feature/elsewhere"; }, 120000));
    gitOk(work, {"branch", "nested/deeper/one"});
    EXPECT_TRUE(waitUntil([&] { return svc.branches().size() == 3; }, 120000));
}

TEST_F(GitServiceTest, WithoutGitOnThePathARepositorySaysWhyItCannotBeRead) {
    const QByteArray savedPath = qgetenv("PATH");
    const std::shared_ptr<void> restore(nullptr, [&](void*) { qputenv("PATH", savedPath); });
    qputenv("PATH", tmp.mkdir("no-tools").toUtf8());
    attach(work);
    EXPECT_FALSE(svc.isRepo());
    ASSERT_TRUE(svc.lastError()) << "not being able to run git is not the same as having no repository";
    EXPECT_TRUE(svc.lastError()->contains("git")) << svc.lastError()->toStdString();
    EXPECT_EQ(svc.readError(), svc.lastError()) << "said where the repository's state would show";

    qputenv("PATH", savedPath);
    attach(work);
    EXPECT_TRUE(svc.isRepo());
    EXPECT_FALSE(svc.lastError()) << "the failure was no part of this reading";
    EXPECT_FALSE(svc.readError());
}

// A commit message needs the start of the staged diff: a huge staged file must not be read whole
// (and held twice over as text) on the way.
TEST_F(GitServiceTest, ABoundedStagedDiffReadsNoMoreThanItsBoundOfAHugeDiff) {
    QByteArray big;
    for (int i = 0; i < 400000; ++i) big += "line " + QByteArray::number(i) + " of a generated file\n";  // ~10 MB
    tmp.write("work/dump.sql", big);
    gitOk(work, {"add", "dump.sql"});
    const qint64 bound = 64 * 1024;
    const QString start = await<QString>([&](Completion<QString> d) { svc.stagedDiff(d, bound); });
    EXPECT_TRUE(start.startsWith("diff --git a/dump.sql b/dump.sql")) << start.left(200).toStdString();
    EXPECT_TRUE(start.contains("+line 100 of a generated file"));
    EXPECT_LT(start.size(), 4 * bound) << "read far past the bound";

    const QString whole = await<QString>([&](Completion<QString> d) { svc.stagedDiff(d); });
    EXPECT_TRUE(whole.contains("+line 399999 of a generated file"));
}

TEST_F(GitServiceTest, AFolderMadeARepositoryElsewhereIsOneAtTheNextRefresh) {
    const QString plain = tmp.mkdir("plain");
    tmp.write("plain/a.txt", "a\n");
    attach(plain);
    refresh();
    ASSERT_FALSE(svc.isRepo());
    QSignalSpy anyChange(&svc, &GitService::changed);
    refresh();
    EXPECT_EQ(anyChange.count(), 0) << "still no repository: nothing to tell";

    gitOk(plain, {"init", "-q"});  // a terminal, or a clone into the folder
    refresh();
    EXPECT_TRUE(svc.isRepo());
    EXPECT_EQ(svc.root(), plain);
    EXPECT_EQ(svc.branch(), "main");
    EXPECT_EQ(statusLetters("a.txt"), "??");
}

TEST_F(GitServiceTest, DiscardingAModifiedSubmoduleRestoresItOrSaysWhyNot) {
    const QString lib = tmp.mkdir("lib");
    gitOk(lib, {"init", "-q"});
    tmp.write("lib/f.txt", "recorded\n");
    gitOk(lib, {"add", "."});
    gitOk(lib, {"commit", "-q", "-m", "lib"});
    gitOk(work, {"-c", "protocol.file.allow=always", "submodule", "add", "-q", lib, "lib"});
    gitOk(work, {"commit", "-q", "-m", "add lib"});
    const QString recorded = gitOk(tmp.file("work/lib"), {"rev-parse", "HEAD"});

    // A new commit inside the submodule and an edit on top of it.
    tmp.write("work/lib/f.txt", "committed inside\n");
    gitOk(tmp.file("work/lib"), {"commit", "-q", "-am", "inside"});
    tmp.write("work/lib/f.txt", "edited inside\n");
    refresh();
    ASSERT_EQ(statusLetters("lib"), " M");
    EXPECT_TRUE(call([&](auto d) { svc.discard(*changeAt("lib"), d); }));
    EXPECT_EQ(gitOk(tmp.file("work/lib"), {"rev-parse", "HEAD"}), recorded);
    EXPECT_EQ(readBytes(tmp.file("work/lib/f.txt")), "recorded\n");
    EXPECT_EQ(statusLetters("lib"), "none");

    // Files the submodule does not track are not ours to delete: say so instead of claiming success.
    tmp.write("work/lib/mine.txt", "keep\n");
    refresh();
    ASSERT_EQ(statusLetters("lib"), " M");
    EXPECT_FALSE(call([&](auto d) { svc.discard(*changeAt("lib"), d); }));
    EXPECT_TRUE(svc.lastError().value_or("").contains("untracked")) << svc.lastError().value_or("").toStdString();
    EXPECT_TRUE(exists("work/lib/mine.txt"));
}

} // namespace


TEST_F(GitServiceTest, ARemoteThatNeverAnswersHoldsUpNoLocalWorkIsStoppedAndEndsWithItsHelpers) {
    SilentServer server;
    gitOk(work, {"remote", "add", "silent", server.url()});
    auto service = std::make_unique<GitService>();
    awaitDone([&](Completion<> d) { service->attach(work, d); });

    std::optional<bool> fetched;
    service->fetch([&](bool ok) { fetched = ok; });
    ASSERT_TRUE(waitUntil([&] { return server.accepted > 0; }));
    ASSERT_TRUE(service->isNetworking());
    tmp.write("work/local.txt", "local\n");
    awaitDone([&](Completion<> d) { service->refresh(d); });
    EXPECT_TRUE(await<bool>([&](auto d) { service->stageAll(d); }));
    EXPECT_TRUE(await<bool>([&](auto d) { service->commit("while fetching", d); }));
    EXPECT_TRUE(service->isNetworking());
    EXPECT_FALSE(fetched.has_value());

    // Going away (the window closing, the program quitting) ends git and the helper holding the
    // connection.
    service.reset();
    EXPECT_TRUE(waitUntil([&] { return server.closed == server.accepted; }, 120000));

    const StallLimit limit(300);
    EXPECT_FALSE(call([&](auto d) { svc.fetch(d); }));
    EXPECT_EQ(svc.lastError(), GitService::stallMessage("git fetch"));
    EXPECT_FALSE(svc.isNetworking());
    EXPECT_TRUE(waitUntil([&] { return server.closed == server.accepted; }, 120000));
}

TEST_F(GitServiceTest, SshNeverAsksOnATerminalAndAnSshCommandTheUserSetIsKept) {
    const QString bin = tmp.mkdir("bin");
    const QString log = tmp.file("ssh.log");
    ASSERT_TRUE(QFile::copy(BRIMEL_SOURCE_DIR "/tests/Git/data/ssh-that-asks.sh", tmp.file("bin/ssh")));
    QFile::setPermissions(tmp.file("bin/ssh"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("SSH_LOG", QFile::encodeName(log));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin) + ':' + path);
    gitOk(work, {"remote", "add", "far", "ssh://git@example.invalid/repo.git"});
    const StallLimit limit(20000);

    struct Case {
        const char* name;
        std::function<void()> setUp, tearDown;
        const char* expected;
    };
    const QList<Case> cases{
        {"default ssh", [] {}, [] {}, "BatchMode=yes"},
        {"GIT_SSH_COMMAND", [] { qputenv("GIT_SSH_COMMAND", "ssh -o Mine=yes"); },
         [] { qunsetenv("GIT_SSH_COMMAND"); }, "Mine=yes"},
        {"core.sshCommand", [&] { gitOk(work, {"config", "core.sshCommand", "ssh -o Mine=yes"}); },
         [&] { gitOk(work, {"config", "--unset", "core.sshCommand"}); }, "Mine=yes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(log);
        c.setUp();
        EXPECT_FALSE(call([&](auto d) { svc.fetch(d); }));
        c.tearDown();
        EXPECT_TRUE(svc.lastError() && svc.lastError()->startsWith("fatal:")) << svc.lastError().value_or("").toStdString();
        const QByteArray seen = readBytes(log);
        EXPECT_TRUE(seen.contains(c.expected)) << seen.toStdString();
        EXPECT_EQ(seen.contains("BatchMode"), QByteArray(c.expected).contains("BatchMode")) << seen.toStdString();
        EXPECT_FALSE(seen.contains("terminal")) << "git's children have no terminal to open";
    }
    qputenv("PATH", path);
}

TEST_F(GitServiceTest, FailuresShowTheLineThatSaysWhatFailed) {
    // Fetching from every remote: the line names the broken one, not the first one fetched.
    gitOk(work, {"remote", "add", "broken", tmp.file("missing.git")});
    EXPECT_FALSE(call([&](auto d) { svc.fetch(d); }));
    ASSERT_TRUE(svc.lastError().has_value());
    EXPECT_TRUE(svc.lastError()->startsWith("fatal:") && svc.lastError()->contains("missing.git"))
        << svc.lastError()->toStdString();

    // git stash says nothing when the index is locked; the failure still says so, and why.
    tmp.write("work/README.md", "edited\n");
    tmp.write("work/.git/index.lock", "");
    EXPECT_FALSE(call([&](auto d) { svc.stash(std::nullopt, d); }));
    ASSERT_TRUE(svc.lastError().has_value());
    EXPECT_TRUE(svc.lastError()->contains("git stash") && svc.lastError()->contains("index.lock"))
        << svc.lastError()->toStdString();
    QFile::remove(tmp.file("work/.git/index.lock"));
    EXPECT_TRUE(call([&](auto d) { svc.stash(std::nullopt, d); }));
    EXPECT_EQ(svc.stashCount(), 1);
}

namespace {
// An executable script at path.
void script(const QString& path, const QByteArray& body) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n" + body);
    f.close();
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
}
} // namespace

TEST_F(GitServiceTest, AFailedCommitSaysWhatRefusedIt) {
    // Nothing staged, nothing changed: git's verdict, not "On branch main".
    EXPECT_FALSE(call([&](auto d) { svc.commit("empty", d); }));
    ASSERT_TRUE(svc.lastError());
    EXPECT_TRUE(svc.lastError()->startsWith("nothing to commit")) << svc.lastError()->toStdString();

    // A hook that refuses: its name and the last line it printed.
    tmp.write("work/README.md", "changed\n");
    gitOk(work, {"add", "README.md"});
    script(tmp.file("work/.git/hooks/pre-commit"), "echo 'running lint...'\necho 'lint failed: README.md:1' >&2\nexit 1\n");
    EXPECT_FALSE(call([&](auto d) { svc.commit("linted", d); }));
    EXPECT_EQ(svc.lastError(), "The pre-commit hook refused: lint failed: README.md:1");

    // A later hook is named as itself.
    script(tmp.file("work/.git/hooks/pre-commit"), "exit 0\n");
    script(tmp.file("work/.git/hooks/commit-msg"), "echo 'checking message'\necho 'message must name a ticket'\nexit 1\n");
    EXPECT_FALSE(call([&](auto d) { svc.commit("no ticket", d); }));
    EXPECT_EQ(svc.lastError(), "The commit-msg hook refused: message must name a ticket");
    QFile::remove(tmp.file("work/.git/hooks/commit-msg"));

    // Signing without a key: gpg's own reason, which git itself does not pass on.
    script(tmp.file("fake-gpg"), "echo '[GNUPG:] KEY_CONSIDERED 1234' >&2\n"
                                 "echo 'gpg: skipped \"Test Committer\": No secret key' >&2\n"
                                 "echo 'gpg: signing failed: No secret key' >&2\nexit 2\n");
    gitOk(work, {"config", "commit.gpgsign", "true"});
    gitOk(work, {"config", "gpg.program", tmp.file("fake-gpg")});
    EXPECT_FALSE(call([&](auto d) { svc.commit("signed", d); }));
    EXPECT_EQ(svc.lastError(), "gpg: signing failed: No secret key");

    gitOk(work, {"config", "commit.gpgsign", "false"});
    EXPECT_TRUE(call([&](auto d) { svc.commit("at last", d); }));
    EXPECT_FALSE(svc.lastError());
}

TEST_F(GitServiceTest, APullThatEndsInConflictsNamesTheFile) {
    tmp.write("work/ab.txt", "base\n");
    gitOk(work, {"add", "ab.txt"});
    gitOk(work, {"commit", "-q", "-m", "ab"});
    gitOk(work, {"push", "-q"});
    const QString other = tmp.file("other");
    gitOk(tmp.path(), {"clone", "-q", origin, other});
    tmp.write("other/ab.txt", "theirs\n");
    gitOk(other, {"commit", "-q", "-am", "theirs"});
    gitOk(other, {"push", "-q"});
    tmp.write("work/ab.txt", "ours\n");
    gitOk(work, {"commit", "-q", "-am", "ours"});

    EXPECT_FALSE(call([&](auto d) { svc.pull(d); }));
    EXPECT_EQ(svc.lastError(), "Merge conflict in ab.txt");
    // Each of its marker lines is a leftover marker; the file is named once.
    EXPECT_EQ(await<QStringList>([&](Completion<QStringList> d) { svc.conflictMarkers(true, d); }), QStringList{"ab.txt"});
    // Its diff shows the conflict as it stands on disk: the markers and their side.
    refresh();
    const QString conflict = diffOf(*changeAt("ab.txt"));
    EXPECT_TRUE(conflict.contains("+<<<<<<< HEAD") && conflict.contains("+theirs")) << conflict.toStdString();

    // Unstage All takes back what is staged and keeps the merge and its conflict; with nothing
    // staged but the conflict it has nothing to do.
    tmp.write("work/new.txt", "new\n");
    gitOk(work, {"add", "new.txt"});
    for (const char* staged : {"A ", "??"}) {
        refresh();
        ASSERT_EQ(statusLetters("ab.txt"), "UU");
        ASSERT_EQ(statusLetters("new.txt"), staged);
        EXPECT_TRUE(call([&](auto d) { svc.unstageAll(d); })) << svc.lastError().value_or("").toStdString();
        EXPECT_TRUE(exists("work/.git/MERGE_HEAD"));
        refresh();
        EXPECT_EQ(statusLetters("ab.txt"), "UU");
        EXPECT_EQ(statusLetters("new.txt"), "??");
    }
}

TEST_F(GitServiceTest, DiscardingAnUntrackedRepositoryKeepsItAndSaysWhy) {
    const QString nested = tmp.mkdir("work/nested");
    gitOk(nested, {"init", "-q"});
    tmp.write("work/nested/work.txt", "not pushed anywhere\n");
    tmp.write("work/plain/file.txt", "x\n");
    refresh();
    ASSERT_EQ(statusLetters("nested/"), "??");

    EXPECT_FALSE(call([&](auto d) { svc.discard(*changeAt("nested/"), d); }));
    EXPECT_TRUE(exists("work/nested/work.txt"));
    ASSERT_TRUE(svc.lastError());
    EXPECT_TRUE(svc.lastError()->contains("“nested/” was kept")) << svc.lastError()->toStdString();
    EXPECT_TRUE(svc.lastError()->contains("repository of its own")) << svc.lastError()->toStdString();
    EXPECT_TRUE(changeAt("nested/"));

    // A plain untracked folder goes.
    EXPECT_TRUE(call([&](auto d) { svc.discard(*changeAt("plain/"), d); }));
    EXPECT_FALSE(exists("work/plain"));
}

TEST_F(GitServiceTest, TheDiffOfAnUntrackedFolderShowsItsFilesOrHowManyThereAre) {
    tmp.write("work/big/a.txt", "hi\n");
    tmp.write("work/big/sub/b.txt", "yo\n");
    tmp.write("work/.gitignore", "*.log\n");
    tmp.write("work/big/skip.log", "ignored\n");
    for (int i = 0; i < 60; ++i) tmp.write(QString("work/many/f%1.txt").arg(i), "x\n");
    refresh();
    ASSERT_EQ(statusLetters("big/"), "??");

    const QString folder = diffOf(*changeAt("big/"));
    EXPECT_TRUE(folder.contains("+++ b/big/a.txt") && folder.contains("+hi")) << folder.toStdString();
    EXPECT_TRUE(folder.contains("+++ b/big/sub/b.txt") && folder.contains("+yo")) << folder.toStdString();
    EXPECT_FALSE(folder.contains("skip.log")) << "ignored files are no change";
    EXPECT_FALSE(folder.contains("Could not access"));

    EXPECT_EQ(diffOf(*changeAt("many/")), "“many/” is a folder of 60 new files.");
}

TEST_F(GitServiceTest, ABranchNameThatIsNotUtf8IsListedAsCurrentAndCanBeCheckedOutAndDeleted) {
    const QByteArray raw = "caf\xe9";
    // A loose ref file is the branch; QProcess could not hand git the name's bytes.
    writeRaw(work + "/.git/refs/heads", raw, gitOk(work, {"rev-parse", "HEAD"}).toLatin1() + '\n');
    refresh();
    ASSERT_EQ(svc.branches().size(), 2);
    const auto named = [&](const QByteArray& bytes) -> std::optional<GitBranchInfo> {
        for (const GitBranchInfo& b : svc.branches())
            if (ProcessText::encodeExact(b.name) == bytes) return b;
        return std::nullopt;
    };
    ASSERT_TRUE(named(raw)) << "the listed name must reach git as the very bytes of the branch";

    EXPECT_TRUE(call([&](auto d) { svc.checkout(named(raw)->name, d); })) << svc.lastError().value_or("").toStdString();
    ASSERT_TRUE(svc.branch());
    EXPECT_EQ(ProcessText::encodeExact(*svc.branch()), raw);
    EXPECT_EQ(*svc.branch(), named(raw)->name) << "the current branch is the listed one";

    EXPECT_TRUE(call([&](auto d) { svc.checkout("main", d); }));
    EXPECT_TRUE(call([&](auto d) { svc.deleteBranch(named(raw)->name, d); })) << svc.lastError().value_or("").toStdString();
    EXPECT_FALSE(named(raw));
}

TEST_F(GitServiceTest, ARepositoryDeletedAndMadeAgainIsStillWatched) {
    gitOk(work, {"checkout", "-q", "-b", "before"});
    EXPECT_TRUE(waitUntil([&] { return svc.branch() == "before"; }, 120000));

    // Made again at the same place, by a terminal: nothing but the git dir changes from here on.
    ASSERT_TRUE(QDir(work + "/.git").removeRecursively());
    EXPECT_TRUE(waitUntil([&] { return !svc.branch().has_value(); }, 120000));
    EXPECT_FALSE(svc.isRepo()) << "a folder that is no repository is not a clean one";
    QSignalSpy repoSpy(&svc, &GitService::isRepoChanged);
    refresh();
    EXPECT_EQ(repoSpy.count(), 0);
    gitOk(work, {"init", "-q"});
    gitOk(work, {"add", "README.md"});
    gitOk(work, {"commit", "-q", "-m", "again"});
    gitOk(work, {"checkout", "-q", "-b", "after"});
    EXPECT_TRUE(waitUntil([&] { return svc.branch() == "after"; }, 120000)) << "the new repository is not watched";
    EXPECT_TRUE(svc.isRepo());
    gitOk(work, {"branch", "nested/one"});
    EXPECT_TRUE(waitUntil([&] { return svc.branches().size() == 3; }, 120000));
}

TEST_F(GitServiceTest, TheStatusListingIsReadOffTheMainThreadHoweverManyChangesThereAre) {
    gitOk(work, {"config", "status.showUntrackedFiles", "all"});
    // The entries parsed on the main thread while a refresh reads n new files and one modification.
    int written = 0;
    const auto readOnMain = [&](int files) {
        for (; written < files; ++written)
            tmp.write(QString("work/part%1/new%2.txt").arg(written / 500).arg(written), "x\n");
        GitService::statusEntriesReadOnMainThread = 0;
        refresh();
        EXPECT_EQ(svc.changes().size(), files + 1);
        const QString newest = QString("part%1/new%2.txt").arg((files - 1) / 500).arg(files - 1);
        EXPECT_TRUE(svc.changes().contains(GitFileChange{newest, u'?', u'?', {}})) << newest.toStdString();
        return GitService::statusEntriesReadOnMainThread.load();
    };
    tmp.write("work/README.md", "changed\n");
    EXPECT_EQ(readOnMain(2000), 0);
    EXPECT_EQ(readOnMain(20000), 0);
    EXPECT_EQ(svc.changes().constFirst(), (GitFileChange{"README.md", u' ', u'M', {}}));
    EXPECT_EQ(svc.branch(), "main");
    EXPECT_EQ(svc.branches().size(), 1);

    // The parser itself still counts what it reads here, so the count above means something.
    GitService::statusEntriesReadOnMainThread = 0;
    GitService::parseStatus(QStringLiteral("? a.txt") + QChar(u'\0') + QStringLiteral("? b.txt") + QChar(u'\0'));
    EXPECT_EQ(GitService::statusEntriesReadOnMainThread.load(), 2);
}

// A refresh asked for while another runs ends after it, with a reading of its own; when the folder
// is left meanwhile for one that is no repository, it still ends.
TEST_F(GitServiceTest, ARefreshAskedForWhileOneRunsEndsAfterItOrWhenTheFolderIsLeft) {
    std::vector<int> ended;
    svc.refresh([&] { ended.push_back(1); });
    svc.refresh([&] { ended.push_back(2); });
    ASSERT_TRUE(waitUntil([&] { return ended.size() == 2; }));
    EXPECT_EQ(ended, (std::vector<int>{1, 2}));

    ended.clear();
    const QString plain = tmp.mkdir("plain");
    svc.refresh([&] { ended.push_back(1); });
    svc.refresh([&] { ended.push_back(2); });
    bool attached = false;
    svc.attach(plain, [&] { attached = true; });
    EXPECT_TRUE(waitUntil([&] { return attached && ended.size() == 2; }));
    EXPECT_FALSE(svc.isRepo());
}

// A repository whose index cannot be read is still one (its status says why it fails); only the
// folder that is no repository at all reads as none.
TEST_F(GitServiceTest, ARepositoryWithADamagedIndexIsStillOne) {
    tmp.write("work/.git/index", "not an index");
    refresh();
    EXPECT_TRUE(svc.isRepo());
    ASSERT_TRUE(QDir(tmp.file("work/.git")).removeRecursively());
    refresh();
    EXPECT_FALSE(svc.isRepo());
}

// Discarding an untracked file that waits behind another write while the folder is left: it deletes
// nothing and still says it did not.
TEST_F(GitServiceTest, AnUntrackedDiscardOvertakenByAnotherFolderDeletesNothingAndEnds) {
    tmp.write("work/new.txt", "x\n");
    refresh();
    const std::optional<GitFileChange> change = changeAt("new.txt");
    ASSERT_TRUE(change);
    std::optional<bool> discarded;
    svc.stageAll();
    svc.discard(*change, [&](bool ok) { discarded = ok; });
    attach(tmp.mkdir("plain"));
    ASSERT_TRUE(waitUntil([&] { return discarded.has_value(); }));
    EXPECT_FALSE(*discarded);
    EXPECT_TRUE(exists("work/new.txt"));
}
