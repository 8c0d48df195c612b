#pragma once
// The brand title: glyphs filled with the palette gradient, swept by a white sheen that crosses
// the text once every three seconds.
#include <QFont>
#include <QImage>
#include <QWidget>
#include <array>

class Timeline;

class ShimmerText : public QWidget {
    Q_OBJECT
public:
    enum class Design { standard, rounded, serif, monospaced };

    static constexpr double kSweepSeconds = 3;
    // Frames of the shared clock per frame of the sheen: about 15 a second. The sheen is a soft
    // band a third of the title wide and a step moves it an eighth of its own width, which does
    // not read as a jump; each of its frames costs a repaint of the window.
    static constexpr int kFramesPerSheenStep = 2;

    ShimmerText(const QString& text, qreal size, QFont::Weight weight, Design design, QWidget* parent = nullptr);

    // The sheen's centre across the text (0 leading, 1 trailing) at t seconds since the reference date.
    static double sheenPosition(double t);
    // The sheen gradient's three stop locations (clear, white, clear) for sheen position p.
    static std::array<double, 3> sheenStops(double p);
    // Whether the sheen lies on the text at t: for about a fifth of each sweep it is off either end
    // and the title shows the same picture, which is not drawn again.
    static bool sheenShows(double t);
    static QFont font(qreal size, QFont::Weight weight, Design design);

    // Draws the text at time t into rect (the glyphs centred in it).
    void paintAt(QPainter& painter, const QRectF& rect, double t) const;
    // The part of the widget the sheen lies on at t, in whole pixels; empty while it is off the
    // text. Only that part differs from the still title, so a tick repaints no more than where the
    // sheen was and where it is now.
    QRect sheenBand(double t) const;

    // How many pixels frames of the sheen were composed from so far (what its frames cost).
    qint64 pixelsComposed() const { return pixelsComposed_; }

    QString text() const { return text_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Where the glyphs lie when drawn into rect.
    QRectF textBox(const QRectF& rect) const;
    // Draws the glyphs, their gradient and the two together for a box of size points at dpr.
    void prepare(const QSizeF& size, qreal dpr) const;

    QString text_;
    QFont font_;
    QSizeF textSize_;
    Timeline* timeline_;
    mutable QImage mask_;   // the glyphs
    mutable QImage fill_;   // the gradient behind them
    mutable QImage still_;  // the glyphs filled with the gradient, no sheen
    mutable QImage sheen_;  // the glyphs with the sheen of the latest frame
    mutable QRect sheenBand_;  // where sheen_ differs from still_
    mutable qreal maskDpr_ = 0;
    QRect drawnBand_;       // where the picture on screen holds the sheen
    mutable qint64 pixelsComposed_ = 0;
};
