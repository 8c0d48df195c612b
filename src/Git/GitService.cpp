#include "Git/GitService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QSet>
#include <QTemporaryFile>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <algorithm>

#include "Git/GitDirWatcher.h"
#include "Git/GitTrace.h"
#include "Git/ProcessText.h"

namespace {

int g_networkStallLimitMs = 60000;
int g_readStallLimitMs = 60000;

QString secondsText(int ms) {
    const int seconds = std::max(1, (ms + 999) / 1000);
    return seconds == 1 ? QStringLiteral("1 second") : QStringLiteral("%1 seconds").arg(seconds);
}

} // namespace

struct GitService::RefreshReading {
    quint64 generation = 0;
    ChildProcess::Result results[2];
    int remaining = 2;
};

struct GitService::CommandRun {
    QList<QStringList> commands;
    QString cwd;
    bool network = false;
    QProcessEnvironment environment;
    quint64 generation = 0;
    bool keepGoing = false;
    qsizetype next = 0;
    bool ok = true;
    std::optional<QString> failure;
    // Where git logs the programs it starts (hooks, the signing program), for runs that want to
    // name the one that refused; absent otherwise.
    std::shared_ptr<QTemporaryFile> trace;
    std::optional<QStringList> failedSigning;
    std::function<void()> finished;  // releases the write queue
    std::function<void(bool)> done;
};

GitService::GitService(QObject* parent) : QObject(parent) {}

GitService::~GitService() {
    // Stop our children before the members their callbacks would touch go away.
    qDeleteAll(findChildren<ChildProcess*>(Qt::FindDirectChildrenOnly));
}

ChildProcess::Request GitService::request(const QStringList& arguments, const QString& cwd, bool mergeChannels) {
    ChildProcess::Request request;
    request.arguments = arguments;
    request.workingDirectory = cwd;
    request.environment = gitEnvironment();
    request.mergeChannels = mergeChannels;
    // No terminal to prompt on, and stopping git stops its helpers (remote-http, ssh) with it.
    request.ownProcessGroup = true;
    return request;
}

QProcessEnvironment GitService::gitEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("GIT_TERMINAL_PROMPT"), QStringLiteral("0"));
    // Reads must never take the index lock away from a command that changes the repository.
    env.insert(QStringLiteral("GIT_OPTIONAL_LOCKS"), QStringLiteral("0"));
    // A file named "*.txt" or ":x" is that file, not a pattern over others.
    env.insert(QStringLiteral("GIT_LITERAL_PATHSPECS"), QStringLiteral("1"));
    // Where git would otherwise fall back to the terminal for a password, it gets no answer.
    // An askpass the user chose (GIT_ASKPASS, core.askPass, SSH_ASKPASS) comes first and stays.
    if (!env.contains(QStringLiteral("SSH_ASKPASS"))) env.insert(QStringLiteral("SSH_ASKPASS"), QStringLiteral("false"));
    return env;
}

void GitService::networkEnvironment(const QString& cwd, QObject* owner, Completion<QProcessEnvironment> done) {
    QProcessEnvironment env = gitEnvironment();
    // An ssh command the user configured is theirs to keep; only the default ssh is told never
    // to ask (host keys, passwords) when no agent or key answers for it.
    if (env.contains(QStringLiteral("GIT_SSH_COMMAND")) || env.contains(QStringLiteral("GIT_SSH"))) {
        QTimer::singleShot(0, owner, [done, env] { done(env); });
        return;
    }
    ChildProcess::start(GitService::request({QStringLiteral("git"), QStringLiteral("config"), QStringLiteral("--get"),
                                    QStringLiteral("core.sshCommand")},
                                   cwd, false),
                        owner, [done, env](ChildProcess::Result result) mutable {
                            if (result.exitCode != 0 || result.standardOutput.trimmed().isEmpty())
                                env.insert(QStringLiteral("GIT_SSH_COMMAND"), QStringLiteral("ssh -o BatchMode=yes"));
                            done(env);
                        });
}

QString GitService::stallMessage(const QString& command) { return stallMessage(command, g_networkStallLimitMs); }

QString GitService::stallMessage(const QString& command, int limitMs) {
    return QStringLiteral("“%1” made no progress for %2 and was stopped.").arg(command, secondsText(limitMs));
}

void GitService::setNetworkStallLimit(int ms) { g_networkStallLimitMs = ms; }
int GitService::networkStallLimit() { return g_networkStallLimitMs; }
void GitService::setReadStallLimit(int ms) { g_readStallLimitMs = ms; }
int GitService::readStallLimit() { return g_readStallLimitMs; }

std::optional<QString> GitService::readFailure(const QString& command, const ChildProcess::Result& result) {
    if (!result.startError && result.exitCode == 0) return std::nullopt;
    if (result.startError) return ProcessText::firstNonBlankLine(*result.startError).value_or(*result.startError);
    if (result.stalled) return stallMessage(command, g_readStallLimitMs);
    if (std::optional<QString> line = failureLine(ProcessText::decodeLossy(result.standardError))) return line;
    if (result.exitCode < 0) return QStringLiteral("“%1” ended before it answered (it was killed or crashed).").arg(command);
    return QStringLiteral("“%1” failed (exit status %2).").arg(command).arg(result.exitCode);
}

