#pragma once
// A window's view of one git repository: runs the git executable, publishes what it reads
// (branch, changes, branches, stashes, ahead/behind) and changes the repository on request.
//
// Every asynchronous operation takes a Completion that runs on the main thread once the
// operation has finished (and, for commands that change the repository, after the published
// state has been read again). Commands that change the repository run one at a time, in the
// order they were asked for; reads run at once and never take git's index lock.
#include <QList>
#include <QObject>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <optional>
#include <utility>

#include "Git/ChildProcess.h"
#include "Platform/Completion.h"
#include "Git/GitBranchInfo.h"
#include "Git/GitFileChange.h"
#include "Git/GitTrace.h"
#include "Git/SerialQueue.h"

// What one git run printed (both channels together) and its exit status; -1 when it could not
// be started, and then output is the reason.
struct GitShellResult {
    QString output;
    int exit = -1;
};

class GitDirWatcher;

class GitService : public QObject {
    Q_OBJECT
public:
    explicit GitService(QObject* parent = nullptr);
    ~GitService() override;

    // Published state.
    bool isRepo() const { return isRepo_; }
    const std::optional<QString>& branch() const { return branch_; }  // "HEAD" when detached
    const QList<GitFileChange>& changes() const { return changes_; }
    const std::optional<QString>& lastError() const { return lastError_; }
    // Why the repository's state could not be read (git stopped, killed or failing on a damaged
    // repository), or which command is taking long while later ones wait for it; absent once a
    // read succeeds and no command is slow. What was read before stays published meanwhile.
    const std::optional<QString>& readError() const { return readError_; }
    const QList<GitBranchInfo>& branches() const { return branches_; }
    int stashCount() const { return stashCount_; }
    int aheadBy() const { return aheadBy_; }
    int behindBy() const { return behindBy_; }
    bool isNetworking() const { return networkOperations_ > 0; }
    // The work tree's top level, the working directory of every command; absent while detached.
    const std::optional<QString>& root() const { return root_; }

    // Attaches to the repository holding folder (an absolute path); a folder in no repository
    // leaves the service detached but remembered, so initRepo() can make it one. While attached,
    // changes to the repository's own state (HEAD, index, refs) refresh it, wherever git keeps them.
    void attach(const QString& folder, Completion<> done = {});
    // Reads the whole state again. Requests made while a refresh runs are served by one more
    // refresh after it, so the published state never goes back to an older reading. A folder
    // attached while it was no repository is looked at again, and attached once it is one.
    void refresh(Completion<> done = {});
    // Runs one command that may change the repository (arguments start with "git"): queued
    // behind earlier ones, sets or clears lastError, refreshes, then reports exit status 0.
    void run(const QStringList& arguments, Completion<bool> done = {});

    void stage(const GitFileChange& change, Completion<bool> done = {});
    void unstage(const GitFileChange& change, Completion<bool> done = {});
    // Drops the change: an untracked path is cleaned the way git cleans (ignored files inside
    // stay); a staged new file leaves index and disk; a rename is undone; anything else is
    // restored from HEAD, a submodule by checking out its recorded commit (reports false when
    // it still differs, e.g. because of untracked files in it).
    void discard(const GitFileChange& change, Completion<bool> done = {});
    void stageAll(Completion<bool> done = {});
    // Unstages every staged change; a merge, rebase, cherry-pick or revert in progress stays in
    // progress, and its conflicts stay conflicts.
    void unstageAll(Completion<bool> done = {});
    // The paths that would be committed with conflict markers still in them: of the index, or
    // (wholeWorkTree) of every tracked file as it is on disk.
    void conflictMarkers(bool wholeWorkTree, Completion<QStringList> done);
    // Restores the work tree from the index and removes untracked files and folders (ignored
    // ones stay); staged changes are kept.
    void discardAll(Completion<bool> done = {});
    // False without running git when the message is blank; otherwise the message goes as is.
    void commit(const QString& message, Completion<bool> done = {});
    void pull(Completion<bool> done = {});
    // Pushes; a branch without an upstream is published to "origin" and tracks it from then on.
    void push(Completion<bool> done = {});
    void fetch(Completion<bool> done = {});
    void stash(const std::optional<QString>& message, Completion<bool> done = {});
    void stashPop(Completion<bool> done = {});
    // Branch names starting with "-" are refused (git could read them as options).
    void checkout(const QString& name, Completion<bool> done = {});
    void createBranch(const QString& name, Completion<bool> done = {});
    void deleteBranch(const QString& name, Completion<bool> done = {});
    // Makes the attached folder (or the root) a repository and attaches to it again.
    void initRepo(Completion<bool> done = {});

