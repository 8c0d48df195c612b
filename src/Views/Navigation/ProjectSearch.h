#pragma once
// Searches the text of a list of files for a string, off the main thread. Only the newest scan
// reports: starting another one drops the older one's result (and stops it early). Hits come back
// on the thread that owns this object in batches while the scan runs, then whole at its end.
#include <QList>
#include <QObject>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>

#include "Views/Navigation/SearchHit.h"

template <class T>
class QFutureWatcher;

class ProjectSearch : public QObject {
    Q_OBJECT
public:
    static constexpr int kMinQueryLength = 2;            // characters, after trimming
    static constexpr qint64 kMaxFileBytes = 1'999'999;  // larger files are skipped
    static constexpr int kMaxHits = 500;                 // the scan stops at this many
    static constexpr int kBatchMs = 50;                  // the least time between two batches after the first

    // Receives the hits in order, a run at a time: the runs put together are the result's hits.
    using Found = std::function<void(QList<SearchHit>&& hits)>;

    // What a scan cost, counted for those who watch it.
    struct Work {
        std::atomic<qsizetype> openedByPath{0};  // folders and files opened by their whole path
        std::atomic<qsizetype> handOvers{0};     // pieces of work taken from the queue the threads share
    };

    struct Result {
        QList<SearchHit> hits;
        bool truncated = false;  // stopped at kMaxHits
    };

    explicit ProjectSearch(QObject* parent = nullptr);
    ~ProjectSearch() override;

    // Every line of the files that holds query, ignoring case, in file and line order. Files that
    // are unreadable, not regular, too large or not valid UTF-8 are skipped. Lines end at every
    // line terminator the editor knows, so line numbers agree with the editor's. Stops early,
    // with what it has, once cancelled() is true; cancelled may be called from several threads.
    // Reads files on up to threads threads (0: one per core). Runs on any thread. found, when given,
    // is called (on any of the scan's threads, one call at a time) with the first hits as soon as
    // the files before them are done, then at most every kBatchMs, and with the rest at the end.
    static Result search(const QString& query, const QStringList& files,
                         const std::function<bool()>& cancelled = {}, int threads = 0, const Found& found = {});
    // The same over the files that quick open lists for folder; the first files are read while
    // the rest of the folder is still being listed, and listing stops once the hits are complete.
    // work, when given, counts what the scan did.
    static Result searchFolder(const QString& query, const QString& folder,
                               const std::function<bool()>& cancelled = {}, int threads = 0,
                               const Found& found = {}, Work* work = nullptr);

    // Scans in the background; found() and then finished() follow unless a newer scan starts first.
    void start(const QString& query, const QStringList& files);
    // The same over the files quick open lists for folder (none when it is empty), listed in the
    // background too: walking a large tree takes longer than a frame.
    void startInFolder(const QString& query, const QString& folder);
    // Drops the running scan, if any; it reports nothing.
    void cancel();
    bool isRunning() const { return watcher_ != nullptr; }

signals:
    // More hits of the running scan, following those found before.
    void found(const QList<SearchHit>& hits);
    // All the hits, those already found included.
    void finished(const ProjectSearch::Result& result);

private:
    using Scan = std::function<Result(const std::function<bool()>& cancelled, const Found& found)>;
    void startWith(Scan scan);

    // The scan's batches; the last one holds nothing new and says whether the hits were cut off.
    QFutureWatcher<Result>* watcher_ = nullptr;
    std::shared_ptr<std::atomic_bool> cancelled_;
};