std::optional<QString> GitService::failureLine(const QString& output) {
    // Progress is redrawn with carriage returns: each redraw is a line of its own here.
    QString text = output;
    text.replace(u'\r', u'\n');
    QStringList lines = text.split(u'\n');
    for (QString& line : lines) line = ProcessText::trimBlanks(line);
    // A merge that stopped: the files in conflict are what the user has to act on.
    QStringList conflicts;
    for (const QString& line : lines)
        if (line.startsWith(QLatin1String("CONFLICT (")) && line.contains(QLatin1String("): ")))
            conflicts << line.mid(line.indexOf(QLatin1String("): ")) + 3);
    if (conflicts.size() == 1) return conflicts.first();
    if (conflicts.size() > 1) return QStringLiteral("%1 (and %2 more conflicts)").arg(conflicts.first()).arg(conflicts.size() - 1);
    // git's own verdict says what failed; what precedes it ("Fetching origin", "To <url>",
    // "On branch main", progress) only says what was being done.
    for (const QLatin1String prefix : {QLatin1String("fatal:"), QLatin1String("error:"), QLatin1String("nothing to commit"),
                                       QLatin1String("nothing added to commit"), QLatin1String("no changes added to commit")})
        for (const QString& line : lines)
            if (line.startsWith(prefix)) return line;
    return ProcessText::firstNonBlankLine(text);
}

// MARK: running git

void GitService::shell(const QStringList& arguments, const QString& cwd, Completion<GitShellResult> done) {
    QObject* owner = done.context();
    ChildProcess::start(GitService::request(arguments, cwd, true), owner, [done](ChildProcess::Result result) {
        if (result.startError) done(GitShellResult{*result.startError, -1});
        else done(GitShellResult{ProcessText::decodeLossy(result.standardOutput), result.exitCode});
    });
}

void GitService::read(const QStringList& arguments, const QString& cwd,
                      std::function<void(ChildProcess::Result)> done) {
    ChildProcess::Request request = GitService::request(arguments, cwd, false);
    request.stallTimeoutMs = g_readStallLimitMs;
    ChildProcess::start(request, this, std::move(done));
}

void GitService::later(std::function<void()> fn) { QTimer::singleShot(0, this, std::move(fn)); }

void GitService::refuse(const QString& reason, Completion<bool> done) {
    setLastError(reason);
    later([done] { done(false); });
}

void GitService::run(const QStringList& arguments, Completion<bool> done) {
    runCommands({arguments}, false, false, std::move(done));
}

void GitService::runCommands(QList<QStringList> commands, bool keepGoing, bool network, Completion<bool> done,
                             bool traced) {
    if (!root_) {
        later([done] { done(false); });
        return;
    }
    auto run = std::make_shared<CommandRun>();
    if (traced) {
        run->trace = std::make_shared<QTemporaryFile>();
        if (!run->trace->open()) run->trace.reset();  // the failure is then told as git tells it
    }
    run->commands = std::move(commands);
    run->keepGoing = keepGoing;
    run->network = network;
    run->generation = generation_;
    run->done = std::move(done);
    // Network commands wait for each other only: a remote that never answers must not hold up
    // staging or committing, which keep their own one-at-a-time order.
    (network ? networkQueue_ : writes_).enqueue([this, run](std::function<void()> finished) {
        run->finished = std::move(finished);
        // A command asked for in another repository must not run in the one attached since.
        if (run->generation != generation_ || !root_) {
            run->finished();
            run->done(false);
            return;
        }
        run->cwd = *root_;
        if (!run->network) {
            run->environment = gitEnvironment();
            continueCommands(run);
            return;
        }
        networkEnvironment(run->cwd, this, {this, [this, run](QProcessEnvironment env) {
                               run->environment = std::move(env);
                               continueCommands(run);
                           }});
    });
}

void GitService::runNetwork(QList<QStringList> commands, Completion<bool> done) {
    if (!root_) {
        later([done] { done(false); });
        return;
    }
    addNetworkOperation(1);
    runCommands(std::move(commands), false, true, {this, [this, done](bool ok) {
                    addNetworkOperation(-1);
                    done(ok);
                }});
}

void GitService::continueCommands(const std::shared_ptr<CommandRun>& run) {
    if (run->next == run->commands.size() || (!run->ok && !run->keepGoing)) {
        run->finished();
        const auto report = [this, run] {
            if (run->generation == generation_) setLastError(run->ok ? std::nullopt : run->failure);
            refresh([run] { run->done(run->ok); });
        };
        if (run->ok || !run->failedSigning) {
            report();
            return;
        }
        // git says only that signing failed; the signing program, asked again the same way, says why.
        QStringList arguments = *run->failedSigning;
        arguments.insert(1, QStringLiteral("--batch"));  // never a passphrase prompt for this
        ChildProcess::start(GitService::request(arguments, run->cwd, false), this, [run, report](ChildProcess::Result result) {
            const QStringList lines = ProcessText::decodeLossy(result.standardError).split(u'\n');
            for (auto line = lines.rbegin(); line != lines.rend(); ++line)
                if (ProcessText::trimBlanks(*line).startsWith(QLatin1String("gpg: "))) {
                    run->failure = ProcessText::trimBlanks(*line);
                    break;
                }
            report();
        });
        return;
    }
    const QStringList arguments = run->commands.at(run->next++);
    ChildProcess::Request request = GitService::request(arguments, run->cwd, true);
    request.environment = run->environment;
    if (run->trace) {
        run->trace->resize(0);
        request.environment.insert(QStringLiteral("GIT_TRACE2_EVENT"), run->trace->fileName());
    }
    if (run->network) request.stallTimeoutMs = g_networkStallLimitMs;
    // A command that changes the repository is never stopped half-way (a checkout, a hook), but
    // one that takes long is named, since every later one waits for it.
    auto slow = std::make_shared<bool>(false);
    ChildProcess* child = ChildProcess::start(request, this, [this, run, arguments, slow](ChildProcess::Result result) {
        if (*slow) {
            slowWrite_.reset();
            showReadState();
        }
        if (run->ok && (result.startError || result.exitCode != 0)) {
            run->ok = false;
            const GitTrace::Reading trace = run->trace ? GitTrace::read(run->trace->fileName()) : GitTrace::Reading{};
            run->failure = describeFailure(arguments, result, trace);
            run->failedSigning = trace.failedSigning;
        }
        continueCommands(run);
    });
    if (!run->network) {
        auto* timer = new QTimer(child);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, [this, slow, command = arguments.mid(0, 2).join(u' ')] {
            *slow = true;
            slowWrite_ = QStringLiteral("“%1” has not finished after %2; later commands wait for it.")
                             .arg(command, secondsText(g_readStallLimitMs));
            showReadState();
        });
        timer->start(g_readStallLimitMs);
    }
}

