#include "flow_layer.h"

#include "flow_field.h"

#include <algorithm>
#include <cmath>

namespace {

// A trail keeps 1/e of its strength after this many seconds: gone within about a second.
constexpr double kFlowTrailLifetime = 0.25;
constexpr int kTrailAlpha = 235;

// Viridis at nine evenly spaced points. It runs on to pale yellow, which does not show on the
// white field; the palette stops at 0.9 of it.
constexpr int kViridis[9][3] = {{68, 1, 84},    {71, 44, 122},  {59, 81, 139},
                                {44, 113, 142}, {33, 144, 141}, {39, 173, 129},
                                {92, 200, 99},  {170, 220, 50}, {253, 231, 37}};
constexpr double kPaletteEnd = 0.9;

} // namespace

FlowLayer::FlowLayer(const QRectF& region) : FadingLayer(region)
{
    for (int i = 0; i < int(palette.size()); ++i) {
        const double t = kPaletteEnd * i / (palette.size() - 1) * 8;
        const int k = std::min(int(t), 7);
        const double f = t - k;
        int rgb[3];
        for (int c = 0; c < 3; ++c)
            rgb[c] = int(std::lround(kViridis[k][c] + f * (kViridis[k + 1][c] - kViridis[k][c])));
        palette[i] = qPremultiply(qRgba(rgb[0], rgb[1], rgb[2], kTrailAlpha));
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
