#pragma once
// One clone of a remote repository into a new folder under a parent folder. Cancelling it, or
// destroying it while git runs (the window closing, the program quitting), asks git to stop,
// kills it after a short wait, and removes what the clone made.
#include <QObject>
#include <QPointer>
#include <QString>
#include <optional>

#include "Platform/Completion.h"

class ChildProcess;

class GitClone : public QObject {
    Q_OBJECT
public:
    struct Outcome {
        std::optional<QString> folder;   // the new working copy, when the clone happened
        std::optional<QString> problem;  // what went wrong, when it is known beyond "it failed"
    };

    // Clones address into parentFolder/name under owner. The name must be one path component
    // other than "." and ".."; a destination that exists and is not an empty folder is refused
    // without running git. done runs once, unless the clone is cancelled or destroyed first.
    static GitClone* start(const QString& address, const QString& parentFolder, const QString& name, QObject* owner,
                           Completion<Outcome> done);
    ~GitClone() override;

    bool isRunning() const { return running_; }
    // Stops git (waiting for it to end) and removes the partial folder; done does not run.
    void cancel();

private:
    GitClone(const QString& destination, QObject* owner, Completion<Outcome> done);
    void run(const QString& address, const QString& parentFolder);
    void finish(Outcome outcome);
    void removeLeftovers();

    QString destination_;
    bool existedBefore_ = false;  // an empty folder the user had made: only its contents go
    bool running_ = true;
    QPointer<ChildProcess> child_;
    Completion<Outcome> done_;
};
