#pragma once
// One project search shared by the calling thread and its helpers. The work is a stack of pieces
// that every thread takes from: listing a folder, or reading a run of files of a listed folder
// through that folder's open handle. Listing and reading happen on the same threads, each piece is
// taken with one lock, and the next piece is the one a walk on one thread would do next. Hits are
// put in walk order as the pieces before them are done, so the scan stops as soon as the first
// kMaxHits are known.
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "Views/Navigation/LineMatcher.h"
#include "Views/Navigation/ProjectSearch.h"
#include "Workspace/FolderEntries.h"

class FileScanner;

class SearchScan : public std::enable_shared_from_this<SearchScan> {
public:
    SearchScan(const QString& query, const std::function<bool()>& cancelled, const ProjectSearch::Found& found,
               ProjectSearch::Work* work);

    // The files below folder, in the order of quick open's list, or the files given, in that order.
    ProjectSearch::Result searchFolder(const QString& folder, int threads);
    ProjectSearch::Result searchFiles(const QStringList& files, int threads);

private:
    struct Folder;
    // A subfolder of a listed folder, or a run of its files.
    struct Item {
        Folder* sub = nullptr;
        qsizetype first = 0, count = 0;  // the folder's files [first, first + count)
        QList<SearchHit> hits;
        bool done = false;
    };
    struct Folder {
        QString prefix;                                  // its path followed by a slash
        QByteArray name;                                 // inside the parent; empty for the top folder
        std::shared_ptr<FolderEntries::Handle> parent;  // until the folder is opened through it
        QByteArray names;                                // each file's name, followed by a zero
        std::vector<qsizetype> starts;                   // where each file's name starts in names
        std::vector<bool> regular;
        QStringList paths;                               // whole paths, for a list of files given
        std::vector<Item> items;
        bool listed = false;
    };
    // item < 0: list the folder; otherwise read the files of that item, through handle.
    struct Piece {
        Folder* folder = nullptr;
        qsizetype item = -1;
        std::shared_ptr<FolderEntries::Handle> handle;
        qsizetype needed = 0;  // the hits that complete the result, when every piece before is done
    };

    ProjectSearch::Result run(int threads);
    void work();
    void helper();
    bool take(Piece& piece);
    void list(Folder& folder);
    void read(const Piece& piece, FileScanner& scanner);
    // Under the lock: adds a listed folder's pieces, the first one on top.
    void pushLocked(Folder& folder, const std::shared_ptr<FolderEntries::Handle>& handle);
    void finishLocked();
    void advanceLocked();
    void publishLocked();
    void stopLocked();

    const LineMatcher matcher_;
    const std::function<bool()> cancelled_;
    const ProjectSearch::Found found_;
    ProjectSearch::Work* const work_;
    QElapsedTimer sinceBatch_;

    std::mutex mutex_;
    std::condition_variable more_;  // pieces came, or the scan is over
    std::condition_variable idle_;  // the last helper left
    std::deque<Folder> folders_;    // never moves a folder
    std::vector<Piece> pieces_;     // the next one last
    qsizetype unfinished_ = 0;      // pieces added and not finished yet
    qsizetype waiting_ = 0;         // threads waiting for pieces
    // Where the hits in walk order stop: the first item not done (or folder not listed) yet.
    std::vector<std::pair<Folder*, qsizetype>> cursor_;
    QList<SearchHit> ordered_;  // the hits before the cursor, up to kMaxHits
    qsizetype published_ = 0;   // of ordered_, handed to found_
    std::atomic_bool firstOut_{false};  // found_ had hits, or there is no found_
    bool stop_ = false;
    int helpers_ = 0;
    bool closed_ = false;  // helpers starting now do nothing
};
