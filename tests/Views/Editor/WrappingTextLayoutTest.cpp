// Lines edited in place wrap exactly as lines laid out afresh.
#include <gtest/gtest.h>

#include <QTextBlock>
#include <QTextLayout>
#include <random>

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

// Resizing rewraps every line at the new width, also lines laid out before and scrolled away, and
// edits between resizes leave the same lines as a fresh editor of that width and text.
TEST(WrappingTextLayout, ResizesAndEditsWrapLikeAFreshEditor) {
    QString start;
    for (int i = 0; i < 400; ++i)
        start += QStringLiteral("let value%1 = [%2];\n").arg(i).arg(QStringLiteral("1, 2, 3, ").repeated(i % 9));
    EditorFixture f(start, QStringLiteral("main.js"));
    const auto check = [&](int width) {
        SCOPED_TRACE(width);
        EditorFixture::settle();
        EditorFixture fresh(f.text(), QStringLiteral("main.js"));
        fresh.view->resize(width, 480);
        EditorFixture::settle();
        EXPECT_EQ(f.view->viewport()->width(), fresh.view->viewport()->width());
        // As held now, before anything asks: a line is either not laid out (and is laid out when
        // asked) or laid out as afresh. The caret's up and down read lines as held.
        std::vector<int> held;
        for (QTextBlock b = f.view->document()->firstBlock(); b.isValid(); b = b.next())
            held.push_back(b.layout()->lineCount());
        const auto expected = shape(fresh);
        ASSERT_EQ(held.size(), expected.size());
        for (size_t i = 0; i < held.size(); ++i)
            if (held[i] != 0) EXPECT_EQ(held[i], expected[i].first) << "line " << i;
        EXPECT_EQ(shape(f), expected);
    };
    const int widths[] = {300, 900, 250, 640, 641};
    std::mt19937 random(15);
    int step = 0;
    for (const int width : widths) {
        f.view->resize(width, 480);
        EditorFixture::settle();
        // Laid out at this width, then left behind by scrolling: the next width must still reach them.
        f.view->verticalScrollBar()->setValue(int(random() % 300));
        EditorFixture::settle();
        for (int edit = 0; edit < 3; ++edit, ++step) {
            f.select(qsizetype(random() % quint32(f.text().size())));
            if (step % 3 == 2) f.enter();
            else f.type(QStringLiteral(" more words here").repeated(1 + step % 4));
        }
        check(width);
    }
}
