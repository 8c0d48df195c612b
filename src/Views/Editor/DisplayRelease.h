#pragma once
// Frees an editor's display document once the editor is gone. One of millions of lines takes a
// tenth of a second and more to free, which as one turn of the event loop would stall the window
// the user just switched to: such a document loses its lines from the end a bounded number per
// turn instead, and then goes. A small one goes at once.
#include <QBasicTimer>
#include <QObject>
#include <memory>

class QTextDocument;

class DisplayRelease : public QObject {
    Q_OBJECT
public:
    // Lines freed per turn: some milliseconds of the document's own work.
    static constexpr int kBlocksPerTurn = 32 * 1024;

    // Takes the document, which must have no parent, no view left and undo off (an editor's display
    // keeps no undo record of its own).
    static void release(QTextDocument* document);
    // The most lines one turn freed, and the documents still being freed.
    static int mostBlocksInATurn;
    static int pending;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    explicit DisplayRelease(QTextDocument* document);
    ~DisplayRelease() override;

    std::unique_ptr<QTextDocument> document_;
    QBasicTimer step_;
};
