#pragma once
// A slider that shows when it holds the keyboard: the window's style draws nothing for that on
// this dark theme, and the arrow keys would change its value unseen.
#include <QSlider>

class FocusRing;

class FocusSlider : public QSlider {
    Q_OBJECT
public:
    explicit FocusSlider(Qt::Orientation orientation, QWidget* parent = nullptr);

    const FocusRing& focusRing() const { return *ring_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    FocusRing* ring_;
};
