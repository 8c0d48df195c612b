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
        // Stopped once it has printed nothing for this long; 0: never.
        int stallTimeoutMs = 0;
        // The child leads a session of its own, without a controlling terminal (so nothing it
        // runs can prompt on ours), and stopping it ends the whole group, so nothing it started
        // outlives it.
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
        bool stalled = false;                // stopped after printing nothing for stallTimeoutMs
        bool outputTooLarge = false;         // stopped for printing more than the bound; the
                                             // channel that passed it holds its first bound bytes
    };

    // How long a stopped child is given to end on SIGTERM before it is killed.
    static constexpr int kGraceMs = 1500;

    // The process lives under owner (the application when null): destroying the owner stops
    // the process (and waits for it) and drops the callback.
    static ChildProcess* start(const Request& request, QObject* owner, std::function<void(Result)> done);

    // Asks the child to end (SIGTERM to its group), then kills it after the grace period; the
    // callback still runs once it has ended.
    void stop();
    // The same, waiting here until it has ended; the callback is dropped.
    void stopAndWait();

    ~ChildProcess() override;

    // SIGTERM to the group of every child started with ownProcessGroup that has not ended yet;
    // async-signal-safe, for a signal handler that is about to end the program.
    static void stopAllGroups();

private:
    ChildProcess(QObject* owner, std::function<void(Result)> done);
    void finish();
    void signal(int number);
    // The argument and environment arrays the child hands to exec, built before the fork.
    void prepareExec(const Request& request);

    QProcess process_;
    std::vector<QByteArray> execStrings_;
    std::vector<char*> execArgv_;
    std::vector<char*> execEnvp_;
    bool ownProcessGroup_ = false;
    qint64 pid_ = 0;
    QTimer timer_;
    QTimer stallTimer_;
    QTimer killTimer_;
    std::function<void(Result)> done_;
    Result result_;
    bool finished_ = false;
};
