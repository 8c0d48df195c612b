// Lines edited in place wrap exactly as lines laid out afresh.
#include <gtest/gtest.h>

#include <QTextBlock>
#include <QTextLayout>

#include "EditorFixture.h"

namespace {

// Lines per block and their heights, as laid out for display.
std::vector<std::pair<int, qreal>> shape(EditorFixture& f) {
    std::vector<std::pair<int, qreal>> out;
    for (QTextBlock b = f.view->document()->firstBlock(); b.isValid(); b = b.next()) {
        const QRectF r = f.view->document()->documentLayout()->blockBoundingRect(b);
        out.emplace_back(b.layout()->lineCount(), r.height());
    }
    return out;
}

} // namespace

TEST(WrappingTextLayout, TypedLinesWrapAndUnwrapLikeFreshOnes) {
    const QString start = QStringLiteral("let a = 1;\nlet b = 2;\nlet c = 3;\n");
    EditorFixture f(start, QStringLiteral("main.js"));
    f.select(start.indexOf(u'2') + 1);
    const QString words = QStringLiteral(" + value").repeated(30);
    f.type(words);
    EditorFixture::settle();
    const QTextBlock typed = f.view->document()->findBlockByNumber(1);
    EXPECT_GT(typed.layout()->lineCount(), 2);
    EXPECT_EQ(f.view->document()->lineCount(), 3 + typed.layout()->lineCount());  // the last line is empty
    {
        EditorFixture fresh(f.text(), QStringLiteral("main.js"));
        EXPECT_EQ(shape(f), shape(fresh));
    }

    for (qsizetype i = 0; i < words.size(); ++i) f.backspace();
    EditorFixture::settle();
    EXPECT_EQ(f.text(), start);
    EXPECT_EQ(typed.layout()->lineCount(), 1);
    EXPECT_EQ(f.view->document()->lineCount(), 4);
    EditorFixture fresh(start, QStringLiteral("main.js"));
    EXPECT_EQ(shape(f), shape(fresh));
}
