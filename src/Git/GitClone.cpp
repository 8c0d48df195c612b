#include "Git/GitClone.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include "Git/ChildProcess.h"
#include "Git/GitService.h"

GitClone::GitClone(const QString& destination, QObject* owner, Completion<Outcome> done)
    : QObject(owner), destination_(destination), done_(std::move(done)) {}

GitClone::~GitClone() { cancel(); }

GitClone* GitClone::start(const QString& address, const QString& parentFolder, const QString& name, QObject* owner,
                          Completion<Outcome> done) {
    const bool badName = name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
                         name.contains(u'/') || name.contains(QChar(u'\0'));
    auto* clone = new GitClone(badName || parentFolder.isEmpty() ? QString() : QDir(parentFolder).filePath(name),
                               owner, std::move(done));
    const auto failLater = [clone](std::optional<QString> problem) {
        QTimer::singleShot(0, clone, [clone, problem] { clone->finish({std::nullopt, problem}); });
    };
    if (clone->destination_.isEmpty() || address.isEmpty()) {
        failLater(std::nullopt);
        return clone;
    }
    const QFileInfo target(clone->destination_);
    if (target.exists() || target.isSymLink()) {
        const bool emptyFolder = target.isDir() && !target.isSymLink() &&
                                 QDir(clone->destination_).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        if (!emptyFolder) {
            failLater(QStringLiteral("“%1” already exists in %2. Choose another folder name.").arg(name, parentFolder));
            return clone;
        }
        clone->existedBefore_ = true;
    }
    clone->run(address, parentFolder);
    return clone;
}

void GitClone::run(const QString& address, const QString& parentFolder) {
    GitService::networkEnvironment(parentFolder, this, {this, [this, address, parentFolder](QProcessEnvironment env) {
        if (!running_) return;
        // "--" keeps an address starting with "-" from being read as an option.
        ChildProcess::Request request = GitService::request(
            {QStringLiteral("git"), QStringLiteral("clone"), QStringLiteral("--progress"), QStringLiteral("--"), address,
             destination_},
            parentFolder, true);
        request.environment = env;
        // Its messages are read below, never shown: keep them in one language.
        request.environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        request.environment.remove(QStringLiteral("LANGUAGE"));
        request.stallTimeoutMs = GitService::networkStallLimit();
        child_ = ChildProcess::start(request, this, [this](ChildProcess::Result result) {
            child_ = nullptr;
            if (!result.startError && result.exitCode == 0) {
                finish({destination_, std::nullopt});
                return;
            }
            // Made by someone else since we looked: not ours to remove.
            if (result.standardOutput.contains("already exists and is not an empty directory")) {
                finish({std::nullopt, QStringLiteral("“%1” already exists. Choose another folder name.")
                                          .arg(QFileInfo(destination_).fileName())});
                return;
            }
            removeLeftovers();
            std::optional<QString> problem;
            if (result.stalled) problem = GitService::stallMessage(QStringLiteral("git clone"));
            finish({std::nullopt, problem});
        });
    }});
}

void GitClone::finish(Outcome outcome) {
    if (!running_) return;
    running_ = false;
    const Completion<Outcome> done = std::move(done_);
    deleteLater();
    done(outcome);
}

void GitClone::cancel() {
    if (!running_) return;
    running_ = false;
    done_ = {};
    if (child_) child_->stopAndWait();
    removeLeftovers();
}

void GitClone::removeLeftovers() {
    if (destination_.isEmpty()) return;
    const QFileInfo target(destination_);
    if (!target.isDir() || target.isSymLink()) return;
    QDir folder(destination_);
    if (!existedBefore_) {
        folder.removeRecursively();
        return;
    }
    // The folder was there, empty, before the clone: empty it again.
    for (const QFileInfo& entry :
         folder.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        if (entry.isDir() && !entry.isSymLink()) QDir(entry.filePath()).removeRecursively();
        else QFile::remove(entry.filePath());
    }
}
