#pragma once
// Helpers for the git and AI tests: a fixed git identity and configuration, synchronous git
// runs for setting up repositories, and waiting on Completion-based calls.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "Git/GitService.h"
#include "Platform/Completion.h"
#include "TestSupport.h"

namespace git_test {

// Git must not read the user's configuration, and commits need an identity even when HOME is odd.
inline void useIsolatedGitConfig() {
    qputenv("GIT_CONFIG_GLOBAL", "/dev/null");
    qputenv("GIT_CONFIG_NOSYSTEM", "1");
    qputenv("GIT_AUTHOR_NAME", "Test Author");
    qputenv("GIT_AUTHOR_EMAIL", "author@example.invalid");
    qputenv("GIT_COMMITTER_NAME", "Test Committer");
    qputenv("GIT_COMMITTER_EMAIL", "committer@example.invalid");
    qputenv("GIT_CONFIG_COUNT", "1");
    qputenv("GIT_CONFIG_KEY_0", "init.defaultBranch");
    qputenv("GIT_CONFIG_VALUE_0", "main");
}

struct GitRun {
    QString output;
    int exit = -1;
};

// Runs git in dir and waits; channels merged.
inline GitRun git(const QString& dir, const QStringList& arguments) {
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("git"), arguments);
    if (!p.waitForFinished(120000)) return {QStringLiteral("git did not finish"), -1};
    return {QString::fromUtf8(p.readAll()), p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1};
}

// Like git(), failing the test when git fails; returns the output trimmed.
inline QString gitOk(const QString& dir, const QStringList& arguments) {
    const GitRun run = git(dir, arguments);
    EXPECT_EQ(run.exit, 0) << "git " << arguments.join(' ').toStdString() << ": " << run.output.toStdString();
    return run.output.trimmed();
}

// Starts an operation and spins the event loop until its completion has run.
template <typename T>
T await(const std::function<void(Completion<T>)>& start, int timeoutMs = 30000) {
    std::optional<T> result;
    start([&result](T value) { result = std::move(value); });
    EXPECT_TRUE(testing_support::waitUntil([&] { return result.has_value(); }, timeoutMs)) << "no completion";
    return result.value_or(T{});
}

inline void awaitDone(const std::function<void(Completion<>)>& start, int timeoutMs = 30000) {
    bool done = false;
    start([&done] { done = true; });
    EXPECT_TRUE(testing_support::waitUntil([&] { return done; }, timeoutMs)) << "no completion";
}

// A server that takes connections and never says a word, as a remote that hangs does.
class SilentServer : public QTcpServer {
public:
    SilentServer() {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                ++accepted;
                connect(socket, &QTcpSocket::disconnected, this, [this] { ++closed; });
            }
        });
    }
    QString url() const { return QString("http://127.0.0.1:%1/repo.git").arg(serverPort()); }
    int accepted = 0;
    int closed = 0;
};

struct StallLimit {
    explicit StallLimit(int ms) : saved(GitService::networkStallLimit()) { GitService::setNetworkStallLimit(ms); }
    ~StallLimit() { GitService::setNetworkStallLimit(saved); }
    int saved;
};

} // namespace git_test
