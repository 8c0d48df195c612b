#include "Views/Navigation/ProjectSearch.h"

#include <QFutureWatcher>
#include <QtConcurrent>

#include "Platform/Lines.h"
#include "Platform/TextFile.h"
#include "Views/Navigation/SearchText.h"

ProjectSearch::ProjectSearch(QObject* parent) : QObject(parent) {}

ProjectSearch::~ProjectSearch() { cancel(); }

ProjectSearch::Result ProjectSearch::search(const QString& query, const QStringList& files,
                                            const std::function<bool()>& cancelled) {
    Result result;
    const QString wanted = SearchText::folded(query);
    for (const QString& file : files) {
        if (cancelled && cancelled()) break;
        // Bounded read of regular files only: a huge file, a device or a pipe never reaches memory.
        const TextFile::ReadResult read = TextFile::readUtf8(file, kMaxFileBytes);
        if (!read.text) continue;
        const QString& text = *read.text;
        if (!SearchText::folded(text).contains(wanted)) continue;
        const QList<Lines::Range> lines = Lines::all(text);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QString line = text.sliced(lines[i].start, lines[i].contentEnd - lines[i].start);
            if (!SearchText::folded(line).contains(wanted)) continue;
            result.hits.append({file, int(i + 1), SearchText::trimBlanks(line)});
            if (result.hits.size() >= kMaxHits) {
                result.truncated = true;
                return result;
            }
        }
    }
    return result;
}

void ProjectSearch::start(const QString& query, const QStringList& files) {
    cancel();
    auto cancelled = std::make_shared<std::atomic_bool>(false);
    cancelled_ = cancelled;
    watcher_ = new QFutureWatcher<Result>(this);
    QFutureWatcher<Result>* watcher = watcher_;
    connect(watcher, &QFutureWatcher<Result>::finished, this, [this, watcher] {
        const Result result = watcher->result();
        watcher->deleteLater();
        if (watcher_ != watcher) return;  // superseded
        watcher_ = nullptr;
        cancelled_.reset();
        emit finished(result);
    });
    // The scan holds only its own copies and the shared flag, never this object.
    watcher->setFuture(QtConcurrent::run([query, files, cancelled] {
        return search(query, files, [cancelled] { return cancelled->load(); });
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