std::optional<QString> GitService::describeFailure(const QStringList& arguments, const ChildProcess::Result& result,
                                                   const GitTrace::Reading& trace) const {
    const QString command = arguments.mid(0, 2).join(u' ');
    if (result.startError) return ProcessText::firstNonBlankLine(*result.startError);
    if (result.stalled) return stallMessage(command);
    if (trace.refusedHook) {
        // What a hook prints ends with its reason; its first lines say what it was doing.
        const QStringList lines = ProcessText::decodeLossy(result.standardOutput).replace(u'\r', u'\n').split(u'\n');
        for (auto line = lines.rbegin(); line != lines.rend(); ++line)
            if (!ProcessText::trimBlanks(*line).isEmpty())
                return QStringLiteral("The %1 hook refused: %2").arg(*trace.refusedHook, ProcessText::trimBlanks(*line));
        return QStringLiteral("The %1 hook refused without saying why.").arg(*trace.refusedHook);
    }
    if (std::optional<QString> line = failureLine(ProcessText::decodeLossy(result.standardOutput))) return line;
    // Some failures print nothing at all (a stash that cannot take the index lock): say what we know.
    QString text = QStringLiteral("“%1” failed (exit status %2)").arg(command).arg(result.exitCode);
    if (const QString lock = gitDir_ ? QDir(*gitDir_).filePath(QStringLiteral("index.lock")) : QString();
        !lock.isEmpty() && QFileInfo::exists(lock))
        text += QStringLiteral(": %1 exists; another git process may be running, or one ended without removing it").arg(lock);
    return text + u'.';
}

// MARK: attaching and reading the state

void GitService::attach(const QString& folder, Completion<> done) {
    const quint64 generation = ++generation_;
    root_.reset();
    gitDir_.reset();
    gitDirWatcher_.reset();
    attachedFolder_ = folder;
    setLastError(std::nullopt);  // another folder's failure says nothing about this one
    readFailure_.reset();
    showReadState();
    setBranch(std::nullopt);
    setChanges({});
    setIsRepo(false);
    read({QStringLiteral("git"), QStringLiteral("rev-parse"), QStringLiteral("--show-toplevel"),
          QStringLiteral("--absolute-git-dir"), QStringLiteral("--git-common-dir")},
         folder, [this, generation, folder, done](ChildProcess::Result result) {
             if (generation != generation_) {
                 done();
                 return;
             }
             // Paths: keep them exactly, spaces included.
             const QStringList lines = ProcessText::decodeExact(result.standardOutput).split(u'\n');
             const QString top = lines.value(0);
             // env's own statuses: git is missing from the path, or cannot be run. That is no
             // answer about the folder, and the user must hear why nothing shows.
             if (!result.startError && (result.exitCode == 126 || result.exitCode == 127)) {
                 setLastError(ProcessText::firstNonBlankLine(ProcessText::decodeLossy(result.standardError))
                                  .value_or(QStringLiteral("git could not be run.")));
                 readFailure_ = lastError_;
                 showReadState();
             } else if (result.stalled || (!result.startError && result.exitCode < 0)) {
                 // No answer is no answer about the folder either.
                 readFailure_ = readFailure(QStringLiteral("git rev-parse"), result);
                 showReadState();
             }
             if (result.startError || result.exitCode != 0 || top.isEmpty() || !QDir::isAbsolutePath(top)) {
                 done();
                 return;
             }
             root_ = top;
             if (!lines.value(1).isEmpty()) gitDir_ = lines.value(1);
             // The common dir is printed relative to the folder asked from.
             if (!lines.value(1).isEmpty() && !lines.value(2).isEmpty()) {
                 gitDirWatcher_ = std::make_unique<GitDirWatcher>(lines.value(1),
                                                                  QDir(folder).absoluteFilePath(lines.value(2)));
                 connect(gitDirWatcher_.get(), &GitDirWatcher::changed, this, [this] { refresh(); });
             }
             setIsRepo(true);
             refresh(done);
         });
}

void GitService::refresh(Completion<> done) {
    if (!root_ && attachedFolder_) {
        // The folder may have become a repository since (an init or a clone into it elsewhere).
        const quint64 generation = generation_;
        const QString folder = *attachedFolder_;
        read({QStringLiteral("git"), QStringLiteral("rev-parse"), QStringLiteral("--show-toplevel")}, folder,
             [this, generation, folder, done](const ChildProcess::Result& result) {
                 if (generation == generation_ && !root_ && !result.startError && result.exitCode == 0)
                     attach(folder, done);
                 else
                     done();
             });
        return;
    }
    if (!root_) {
        later([done] { done(); });
        return;
    }
    refreshWaiters_.append(std::move(done));
    if (!refreshRunning_) startRefresh();
}

