#pragma once
// How a floating view comes and goes: faded and either slid in from above its container's top edge
// (the find bar) or scaled down from 102% about its centre (the overlays), on the snappy spring.
// The effect sits on the widget only while it moves. Of an overlay over the whole window only the
// card moves: drawn through an effect, the whole window's worth of overlay would be rendered again
// and scaled at every frame, while its dim only needs to fade in place.
#include <QGraphicsEffect>
#include <QPointer>

#include "UI/SpringAnimation.h"

class OverlayTransition : public QGraphicsEffect {
    Q_OBJECT
public:
    enum class Kind { moveFromTop, scale };

    // Where the view is drawn at progress p (0 gone, 1 in place): opacity and transform in the
    // widget's own coordinates.
    struct Pose {
        qreal opacity;
        QTransform transform;
    };
    static Pose pose(Kind kind, qreal progress, const QRectF& bounds, qreal distanceFromTop);

    // Shows widget and brings it in.
    static void enter(QWidget* widget, Kind kind);
    // Takes widget out of use at once (no input, no focus, no shortcuts), plays the exit and
    // deletes it.
    static void leave(QWidget* widget, Kind kind);
    // Whether widget (or the card that moves for it) is still coming or going.
    static bool isMoving(const QWidget* widget);

    qreal progress() const { return progress_; }

    QRectF boundingRectFor(const QRectF& rect) const override;

protected:
    void draw(QPainter* painter) override;

private:
    OverlayTransition(QWidget* widget, Kind kind, qreal from);
    void animateTo(qreal target);
    void follow(qreal progress);

    QPointer<QWidget> widget_;
    Kind kind_;
    qreal progress_;
    SpringAnimation spring_;
};
