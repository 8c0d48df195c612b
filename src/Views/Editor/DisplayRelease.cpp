#include "Views/Editor/DisplayRelease.h"

#include <QCoreApplication>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimerEvent>
#include <algorithm>

int DisplayRelease::mostBlocksInATurn = 0;
int DisplayRelease::pending = 0;

void DisplayRelease::release(QTextDocument* document) {
    if (!document) return;
    const int blocks = document->blockCount();
    // Without an event loop to come back to (the program is ending) it goes at once.
    if (blocks <= kBlocksPerTurn || !QCoreApplication::instance()) {
        mostBlocksInATurn = std::max(mostBlocksInATurn, blocks);
        delete document;
        return;
    }
    new DisplayRelease(document);
}

DisplayRelease::DisplayRelease(QTextDocument* document) : QObject(QCoreApplication::instance()), document_(document) {
    ++pending;
    step_.start(0, this);
}

DisplayRelease::~DisplayRelease() {
    if (document_) --pending;
}

void DisplayRelease::timerEvent(QTimerEvent* event) {
    if (event->timerId() != step_.timerId()) return QObject::timerEvent(event);
    const int blocks = document_->blockCount();
    if (blocks <= kBlocksPerTurn) {
        mostBlocksInATurn = std::max(mostBlocksInATurn, blocks);
        step_.stop();
        document_.reset();
        --pending;
        deleteLater();
        return;
    }
    // From the end, from the line break before the first line to go: what stays is not moved.
    QTextCursor tail(document_.get());
    tail.setPosition(document_->findBlockByNumber(blocks - kBlocksPerTurn).position() - 1);
    tail.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    tail.removeSelectedText();
    mostBlocksInATurn = std::max(mostBlocksInATurn, blocks - document_->blockCount());
}
