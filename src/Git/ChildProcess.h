#pragma once
// One child process started through /usr/bin/env with an explicit argument list (never a shell),
// run asynchronously on the main thread. Both output channels are drained while it runs; the
// callback gets everything once it has ended. Arguments reach the child as the exact bytes
// ProcessText::encodeExact gives, so a file name that is not UTF-8 arrives as it was read.
#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <optional>
#include <vector>

class ChildProcess : public QObject {
    Q_OBJECT
public:
    struct Request {
        QStringList arguments;               // what follows /usr/bin/env
        QString workingDirectory;            // empty: inherit ours
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        bool mergeChannels = false;          // standard error into standard output
        int timeoutMs = 0;                   // 0: wait as long as it takes
        // The child leads a process group of its own, and stopping it ends the whole group, so
        // nothing it started outlives a time-out.
        bool ownProcessGroup = false;
        // More than this many bytes on either channel stops the child (0: no bound).
        qint64 maxOutputBytes = 0;
    };

    struct Result {
        QByteArray standardOutput;           // both channels when merged
        QByteArray standardError;
        int exitCode = -1;                   // -1 when it did not start or was killed by a signal
        std::optional<QString> startError;   // why it could not be started
        bool timedOut = false;               // stopped after the time-out
        bool outputTooLarge = false;         // stopped for printing more than the bound
    };

    // The process lives under owner (the application when null): destroying the owner stops
    // the process and drops the callback.
    static void start(const Request& request, QObject* owner, std::function<void(Result)> done);

    ~ChildProcess() override;

private:
    ChildProcess(QObject* owner, std::function<void(Result)> done);
    void finish();
    void stop();
    // The argument and environment arrays the child hands to exec, built before the fork.
    void prepareExec(const Request& request);

    QProcess process_;
    std::vector<QByteArray> execStrings_;
    std::vector<char*> execArgv_;
    std::vector<char*> execEnvp_;
    bool ownProcessGroup_ = false;
    QTimer timer_;
    std::function<void(Result)> done_;
    Result result_;
    bool finished_ = false;
};
