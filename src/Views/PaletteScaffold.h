#pragma once
// The frame every overlay shares: a dimmed backdrop over the whole window and, 90 points below its
// top and centred, a 560-point glass card holding the overlay's content. One click on the backdrop
// (outside the card) calls dismiss.
#include <QImage>
#include <QWidget>
#include <functional>

#include "UI/GlassBackdrop.h"

class PaletteScaffold : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCardWidth = 560;
    static constexpr int kTopInset = 90;
    static constexpr qreal kCornerRadius = 16;

    // Takes ownership of content.
    PaletteScaffold(std::function<void()> dismiss, QWidget* content, QWidget* parent = nullptr);

    QWidget* card() const { return card_; }
    QWidget* content() const { return content_; }
    const GlassBackdrop& backdrop() const { return backdrop_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> dismiss_;
    QWidget* card_;
    QWidget* content_;
    GlassBackdrop backdrop_;
    QImage shadow_;
};
