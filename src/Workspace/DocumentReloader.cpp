#include "Workspace/DocumentReloader.h"

#include <QFutureWatcher>
#include <QtConcurrent>

#include "Platform/TextEquivalence.h"
#include "Platform/TextFile.h"
#include "Workspace/EditorDocument.h"

namespace {
struct Read {
    TextFile::ReadResult file;
    bool same = false;  // canonically equal to the document's text
};

void take(EditorDocument* document, const Read& read) {
    if (!read.file.text) return;  // a deleted or unreadable file leaves the tab as it is
    document->setDiskStamp(read.file.stamp);
    if (read.same) return;
    document->setText(*read.file.text);
    document->setSavedText(*read.file.text);
    document->setIsDirty(false);
}

Read readAndCompare(const QString& path, const QString& text) {
    Read read{TextFile::readUtf8(path)};
    read.same = read.file.text && TextEquivalence::canonicallyEqual(*read.file.text, text);
    return read;
}
} // namespace

DocumentReloader::DocumentReloader(QObject* parent) : QObject(parent) {}

void DocumentReloader::reload(EditorDocument* document) {
    if (!document->url() || document->isDirty()) return;
    const auto now = TextFile::stamp(*document->url());
    if (!now) return;
    const auto& known = document->diskStamp();
    if (known && known->settled && *known == *now) return;
    if (auto it = reading_.find(document->id()); it != reading_.end()) {
        *it = true;  // looked at again once the read under way ends
        return;
    }
    if (now->size > kReadAsideBytes) readAside(document);
    else take(document, readAndCompare(*document->url(), document->text()));
}

void DocumentReloader::readAside(EditorDocument* document) {
    reading_.insert(document->id(), false);
    const QPointer<EditorDocument> target(document);
    const QString path = *document->url();
    const quint64 revision = document->textRevision();
    auto* watcher = new QFutureWatcher<Read>(this);
    connect(watcher, &QFutureWatcher<Read>::finished, this, [this, watcher, target, id = document->id(), path, revision] {
        watcher->deleteLater();
        const bool again = reading_.take(id);
        // Taken only into the document as it was when the read began.
        if (target && target->url() == path && !target->isDirty() && target->textRevision() == revision)
            take(target, watcher->result());
        if (target && again) reload(target);
        if (reading_.isEmpty()) emit idle();
    });
    // The worker holds its own copies only: the document may be gone before it ends.
    watcher->setFuture(QtConcurrent::run(readAndCompare, path, document->text()));
}
