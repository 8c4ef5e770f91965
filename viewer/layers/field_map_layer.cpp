#include "field_map_layer.h"

#include "batch_evaluator.h"
#include "field_analysis.h"
#include "function_interpreter.h"
#include "point_columns.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The share of finite values that lie within the palette; the rest saturate.
constexpr double kPercentile = 0.98;

// ColorBrewer's RdBu, nine classes from blue (most negative) through white to red.
constexpr QRgb kPalette[] = {0xff2166ac, 0xff4393c3, 0xff92c5de, 0xffd1e5f0, 0xfff7f7f7,
                             0xfffddbc7, 0xfff4a582, 0xffd6604d, 0xffb2182b};
constexpr int kPaletteSteps = int(std::size(kPalette)) - 1;

int mix(int from, int to, double t)
{
    return int(std::lround(from + (to - from) * t));
}

} // namespace

QPointF MapGrid::centreOf(int column, int row) const
{
    return QPointF(region.left() + (column + 0.5) * region.width() / columns,
                   region.top() + (row + 0.5) * region.height() / rows);
}

MapGrid mapGridOver(const QRectF& region, int longSide)
{
    MapGrid grid;
    grid.region = region;
    const double longer = std::max(region.width(), region.height());
    auto cellsAlong = [&](double side) {
        if (!(longer > 0) || !std::isfinite(longer)) return 2;
        return std::max(2, int(std::lround(longSide * side / longer)));
    };
    grid.columns = cellsAlong(region.width());
    grid.rows = cellsAlong(region.height());
    return grid;
}

void sampleMap(const FieldAnalysis& analysis, MapQuantity quantity, MapGrid& grid)
{
    const std::size_t count = size_t(grid.columns) * size_t(grid.rows);
    grid.values.assign(count, std::numeric_limits<double>::quiet_NaN());
    if (!analysis.Differentiable() || count == 0) return;
    std::vector<double> xs(count), ys(count);
    for (int row = 0, i = 0; row < grid.rows; ++row) {
        for (int column = 0; column < grid.columns; ++column, ++i) {
            const QPointF at = grid.centreOf(column, row);
            xs[i] = at.x();
            ys[i] = at.y();
        }
    }
    // Every cell at once: the field's two components, then the quantity itself.
    const FunctionInterpreter* expressions[] = {
        analysis.FieldExpression(0), analysis.FieldExpression(1),
        quantity == MapQuantity::Divergence ? analysis.DivergenceExpression()
                                            : analysis.CurlExpression()};
    std::vector<double> values[3];
    std::vector<int> errors[3];
    for (int k = 0; k < 3; ++k) {
        values[k].resize(count);
        errors[k].resize(count);
        BatchEvaluator batch(*expressions[k]);
        EvaluateAtPoints(batch, count, xs.data(), ys.data(), values[k].data(), errors[k].data());
    }
    for (std::size_t i = 0; i < count; ++i) {
        // No field, nothing derived: the cell stays NaN and is drawn transparent.
        const bool field = errors[0][i] < 0 && errors[1][i] < 0 && std::isfinite(values[0][i]) &&
                           std::isfinite(values[1][i]);
        if (field && errors[2][i] < 0) grid.values[i] = values[2][i];
    }
}

double robustLimit(const std::vector<double>& values)
{
    std::vector<double> sizes;
    sizes.reserve(values.size());
    for (double v : values)
        if (std::isfinite(v)) sizes.push_back(std::abs(v));
    if (sizes.empty()) return 0;
    const auto at = sizes.begin() + std::ptrdiff_t(kPercentile * double(sizes.size() - 1));
    std::nth_element(sizes.begin(), at, sizes.end());
    if (*at > 0) return *at;
    return *std::max_element(at, sizes.end()); // mostly zero: the few others set the scale
}

QRgb divergingColor(double value, double limit)
{
    if (std::isnan(value)) return qRgba(0, 0, 0, 0);
    const double middle = kPaletteSteps / 2.0;
    double position = middle;
    if (limit > 0) position = middle * (1 + std::clamp(value / limit, -1.0, 1.0));
    const int step = std::min(int(position), kPaletteSteps - 1);
    const double t = position - step;
    const QRgb a = kPalette[step];
    const QRgb b = kPalette[step + 1];
    return qRgb(mix(qRed(a), qRed(b), t), mix(qGreen(a), qGreen(b), t), mix(qBlue(a), qBlue(b), t));
}

namespace {

// Viridis at nine evenly spaced points.
constexpr int kViridis[9][3] = {{68, 1, 84},    {71, 44, 122},  {59, 81, 139},
                                {44, 113, 142}, {33, 144, 141}, {39, 173, 129},
                                {92, 200, 99},  {170, 220, 50}, {253, 231, 37}};
constexpr double kViridisEnd = 0.9;

} // namespace

QRgb sequentialColor(double t)
{
    const double along = (std::isnan(t) ? 1.0 : std::clamp(t, 0.0, 1.0)) * kViridisEnd * 8;
    const int k = std::min(int(along), 7);
    const double f = along - k;
    int rgb[3];
    for (int c = 0; c < 3; ++c)
        rgb[c] = int(std::lround(kViridis[k][c] + f * (kViridis[k + 1][c] - kViridis[k][c])));
    return qRgb(rgb[0], rgb[1], rgb[2]);
}

FieldMapLayer::FieldMapLayer(MapQuantity quantity, const MapGrid& grid)
    : shows(quantity), region(grid.region), scaleLimit(robustLimit(grid.values)),
      image(grid.columns, grid.rows, QImage::Format_ARGB32_Premultiplied)
{
    setZValue(-2); // under the arrows, the trails and the particles
    // Scaling the picture smoothly for every repaint behind moving particles costs more than
    // keeping it scaled once for the view's scale.
    setCacheMode(DeviceCoordinateCache);
    // Row 0 of the picture is drawn at the region's top in scene units, which the view's flip
    // shows at the bottom: the grid's bottom row.
    for (int row = 0; row < grid.rows; ++row) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
        for (int column = 0; column < grid.columns; ++column) {
            const double value = grid.values[size_t(row) * grid.columns + column];
            line[column] = divergingColor(value, scaleLimit);
            anyDefined = anyDefined || !std::isnan(value);
        }
    }
}

QRectF FieldMapLayer::boundingRect() const
{
    return region;
}

void FieldMapLayer::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->setOpacity(painter->opacity() * kMapOpacity);
    painter->drawImage(region, image);
    painter->restore();
}

QRgb FieldMapLayer::colorAt(const QPointF& at) const
{
    if (!region.contains(at) || image.isNull()) return qRgba(0, 0, 0, 0);
    const int column =
        std::min(image.width() - 1, int((at.x() - region.left()) / region.width() * image.width()));
    const int row = std::min(image.height() - 1,
                             int((at.y() - region.top()) / region.height() * image.height()));
    return image.pixel(column, row);
}
