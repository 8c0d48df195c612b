#pragma once
// What lies behind one glass surface, blurred. When the surface repaints, whatever lies behind it
// has just been drawn into the same image (the window's backing store, or the image a grab renders
// into) wherever the repaint reaches; those pixels are read there and compared with the ones the
// blur was made from. The blur is made again only when they differ by more than the glass could
// show, so a surface whose backdrop does not change costs one image copy per repaint, and nothing
// at all while nothing repaints.
// The blur is made at a quarter of the device resolution (what it removes is finer than that) and
// scaled up once into an image of the surface's shape, which every later paint copies.
#include <QImage>
#include <QRect>
#include <QRectF>
#include <QRegion>

class QPainter;
class QWidget;

class GlassBackdrop {
public:
    static constexpr double kBlurRadius = 28;  // points
    static constexpr int kStep = 4;             // device pixels per pixel of the blur
    // Per channel: a backdrop that drifts by less than this since the last blur (a slowly moving
    // backdrop behind it) is not blurred again.
    static constexpr int kTolerance = 6;

    // Reads what lies behind rect (surface's coordinates, drawn by painter) and draws it blurred,
    // clipped to a rounded rectangle of radius. Call before anything of the surface is painted.
    // Returns false, drawing nothing, while nothing behind has been seen yet (or the painter turns
    // or scales the surface).
    bool paint(QPainter& painter, const QWidget* surface, const QRectF& rect, qreal radius);

    // How many times the blur was made: what resting surfaces must not add to.
    int blurCount() const { return blurs_; }
    // The pixels behind the surface, as last read, at device resolution.
    const QImage& sharp() const { return sharp_; }

    // The part fresh of image, under deviceRect, converted to premultiplied ARGB (exposed for tests).
    static bool differs(const QImage& basis, const QImage& image, const QRect& deviceRect, const QRegion& fresh,
                        int tolerance);
    // A box average over step x step blocks, then a Gaussian blur of radius (pixels of the result)
    // whose edges continue the image's own border pixels instead of fading out.
    static QImage blurred(const QImage& image, int step, double radius);

private:
    void rebuild(qreal radius, qreal dpr);

    QImage sharp_;     // device pixels behind the surface the blur was made from
    QRegion known_;    // where sharp_ holds pixels read from behind (sharp_'s coordinates)
    QImage glass_;     // the blurred backdrop in the surface's shape, device resolution
    qreal radius_ = -1;
    int blurs_ = 0;
};
