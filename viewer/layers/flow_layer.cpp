#include "flow_layer.h"

#include "field_map_layer.h"
#include "flow_field.h"

#include <algorithm>
#include <cmath>

namespace {

// A trail keeps 1/e of its strength after this many seconds: gone within about a second.
constexpr double kFlowTrailLifetime = 0.25;
constexpr int kTrailAlpha = 235;

} // namespace

FlowLayer::FlowLayer(const QRectF& region) : FadingLayer(region)
{
    for (int i = 0; i < int(palette.size()); ++i) {
        const QRgb colour = sequentialColor(double(i) / (palette.size() - 1));
        palette[i] = qPremultiply(qRgba(qRed(colour), qGreen(colour), qBlue(colour), kTrailAlpha));
    }
}

QRgb FlowLayer::colourOf(double speed) const
{
    const double t = fastest > 0 ? speed / fastest : 0.0;
    const int index = std::isfinite(t) ? int(std::clamp(t, 0.0, 1.0) * 255.0) : 255;
    return palette[index];
}

void FlowLayer::drawStep(const FlowField& flow, double seconds)
{
    fade(seconds, kFlowTrailLifetime);
    const std::size_t count = flow.Count();
    if (count == 0) return;

    // The 90th percentile of up to 256 speeds spread over the particles.
    std::array<float, 256> sample;
    const std::size_t step = std::max<std::size_t>(1, count / sample.size());
    std::size_t taken = 0;
    for (std::size_t i = 0; i < count && taken < sample.size(); i += step)
        if (!flow.Born()[i] && std::isfinite(flow.Speed()[i])) sample[taken++] = flow.Speed()[i];
    if (taken > 0) {
        const auto high = sample.begin() + taken * 9 / 10;
        std::nth_element(sample.begin(), high, sample.begin() + taken);
        fastest = fastest > 0 ? 0.9 * fastest + 0.1 * *high : *high;
    }

    const double* x = flow.X();
    const double* y = flow.Y();
    const double* fromX = flow.PreviousX();
    const double* fromY = flow.PreviousY();
    for (std::size_t i = 0; i < count; ++i) {
        if (flow.Born()[i]) continue; // a new place, not a step
        drawLine(QPointF(fromX[i], fromY[i]), QPointF(x[i], y[i]), colourOf(flow.Speed()[i]));
    }
    update();
}