void GitService::startRefresh() {
    refreshRunning_ = true;
    const QList<Completion<>> waiters = std::exchange(refreshWaiters_, {});
    auto reading = std::make_shared<RefreshReading>();
    reading->generation = generation_;
    const QString git = QStringLiteral("git");
    // One status run tells the branch, the counts against its upstream, the stashes and the
    // changes: every process less is time the lists show sooner.
    const QList<QStringList> reads = {
        {git, QStringLiteral("status"), QStringLiteral("--porcelain=v2"), QStringLiteral("--branch"),
         QStringLiteral("--show-stash"), QStringLiteral("-z")},
        // Only real branches: "git branch" also lists "(HEAD detached at …)" and "(no branch, rebasing …)".
        {git, QStringLiteral("for-each-ref"), QStringLiteral("--format=%(refname:short)\t%(upstream:short)"),
         QStringLiteral("refs/heads")},
    };
    for (int i = 0; i < reads.size(); ++i) {
        read(reads.at(i), *root_, [this, reading, waiters, i](ChildProcess::Result result) {
            reading->results[i] = std::move(result);
            if (--reading->remaining > 0) return;
            // A listing of tens of thousands of changes takes longer to read than a frame lasts:
            // it is read on a worker, and only the finished reading comes back here.
            QThreadPool::globalInstance()->start([self = QPointer<GitService>(this), reading, waiters]() mutable {
                ParsedReading parsed = parse(*reading);
                const quint64 generation = reading->generation;
                reading.reset();  // git's output, freed here rather than on the main thread
                QCoreApplication* app = QCoreApplication::instance();
                if (!app) return;  // the program is ending
                QMetaObject::invokeMethod(
                    app,
                    [self, generation, waiters = std::move(waiters), parsed = std::move(parsed)] {
                        if (self) self->finishRefresh(generation, parsed, waiters);
                    },
                    Qt::QueuedConnection);
            });
        });
    }
}

void GitService::finishRefresh(quint64 generation, const ParsedReading& parsed, const QList<Completion<>>& waiters) {
    if (generation == generation_) publish(parsed);
    refreshRunning_ = false;
    if (!refreshWaiters_.isEmpty()) {
        if (root_) startRefresh();
        else for (const auto& waiter : std::exchange(refreshWaiters_, {})) waiter();
    }
    for (const auto& waiter : waiters) waiter();
}

GitService::ParsedReading GitService::parse(const RefreshReading& reading) {
    const auto ok = [&](int i) { return !reading.results[i].startError && reading.results[i].exitCode == 0; };
    ParsedReading parsed;
    // Paths are kept byte for byte, so acting on one reaches the very file git listed.
    parsed.statusRead = ok(0);
    if (ok(0)) parsed.status = parseStatus(ProcessText::decodeExact(reading.results[0].standardOutput));
    // The repository may be deleted under us (and made again later): then there is nothing clean
    // about the folder, it is simply no repository. Other failures (a damaged index, a git that
    // was stopped or killed) leave it one, whose state could not be read this time.
    const ChildProcess::Result& statusRun = reading.results[0];
    parsed.isRepo = ok(0) || !(statusRun.startError || ProcessText::decodeLossy(statusRun.standardError)
                                                           .contains(QLatin1String("not a git repository")));
    if (parsed.isRepo) parsed.failure = readFailure(QStringLiteral("git status"), statusRun);
    parsed.branchesRead = ok(1);
    if (ok(1)) parsed.branches = parseBranches(ProcessText::decodeExact(reading.results[1].standardOutput));
    return parsed;
}

void GitService::publish(const ParsedReading& parsed) {
    setIsRepo(parsed.isRepo);
    // A read that failed says nothing about the work tree: an empty reading would show a clean
    // tree and no branch where changes wait to be committed.
    if (parsed.statusRead || !parsed.isRepo) {
        setBranch(parsed.status.branch);
        setChanges(parsed.status.changes);
    }
    if (parsed.branchesRead || !parsed.isRepo) setBranches(parsed.branches);
    if (parsed.statusRead || !parsed.isRepo) {
        setStashCount(parsed.status.stashes);
        // Without an upstream there is no count: nothing ahead, nothing behind.
        setAheadBehind(parsed.status.ahead, parsed.status.behind);
    }
    readFailure_ = parsed.failure;
    showReadState();
}

void GitService::showReadState() { setReadError(readFailure_ ? readFailure_ : slowWrite_); }

// MARK: parsers

namespace {
// A decimal count after its sign ("+3", "-0"); 0 when it does not read.
int count(QStringView text) {
    if (text.startsWith(u'+') || text.startsWith(u'-')) text = text.mid(1);
    return std::max(0, text.toInt());
}
} // namespace

