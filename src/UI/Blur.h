#pragma once
// Gaussian blur for pre-rendered images (three box passes approximate the Gaussian). The theme
// blurs shapes once into cached images and only draws those per frame.
// A blur radius is the distance over which an edge fades: two standard deviations of the
// Gaussian. Blurs and shadows both use it.
#include <QColor>
#include <QImage>
#include <QPainterPath>

namespace Blur {

// Blurs a copy of image (converted to premultiplied ARGB) by radius, in pixels. The image is not
// enlarged: callers leave a transparent margin of margin(radius).
QImage gaussian(const QImage& image, double radius);

// Margin an image needs around a shape so a blur of radius fades out before the edge.
int margin(double radius);

// A soft shadow of shape filled with colour and blurred by radius (all in device pixels), in an
// image whose top-left corner lies margin(radius) above and left of the shape's bounding box.
QImage shadow(const QPainterPath& shape, const QColor& colour, double radius);

} // namespace Blur
