#pragma once
// The prominent call to action of a screen or sheet: a white semibold label on a rounded
// rectangle filled violet to pink, with a hairline border and an accent shadow; the whole
// button, shadow included, shrinks slightly while pressed.
#include <QAbstractButton>

#include "UI/FocusRing.h"
#include "UI/PressableStyle.h"
#include "UI/SymbolLabel.h"

class ShadowEffect;

class GradientButton : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr qreal kCornerRadius = 12;
    static constexpr qreal kHorizontalPadding = 18;
    static constexpr qreal kVerticalPadding = 11;

    explicit GradientButton(const QString& text, QWidget* parent = nullptr);
    GradientButton(const QString& symbol, const QString& text, QWidget* parent = nullptr);

    SymbolLabel& label() { return label_; }
    // A fixed scale the caller gives the whole button (e.g. 0.8 for a compact use); the press
    // feedback multiplies it.
    void setBaseScale(qreal scale);
    // Widest the label may grow before its text is elided.
    void setMaximumLabelWidth(qreal width);
    const PressableStyle& pressable() const { return *pressable_; }
    const FocusRing& focusRing() const { return *ring_; }

    // The fill: palette 0 at the leading edge to palette 2 at the trailing edge of rect.
    static QLinearGradient fill(const QRectF& rect);
    // Paints background, border and label (no shadow) into rect, at full scale.
    static void paintFace(QPainter& painter, const QRectF& rect, const SymbolLabel& label);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    // Return and Enter press a focused button, as Space does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void updateTransform();
    SymbolLabel elidedLabel() const;

    SymbolLabel label_;
    qreal baseScale_ = 1;
    qreal maxLabelWidth_ = 0;
    PressableStyle* pressable_;
    ShadowEffect* shadow_;
    FocusRing* ring_;
};
