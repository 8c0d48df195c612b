#pragma once
// What lies behind one glass surface, blurred. When the surface repaints, whatever lies behind it
// has just been drawn into the same image (the window's backing store, or the image a grab renders
// into) wherever the repaint reaches; those pixels are read there and compared with the ones the
// blur was made from. A surface whose backdrop does not change costs that comparison per repaint,
// and nothing at all while nothing repaints. A change that shows (text, a highlight) is blurred at
// once; a slow drift (a moving backdrop under the glass) at most once per kDriftIntervalMs, since
// under the blur and the tint it cannot be told from the picture of a moment before. Until that
// interval is over nothing behind is compared, so a change that comes then waits for it too.
// The blur is made at a quarter of the resolution in points (what it removes is finer than that)
// and scaled up once into an image of the surface's shape, which every later paint copies.
#include <QElapsedTimer>
#include <QImage>
#include <QRect>
#include <QRectF>
#include <QRegion>

class QPainter;
class QWidget;

class GlassBackdrop {
public:
    static constexpr double kBlurRadius = 28;  // points
    static constexpr int kStep = 4;             // points per pixel of the blur
    // Per channel, since the last blur: up to kDrift nothing is done; from kChange on the blur is
    // made again at once; in between, once kDriftIntervalMs have passed since the last one.
    static constexpr int kDrift = 6;
    static constexpr int kChange = 40;
    static constexpr int kDriftIntervalMs = 2000;

    // Reads what lies behind rect (surface's coordinates, drawn by painter) and draws it blurred,
    // clipped to a rounded rectangle of radius. Call before anything of the surface is painted.
    // Returns false, drawing nothing, while nothing behind has been seen yet (or the painter turns
    // or scales the surface).
    bool paint(QPainter& painter, const QWidget* surface, const QRectF& rect, qreal radius);

    // Whether the glass shows the same picture whatever now lies behind it, until its next drift
    // check is due: it was drawn from pixels read behind all of it, and that blur is younger than
    // kDriftIntervalMs.
    bool isSettled() const;

    // How many times the blur was made: what resting surfaces must not add to.
    int blurCount() const { return blurs_; }
    // The pixels behind the surface, as last read, at device resolution.
    const QImage& sharp() const { return sharp_; }

    // The largest difference of a colour channel between the part fresh of image under deviceRect
    // and basis (which holds deviceRect's pixels), or at least kChange when it reaches that.
    static int difference(const QImage& basis, const QImage& image, const QRect& deviceRect, const QRegion& fresh);
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
    QElapsedTimer sinceBlur_;
    bool retryPending_ = false;  // a drift waits for its turn: the surface is repainted then
};
