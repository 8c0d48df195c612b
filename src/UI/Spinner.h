#pragma once
// The smallest spinning indicator: an arc that turns, at most 30 times a second, only while shown.
#include <QColor>
#include <QTimer>
#include <QWidget>

class Spinner : public QWidget {
    Q_OBJECT
public:
    explicit Spinner(int side, QWidget* parent = nullptr, QColor ink = Qt::white);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer timer_;
    QColor ink_;
    int angle_ = 0;
};
