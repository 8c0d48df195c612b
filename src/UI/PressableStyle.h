#pragma once
// Press feedback for any button: while the button is held its drawing shrinks to 96% about its
// centre, springing there and back with the snappy spring. The button keeps its own look; its
// paint code calls apply() before drawing.
#include <QObject>
#include <QPointer>

#include "UI/SpringAnimation.h"

class QAbstractButton;
class QPainter;
class QRectF;

class PressableStyle : public QObject {
    Q_OBJECT
public:
    static constexpr qreal kPressedScale = 0.96;
    static qreal targetScale(bool pressed) { return pressed ? kPressedScale : 1.0; }

    // Follows button's pressed state and repaints it as the scale moves; owned by the button.
    explicit PressableStyle(QAbstractButton* button);

    qreal scale() const;
    // Scales the painter about the centre of rect by the current scale.
    void apply(QPainter& painter, const QRectF& rect) const;

signals:
    void scaleChanged(qreal scale);

private:
    QPointer<QAbstractButton> button_;
    SpringAnimation spring_;
};
