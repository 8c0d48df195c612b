// Files opened in the editor, scrolled, folded and saved without typing keep every byte; typing and
// undoing brings the text back exactly.
#include <gtest/gtest.h>

#include <QCryptographicHash>

#include "EditorFixture.h"
#include "Platform/TextFile.h"
#include "TestSupport.h"

namespace {

struct Sample {
    const char* name;
    QByteArray bytes;
};

QList<Sample> samples() {
    const QByteArray body = "function f(a) {\n  if (a) {\n    return [\n      1,\n    ];\n  }\n}\n";
    QByteArray crlf = body;
    crlf.replace("\n", "\r\n");
    QByteArray cr = body;
    cr.replace("\n", "\r");
    QByteArray many;
    for (int i = 0; i < 400; ++i) many += "line " + QByteArray::number(i) + (i % 3 ? " {\r\n" : " }\r\n");
    // Minified: lines of many thousand characters, shown in pieces.
    QByteArray minified;
    for (int i = 0; i < 1200; ++i) minified += "var a" + QByteArray::number(i) + (i == 700 ? "={b:[1,\xC2\xA0\r\n2]};" : "={b:[1,2],c:\"s\"};");
    return {
        {"minified.js", minified},
        {"crlf.js", crlf},
        {"cr.js", cr},
        {"mixed.js", "a {\r\nb\nc\rd }\r\n\r\n{\n\r}"},
        {"bom.js", "\xEF\xBB\xBF" + body},
        {"nbsp.js", "const\xC2\xA0x = '\xC2\xA0';\n{\xC2\xA0\n}\n"},
        {"separators.js", "a {\xE2\x80\xA8 b \xE2\x80\xA9 c\xC2\x85}\n"},
        {"no-final-newline.js", "x {\n  y\n}"},
        {"frame-marks.txt", "a\xEF\xB7\x90" "b\xEF\xB7\x91\r\nc\xEF\xBF\xBC"},
        {"many-crlf.js", many},
        {"empty.txt", ""},
    };
}

QByteArray sha(const QByteArray& bytes) { return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256); }

} // namespace

TEST(EditorRoundTrip, UneditedFilesSaveByteForByte) {
    testing_support::TempFolder folder;
    for (const Sample& sample : samples()) {
        SCOPED_TRACE(sample.name);
        const QString path = folder.write(sample.name, sample.bytes);
        const TextFile::ReadResult read = TextFile::readUtf8(path);
        ASSERT_TRUE(read.text.has_value());
        EditorFixture f(*read.text, sample.name, path);
        f.view->setShowFind(true);
        f.find.setQuery("{");
        f.settle();

        // Scroll through, fold every block, unfold them again.
        QScrollBar* bar = f.view->verticalScrollBar();
        for (int v = 0; v <= bar->maximum(); v += qMax(1, bar->pageStep())) bar->setValue(v);
        bar->setValue(bar->maximum());
        const QList<FoldRegion> regions = f.editor().foldRegions();
        for (const FoldRegion& region : regions) f.editor().toggleFold(region.headerLineStart);
        f.view->ruler()->grab();
        bar->setValue(0);
        f.view->grab();
        for (const FoldRegion& region : regions) f.editor().toggleFold(region.headerLineStart);
        f.view->setShowFind(false);
        f.settle();

        EXPECT_EQ(f.text(), *read.text);
        EXPECT_FALSE(f.document.isDirty());
        ASSERT_TRUE(f.document.save());
        EXPECT_EQ(sha(testing_support::readBytes(path)), sha(sample.bytes));
    }
}

TEST(EditorRoundTrip, TypingThenUndoingRestoresTheExactText) {
    for (const Sample& sample : samples()) {
        SCOPED_TRACE(sample.name);
        const QString original = QString::fromUtf8(sample.bytes);
        EditorFixture f(original, sample.name);
        // Edits at the start, inside the text and at the end, each undone in turn.
        for (const qsizetype at : {qsizetype(0), original.size() / 2, original.size()}) {
            f.select(at);
            f.type("({x");
            f.enter();
            f.backspace();
            f.type("\"");
            EXPECT_NE(f.text(), original);
            for (int i = 0; i < 6; ++i) f.undo();
            EXPECT_EQ(f.text(), original);
            // The display holds the lines of the exact text.
            EXPECT_EQ(f.editor().lineCount(), int(original.count('\n') - original.count("\r\n")) +
                                                            int(original.count('\r')) + int(original.count(QChar(0x2028))) +
                                                            int(original.count(QChar(0x2029))) +
                                                            int(original.count(QChar(0x85))) + 1);
        }
    }
}

// A leading byte-order mark is not a character the user can reach: the caret never rests before
// it, deleting or replacing from the start takes the first visible character, and the mark is
// written back whatever was edited after it.
TEST(EditorRoundTrip, ALeadingByteOrderMarkIsNeverEdited) {
    testing_support::TempFolder folder;
    const QString path = folder.write("bom.txt", "\xEF\xBB\xBFhello\r\nworld\r\n");
    const TextFile::ReadResult read = TextFile::readUtf8(path);
    ASSERT_TRUE(read.text.has_value());
    EditorFixture f(*read.text, QStringLiteral("bom.txt"), path);
    const QChar mark(0xFEFF);

    f.key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(f.selection(), (TextRange{1, 0}));
    f.settle();
    EXPECT_EQ(f.document.cursorColumn(), 1);  // the first visible character is column 1
    f.key(Qt::Key_Delete);
    EXPECT_EQ(f.text(), mark + QStringLiteral("ello\r\nworld\r\n"));
    f.backspace();  // nothing visible before the caret
    EXPECT_EQ(f.text(), mark + QStringLiteral("ello\r\nworld\r\n"));
    f.key(Qt::Key_Down);
    f.key(Qt::Key_Backspace, Qt::ControlModifier);  // a word back, across the line start
    f.key(Qt::Key_Up);
    f.key(Qt::Key_Home);
    EXPECT_EQ(f.selection().location, 1);
    f.key(Qt::Key_A, Qt::ControlModifier);
    f.type(QStringLiteral("x"));
    EXPECT_EQ(f.text(), mark + QStringLiteral("x"));
    ASSERT_TRUE(f.document.save());
    EXPECT_EQ(testing_support::readBytes(path), QByteArray("\xEF\xBB\xBFx"));
    // Undoing every step brings back the file as it was, mark and all.
    for (int i = 0; i < 6; ++i) f.undo();
    EXPECT_EQ(f.text(), *read.text);
}
