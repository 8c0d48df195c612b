#pragma once
// A QVariantAnimation whose progress follows a Spring instead of an easing curve, so values
// overshoot a little and settle. Retargeting starts from the value currently shown.
#include <QVariantAnimation>

#include "UI/Spring.h"

class SpringAnimation : public QVariantAnimation {
    Q_OBJECT
public:
    explicit SpringAnimation(const Spring& spring, QObject* parent = nullptr);

    void setSpring(const Spring& spring);
    const Spring& spring() const { return spring_; }

    // Animates from the value shown now to target; does nothing when already heading there.
    void animateTo(const QVariant& target);
    // Jumps to value without animating.
    void jumpTo(const QVariant& value);
    QVariant value() const;

protected:
    QVariant interpolated(const QVariant& from, const QVariant& to, qreal progress) const override;

private:
    Spring spring_;
    QVariant resting_;
};