GitService::StatusReading GitService::parseStatus(const QString& output) {
    StatusReading reading;
    const QStringList fields = output.split(QChar(u'\0'));
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const QString& field = fields.at(i);
        if (field.startsWith(QLatin1String("# "))) {
            const QStringList words = field.mid(2).split(u' ');
            const QString key = words.value(0);
            if (key == QLatin1String("branch.head")) {
                const QString name = field.mid(2 + key.size() + 1);
                // Detached, in a rebase or checked out by commit: HEAD is on no branch.
                reading.branch = name == QLatin1String("(detached)") ? QStringLiteral("HEAD") : name;
            } else if (key == QLatin1String("branch.ab")) {
                reading.ahead = count(words.value(1));
                reading.behind = count(words.value(2));
            } else if (key == QLatin1String("stash")) {
                reading.stashes = count(words.value(1));
            }
            continue;
        }
        // "1 XY <6 fields> path", "2 XY <7 fields> path" then the origin, "u XY <8 fields> path",
        // "? path"; anything else is not an entry (and an empty path must never name the root).
        const auto skip = [&](int words) {
            qsizetype at = 0;
            for (int w = 0; w < words; ++w) {
                at = field.indexOf(u' ', at);
                if (at < 0) return QString();
                ++at;
            }
            return field.mid(at);
        };
        const auto letter = [](QChar c) { return c == u'.' ? QChar(u' ') : c; };
        GitFileChange change;
        if (field.startsWith(QLatin1String("? "))) {
            change = {field.mid(2), u'?', u'?', {}};
        } else if (field.size() > 4 && field.at(1) == u' ' && field.at(4) == u' ' &&
                   (field.at(0) == u'1' || field.at(0) == u'2' || field.at(0) == u'u')) {
            const int words = field.at(0) == u'1' ? 8 : field.at(0) == u'2' ? 9 : 10;
            change = {skip(words), letter(field.at(2)), letter(field.at(3)), {}};
            // A rename or copy is followed by the path it came from.
            if (field.at(0) == u'2' && i + 1 < fields.size()) change.originalPath = fields.at(++i);
        } else {
            continue;
        }
        if (!change.path.isEmpty()) reading.changes.append(change);
    }
    if (QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread())
        statusEntriesReadOnMainThread += reading.changes.size();
    return reading;
}

QList<GitBranchInfo> GitService::parseBranches(const QString& output) {
    QList<GitBranchInfo> branches;
    for (const QString& line : output.split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype tab = line.indexOf(u'\t');
        const QString name = ProcessText::trimBlanks(tab < 0 ? line : line.left(tab));
        if (name.isEmpty()) continue;
        const QString upstream = tab < 0 ? QString() : ProcessText::trimBlanks(line.mid(tab + 1));
        branches.append({name, upstream.isEmpty() ? std::nullopt : std::optional<QString>(upstream)});
    }
    return branches;
}

// MARK: published state

void GitService::setIsRepo(bool value) {
    if (isRepo_ == value) return;
    isRepo_ = value;
    emit isRepoChanged();
    emit changed();
}

void GitService::setBranch(const std::optional<QString>& value) {
    if (branch_ == value) return;
    branch_ = value;
    emit branchChanged();
    emit changed();
}

void GitService::setChanges(const QList<GitFileChange>& value) {
    if (changes_ == value) return;
    changes_ = value;
    emit changesChanged();
    emit changed();
}

void GitService::setLastError(const std::optional<QString>& value) {
    if (lastError_ == value) return;
    lastError_ = value;
    emit lastErrorChanged();
    emit changed();
}

void GitService::setReadError(const std::optional<QString>& value) {
    if (readError_ == value) return;
    readError_ = value;
    emit readErrorChanged();
    emit changed();
}

void GitService::setBranches(const QList<GitBranchInfo>& value) {
    if (branches_ == value) return;
    branches_ = value;
    emit branchesChanged();
    emit changed();
}

void GitService::setStashCount(int value) {
    if (stashCount_ == value) return;
    stashCount_ = value;
    emit stashCountChanged();
    emit changed();
}

void GitService::setAheadBehind(int ahead, int behind) {
    if (aheadBy_ == ahead && behindBy_ == behind) return;
    aheadBy_ = ahead;
    behindBy_ = behind;
    emit aheadBehindChanged();
    emit changed();
}

void GitService::addNetworkOperation(int delta) {
    const bool before = isNetworking();
    networkOperations_ += delta;
    if (before == isNetworking()) return;
    emit isNetworkingChanged();
    emit changed();
}

// MARK: operations

namespace {
const QString kGit = QStringLiteral("git");
const QString kDashes = QStringLiteral("--");
// Linux takes one argument of at most 128 KiB; well below it, a message still goes as "-m".
constexpr qsizetype kLongestMessageArgument = 100 * 1024;
} // namespace

void GitService::stage(const GitFileChange& change, Completion<bool> done) {
    run({kGit, QStringLiteral("add"), kDashes, change.path}, std::move(done));
}

void GitService::unstage(const GitFileChange& change, Completion<bool> done) {
    // "reset -- paths" also works before the first commit, where HEAD names nothing yet.
    QStringList arguments{kGit, QStringLiteral("reset"), QStringLiteral("-q"), kDashes, change.path};
    if (change.isRenameOrCopy() && !change.originalPath.isEmpty()) arguments << change.originalPath;
    run(arguments, std::move(done));
}

void GitService::discard(const GitFileChange& change, Completion<bool> done) {
    if (change.isUntracked()) {
        runUntracked(change, std::move(done));
        return;
    }
    const QStringList restore{kGit, QStringLiteral("checkout"), QStringLiteral("HEAD"), kDashes, change.path};
    const QStringList remove{kGit, QStringLiteral("rm"), QStringLiteral("-f"), QStringLiteral("-q"), kDashes,
                             change.path};
    if (change.isUnmerged()) {
        run(restore, std::move(done));
    } else if (change.staged == u'R' && !change.originalPath.isEmpty()) {
        runCommands({remove, {kGit, QStringLiteral("checkout"), QStringLiteral("HEAD"), kDashes, change.originalPath}},
                    false, false, std::move(done));
    } else if (change.staged == u'A' || change.unstaged == u'A' || change.isRenameOrCopy()) {
        // HEAD has no such file: dropping the change means dropping the file.
        run(remove, std::move(done));
    } else {
        restoreTracked(change, std::move(done));
    }
}

