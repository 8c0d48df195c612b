#pragma once
// A glass panel around a content widget. An interactive card follows the pointer: a violet
// spotlight under it, a slight lift and tilt towards it, and an accent shadow while hovered.
// The widget keeps a transparent margin around the glass for its shadow (see shadowMargins()), so
// the shadow is never clipped; the content's own widgets are not tilted, only the glass is.
#include <QPointF>
#include <QSizeF>
#include <QWidget>

#include <QImage>
#include <QMarginsF>
#include <QRegion>

#include "UI/GlassBackdrop.h"
#include "UI/ShadowEffect.h"
#include "UI/SpringAnimation.h"

class GlassCard : public QWidget {
    Q_OBJECT
public:
    static constexpr qreal kCornerRadius = 18;
    static constexpr qreal kSpotlightRadius = 240;

    // What the card shows for a given pointer state; a pure function of its inputs.
    struct Look {
        QPointF spotlightCentre;  // unit coordinates of the card
        double spotlightAlpha;    // accent opacity at the centre
        double scale;
        double tiltX;             // degrees about the horizontal axis
        double tiltY;             // degrees about the vertical axis
        ShadowEffect::Shadow shadow;
    };
    static Look look(bool hover, bool interactive, const QPointF& localMouse, const QSizeF& size);

    GlassCard(QWidget* content, qreal padding, bool interactive, Qt::Alignment alignment, bool fillsWidth,
              QWidget* parent = nullptr);

    // Room around the glass kept for the shadow.
    static QMarginsF shadowMargins(bool interactive);
    // The glass's rectangle inside the widget.
    QRectF glassRect() const;

    bool hover() const { return hover_; }
    // In the glass's own coordinates (origin at its top-left corner).
    QPointF localMouse() const { return localMouse_; }
    QSizeF measuredSize() const { return size_; }
    bool interactive() const { return interactive_; }
    // Where the last paint covered the widget with pixels that stay the same whatever the backdrop
    // behind does, until the glass's blur is due again: its middle, short of the rounded corners
    // and the soft edge. Empty while the glass is tilted, lit or not yet blurred.
    QRegion stillRegion() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void pointerAt(const QPointF& p);
    void setHover(bool hover);

    bool interactive_;
    bool hover_ = false;
    QPointF localMouse_;
    QSizeF size_;
    SpringAnimation hoverSpring_;  // 0 at rest, 1 hovered
    QImage restShadow_, hoverShadow_;
    GlassBackdrop backdrop_;
    bool drewStillGlass_ = false;  // the last paint showed the blur, untransformed and unlit
};
