#pragma once

#include <QGraphicsItem>
#include <QImage>
#include <QRectF>

#include <vector>

class FieldAnalysis;

// The two scalar maps of a field the window can show.
enum class MapQuantity
{
    Divergence,
    Curl
};

// Values of one quantity at the centres of a columns × rows grid of cells over a region. Row 0
// is the bottom row (smallest y), so that drawn into the region with y up it lands the right way
// round. NaN marks a point where the field or the quantity cannot be evaluated.
struct MapGrid
{
    QRectF region;
    int columns = 0;
    int rows = 0;
    std::vector<double> values; // row by row

    QPointF centreOf(int column, int row) const;
};

// The cells of a map over `region`: `longSide` along the region's longer side, the other side
// in proportion (at least 2).
MapGrid mapGridOver(const QRectF& region, int longSide);

// Fills every value of `grid`. The one loop that evaluates a map, so that a faster evaluator
// only has to replace this.
void sampleMap(const FieldAnalysis& analysis, MapQuantity quantity, MapGrid& grid);

// The magnitude that the palette's ends stand for: a high percentile of the finite |values|, so
// that a few huge values near a singularity do not wash the rest out; their largest when that
// percentile is 0, and 0 when every value is 0 or none is finite.
double robustLimit(const std::vector<double>& values);

// How opaque a map is drawn: a little softened, so that arrows stay easy to read on the
// palette's darkest ends.
constexpr double kMapOpacity = 0.8;

// A diverging blue–white–red colour (colour-blind safe), premultiplied and opaque: blue for
// -limit and below, white for 0, red for +limit and above; transparent for NaN. Everything is
// white when `limit` is 0.
QRgb divergingColor(double value, double limit);

// A sequential colour for `t` from 0 (dark blue-violet) to 1 (yellow-green), opaque: viridis,
// perceptually uniform and colour-blind safe, stopped before its pale yellow end, which would
// not show on the white field. `t` outside 0 … 1 is clamped; NaN gives the last colour.
QRgb sequentialColor(double t);

// A divergence or curl map as one picture drawn smoothly over the field's region, under the
// arrows, the trails and the particles.
class FieldMapLayer : public QGraphicsItem
{
public:
    FieldMapLayer(MapQuantity quantity, const MapGrid& grid);

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    MapQuantity quantity() const { return shows; }
    double limit() const { return scaleLimit; }
    // Whether the quantity could be evaluated anywhere.
    bool defined() const { return anyDefined; }
    const QImage& picture() const { return image; }
    // The picture's colour for the cell that holds scene point `at` (transparent outside).
    QRgb colorAt(const QPointF& at) const;

private:
    MapQuantity shows;
    QRectF region;
    double scaleLimit;
    bool anyDefined = false;
    QImage image;
};
