#pragma once
// A plain button (symbol and/or text, optional rounded background) with the pressable feedback.
#include <QAbstractButton>
#include <QMarginsF>

#include "UI/FocusRing.h"
#include "UI/PressableStyle.h"
#include "UI/SymbolLabel.h"

class PressableButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit PressableButton(QWidget* parent = nullptr);
    PressableButton(const QString& symbol, const QString& text, QWidget* parent = nullptr);

    // Change the label through this, then call updateGeometry() if its size changed.
    SymbolLabel& label() { return label_; }
    const SymbolLabel& label() const { return label_; }
    void setPadding(const QMarginsF& padding);
    // A rounded rectangle behind the label; Qt::NoBrush for none.
    void setBackground(const QBrush& fill, qreal cornerRadius);
    const PressableStyle& pressable() const { return *pressable_; }
    const FocusRing& focusRing() const { return *ring_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    // Return and Enter press a focused button, as Space does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    SymbolLabel label_;
    QMarginsF padding_;
    QBrush background_ = Qt::NoBrush;
    qreal cornerRadius_ = 0;
    PressableStyle* pressable_;
    FocusRing* ring_;
};
