#include "qgraphicsarrow.h"

#include <QBrush>
#include <QPaintEngine>
#include <QPainter>
#include <QPen>

#include <cmath>

namespace {

// The shaft would vanish at this length (in head sizes); shorter vectors show only the head.
constexpr double kShortestShaft = 2.375;
// An arrow zoomed beyond this many device pixels a side is painted directly, not kept.
constexpr int kLargestPicture = 1024;

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

void QGraphicsArrow::paint(QPainter* painter, const QStyleOptionGraphicsItem* option,
                           QWidget* widget)
{
    if (path().isEmpty()) return;
    const QTransform& toDevice = painter->worldTransform();
    const double ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const QTransform toPixels = toDevice * QTransform::fromScale(ratio, ratio);
    const QRect pixels = toPixels.mapRect(boundingRect()).toAlignedRect().adjusted(-1, -1, 1, 1);
    // A kept picture only serves pixels: a drawing (an SVG file, say) gets the outline itself.
    const bool pixelDevice =
        painter->paintEngine() && painter->paintEngine()->type() == QPaintEngine::Raster;
    if (!pixelDevice || toDevice.type() == QTransform::TxProject ||
        !painter->worldMatrixEnabled() || painter->viewTransformEnabled() ||
        pixels.width() > kLargestPicture || pixels.height() > kLargestPicture) {
        QGraphicsPathItem::paint(painter, option, widget);
        return;
    }
    if (picture.isNull() || toDevice != pictureTransform || ratio != pictureRatio ||
        painter->renderHints() != pictureHints || path() != picturePath ||
        brush() != pictureBrush || pen() != picturePen) {
        // The same path under the same transform, only moved by whole pixels.
        // An image of the same size is drawn into again: a new one would need a new paint
        // engine, which costs more than the drawing when every arrow changes at every frame.
        if (picture.size() != pixels.size())
            picture = QImage(pixels.size(), QImage::Format_ARGB32_Premultiplied);
        picture.setDevicePixelRatio(1.0);
        picture.fill(Qt::transparent);
        QPainter cache(&picture);
        cache.setRenderHints(painter->renderHints());
        cache.setWorldTransform(toPixels *
                                QTransform::fromTranslate(-pixels.left(), -pixels.top()));
        QGraphicsPathItem::paint(&cache, option, widget);
        cache.end();
        picture.setDevicePixelRatio(ratio);
        pictureCorner = pixels.topLeft();
        pictureTransform = toDevice;
        pictureHints = painter->renderHints();
        pictureRatio = ratio;
        picturePath = path();
        pictureBrush = brush();
        picturePen = pen();
    }
    painter->setWorldMatrixEnabled(false);
    if (ratio == 1.0)
        painter->drawImage(pictureCorner, picture);
    else
        painter->drawImage(QPointF(pictureCorner) / ratio, picture);
    painter->setWorldMatrixEnabled(true);
}

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

void QGraphicsArrow::reshape(const QPointF& newAnchor, double newSize, const QVector2D& newVector)
{
    anchor = newAnchor;
    size = newSize;
    vector = newVector;
    if (vector.length() != 0.0f)
        rebuildPath();
    else
        clearPath();
}
