// What a key typed into a long line costs the display: the piece it lands in is laid out again, so
// that piece is kept short; a combining mark typed into it still sits on its letter.
#include <gtest/gtest.h>

#include <QTextBlock>
#include <QTextLayout>

#include "EditorFixture.h"
#include "Editor/LinePieces.h"
#include "TextShapes.h"
#include "Views/Editor/WrappingTextLayout.h"

namespace {

const WrappingTextLayout* layoutOf(const EditorFixture& f) {
    return qobject_cast<const WrappingTextLayout*>(f.view->document()->documentLayout());
}

// One line of minified text, `units` long.
QString minifiedLine(qsizetype units) { return text_shapes::make(text_shapes::Shape::minified, units).remove(u'\n'); }

// The most units one key laid out, of 20 letters typed into the middle of the line after
// a first key there, each with its colours in.
qsizetype perKey(const QString& line) {
    EditorFixture f(line, QStringLiteral("bundle.txt"));
    f.editor().showAll();
    f.select(line.size() / 2);
    // The first key may break the pieces around it afresh.
    f.type(QStringLiteral("x"));
    f.settleColours();
    const WrappingTextLayout* layout = layoutOf(f);
    qsizetype most = 0;
    for (int key = 0; key < 20; ++key) {
        const qsizetype laidOut = layout->laidOutUnits();
        f.type(QString(QChar(u'a' + key)));
        f.settleColours();
        most = qMax(most, layout->laidOutUnits() - laidOut);
    }
    return most;
}

// Where the caret stands after offset within its block, in the view's own layout of that block.
qreal xAfter(const EditorFixture& f, qsizetype offset) {
    const QTextBlock block = f.view->document()->findBlock(int(f.editor().toDisplay(offset)));
    const int at = int(f.editor().toDisplay(offset)) - block.position();
    const QTextLayout* layout = block.layout();
    return layout->lineForTextPosition(at).cursorToX(at);
}

} // namespace

// A key lays out the one short piece it lands in, however long the line.
TEST(LongLineKeys, KeysTypedIntoALongLineLayOutAShortPieceAtAnyLength) {
    for (const qsizetype units : {qsizetype(256 * 1024), qsizetype(1024 * 1024)}) {
        const qsizetype laidOut = perKey(minifiedLine(units));
        EXPECT_GT(laidOut, LinePieces::kFreshLeast) << units;
        EXPECT_LE(laidOut, LinePieces::kFreshPiece + 32) << units;
    }
}

// A combining mark takes no room of its own once shaped onto its letter: typed into a long piece,
// or found in one, its letter takes one column like the character after it.
TEST(LongLineKeys, AMarkInALongLineSitsOnItsLetter) {
    const QString line = minifiedLine(64 * 1024);
    // Coloured from a syntax tree, the piece is laid out with its old colours until the parse of the
    // new text lands: the mark sits on its letter meanwhile too.
    for (const QString& name : {QStringLiteral("bundle.js"), QStringLiteral("bundle.txt")}) {
        EditorFixture f(line, name);
        f.editor().showAll();
        const qsizetype at = line.size() / 2;
        // Pieces broken afresh there, with room to type, and coloured.
        f.editor().plainChange({at, 0}, QString(LinePieces::kMaxPiece, u'y'));
        f.select(at);
        f.settleColours();
        f.type(QStringLiteral("e"));
        f.type(QStringLiteral("\u0301"));
        ASSERT_EQ(f.text().mid(at, 2), QStringLiteral("e\u0301"));
        EXPECT_EQ(xAfter(f, at + 2) - xAfter(f, at), xAfter(f, at + 3) - xAfter(f, at + 2)) << name.toStdString();
        f.settleColours();
        EXPECT_EQ(xAfter(f, at + 2) - xAfter(f, at), xAfter(f, at + 3) - xAfter(f, at + 2)) << name.toStdString();
    }
    {
        QString marked = line;
        const qsizetype at = marked.size() / 2;
        marked.insert(at, QStringLiteral("e\u0301"));
        EditorFixture f(marked, QStringLiteral("bundle.txt"));
        f.editor().showAll();
        f.select(at);
        f.settleColours();
        EXPECT_EQ(xAfter(f, at + 2) - xAfter(f, at), xAfter(f, at + 3) - xAfter(f, at + 2));
    }
}
