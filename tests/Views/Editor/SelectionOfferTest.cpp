// What a selection made from the keyboard costs before any program asks for it: on desktops with a
// primary selection the text widget asks the view for the selected text at each such key.
#include <gtest/gtest.h>

#include <QMimeData>
#include <memory>

#include "EditorFixture.h"

namespace {

// Asks the view for its selection as the text widget does when it offers it to other programs.
struct SelectionProbe : CodeEditorView {
    static QMimeData* offered(const CodeEditorView& view) {
        return (view.*(&SelectionProbe::createMimeDataFromSelection))();
    }
};

QString lines(qsizetype units) {
    const QString line = QStringLiteral("let value = compute(42)\n");
    return line.repeated(units / line.size());
}

} // namespace

// Select All copies nothing until the offered text is read; it is then the whole text, and still the
// text that was selected after an edit that came before the read.
TEST(SelectionOffer, SelectAllCopiesNothingUntilAsked) {
    for (const qsizetype units : {qsizetype(1) << 20, qsizetype(8) << 20}) {
        EditorFixture f(lines(units), "notes.txt");
        std::unique_ptr<QMimeData> offered;
        const auto asked = QObject::connect(f.view.get(), &QPlainTextEdit::selectionChanged, f.view.get(),
                                            [&] { offered.reset(SelectionProbe::offered(*f.view)); });
        const qsizetype before = CodeEditorView::unitsCopied();
        f.key(Qt::Key_A, Qt::ControlModifier);
        QObject::disconnect(asked);
        ASSERT_TRUE(offered);
        EXPECT_EQ(CodeEditorView::unitsCopied() - before, 0) << units;
        const QString whole = f.text();
        f.select(0);
        f.type("x");
        EXPECT_EQ(offered->text(), whole);
    }
}

// Shift with an arrow extends the selection the same way; a copy still copies at once.
TEST(SelectionOffer, KeyboardExtensionsAreDeferredAndCopiesAreNot) {
    EditorFixture f(lines(1 << 16), "notes.txt");
    std::unique_ptr<QMimeData> offered;
    const auto asked = QObject::connect(f.view.get(), &QPlainTextEdit::selectionChanged, f.view.get(),
                                        [&] { offered.reset(SelectionProbe::offered(*f.view)); });
    f.key(Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
    f.settle();
    qsizetype before = CodeEditorView::unitsCopied();
    f.key(Qt::Key_Left, Qt::ShiftModifier);
    QObject::disconnect(asked);
    ASSERT_TRUE(offered);
    EXPECT_EQ(CodeEditorView::unitsCopied() - before, 0);
    EXPECT_EQ(offered->text(), f.text().chopped(1));

    before = CodeEditorView::unitsCopied();
    std::unique_ptr<QMimeData> copied(SelectionProbe::offered(*f.view));
    EXPECT_EQ(CodeEditorView::unitsCopied() - before, f.text().size() - 1);
}
