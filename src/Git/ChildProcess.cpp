#include "Git/ChildProcess.h"

#include <QCoreApplication>

#include <atomic>
#include <csignal>
#include <sys/prctl.h>
#include <sys/types.h>
#include <unistd.h>

#include "Git/ProcessText.h"

namespace {

// The groups of our children that run in sessions of their own. Out of reach of our terminal,
// they would outlive us when a signal ends us (Ctrl+C, the terminal closing, a plain kill):
// those signals stop them first. Plain slots, so the handler stays async-signal-safe.
constexpr int kGroupSlots = 512;
std::atomic<pid_t> g_groups[kGroupSlots];

void stopGroupsAndDie(int number) {
    ChildProcess::stopAllGroups();
    ::signal(number, SIG_DFL);
    ::raise(number);
}

void installHandlers() {
    static const bool installed = [] {
        for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction current {};
            // Only where nobody else decided: an ignored signal stays ignored.
            if (::sigaction(number, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
            struct sigaction action {};
            action.sa_handler = stopGroupsAndDie;
            ::sigemptyset(&action.sa_mask);
            ::sigaction(number, &action, nullptr);
        }
        return true;
    }();
    (void)installed;
}

void remember(pid_t group) {
    for (std::atomic<pid_t>& slot : g_groups) {
        pid_t empty = 0;
        if (slot.compare_exchange_strong(empty, group)) return;
    }
}

void forget(pid_t group) {
    for (std::atomic<pid_t>& slot : g_groups) {
        pid_t expected = group;
        if (slot.compare_exchange_strong(expected, 0)) return;
    }
}

} // namespace

void ChildProcess::stopAllGroups() {
    for (std::atomic<pid_t>& slot : g_groups)
        if (const pid_t group = slot.load(); group > 0) ::kill(-group, SIGTERM);
}

ChildProcess::ChildProcess(QObject* owner, std::function<void(Result)> done)
    : QObject(owner ? owner : QCoreApplication::instance()), done_(std::move(done)) {}

ChildProcess::~ChildProcess() {
    // The owner is going away: nobody is left to hear how the process ended.
    stopAndWait();
}

void ChildProcess::signal(int number) {
    if (pid_ <= 0) return;
    // The group outlives its leader while anything it started still runs.
    if (ownProcessGroup_) ::kill(-pid_t(pid_), number);
    else if (process_.state() != QProcess::NotRunning) ::kill(pid_t(pid_), number);
}

void ChildProcess::stop() {
    if (process_.state() == QProcess::NotRunning) return;
    signal(SIGTERM);
    killTimer_.start(kGraceMs);
}

void ChildProcess::stopAndWait() {
    finished_ = true;
    done_ = nullptr;
    process_.disconnect(this);
    if (process_.state() != QProcess::NotRunning) {
        // git cleans up after itself on SIGTERM (a clone removes its half-made folder).
        signal(SIGTERM);
        if (!process_.waitForFinished(kGraceMs)) {
            signal(SIGKILL);
            process_.waitForFinished(2000);
        }
        signal(SIGKILL);  // whatever of the group is left
    }
    if (ownProcessGroup_ && pid_ > 0) forget(pid_t(pid_));
}

void ChildProcess::prepareExec(const Request& request) {
    execStrings_.push_back(QByteArrayLiteral("/usr/bin/env"));
    for (const QString& argument : request.arguments) execStrings_.push_back(ProcessText::encodeExact(argument));
    const qsizetype argc = qsizetype(execStrings_.size());
    for (const QString& variable : request.environment.toStringList())
        execStrings_.push_back(ProcessText::encodeExact(variable));
    // The strings are complete: pointers into them stay valid from here on.
    for (qsizetype i = 0; i < qsizetype(execStrings_.size()); ++i)
        (i < argc ? execArgv_ : execEnvp_).push_back(execStrings_[size_t(i)].data());
    execArgv_.push_back(nullptr);
    execEnvp_.push_back(nullptr);
}

ChildProcess* ChildProcess::start(const Request& request, QObject* owner, std::function<void(Result)> done) {
    auto* child = new ChildProcess(owner, std::move(done));
    QProcess& p = child->process_;
    p.setProgram(QStringLiteral("/usr/bin/env"));
    p.setArguments(request.arguments);
    if (!request.workingDirectory.isEmpty()) p.setWorkingDirectory(request.workingDirectory);
    p.setProcessEnvironment(request.environment);
    p.setProcessChannelMode(request.mergeChannels ? QProcess::MergedChannels : QProcess::SeparateChannels);
    // Nothing is ever written to a child; an empty stdin also means no prompt can wait on us.
    p.setStandardInputFile(QProcess::nullDevice());

    // QProcess would encode the arguments as UTF-8 and lose bytes that are not; exec them
    // ourselves in the child, after QProcess has set up its directory and channels. Should that
    // exec fail, QProcess's own exec of the same program fails alike and reports why.
    child->ownProcessGroup_ = request.ownProcessGroup;
    child->prepareExec(request);
    char* const* argv = child->execArgv_.data();
    char* const* envp = child->execEnvp_.data();
    p.setChildProcessModifier([argv, envp, group = request.ownProcessGroup, parent = ::getpid()] {
        if (group) {
            ::setsid();
            // Out of our terminal's reach, it would outlive us were we interrupted there: it is
            // asked to end when we do.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (::getppid() != parent) ::_exit(127);
        }
        ::execve(argv[0], argv, envp);
    });

    QObject::connect(&p, &QProcess::finished, child, [child](int code, QProcess::ExitStatus status) {
        const bool stopped = child->result_.timedOut || child->result_.stalled || child->result_.outputTooLarge;
        child->result_.exitCode = status == QProcess::NormalExit && !stopped ? code : -1;
        if (stopped) child->signal(SIGKILL);  // what the leader left behind of the group
        child->finish();
    });
    child->killTimer_.setSingleShot(true);
    QObject::connect(&child->killTimer_, &QTimer::timeout, child, [child] { child->signal(SIGKILL); });
    QObject::connect(&p, &QProcess::errorOccurred, child, [child](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;  // crashes and kills arrive through finished
        child->result_.startError = child->process_.errorString();
        // May be reported from inside start(): answer on a later turn, like every other outcome.
        QMetaObject::invokeMethod(child, [child] { child->finish(); }, Qt::QueuedConnection);
    });
    if (request.maxOutputBytes > 0) {
        const qint64 bound = request.maxOutputBytes;
        auto check = [child, bound](QProcess::ProcessChannel channel) {
            const QProcess::ProcessChannel current = child->process_.readChannel();
            child->process_.setReadChannel(channel);
            // Past the bound nothing is kept, also while a stopped child takes its time to end.
            if (child->result_.outputTooLarge) child->process_.readAll();
            const qint64 held = child->process_.bytesAvailable();
            child->process_.setReadChannel(current);
            if (child->result_.outputTooLarge || held <= bound) return;
            child->result_.outputTooLarge = true;
            // The first bound's worth is kept, for callers that want only the start.
            child->process_.setReadChannel(channel);
            (channel == QProcess::StandardOutput ? child->result_.standardOutput : child->result_.standardError) =
                child->process_.read(bound);
            child->process_.setReadChannel(current);
            child->stop();
        };
        QObject::connect(&p, &QProcess::readyReadStandardOutput, child, [check] { check(QProcess::StandardOutput); });
        QObject::connect(&p, &QProcess::readyReadStandardError, child, [check] { check(QProcess::StandardError); });
    }
    if (request.timeoutMs > 0) {
        child->timer_.setSingleShot(true);
        QObject::connect(&child->timer_, &QTimer::timeout, child, [child] {
            child->result_.timedOut = true;
            child->stop();
        });
        child->timer_.start(request.timeoutMs);
    }
    if (request.stallTimeoutMs > 0) {
        QTimer& stall = child->stallTimer_;
        stall.setSingleShot(true);
        stall.setInterval(request.stallTimeoutMs);
        QObject::connect(&stall, &QTimer::timeout, child, [child] {
            child->result_.stalled = true;
            child->stop();
        });
        // Anything printed, progress included, is a sign of life.
        const auto alive = [child] {
            if (!child->result_.stalled) child->stallTimer_.start();
        };
        QObject::connect(&p, &QProcess::readyReadStandardOutput, child, alive);
        QObject::connect(&p, &QProcess::readyReadStandardError, child, alive);
        stall.start();
    }
    p.start();
    // Kept apart from QProcess, which forgets it once the leader has ended: the group may not have.
    child->pid_ = p.processId();
    if (child->ownProcessGroup_ && child->pid_ > 0) {
        installHandlers();
        remember(pid_t(child->pid_));
    }
    return child;
}

void ChildProcess::finish() {
    if (finished_) return;
    finished_ = true;
    if (ownProcessGroup_ && pid_ > 0) forget(pid_t(pid_));
    timer_.stop();
    stallTimer_.stop();
    killTimer_.stop();
    // Output past a bound is not read on: what came within it was kept when it was passed.
    if (!result_.outputTooLarge) {
        result_.standardOutput = process_.readAllStandardOutput();
        if (process_.processChannelMode() != QProcess::MergedChannels)
            result_.standardError = process_.readAllStandardError();
    }
    auto done = std::move(done_);
    Result result = std::move(result_);
    deleteLater();
    if (done) done(std::move(result));
}
