#include "qgraphicsarrow.h"

#include <QBrush>
#include <QPen>

#include <cmath>

namespace {

// The shaft would vanish at this length (in head sizes); shorter vectors show only the head.
constexpr double kShortestShaft = 2.375;

} // namespace

QGraphicsArrow::QGraphicsArrow(const QPointF& anchor, double size, const QVector2D& vector)
    : anchor(anchor), vector(vector), size(size)
{
    setPath(QPainterPath());
    setBrush(QBrush(Qt::black));
    setPen(Qt::NoPen);
    if (vector.length() != 0.0f) rebuildPath();
}

QGraphicsArrow::~QGraphicsArrow() = default;

void QGraphicsArrow::rebuildPath()
{
    prepareGeometryChange();
    QPainterPath outline;
    const float length = vector.length();
    // A vector that overflowed or came out NaN has no direction to draw.
    if (!std::isfinite(length) || length == 0.0f) {
        setPath(outline);
        return;
    }

    const double s = size;
    const QVector2D n = vector.normalized();
    const QVector2D p(-n.y(), n.x());
    // Products in the vector's single precision, added to the double-precision anchor.
    auto along = [&](double factor, const QVector2D& direction) {
        return (float(factor) * direction).toPointF();
    };

    if (length > kShortestShaft * s) {
        const float shaft = float(length - 2.0 * s);
        const QPointF end = anchor + (shaft * n).toPointF();
        outline.moveTo(anchor + along(0.5 * s, p));
        outline.lineTo(anchor - along(0.5 * s, p));
        outline.lineTo(end - along(0.375 * s, n) - along(0.5 * s, p));
        outline.lineTo(end - along(1.5 * s, n) - along(2.0 * s, p));
        outline.lineTo(end + along(3.5 * s, n));
        outline.lineTo(end - along(1.5 * s, n) + along(2.0 * s, p));
        outline.lineTo(end - along(0.375 * s, n) + along(0.5 * s, p));
    } else {
        outline.moveTo(anchor);
        outline.lineTo(anchor - along(1.5 * s, n) - along(2.0 * s, p));
        outline.lineTo(anchor + along(3.5 * s, n));
        outline.lineTo(anchor - along(1.5 * s, n) + along(2.0 * s, p));
    }
    outline.closeSubpath();
    setPath(outline);
}

void QGraphicsArrow::clearPath()
{
    prepareGeometryChange();
    setPath(QPainterPath());
}
