#include "Git/ChildProcess.h"

#include <QCoreApplication>

ChildProcess::ChildProcess(QObject* owner, std::function<void(Result)> done)
    : QObject(owner ? owner : QCoreApplication::instance()), done_(std::move(done)) {}

ChildProcess::~ChildProcess() {
    // The owner is going away: nobody is left to hear how the process ended.
    finished_ = true;
    done_ = nullptr;
    process_.disconnect(this);
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(2000);
    }
}

void ChildProcess::start(const Request& request, QObject* owner, std::function<void(Result)> done) {
    auto* child = new ChildProcess(owner, std::move(done));
    QProcess& p = child->process_;
    p.setProgram(QStringLiteral("/usr/bin/env"));
    p.setArguments(request.arguments);
    if (!request.workingDirectory.isEmpty()) p.setWorkingDirectory(request.workingDirectory);
    p.setProcessEnvironment(request.environment);
    p.setProcessChannelMode(request.mergeChannels ? QProcess::MergedChannels : QProcess::SeparateChannels);
    // Nothing is ever written to a child; an empty stdin also means no prompt can wait on us.
    p.setStandardInputFile(QProcess::nullDevice());

    QObject::connect(&p, &QProcess::finished, child, [child](int code, QProcess::ExitStatus status) {
        child->result_.exitCode = status == QProcess::NormalExit && !child->result_.timedOut ? code : -1;
        child->finish();
    });
    QObject::connect(&p, &QProcess::errorOccurred, child, [child](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;  // crashes and kills arrive through finished
        child->result_.startError = child->process_.errorString();
        // May be reported from inside start(): answer on a later turn, like every other outcome.
        QMetaObject::invokeMethod(child, [child] { child->finish(); }, Qt::QueuedConnection);
    });
    if (request.timeoutMs > 0) {
        child->timer_.setSingleShot(true);
        QObject::connect(&child->timer_, &QTimer::timeout, child, [child] {
            child->result_.timedOut = true;
            child->process_.kill();
        });
        child->timer_.start(request.timeoutMs);
    }
    p.start();
}

void ChildProcess::finish() {
    if (finished_) return;
    finished_ = true;
    timer_.stop();
    result_.standardOutput = process_.readAllStandardOutput();
    if (process_.processChannelMode() != QProcess::MergedChannels)
        result_.standardError = process_.readAllStandardError();
    auto done = std::move(done_);
    Result result = std::move(result_);
    deleteLater();
    if (done) done(std::move(result));
}