void GitService::restoreTracked(const GitFileChange& change, Completion<bool> done) {
    if (!root_) {
        later([done] { done(false); });
        return;
    }
    const QStringList restore{kGit, QStringLiteral("checkout"), QStringLiteral("HEAD"), kDashes, change.path};
    const quint64 generation = generation_;
    read({kGit, QStringLiteral("ls-files"), QStringLiteral("--stage"), QStringLiteral("-z"), kDashes, change.path},
         *root_, [this, generation, restore, path = change.path, done](ChildProcess::Result entry) {
             if (generation != generation_) {
                 done(false);
                 return;
             }
             // "checkout" resets a submodule's recorded commit but leaves its work tree as it was:
             // check the recorded commit out inside it as well.
             if (!entry.standardOutput.startsWith("160000 ")) {
                 run(restore, done);
                 return;
             }
             const QStringList update{kGit, QStringLiteral("submodule"), QStringLiteral("update"),
                                      QStringLiteral("--init"), QStringLiteral("--recursive"), QStringLiteral("--force"),
                                      QStringLiteral("--checkout"), kDashes, path};
             runCommands({restore, update}, false, false, {this, [this, path, done](bool ok) {
                             if (ok && isListed(path)) {
                                 // Files the submodule does not track are never deleted from here.
                                 setLastError(QStringLiteral("The submodule “%1” still has changes after its "
                                                             "recorded commit was checked out; untracked files in it "
                                                             "are kept.")
                                                  .arg(ProcessText::visibleName(path)));
                                 ok = false;
                             }
                             done(ok);
                         }});
         });
}

bool GitService::isListed(const QString& path) const {
    return std::any_of(changes_.begin(), changes_.end(), [&](const GitFileChange& c) { return c.path == path; });
}

void GitService::runUntracked(const GitFileChange& change, Completion<bool> done) {
    if (!root_) {
        later([done] { done(false); });
        return;
    }
    const QString cleaned = QDir::cleanPath(change.path);
    if (change.path.isEmpty() || QDir::isAbsolutePath(change.path) || cleaned == QLatin1String(".") ||
        cleaned == QLatin1String("..") || cleaned.startsWith(QLatin1String("../"))) {
        refuse(QStringLiteral("Refusing to delete a path outside the repository: ") + change.path, std::move(done));
        return;
    }
    const quint64 generation = generation_;
    writes_.enqueue([this, generation, path = change.path, done](std::function<void()> finished) {
        if (generation != generation_ || !root_) {
            finished();
            done(false);
            return;
        }
        // git's own clean deletes what it calls untracked and leaves ignored files where they are.
        shell({kGit, QStringLiteral("clean"), QStringLiteral("-fd"), kDashes, path}, *root_,
              {this, [this, path, finished, done](GitShellResult) {
                   finished();
                   refresh([this, path, done] {
                       // git's clean never deletes a repository inside this one (or a folder
                       // holding one), and rightly: say so rather than seem to do nothing.
                       if (!isListed(path)) {
                           done(true);
                           return;
                       }
                       setLastError(QStringLiteral("“%1” was kept: it is a repository of its own, or holds one, and "
                                                   "deleting it would lose that repository's history and anything not "
                                                   "pushed from it. Delete it yourself if you mean to.")
                                        .arg(ProcessText::visibleName(path)));
                       done(false);
                   });
               }});
    });
}

void GitService::stageAll(Completion<bool> done) {
    run({kGit, QStringLiteral("add"), QStringLiteral("-A")}, std::move(done));
}

void GitService::unstageAll(Completion<bool> done) {
    // Only the paths form: a plain "reset" ends a merge, a cherry-pick or a revert in progress.
    const bool conflicted = std::any_of(changes_.begin(), changes_.end(), [](const GitFileChange& c) { return c.isUnmerged(); });
    if (!conflicted) {
        run({kGit, QStringLiteral("reset"), QStringLiteral("-q"), kDashes, QStringLiteral(".")}, std::move(done));
        return;
    }
    // With conflicts, only what is staged: resetting a conflicted path would drop its conflict.
    auto list = std::make_shared<QTemporaryFile>();
    if (!list->open()) {
        refuse(QStringLiteral("Could not write the list of paths to unstage: ") + list->errorString(), std::move(done));
        return;
    }
    for (const GitFileChange& c : changes_) {
        if (c.isUnmerged() || c.staged == u' ' || c.staged == u'?') continue;
        for (const QString& path : {c.path, c.originalPath})
            if (!path.isEmpty()) list->write(ProcessText::encodeExact(path) + '\0');
    }
    list->flush();
    if (list->size() == 0) {
        refresh([done] { done(true); });
        return;
    }
    run({kGit, QStringLiteral("reset"), QStringLiteral("-q"), QStringLiteral("--pathspec-from-file=") + list->fileName(),
         QStringLiteral("--pathspec-file-nul")},
        {this, [list, done](bool ok) { done(ok); }});
}

void GitService::conflictMarkers(bool wholeWorkTree, Completion<QStringList> done) {
    if (!root_) {
        later([done] { done({}); });
        return;
    }
    // What a commit would take: the index, or for a commit of everything the tracked files as
    // they are on disk.
    QStringList arguments{kGit, QStringLiteral("diff"), QStringLiteral("--no-color"), QStringLiteral("--no-ext-diff"),
                          QStringLiteral("--check")};
    arguments << (wholeWorkTree ? QStringLiteral("HEAD") : QStringLiteral("--cached"));
    read(arguments, *root_, [done](ChildProcess::Result result) {
        QStringList paths;
        QSet<QString> seen;  // a file holds markers on many lines; thousands of files may
        static const QString marker = QStringLiteral(": leftover conflict marker");
        for (const QString& line : ProcessText::decodeExact(result.standardOutput).split(u'\n')) {
            if (!line.endsWith(marker)) continue;
            // "path:line: leftover conflict marker"
            const QString place = line.chopped(marker.size());
            const QString path = place.left(place.lastIndexOf(u':'));
            if (!path.isEmpty() && !seen.contains(path)) {
                seen.insert(path);
                paths << path;
            }
        }
        done(paths);
    });
}

