#pragma once
// The editor's line layout. Lines always wrap at the view's width, so the widest line never matters;
// the stock layout still tracks it, and whenever the line it holds as widest gets narrower (a
// backspace in it, or the line wrapping) it measures every line of the document again, on every
// such keystroke. This layout lays out an edited line itself, without that tracking.
#include <QPlainTextDocumentLayout>

class WrappingTextLayout : public QPlainTextDocumentLayout {
    Q_OBJECT
public:
    explicit WrappingTextLayout(QTextDocument* document);

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    void layOut(const QTextBlock& block, qreal lineWidth);

    int blockCount_;
};
