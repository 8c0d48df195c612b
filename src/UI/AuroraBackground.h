#pragma once
// The living backdrop: the aurora frame for the current time, redrawn by a timeline at most 30
// times a second while visible, shown at the caller's intensity.
#include <QWidget>

#include "UI/AuroraRenderer.h"

class Timeline;

class AuroraBackground : public QWidget {
    Q_OBJECT
public:
    explicit AuroraBackground(double intensity, QWidget* parent = nullptr);

    double intensity() const { return intensity_; }
    void setIntensity(double intensity);
    const Timeline& timeline() const { return *timeline_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double intensity_;
    AuroraRenderer renderer_;
    Timeline* timeline_;
};