void GitService::discardAll(Completion<bool> done) {
    runCommands({{kGit, QStringLiteral("checkout"), kDashes, QStringLiteral(".")},
                 {kGit, QStringLiteral("clean"), QStringLiteral("-fd")}},
                true, false, std::move(done));
}

void GitService::commit(const QString& message, Completion<bool> done) {
    if (ProcessText::trimWhitespace(message).isEmpty()) {
        later([done] { done(false); });
        return;
    }
    // Traced, so a failure can name the hook or the signing program that refused.
    const QByteArray bytes = ProcessText::encodeExact(message);
    if (bytes.size() <= kLongestMessageArgument) {
        runCommands({{kGit, QStringLiteral("commit"), QStringLiteral("-m"), message}}, false, false, std::move(done), true);
        return;
    }
    // One argument holds at most 128 KiB: a longer message goes through a file, which git reads
    // and cleans up the same way.
    auto file = std::make_shared<QTemporaryFile>();
    if (!file->open() || file->write(bytes) != bytes.size() || !file->flush()) {
        refuse(QStringLiteral("Could not write the commit message to a temporary file: ") + file->errorString(),
               std::move(done));
        return;
    }
    runCommands({{kGit, QStringLiteral("commit"), QStringLiteral("-F"), file->fileName()}}, false, false,
                {this, [file, done](bool ok) { done(ok); }}, true);
}

void GitService::pull(Completion<bool> done) {
    if (!root_) {
        later([done] { done(false); });
        return;
    }
    // Fetching waits on the remote; merging writes the index. The first runs beside local work,
    // the second in turn with it, so neither blocks nor races the other.
    addNetworkOperation(1);
    const auto end = [this, done](bool ok) {
        addNetworkOperation(-1);
        done(ok);
    };
    read({kGit, QStringLiteral("rev-parse"), QStringLiteral("--abbrev-ref"), QStringLiteral("@{u}")}, *root_,
         [this, end](ChildProcess::Result upstream) {
             if (upstream.startError || upstream.exitCode != 0) {
                 setLastError(failureLine(ProcessText::decodeLossy(upstream.standardError))
                                  .value_or(QStringLiteral("There is no tracking information for the current branch.")));
                 end(false);
                 return;
             }
             runCommands({{kGit, QStringLiteral("fetch"), QStringLiteral("--progress")}}, false, true,
                         {this, [this, end](bool ok) {
                              if (!ok) {
                                  end(false);
                                  return;
                              }
                              runCommands({{kGit, QStringLiteral("merge"), QStringLiteral("--no-edit"),
                                            QStringLiteral("FETCH_HEAD")}},
                                          false, false, {this, end});
                          }});
         });
}

void GitService::fetch(Completion<bool> done) {
    runNetwork({{kGit, QStringLiteral("fetch"), QStringLiteral("--all"), QStringLiteral("--prune"),
                 QStringLiteral("--progress")}},
               std::move(done));
}

void GitService::push(Completion<bool> done) {
    if (!root_ || !branch_) {
        later([done] { done(false); });
        return;
    }
    const QString branch = *branch_;
    shell({kGit, QStringLiteral("rev-parse"), QStringLiteral("--abbrev-ref"), QStringLiteral("@{u}")}, *root_,
          {this, [this, branch, done](GitShellResult upstream) {
               QStringList arguments{kGit, QStringLiteral("push"), QStringLiteral("--progress")};
               if (upstream.exit != 0) arguments << QStringLiteral("--set-upstream") << QStringLiteral("origin") << branch;
               runNetwork({arguments}, done);
           }});
}

void GitService::stash(const std::optional<QString>& message, Completion<bool> done) {
    QStringList arguments{kGit, QStringLiteral("stash"), QStringLiteral("push")};
    if (message && !message->isEmpty()) arguments << QStringLiteral("-m") << *message;
    run(arguments, std::move(done));
}

void GitService::stashPop(Completion<bool> done) {
    run({kGit, QStringLiteral("stash"), QStringLiteral("pop")}, std::move(done));
}

bool GitService::safeBranchName(const QString& name, Completion<bool>& done) {
    if (!name.startsWith(u'-')) return true;
    if (!root_) later([done] { done(false); });
    else refuse(QStringLiteral("A branch name cannot start with \"-\": ") + name, done);
    return false;
}

void GitService::checkout(const QString& name, Completion<bool> done) {
    if (!safeBranchName(name, done)) return;
    // The trailing "--" makes git take the name as a branch, never as a file to restore.
    run({kGit, QStringLiteral("checkout"), name, kDashes}, std::move(done));
}

void GitService::createBranch(const QString& name, Completion<bool> done) {
    if (!safeBranchName(name, done)) return;
    run({kGit, QStringLiteral("checkout"), QStringLiteral("-b"), name}, std::move(done));
}

void GitService::deleteBranch(const QString& name, Completion<bool> done) {
    if (!safeBranchName(name, done)) return;
    run({kGit, QStringLiteral("branch"), QStringLiteral("-D"), name}, std::move(done));
}

