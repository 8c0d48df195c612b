// What a key typed into a long line repaints: the rows of the line whose text or colours changed and
// the caret, never the rest of the piece shown, and no line numbers while they stay the same. The
// same for a text eight times as long.
#include <gtest/gtest.h>

#include <QPaintEvent>
#include <QScreen>
#include <QStyleHints>

#include "Editor/LinePieces.h"

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
        const int pieces = f.view->document()->blockCount();
        f.type(c);
        f.settleColours();
        // A key that takes its line onto another row moves every row after it, and one that outgrows
        // its piece breaks the line afresh: they come once in dozens of keys.
        if (f.view->document()->lineCount() != rows || f.view->document()->blockCount() != pieces) continue;
        work.textPixels = qMax(work.textPixels, textPaints.pixels);
        work.rulerPaints += rulerPaints.paints;
        ++work.keys;
    }
    EXPECT_EQ(f.editor().text().size(), text.size() + 6);
    return work;
}

// What the window shows now, and what a paint of all of it shows.
std::pair<QImage, QImage> shownAndRepainted(EditorFixture& f) {
    const auto grab = [&f] { return f.view->screen()->grabWindow(f.view->winId()).toImage().convertToFormat(QImage::Format_RGB32); };
    const QImage shown = grab();
    f.view->viewport()->update();
    f.view->ruler()->update();
    EditorFixture::settle();
    return {shown, grab()};
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

TEST(KeystrokePaints, RowsLeftUnpaintedShowWhatAPaintOfTheWholeViewShows) {
    // The caret stays on: a blink between the two looks would tell them apart.
    QGuiApplication::styleHints()->setCursorFlashTime(0);
    for (const QString name : {QStringLiteral("min.txt"), QStringLiteral("min.js")}) {
        SCOPED_TRACE(name.toStdString());
        const QString text = text_shapes::make(text_shapes::Shape::minified, 64 * 1024);
        EditorFixture f(text, name);
        f.view->activateWindow();
        f.view->setFocus();
        f.select(text.size() / 2);
        f.view->centerCursor();
        f.settleColours();
        // Keys typed, some taking the line onto more rows, then taken back.
        for (int key = 0; key < 40; ++key) {
            // A quote turns the colours after it; a wide character from another font may take a
            // taller row.
            f.type(key % 7 == 6 ? QStringLiteral("\"") : key % 11 == 10 ? QStringLiteral("東😀") : QStringLiteral("q"));
            f.settleColours();
        }
        for (int key = 0; key < 12; ++key) {
            f.backspace();
            f.settleColours();
        }
        auto [shown, repainted] = shownAndRepainted(f);
        EXPECT_TRUE(shown == repainted);
        // The caret moved some rows on, the text as it was: it goes where it was.
        for (int key = 0; key < 3; ++key) f.key(Qt::Key_Down);
        f.settle();
        std::tie(shown, repainted) = shownAndRepainted(f);
        EXPECT_TRUE(shown == repainted);
        // A selection across where two pieces of the line meet, typed over.
        const std::vector<qsizetype>& breaks = f.editor().text().pieces().breaks();
        const auto near = std::lower_bound(breaks.begin(), breaks.end(), f.selection().location);
        ASSERT_NE(near, breaks.end());
        f.select(*near - 30, 60);
        f.view->centerCursor();
        f.settleColours();
        std::tie(shown, repainted) = shownAndRepainted(f);
        EXPECT_TRUE(shown == repainted);
        f.type(QStringLiteral("z"));
        f.settleColours();
        std::tie(shown, repainted) = shownAndRepainted(f);
        EXPECT_TRUE(shown == repainted);
        if (qEnvironmentVariableIsSet("KEYSTROKE_PAINTS_SAVE")) shown.save(qEnvironmentVariable("KEYSTROKE_PAINTS_SAVE") + name + ".png");
    }
}
