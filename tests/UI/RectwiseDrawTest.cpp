#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include "TestSupport.h"
#include "UI/RectwiseDraw.h"

namespace {

// A translucent image taller than one band, drawn at a fractional position over a ground that
// changes with every paint.
class Canvas : public QWidget {
public:
    explicit Canvas(bool rectwise) : rectwise_(rectwise) {
        image_ = QImage(180, 5 * RectwiseDraw::kRows / 2, QImage::Format_ARGB32_Premultiplied);
        image_.fill(Qt::transparent);
        QPainter p(&image_);
        QLinearGradient g(0, 0, 180, image_.height());
        g.setColorAt(0, QColor(255, 0, 120, 200));
        g.setColorAt(1, QColor(0, 200, 255, 60));
        p.setBrush(g);
        p.setPen(Qt::NoPen);
        p.drawEllipse(image_.rect());
        resize(240, image_.height() + 40);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override {
        ++paints;
        QPainter p(this);
        p.fillRect(rect(), QColor(20 * paints % 255, 40, 60));
        p.translate(0.5, 0);
        const QPointF at(20.25, 20);
        if (rectwise_) RectwiseDraw::drawImage(p, at, image_);
        else p.drawImage(at, image_);
    }

private:
    bool rectwise_;
    QImage image_;
};

QImage shown(QWidget& w) { return w.screen()->grabWindow(w.winId()).toImage().convertToFormat(QImage::Format_RGB32); }

} // namespace

// Over a repaint of several rectangles, some taller than a band, the image is drawn in pieces and
// the screen shows what drawing it whole shows.
TEST(RectwiseDraw, DrawsTheSamePixelsAsOneDraw) {
    Canvas plain(false), pieces(true);
    for (Canvas* c : {&plain, &pieces}) {
        c->show();
        ASSERT_TRUE(testing_support::waitUntil([&] { return c->paints > 0; }));
    }
    const QRegion region = QRegion(0, 0, 240, 30) | QRegion(10, 40, 50, 150) | QRegion(150, 35, 60, 100) |
                           QRegion(30, 170, 200, 20);
    const int before = RectwiseDraw::splitDraws();
    plain.repaint(region);
    pieces.repaint(region);
    EXPECT_GT(RectwiseDraw::splitDraws(), before);
    EXPECT_EQ(shown(plain), shown(pieces));
    // A short repaint of one rectangle is a single draw.
    const int split = RectwiseDraw::splitDraws();
    pieces.repaint(QRect(0, 50, 240, RectwiseDraw::kRows));
    EXPECT_EQ(RectwiseDraw::splitDraws(), split);
}
