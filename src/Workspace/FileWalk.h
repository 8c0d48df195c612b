#pragma once
// The walk behind the file list: every file below a folder, in the order a depth-first walk meets
// them in the file system's listing order. Folders are listed on several threads at once, ahead of
// the caller, who receives the files in that order all the same. Hidden and ignored names are left
// out; links to folders are never followed.
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string_view>

namespace FileWalk {

// Files found by a walk, each with whether the listing saw a regular file (not a link or a device).
struct Files {
    QStringList paths;
    QList<bool> regular;
};

class Walker;

// The batches of a walk below a folder, taken one at a time in walk order: a batch before each
// subfolder is entered (possibly empty) and one at the end. Folders are listed by the thread that
// asks for them unless a helper listed them ahead; threads as for walk.
class Walk {
public:
    explicit Walk(const QString& dir, int threads = 0);
    ~Walk();
    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;

    // The next batch; false once the walk is over. Never asked by two threads at once.
    bool next(Files& batch);

private:
    std::shared_ptr<Walker> walker_;
};

// Walks below dir, handing the files to batch on the calling thread: a batch before each subfolder
// is entered (possibly empty) and one at the end. Stops when batch returns false. Lists on up to
// threads threads, the calling one included (0: one per core).
void walk(const QString& dir, const std::function<bool(Files&&)>& batch, int threads = 0);

// Whether a name found inside a folder is left out: hidden names and tool folders.
bool isExcluded(std::string_view name);
bool isExcluded(const QString& name);

} // namespace FileWalk
