#include "Views/Navigation/ProjectSearch.h"

#include <QFutureWatcher>
#include <QThread>
#include <QtConcurrent>

#include "Views/Navigation/SearchScan.h"

ProjectSearch::ProjectSearch(QObject* parent) : QObject(parent) {}

ProjectSearch::~ProjectSearch() { cancel(); }

namespace {
int threadsFor(int asked) { return asked > 0 ? asked : QThread::idealThreadCount(); }
} // namespace

ProjectSearch::Result ProjectSearch::search(const QString& query, const QStringList& files,
                                            const std::function<bool()>& cancelled, int threads, const Found& found) {
    return std::make_shared<SearchScan>(query, cancelled, found, nullptr)->searchFiles(files, threadsFor(threads));
}

ProjectSearch::Result ProjectSearch::searchFolder(const QString& query, const QString& folder,
                                                  const std::function<bool()>& cancelled, int threads,
                                                  const Found& found, Work* work) {
    return std::make_shared<SearchScan>(query, cancelled, found, work)->searchFolder(folder, threadsFor(threads));
}

void ProjectSearch::start(const QString& query, const QStringList& files) {
    startWith([query, files](const std::function<bool()>& cancelled, const Found& found) {
        return search(query, files, cancelled, 0, found);
    });
}

void ProjectSearch::startInFolder(const QString& query, const QString& folder) {
    startWith([query, folder](const std::function<bool()>& cancelled, const Found& found) {
        return folder.isEmpty() ? Result{} : searchFolder(query, folder, cancelled, 0, found);
    });
}

void ProjectSearch::startWith(Scan scan) {
    cancel();
    auto cancelled = std::make_shared<std::atomic_bool>(false);
    cancelled_ = cancelled;
    watcher_ = new QFutureWatcher<Result>(this);
    QFutureWatcher<Result>* watcher = watcher_;
    connect(watcher, &QFutureWatcher<Result>::resultsReadyAt, this, [this, watcher](int begin, int end) {
        if (watcher_ != watcher) return;  // superseded
        for (int i = begin; i < end; ++i) {
            const QList<SearchHit> hits = watcher->resultAt(i).hits;
            if (!hits.isEmpty()) emit found(hits);
        }
    });
    connect(watcher, &QFutureWatcher<Result>::finished, this, [this, watcher] {
        Result result;
        for (const Result& batch : watcher->future().results()) {
            result.hits += batch.hits;
            result.truncated = result.truncated || batch.truncated;
        }
        watcher->deleteLater();
        if (watcher_ != watcher) return;  // superseded
        watcher_ = nullptr;
        cancelled_.reset();
        emit finished(result);
    });
    // The scan holds only its own copies and the shared flag, never this object.
    watcher->setFuture(QtConcurrent::run([scan = std::move(scan), cancelled](QPromise<Result>& promise) {
        const Result whole = scan([cancelled] { return cancelled->load(); },
                                  [&promise](QList<SearchHit>&& hits) { promise.addResult(Result{std::move(hits), false}); });
        promise.addResult(Result{{}, whole.truncated});
    }));
}

void ProjectSearch::cancel() {
    if (cancelled_) cancelled_->store(true);
    cancelled_.reset();
    if (watcher_) {
        // Its signal no longer reaches us; the scan ends on its own soon after.
        watcher_->disconnect(this);
        watcher_->deleteLater();
        watcher_ = nullptr;
    }
}
