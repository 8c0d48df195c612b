#pragma once
// The square logo: the application icon when there is one, otherwise the curly-braces symbol
// filled with the brand gradient; both sit in a soft accent glow whose spread grows with the mark.
#include <QImage>
#include <QWidget>

class LogoMark : public QWidget {
    Q_OBJECT
public:
    explicit LogoMark(qreal size, QWidget* parent = nullptr);

    qreal markSize() const { return size_; }
    // Blur radius of the glow.
    static qreal glowRadius(qreal size) { return size * 0.25; }
    // Room the glow needs on every side of the mark.
    static int glowMargin(qreal size);

    // Paints the mark into the square frame (glow included, spilling past the frame). A null
    // icon draws the gradient symbol.
    static void paint(QPainter& painter, const QRectF& frame, const QImage& icon);
    // The mark with its glow, as an image of (size + 2 * glowMargin) device pixels square.
    static QImage render(qreal size, const QImage& icon, qreal devicePixelRatio = 1);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal size_;
    QImage cache_;
};
