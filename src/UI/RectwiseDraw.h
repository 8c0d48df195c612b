#pragma once
// Draws an image over a repaint one rectangle of the repaint's region at a time, in bands of at
// most kRows rows. The toolkit blends a draw of fewer than about a hundred rows (spans) in one pass
// on this thread; a taller one it hands to worker threads, whose hand-over costs more CPU than the
// blend of the few pixels a frame of the window's animations repaints.
#include <QPointF>
#include <QRectF>

class QImage;
class QPainter;

namespace RectwiseDraw {

constexpr int kRows = 64;

// What painter.drawImage(target, image) draws, the same pixels.
void drawImage(QPainter& painter, const QRectF& target, const QImage& image);
// What painter.drawImage(topLeft, image) draws, the same pixels.
void drawImage(QPainter& painter, const QPointF& topLeft, const QImage& image);

// How many draws went rectangle by rectangle so far.
int splitDraws();

} // namespace RectwiseDraw
