#include "Views/HTTP/LongLineWrap.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>

namespace {

bool holdsLongLine(QTextBlock block, const QTextBlock& end) {
    for (; block.isValid() && block != end; block = block.next())
        if (block.length() > LongLineWrap::kLongestWrapped) return true;
    return false;
}

} // namespace

LongLineWrap::LongLineWrap(QPlainTextEdit* editor) : QObject(editor), editor_(editor) {
    // The document tells of a change before its layout takes it in.
    connect(editor->document(), &QTextDocument::contentsChange, this, [this](int from, int, int added) { changed(from, added); });
}

void LongLineWrap::changed(int from, int added) {
    QTextDocument* document = editor_->document();
    const bool whole = from == 0 && added >= document->characterCount() - 1;
    const QTextBlock first = whole ? document->firstBlock() : document->findBlock(from);
    const QTextBlock last = whole ? document->lastBlock() : document->findBlock(from + added);
    const bool longLine = holdsLongLine(first, last.next());
    // Only a text set whole goes back to wrapping; an edit that shortens a long line leaves it as
    // it is, so a key never looks through every line.
    if (longLine && editor_->lineWrapMode() != QPlainTextEdit::NoWrap) editor_->setLineWrapMode(QPlainTextEdit::NoWrap);
    else if (whole && !longLine && editor_->lineWrapMode() != QPlainTextEdit::WidgetWidth)
        editor_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
}
