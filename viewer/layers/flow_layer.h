#pragma once

#include "fading_layer.h"

#include <array>

class FlowField;

// The flow view's picture: each flow particle's last step drawn as a short line, coloured by its
// speed through a perceptually uniform palette (dark blue-violet slow, yellow-green fast), over
// trails that fade within about a second.
class FlowLayer : public FadingLayer
{
public:
    explicit FlowLayer(const QRectF& region);

    // Fades what is there by `seconds` and draws the flow's last tick.
    void drawStep(const FlowField& flow, double seconds);
    // The speed drawn in the palette's last colour: a high percentile of the particles' speeds,
    // smoothed over frames, so that a few very fast ones do not darken all the others.
    double speedScale() const { return fastest; }
    // The palette's colour for `speed`, premultiplied.
    QRgb colourOf(double speed) const;

private:
    double fastest = 0;
    std::array<QRgb, 256> palette;
};
