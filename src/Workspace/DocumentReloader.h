#pragma once
// Takes a file's new content into its clean open document after the file changed on disk. Only a
// file whose stamp changed is read; a large one is read and compared on another thread, and its
// content is taken only when the document is still clean and unedited by then.
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QUuid>

class EditorDocument;

class DocumentReloader : public QObject {
    Q_OBJECT
public:
    // Files larger than this are read off the calling thread.
    static constexpr qint64 kReadAsideBytes = 2 * 1024 * 1024;

    explicit DocumentReloader(QObject* parent = nullptr);

    // Does nothing for an untitled or dirty document, or for a file that is gone or unreadable.
    void reload(EditorDocument* document);
    // Some file is being read aside.
    bool isBusy() const { return !reading_.isEmpty(); }

signals:
    // The last read aside has ended.
    void idle();

private:
    void readAside(EditorDocument* document);

    // The documents whose file is being read aside, each with whether it changed again meanwhile.
    QHash<QUuid, bool> reading_;
};
