#pragma once
// The visible keyboard focus of a drawn control: an accent outline around its shape while it
// holds the focus, unless a click gave it the focus (the pointer already shows where it is), or the
// program moved the focus there after a click.
// Attached to the control (and owned by it); the control's paint code calls paint() last.
#include <QColor>
#include <QObject>
#include <QRectF>

class QPainter;
class QWidget;

class FocusRing : public QObject {
    Q_OBJECT
public:
    static constexpr qreal kWidth = 2;

    explicit FocusRing(QWidget* control);

    bool isShown() const;
    // Outlines rect (the control's shape, corner radius radius) just inside its edge when shown,
    // in the accent colour or, over a face in that colour, in ink.
    void paint(QPainter& painter, const QRectF& rect, qreal radius, const QColor& ink = QColor()) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* control_;
    bool byPointer_ = false;
};