    // Diffs come back as git printed them, an error message included; empty while detached.
    // With a positive maxBytes, git is stopped once it has printed about that much: the start
    // of a huge diff without reading (and holding) it whole.
    void stagedDiff(Completion<QString> done, qint64 maxBytes = 0);
    // A path in conflict shows as it stands on disk against HEAD.
    void diff(const GitFileChange& change, Completion<QString> done);

    // Runs "/usr/bin/env <arguments>" in cwd with git's environment, both channels in one.
    static void shell(const QStringList& arguments, const QString& cwd, Completion<GitShellResult> done);
    // The folder name proposed for a repository address ("team/repo.git" gives "repo").
    static QString inferRepoName(const QString& address);

    // Parsers of git's output.
    struct StatusReading {
        std::optional<QString> branch;  // "HEAD" when on no branch
        int ahead = 0;
        int behind = 0;
        int stashes = 0;
        QList<GitFileChange> changes;
    };
    static StatusReading parseStatus(const QString& output);  // "status --porcelain=v2 --branch --show-stash -z"
    // Entries parseStatus has read on the main thread: a refresh reads them on a worker, so a
    // listing of any size costs the window no more than handing the result over.
    static inline std::atomic<qint64> statusEntriesReadOnMainThread{0};
    static QList<GitBranchInfo> parseBranches(const QString& output);

    // The inherited environment, with git kept from prompting on a terminal, from taking
    // optional locks, and from reading paths as patterns.
    static QProcessEnvironment gitEnvironment();
    // A git child in cwd with gitEnvironment(), in a process group of its own.
    static ChildProcess::Request request(const QStringList& arguments, const QString& cwd, bool mergeChannels);
    // gitEnvironment(), and for the default ssh batch mode, so it fails rather than asks; an ssh
    // command the user set (environment or core.sshCommand as seen from cwd) is left alone.
    static void networkEnvironment(const QString& cwd, QObject* owner, Completion<QProcessEnvironment> done);
    // A network command (fetch, pull, push, clone) that prints nothing, progress included, for
    // this long is stopped and reported as such.
    static void setNetworkStallLimit(int ms);
    static int networkStallLimit();
    // A read of the repository (its state, a listing, a diff) that prints nothing for this long
    // is stopped, so a git that hangs cannot hold up every later refresh.
    static void setReadStallLimit(int ms);
    static int readStallLimit();
    // What is reported for a command ("git fetch") stopped for making no progress.
    static QString stallMessage(const QString& command);
    static QString stallMessage(const QString& command, int limitMs);
    // The line of git's output that says what failed: its "fatal:" line, else its "error:" line,
    // else the first line that is not blank.
    static std::optional<QString> failureLine(const QString& output);

signals:
    void isRepoChanged();
    void branchChanged();
    void changesChanged();
    void lastErrorChanged();
    void readErrorChanged();
    void branchesChanged();
    void stashCountChanged();
    void aheadBehindChanged();
    void isNetworkingChanged();
    // After any of the above.
    void changed();

private:
    struct RefreshReading;
    struct CommandRun;
    // What a refresh read, parsed (on a worker thread) and ready to publish.
    struct ParsedReading {
        bool isRepo = false;
        bool statusRead = false;    // else the published status stays as it was
        bool branchesRead = false;  // else the published branches stay as they were
        StatusReading status;
        QList<GitBranchInfo> branches;
        std::optional<QString> failure;  // why the status could not be read
    };
    // Why a read ended without an answer; absent when it answered.
    static std::optional<QString> readFailure(const QString& command, const ChildProcess::Result& result);