void GitService::initRepo(Completion<bool> done) {
    const std::optional<QString> folder = root_ ? root_ : attachedFolder_;
    if (!folder) {
        later([done] { done(false); });
        return;
    }
    const quint64 generation = generation_;
    writes_.enqueue([this, generation, folder = *folder, done](std::function<void()> finished) {
        if (generation != generation_) {
            finished();
            done(false);
            return;
        }
        shell({kGit, QStringLiteral("init")}, folder, {this, [this, folder, finished, done](GitShellResult result) {
                  finished();
                  if (result.exit != 0) {
                      setLastError(ProcessText::firstNonBlankLine(result.output));
                      done(false);
                      return;
                  }
                  attach(attachedFolder_.value_or(folder), [done] { done(true); });
              }});
    });
}

void GitService::stagedDiff(Completion<QString> done, qint64 maxBytes) {
    if (!root_) {
        later([done] { done(QString()); });
        return;
    }
    ChildProcess::Request request = GitService::request({kGit, QStringLiteral("diff"), QStringLiteral("--no-color"),
                                                         QStringLiteral("--no-ext-diff"), QStringLiteral("--cached")},
                                                        *root_, true);
    request.maxOutputBytes = std::max<qint64>(0, maxBytes);
    ChildProcess::start(request, this, [done](const ChildProcess::Result& result) {
        // Stopped at the bound, what came so far is the start of the diff.
        done(result.startError ? *result.startError : ProcessText::decodeLossy(result.standardOutput));
    });
}

void GitService::diff(const GitFileChange& change, Completion<QString> done) {
    if (!root_) {
        later([done] { done(QString()); });
        return;
    }
    if (change.isUntracked() && change.path.endsWith(u'/')) {
        diffFolder(change.path, std::move(done));
        return;
    }
    QStringList arguments{kGit, QStringLiteral("diff"), QStringLiteral("--no-color"), QStringLiteral("--no-ext-diff")};
    if (change.isUntracked()) {
        arguments << QStringLiteral("--no-index") << kDashes << QStringLiteral("/dev/null") << change.path;
    } else if (change.isUnmerged()) {
        // The index holds no one version of a conflict, so git prints only "Unmerged path": show
        // the file as it stands, markers and all, against the commit the merge started from.
        arguments << QStringLiteral("HEAD") << kDashes << change.path;
    } else {
        if (change.staged != u' ' && change.staged != u'?') arguments << QStringLiteral("--cached");
        arguments << kDashes;
        // Both sides of a rename, so git shows it as one.
        if (change.isRenameOrCopy() && !change.originalPath.isEmpty()) arguments << change.originalPath;
        arguments << change.path;
    }
    readDiff(arguments, *root_, std::move(done));
}

void GitService::readDiff(const QStringList& arguments, const QString& cwd, Completion<QString> done) {
    ChildProcess::Request request = GitService::request(arguments, cwd, true);
    request.stallTimeoutMs = g_readStallLimitMs;
    ChildProcess::start(request, this, [done](const ChildProcess::Result& result) {
        // A git that hangs leaves the diff saying so rather than loading for ever.
        if (result.stalled) done(stallMessage(QStringLiteral("git diff"), g_readStallLimitMs));
        else done(result.startError ? *result.startError : ProcessText::decodeLossy(result.standardOutput));
    });
}

void GitService::diffFolder(const QString& folder, Completion<QString> done) {
    constexpr qsizetype kShownFiles = 50;
    const QString root = *root_;
    read({kGit, QStringLiteral("ls-files"), QStringLiteral("--others"), QStringLiteral("--exclude-standard"),
          QStringLiteral("-z"), kDashes, folder},
         root, [this, folder, root, done](ChildProcess::Result listing) {
             QStringList files;
             bool repository = false;
             for (const QString& path : ProcessText::decodeExact(listing.standardOutput).split(u'\0', Qt::SkipEmptyParts)) {
                 if (path.endsWith(u'/')) repository = true;  // a repository inside: git lists only its folder
                 else files << path;
             }
             const QString name = ProcessText::visibleName(folder);
             if (files.size() > kShownFiles) {
                 done(QStringLiteral("“%1” is a folder of %2 new files.").arg(name).arg(files.size()));
                 return;
             }
             if (files.isEmpty()) {
                 done(repository ? QStringLiteral("“%1” is a repository of its own; its files are not shown.").arg(name)
                                 : QString());
                 return;
             }
             // One new file after another, as one diff.
             auto text = std::make_shared<QString>();
             auto next = std::make_shared<std::function<void(qsizetype)>>();
             // The step holds itself only weakly; the run in flight keeps it alive.
             *next = [this, files, root, done, text, self = std::weak_ptr(next)](qsizetype i) {
                 if (i == files.size()) {
                     done(*text);
                     return;
                 }
                 readDiff({kGit, QStringLiteral("diff"), QStringLiteral("--no-color"), QStringLiteral("--no-ext-diff"),
                           QStringLiteral("--no-index"), kDashes, QStringLiteral("/dev/null"), files.at(i)},
                          root, {this, [text, step = self.lock(), i](const QString& output) {
                              *text += output;
                              (*step)(i + 1);
                          }});
             };
             (*next)(0);
         });
}

// MARK: cloning

QString GitService::inferRepoName(const QString& address) {
    QString text = ProcessText::trimWhitespace(address);
    while (text.endsWith(u'/')) text.chop(1);
    QString name = text.mid(text.lastIndexOf(u'/') + 1);
    if (name.endsWith(QLatin1String(".git"))) name.chop(4);
    return name;
}
