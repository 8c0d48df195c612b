#include "Views/Editor/WrappingTextLayout.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <cmath>

WrappingTextLayout::WrappingTextLayout(QTextDocument* document)
    : QPlainTextDocumentLayout(document), blockCount_(document->blockCount()) {}

void WrappingTextLayout::layOut(const QTextBlock& block, qreal lineWidth) {
    QTextDocument* doc = document();
    const qreal margin = doc->documentMargin();
    QTextLayout* layout = block.layout();
    layout->setTextOption(doc->defaultTextOption());
    qreal y = 0;
    layout->beginLayout();
    for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
        line.setLeadingIncluded(true);
        line.setLineWidth(lineWidth);
        line.setPosition(QPointF(margin, y));
        y += line.height();
        if (line.leading() < 0) y += std::ceil(line.leading());
    }
    layout->endLayout();
    const int linesBefore = doc->lineCount();
    const_cast<QTextBlock&>(block).setLineCount(block.isVisible() ? layout->lineCount() : 0);
    if (doc->lineCount() != linesBefore) emit documentSizeChanged(documentSize());
}

void WrappingTextLayout::documentChanged(int from, int charsRemoved, int charsAdded) {
    QTextDocument* doc = document();
    const QTextBlock first = doc->findBlock(from);
    const QTextBlock last = doc->findBlock(qMax(0, from + charsRemoved + charsAdded - 1));
    // A change within one line, as typing makes, is laid out here, at the width a line beside it was
    // laid out with (every line wraps at the same width). Anything else goes the stock way.
    const auto lineWidth = [](const QTextBlock& block) {
        return block.isValid() && block.layout()->lineCount() > 0 ? block.layout()->lineAt(0).width() : qreal(-1);
    };
    const qreal width = first.isValid() ? qMax(lineWidth(first.previous()), lineWidth(first.next())) : -1;
    if (width > 0 && first == last && first.length() > 0 && doc->blockCount() == blockCount_) {
        const qreal heightBefore = first.layout()->lineCount() > 0 ? blockBoundingRect(first).height() : -1;
        layOut(first, width);
        if (blockBoundingRect(first).height() == heightBefore)
            emit updateBlock(first);
        else
            emit update(QRectF(0., -doc->documentMargin(), 1000000000., 1000000000.));
        return;
    }
    blockCount_ = doc->blockCount();
    QPlainTextDocumentLayout::documentChanged(from, charsRemoved, charsAdded);
}