    // Reads run at once and keep standard output apart from git's warnings.
    void read(const QStringList& arguments, const QString& cwd, std::function<void(ChildProcess::Result)> done);
    void startRefresh();
    static ParsedReading parse(const RefreshReading& reading);  // thread-safe
    void finishRefresh(quint64 generation, const ParsedReading& parsed, const QList<Completion<>>& waiters);
    void publish(const ParsedReading& parsed);
    // Queues commands run one after another in the root; stops at the first failure unless
    // keepGoing. lastError comes from the first failure; a traced run names the hook or the
    // signing program that refused.
    void runCommands(QList<QStringList> commands, bool keepGoing, bool network, Completion<bool> done,
                     bool traced = false);
    void continueCommands(const std::shared_ptr<CommandRun>& run);
    // A network operation: isNetworking while it runs, in the network queue.
    void runNetwork(QList<QStringList> commands, Completion<bool> done);
    std::optional<QString> describeFailure(const QStringList& arguments, const ChildProcess::Result& result,
                                           const GitTrace::Reading& trace) const;
    void runUntracked(const GitFileChange& change, Completion<bool> done);
    // A diff as git prints it (both channels); stopped, with a line that says so, when git hangs.
    void readDiff(const QStringList& arguments, const QString& cwd, Completion<QString> done);
    // The diff of every new file in an untracked folder, or how many there are when too many.
    void diffFolder(const QString& folder, Completion<QString> done);
    // Restores a tracked path from HEAD; a submodule's work tree too.
    void restoreTracked(const GitFileChange& change, Completion<bool> done);
    bool isListed(const QString& path) const;
    void refuse(const QString& reason, Completion<bool> done);
    void later(std::function<void()> fn);
    bool safeBranchName(const QString& name, Completion<bool>& done);

    void setIsRepo(bool value);
    void setBranch(const std::optional<QString>& value);
    void setChanges(const QList<GitFileChange>& value);
    void setLastError(const std::optional<QString>& value);
    void setReadError(const std::optional<QString>& value);
    void showReadState();
    void setBranches(const QList<GitBranchInfo>& value);
    void setStashCount(int value);
    void setAheadBehind(int ahead, int behind);
    void addNetworkOperation(int delta);

    bool isRepo_ = false;
    std::optional<QString> branch_;
    QList<GitFileChange> changes_;
    std::optional<QString> lastError_;
    std::optional<QString> readError_;
    std::optional<QString> readFailure_;  // of the last read of the state
    std::optional<QString> slowWrite_;    // the command that has run too long, while it runs
    QList<GitBranchInfo> branches_;
    int stashCount_ = 0;
    int aheadBy_ = 0;
    int behindBy_ = 0;
    int networkOperations_ = 0;
    std::optional<QString> root_;
    std::optional<QString> gitDir_;  // the work tree's own git dir (its index and index.lock)

    std::unique_ptr<GitDirWatcher> gitDirWatcher_;  // refreshes on changes to HEAD, the index and refs
    std::optional<QString> attachedFolder_;  // as it was opened; kept even when it is no repository
    quint64 generation_ = 0;                  // bumped by every attach: older results are stale
    SerialQueue writes_;        // commands that may write the index or the work tree, in turn
    SerialQueue networkQueue_;  // commands that wait on a remote, in turn
    bool refreshRunning_ = false;
    QList<Completion<>> refreshWaiters_;  // served by the next refresh to start
};
