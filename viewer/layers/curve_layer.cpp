#include "curve_layer.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr double kHeadLength = 9; // pixels
constexpr double kHeadWidth = 4;  // pixels, on each side
// Room beyond the points for the widest line and a head across it.
constexpr double kPadding = kHeadLength + 4;

// Points of a curve closer than this to the previous one drawn add nothing a viewer can see,
// and the stroker's time grows with every point.
constexpr double kFinestStep = 1.5; // pixels

// `points` mapped to the device, without the points that lie too close to the one before; the
// last one always stays, so that the curve ends where it ends.
QPolygonF visiblePoints(const QTransform& toDevice, const QPolygonF& points)
{
    QPolygonF line;
    line.reserve(points.size());
    for (int i = 0; i < points.size(); ++i) {
        const QPointF p = toDevice.map(points[i]);
        if (!line.isEmpty() && i + 1 < points.size()) {
            const QPointF step = p - line.last();
            if (std::abs(step.x()) + std::abs(step.y()) < kFinestStep) continue;
        }
        line.append(p);
    }
    return line;
}

// Points per piece of a solid curve: the rasterizer fills the outline of a whole polyline at
// once, and one that winds many times round a cycle crosses itself on every scan line.
constexpr int kPiece = 32;

void drawLine(QPainter* painter, const QPolygonF& line, Qt::PenStyle style)
{
    // A dash pattern runs on across the points only within one polyline.
    if (style != Qt::SolidLine) return painter->drawPolyline(line);
    for (int from = 0; from + 1 < line.size(); from += kPiece)
        painter->drawPolyline(line.constData() + from,
                              std::min(kPiece + 1, int(line.size()) - from));
}

// Heads at `count` evenly spaced places along the polyline (device pixels).
void drawArrowheads(QPainter* painter, const QPolygonF& line, int count, const QColor& colour)
{
    double length = 0;
    for (int i = 1; i < line.size(); ++i)
        length += std::hypot(line[i].x() - line[i - 1].x(), line[i].y() - line[i - 1].y());
    // Too short for heads to tell anything a glance at the curve does not.
    if (count <= 0 || length < 4 * kHeadLength) return;
    painter->setPen(Qt::NoPen);
    painter->setBrush(colour);
    double walked = 0;
    int next = 1;
    for (int i = 1; i < line.size() && next <= count; ++i) {
        const QPointF step = line[i] - line[i - 1];
        const double stepLength = std::hypot(step.x(), step.y());
        while (next <= count && walked + stepLength >= length * next / (count + 1)) {
            const double into = length * next / (count + 1) - walked;
            const QPointF along = step / stepLength;
            const QPointF across(-along.y(), along.x());
            const QPointF tip = line[i - 1] + into * along + 0.5 * kHeadLength * along;
            const QPointF back = tip - kHeadLength * along;
            const QPointF head[] = {tip, back + kHeadWidth * across, back - kHeadWidth * across};
            painter->drawPolygon(head, 3);
            ++next;
        }
        walked += stepLength;
    }
}

} // namespace

QPolygonF polylineOf(const std::vector<double>& x, const std::vector<double>& y)
{
    QPolygonF line;
    line.reserve(int(std::min(x.size(), y.size())));
    for (std::size_t i = 0; i < x.size() && i < y.size(); ++i)
        line.append(QPointF(x[i], y[i]));
    return line;
}

CurveLayer::CurveLayer()
{
    setZValue(1); // over the arrows and particles, under the markers
    // Stroking thousands of points takes longer than a frame; the particles move in every
    // frame, the curves only when they or the view change.
    setCacheMode(QGraphicsItem::DeviceCoordinateCache);
    // Qt keeps such caches in its pixmap cache, by default 10 MB: less than three layers over a
    // full-screen view need, which would then be stroked anew in every frame after all.
    constexpr int kCacheKilobytes = 64 * 1024;
    if (QPixmapCache::cacheLimit() < kCacheKilobytes) QPixmapCache::setCacheLimit(kCacheKilobytes);
}

void CurveLayer::setCurves(QVector<Curve> curves)
{
    shown = std::move(curves);
    updateExtent();
}

void CurveLayer::addCurves(const QVector<Curve>& more)
{
    shown += more;
    updateExtent();
}

void CurveLayer::fitTo(const QTransform& sceneToView)
{
    const double perUnit = std::min(std::abs(sceneToView.m11()), std::abs(sceneToView.m22()));
    if (!(perUnit > 0)) return;
    unitsPerPixel = 1 / perUnit;
    updateExtent();
}

void CurveLayer::updateExtent()
{
    covered = QRectF();
    for (const Curve& curve : qAsConst(shown))
        covered |= curve.points.boundingRect();
    const double pad = kPadding * unitsPerPixel;
    const QRectF padded = covered.isNull() ? QRectF() : covered.adjusted(-pad, -pad, pad, pad);
    if (padded != extent) prepareGeometryChange();
    extent = padded;
    update();
}

QRectF CurveLayer::boundingRect() const
{
    return extent;
}

void CurveLayer::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    painter->save();
    const QTransform toDevice = painter->worldTransform();
    painter->setWorldTransform(QTransform()); // pixels from here on
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setBrush(Qt::NoBrush);
    for (const Curve& curve : qAsConst(shown)) {
        const QPolygonF line = visiblePoints(toDevice, curve.points);
        QPen pen(curve.colour, curve.width, curve.style, Qt::RoundCap, Qt::RoundJoin);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        drawLine(painter, line, curve.style);
        drawArrowheads(painter, line, curve.arrowheads, curve.colour);
    }
    painter->restore();
}
