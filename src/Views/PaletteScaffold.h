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
    // How far the overlay has come in (0 gone, 1 in place): the dim's strength, and the shadow's,
    // which follows the card as it comes.
    void setPresence(qreal presence);
    // Before the overlay comes: keeps the window's picture as it shows now, under the overlay.
    // False when the window holds no picture to keep (the first frame then reads it).
    bool holdWhatLiesUnder();
    // In place: what lies under shows again as it is now, behind the card at once, elsewhere a band
    // of kBandHeight points a frame after: the whole window under it, drawn in one frame, would
    // take a frame's time several times over on a large screen. The frame the way in still asked
    // for is drawn from the held picture first; released() follows it.
    void settle();
    static constexpr int kBandHeight = 240;

signals:
    // The scaffold now draws what lies under it from its picture, and is opaque.
    void holding();
    // It no longer draws what lies under from its picture, and is not opaque.
    void released();

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
    void keepWhatLiesUnder(QPainter& painter, const QRegion& painted);
    void release();
    void redrawNextBand();
    void hold(const QImage& under, QPoint origin);

    QImage shadow_;
    qreal presence_ = 1;
    // While the overlay comes or goes, the window under it as it was when that began: each frame of
    // the dim's fade draws it rather than having the whole window repainted under the dim.
    QImage under_;
    QPoint underOrigin_;  // where under_'s top-left corner lies in the window, in its pixels
    bool settling_ = false;  // the hold ends after the next paint
    int bandTop_ = -1;       // the next band to draw again after settling, or -1 for none
};
