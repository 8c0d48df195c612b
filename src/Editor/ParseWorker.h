#pragma once
// Keeps the syntax tree of an editor's text up to date on a thread of its own, so a parse never
// holds up typing or scrolling. Edits are queued with the text they insert; the thread applies them
// to its own copy of the text (kept with a gap at the last edit), reparses incrementally from the
// previous tree and publishes a copy of the new tree with the revision of the text it was parsed from.
#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "Editor/TextEdit.h"
#include "SyntaxTree/Language.h"

namespace SyntaxTree {
class MutableTree;
}

class ParseWorker : public QObject {
    Q_OBJECT
public:
    explicit ParseWorker(SyntaxTree::Language language, QObject* parent = nullptr);
    ~ParseWorker() override;

    // The whole text, as of revision; parsed from scratch. The thread shares it until it has taken
    // its own copy: the caller should not edit it in place (it would copy it first, on its own thread).
    void reset(const QString& text, quint64 revision);
    // One edit of the text last handed over, inserting `inserted`, leading to revision.
    void edit(const TextEdit& edit, const QString& inserted, quint64 revision);

    struct Result {
        std::shared_ptr<SyntaxTree::MutableTree> tree;  // null before the first parse, or when none could be built
        quint64 revision = 0;
        bool valid = false;  // a parse of some revision has finished
    };
    // The newest parse finished; the tree is this caller's own copy.
    Result latest() const;
    // Units of text the thread has moved or copied to apply the edits since the last reset.
    qint64 unitsMoved() const { return std::atomic_ref(moved_).load(); }

signals:
    // A parse finished (sent from the worker's thread).
    void parsed(quint64 revision);

private:
    struct Job {
        bool reset = false;
        TextEdit edit;
        QString text;  // the whole text (reset) or the inserted text
        quint64 revision = 0;
    };
    void run();
    // Returns the length of the text last parsed.
    qsizetype parseUntilStopped();
    void push(Job job);

    SyntaxTree::Language language_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Job> jobs_;
    bool stop_ = false;
    // Read by the runtime while it parses: set when the worker is destroyed, so closing a large file
    // never waits for its parse to finish.
    size_t cancel_ = 0;
    Result latest_;
    qint64 moved_ = 0;
    std::thread thread_;
};
