#pragma once
// Draws soft shadows of a rounded rectangle under a widget, spilling past its edges without
// taking layout room, and can transform the widget with its shadows (press scale, tilt). The
// blurred shadows are rendered once per size and drawn from the cache on every paint.
#include <QColor>
#include <QPixmap>
#include <functional>
#include <QGraphicsEffect>
#include <QImage>
#include <QList>
#include <QTransform>

class ShadowEffect : public QGraphicsEffect {
    Q_OBJECT
public:
    struct Shadow {
        QColor colour;
        qreal radius = 0;    // blur radius
        QPointF offset;
        qreal opacity = 1;   // fades a shadow in or out without re-blurring it
    };

    explicit ShadowEffect(qreal cornerRadius, QObject* parent = nullptr);

    // The blurred image of s under a rounded rectangle of deviceSize (device pixels) and cornerRadius
    // (points), tagged with dpr.
    static QImage renderShadow(const Shadow& s, const QSizeF& deviceSize, qreal cornerRadius, qreal dpr);
    // Where that image is drawn for a shape whose top-left corner is shapeTopLeft.
    static QPointF shadowOrigin(const Shadow& s, const QPointF& shapeTopLeft, qreal dpr);
    // Draws s under a rounded rectangle shape with painter, for a widget that paints its own
    // shadows (and so is not redrawn through an effect); cache, kept by the caller, is blurred
    // again only for another size.
    static void paintCached(QPainter& painter, const Shadow& s, const QRectF& shape, qreal cornerRadius, QImage& cache);

    void setShadows(const QList<Shadow>& shadows);
    // Applied about the centre of the widget, to the widget and its shadows alike.
    void setTransform(const QTransform& transform);
    // The rounded rectangle the shadows take the shape of, inset from the widget's rect.
    void setShapeInsets(const QMarginsF& insets);

    // For a widget whose look follows from state it can put in bytes: the widget is then rendered
    // afresh only when those bytes or the scale change, and drawn from the last rendering otherwise
    // (a view beneath that redraws at every frame would repaint it each time).
    void setSourceState(std::function<QByteArray()> state);

    QRectF boundingRectFor(const QRectF& rect) const override;
    // Shadow images blurred so far; a pulse that only fades them blurs none.
    qint64 shadowsRendered() const { return shadowsRendered_; }

protected:
    void draw(QPainter* painter) override;

private:
    // What a cached shadow image was made for; compared whole, as the look is drawn from all of it.
    struct ShadowKey {
        quint64 colour;
        qreal radius, dpr, width, height;
        bool operator==(const ShadowKey&) const = default;
    };

    const QImage& shadowImage(const Shadow& s, const QSizeF& size, qreal dpr);

    qreal cornerRadius_;
    QMarginsF insets_;
    QList<Shadow> shadows_;
    QTransform transform_;
    QList<std::pair<ShadowKey, QImage>> cache_;  // a few looks at most: searched in order
    qint64 shadowsRendered_ = 0;
    std::function<QByteArray()> sourceState_;
    QByteArray renderedState_;
    QPixmap rendered_;
    QPoint renderedOffset_;
};
