#pragma once
// The entrance of a view: after a delay from its first appearance it fades in, rises by
// `distance` into place, grows from 98.5% and sharpens from a 4-point blur, all on the bouncy
// spring. It plays once per widget instance; once in place the effect removes itself.
#include <QGraphicsEffect>
#include <QPointer>

#include "UI/SpringAnimation.h"

class CascadeModifier : public QGraphicsEffect {
    Q_OBJECT
public:
    struct Pose {
        double opacity;
        double offsetY;  // points below the resting place
        double scale;    // about the top centre
        double blur;     // blur radius, points
    };
    // The pose at spring progress (0 before the entrance, 1 in place; overshoot allowed).
    static Pose pose(double progress, double distance);

    // Takes effect on target's first show; owned by target.
    CascadeModifier(QWidget* target, double delay, double distance);

    bool appeared() const { return appeared_; }
    double progress() const;

    QRectF boundingRectFor(const QRectF& rect) const override;

protected:
    void draw(QPainter* painter) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void appear();

    QPointer<QWidget> target_;
    double delay_;
    double distance_;
    bool appeared_ = false;
    bool scheduled_ = false;
    SpringAnimation spring_;
};

// Shorthand: gives view the entrance. A widget that already carries a graphics effect keeps it
// and shows at once (a widget holds one effect at a time); returns nullptr then.
CascadeModifier* cascade(QWidget* view, double delay, double distance);
