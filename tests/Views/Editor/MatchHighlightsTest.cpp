// Find matches cost a fill each, not another drawing of their line's text: a paint of the editor
// draws as much text with a thousand matches as with none, and its fills follow the lines shown,
// not the length of the file.
#include <gtest/gtest.h>

#include <QPaintDevice>
#include <QPaintEngine>

#include "EditorFixture.h"

namespace {

// Draws nothing; counts the text items and filled rectangles it is given.
class CountingEngine : public QPaintEngine {
public:
    CountingEngine() : QPaintEngine(AllFeatures) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawPath(const QPainterPath&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawRects(const QRectF*, int count) override { rects += count; }
    void drawTextItem(const QPointF&, const QTextItem&) override { ++texts; }
    Type type() const override { return User; }
    int texts = 0;
    int rects = 0;
};

class CountingDevice : public QPaintDevice {
public:
    explicit CountingDevice(QSize size) : size_(size) {}
    QPaintEngine* paintEngine() const override { return &engine; }
    mutable CountingEngine engine;

protected:
    int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
        case PdmWidth: return size_.width();
        case PdmHeight: return size_.height();
        case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return 96;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        case PdmDepth: return 32;
        default: return 0;
        }
    }

private:
    QSize size_;
};

struct Drawn {
    int texts;
    int rects;
};

Drawn paintOf(QWidget* viewport) {
    CountingDevice device(viewport->size());
    viewport->render(&device, QPoint(), QRegion(), QWidget::DrawChildren);
    return {device.engine.texts, device.engine.rects};
}

void search(EditorFixture& f, const QString& query) {
    f.find.setQuery(query);
    f.settle();
}

} // namespace

TEST(MatchHighlights, TextIsDrawnOnceWhateverTheMatchesAndFillsFollowTheLinesShown) {
    const QString line = QStringLiteral("item = items.item(item) + item; // item, item\n");
    int fillsShown = -1;
    for (int lines : {200, 4000}) {
        EditorFixture f(line.repeated(lines), QStringLiteral("dense.txt"));
        f.view->setShowFind(true);
        f.select(0, 4);  // the selection the search makes: the first match
        f.settle();
        const Drawn plain = paintOf(f.view->viewport());
        search(f, QStringLiteral("item"));
        ASSERT_EQ(f.find.matchCount(), 7 * lines);
        ASSERT_EQ(f.selection(), (TextRange{0, 4}));
        const Drawn found = paintOf(f.view->viewport());
        EXPECT_GT(plain.texts, 0);
        EXPECT_EQ(found.texts, plain.texts) << lines;
        EXPECT_GT(found.rects, plain.rects) << lines;
        if (fillsShown < 0) fillsShown = found.rects - plain.rects;
        EXPECT_EQ(found.rects - plain.rects, fillsShown) << lines;
    }
}

// Touching matches of one kind on a line are one fill: the current match, in its own colour, and
// the run after it on the first line, then one run on each other line.
TEST(MatchHighlights, TouchingMatchesOnALineAreOneFill) {
    EditorFixture f(QStringLiteral("abababab\n").repeated(10), QStringLiteral("runs.txt"));
    f.view->setShowFind(true);
    f.select(0, 2);
    f.settle();
    const Drawn plain = paintOf(f.view->viewport());
    search(f, QStringLiteral("ab"));
    ASSERT_EQ(f.find.matchCount(), 40);
    EXPECT_EQ(paintOf(f.view->viewport()).rects - plain.rects, 10 + 1);
}

// A long text's one-character query is only counted: the matches on screen are found again as it
// scrolls, with the query compiled once, not once per repaint.
TEST(MatchHighlights, ScrollingAnOnlyCountedQueryCompilesItNoMore) {
    EditorFixture f(QStringLiteral("item = items.item(item);\n").repeated(20000), QStringLiteral("long.txt"));
    f.view->setShowFind(true);
    search(f, QStringLiteral("i"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f.find.counting(); }, 120000));
    f.settle();
    ASSERT_EQ(f.find.matchCount(), 4 * 20000);
    const int made = f.find.regexesMade();
    QScrollBar* bar = f.view->verticalScrollBar();
    for (int page = 0; page < 20; ++page) {
        bar->setValue(bar->value() + bar->pageStep());
        f.settle();
        ASSERT_FALSE(f.view->matchHighlights().matches().isEmpty()) << page;
    }
    EXPECT_EQ(f.find.regexesMade(), made);
}
