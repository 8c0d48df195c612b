#pragma once
// The living backdrop: the aurora frame for the current time, redrawn by a timeline while it can
// be seen, shown at the caller's intensity.
// A tick repaints only the part of the backdrop that shows: what opaque widgets above it cover is
// left alone, so an editor or a list lying over it is not redrawn by the animation.
#include <QWidget>

#include "UI/AuroraRenderer.h"

class Timeline;

class AuroraBackground : public QWidget {
    Q_OBJECT
public:
    // Frames of the shared clock per backdrop frame. The blobs drift a few points a second under a
    // 110-point blur: at full strength, 7.5 frames a second change most pixels by two steps of
    // colour or less a frame, a smooth brightening the eye does not tell from 30 frames, and a fainter
    // backdrop changes its pixels less per frame, so it may tick more slowly for the same steps.
    static constexpr int kFullStrengthFramesPerTick = 4;
    static constexpr int kSlowestFramesPerTick = 6;
    static int framesPerTick(double intensity);

    explicit AuroraBackground(double intensity, QWidget* parent = nullptr);

    double intensity() const { return intensity_; }
    void setIntensity(double intensity);
    // The opaque colour that lies behind the backdrop, when the caller knows it: the backdrop then
    // draws itself over that colour and covers what is behind it.
    QColor ground() const { return ground_; }
    void setGround(const QColor& ground);
    const Timeline& timeline() const { return *timeline_; }
    // A resting backdrop keeps the frame it shows: for a caller that dims it under something else,
    // where its slow drift cannot be seen and would only repaint what lies over it.
    void setResting(bool resting);
    const AuroraRenderer& renderer() const { return renderer_; }
    // The moment the backdrop shows (seconds since the reference date): that of the latest tick.
    double frameTime() const { return frameTime_; }

    // The part of the backdrop not hidden by opaque widgets stacked above it, in its own coordinates.
    // With still, also gathers there where glass above shows a picture that does not follow the
    // backdrop for now.
    QRegion exposedRegion(QRegion* still = nullptr) const;
    // Widgets looked at so far to find what of the backdrop shows.
    qint64 widgetsVisited() const { return widgetsVisited_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void advance();
    void syncOpaque();
    // What of region (in its own coordinates) is not hidden by opaque widgets above; still as above.
    QRegion exposedPart(QRegion region, QRegion* still = nullptr) const;

    double intensity_;
    QColor ground_;
    double frameTime_;
    AuroraRenderer renderer_;
    QRegion unseen_;  // changed since last drawn, under glass that did not look
    Timeline* timeline_;
    mutable qint64 widgetsVisited_ = 0;
};
