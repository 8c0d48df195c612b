// What a key typed into a long line repaints: the rows of the line whose text or colours changed and
// the caret, never the rest of the piece shown, and no line numbers while they stay the same. The
// same for a text eight times as long.
#include <gtest/gtest.h>

#include <QPaintEvent>

#include "EditorFixture.h"
#include "TextShapes.h"

namespace {

// Pixels painted and paint events, per widget watched.
struct PaintCount : QObject {
    qint64 pixels = 0;
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::Paint) return false;
        ++paints;
        for (const QRect& rect : static_cast<QPaintEvent*>(event)->region()) pixels += qint64(rect.width()) * rect.height();
        return false;
    }
};

struct KeyWork {
    qint64 textPixels = 0;  // the most a key repainted of the text
    int rulerPaints = 0;    // the gutter's paints over all keys
    qint64 rowPixels = 0;   // one row of text across the whole view
    int keys = 0;           // keys that kept their rows, those counted
};

KeyWork typeInto(const QString& text, const QString& fileName) {
    EditorFixture f(text, fileName);
    f.editor().showAll();
    f.select(text.size() / 2);
    f.view->centerCursor();
    // The first key at a place may bring colours there; the next ones show what a typist sees.
    f.type(QStringLiteral("w"));
    f.settleColours();
    PaintCount textPaints;
    PaintCount rulerPaints;
    f.view->viewport()->installEventFilter(&textPaints);
    f.view->ruler()->installEventFilter(&rulerPaints);
    KeyWork work;
    work.rowPixels = qint64(f.view->viewport()->width()) * f.view->fontMetrics().lineSpacing();
    for (const QChar c : QStringLiteral("xyz1;")) {
        textPaints.pixels = 0;
        rulerPaints.paints = 0;
        const int rows = f.view->document()->lineCount();
        f.type(c);
        f.settleColours();
        // A key that takes its line onto another row moves every row after it, and one that outgrows
        // its piece breaks the line afresh: they come once in dozens of keys.
        if (f.view->document()->lineCount() != rows) continue;
        work.textPixels = qMax(work.textPixels, textPaints.pixels);
        work.rulerPaints += rulerPaints.paints;
        ++work.keys;
    }
    EXPECT_EQ(f.editor().text().size(), text.size() + 6);
    return work;
}

} // namespace

TEST(KeystrokePaints, AKeyInAMinifiedLineRepaintsAFewRowsAndNoLineNumbers) {
    // As plain text, coloured at once, and as code, whose colours come later from a parse.
    for (const auto& [name, units] : {std::pair{QStringLiteral("min.txt"), 256 * 1024}, {QStringLiteral("min.js"), 64 * 1024}}) {
        SCOPED_TRACE(name.toStdString());
        const KeyWork small = typeInto(text_shapes::make(text_shapes::Shape::minified, units), name);
        const KeyWork large = typeInto(text_shapes::make(text_shapes::Shape::minified, 8 * units), name);
        // The row typed into, the rows its end pushes on, and the caret; the view shows dozens.
        EXPECT_LE(small.textPixels, 6 * small.rowPixels);
        EXPECT_LE(large.textPixels, 6 * large.rowPixels);
        EXPECT_GE(small.keys, 2);
        EXPECT_GE(large.keys, 2);
        EXPECT_EQ(small.rulerPaints, 0);
        EXPECT_EQ(large.rulerPaints, 0);
    }
}
