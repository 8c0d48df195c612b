#include "UI/SpringAnimation.h"

SpringAnimation::SpringAnimation(const Spring& spring, QObject* parent)
    : QVariantAnimation(parent), spring_(spring) {
    setEasingCurve(QEasingCurve::Linear);
    setDuration(spring_.durationMs());
}

void SpringAnimation::setSpring(const Spring& spring) {
    spring_ = spring;
    setDuration(spring_.durationMs());
}

QVariant SpringAnimation::value() const {
    return state() == Running ? currentValue() : resting_;
}

void SpringAnimation::animateTo(const QVariant& target) {
    if (state() == Running && endValue() == target) return;
    const QVariant from = value();
    stop();
    resting_ = target;
    if (from == target || !from.isValid()) {
        jumpTo(target);
        return;
    }
    setStartValue(from);
    setEndValue(target);
    start();
}

void SpringAnimation::jumpTo(const QVariant& v) {
    stop();
    resting_ = v;
    setStartValue(v);
    setEndValue(v);
    emit valueChanged(v);
}

QVariant SpringAnimation::interpolated(const QVariant& from, const QVariant& to, qreal progress) const {
    // Linear progress is elapsed time; the spring decides how far along the value is.
    if (progress >= 1) return to;
    const double t = progress * spring_.settlingTime();
    return QVariantAnimation::interpolated(from, to, spring_.value(t));
}
