#pragma once
// The glass surface behind a view's content: what lies behind the view, blurred, under a
// translucent, softly lit rounded rectangle with a bright rim along its top edge. Attached to a
// widget it paints before the widget's own content.
#include <QObject>
#include <QPointer>
#include <QWidget>

#include "UI/GlassBackdrop.h"

class LiquidGlassBackground : public QObject {
    Q_OBJECT
public:
    // Paints behind target's content from now on; owned by target.
    LiquidGlassBackground(QWidget* target, qreal cornerRadius);

    qreal cornerRadius() const { return cornerRadius_; }
    // Paints the glass's tint and rim; a glass of a size already painted is copied from a cached image.
    static void paint(QPainter& painter, const QRectF& rect, qreal cornerRadius);
    // Paints the glass of surface: what backdrop keeps of what lies behind, blurred, then the tint.
    static void paint(QPainter& painter, const QRectF& rect, qreal cornerRadius, GlassBackdrop& backdrop,
                      const QWidget* surface);
    const GlassBackdrop& backdrop() const { return backdrop_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static void paintShape(QPainter& painter, const QRectF& rect, qreal cornerRadius);

    QPointer<QWidget> target_;
    qreal cornerRadius_;
    GlassBackdrop backdrop_;
};

// Shorthand: gives view the glass background in a rounded rectangle of cornerRadius.
LiquidGlassBackground* liquidGlass(QWidget* view, qreal cornerRadius);
