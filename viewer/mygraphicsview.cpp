#include "mygraphicsview.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

MyGraphicsView::MyGraphicsView(QGraphicsScene* scene) : QGraphicsView(scene)
{
    setRenderHint(QPainter::Antialiasing);
    // Particles scatter over the whole view; collecting each one's rectangle into a region
    // grows with the square of their number, while one bounding rectangle costs nothing.
    setViewportUpdateMode(BoundingRectViewportUpdate);
    // Every item sets what it paints with and puts the transform back: saving and restoring
    // the painter around each of them only costs (an allocation per item and frame).
    setOptimizationFlag(DontSavePainterState);
}

void MyGraphicsView::setDropMode()
{
    inputMode = DropMode;
}

void MyGraphicsView::setLaunchMode()
{
    inputMode = LaunchMode;
}

// Any button counts, and the scene's items never see the press.
void MyGraphicsView::mousePressEvent(QMouseEvent* e)
{
    const QPointF sp = mapToScene(e->pos());
    pressPoint = sp;
    if (inputMode == DropMode) emit mousePressed(sp);
    if (inputMode != LaunchMode) return;
    dragging = true;
    dragPoint = sp;
    viewport()->update(launchArrowPixels());
}

void MyGraphicsView::mouseReleaseEvent(QMouseEvent* e)
{
    if (inputMode != LaunchMode) return;
    if (dragging) viewport()->update(launchArrowPixels());
    dragging = false;
    const QPointF sp = mapToScene(e->pos());
    const QVector2D v(float(sp.x() - pressPoint.x()), float(sp.y() - pressPoint.y()));
    emit mouseDragged(pressPoint, v);
}

// The scene gets no moves; a launch drag shows where it would send the particle.
void MyGraphicsView::mouseMoveEvent(QMouseEvent* e)
{
    if (!dragging || e->buttons() == Qt::NoButton) return;
    const QRect before = launchArrowPixels();
    dragPoint = mapToScene(e->pos());
    viewport()->update(before | launchArrowPixels());
}

namespace {

constexpr double kArrowPen = 2;
constexpr double kHeadLength = 10;
constexpr double kHeadHalfWidth = 4.5;
const QColor kLaunchColour(170, 0, 0); // the launched particle's red, darker to stand out

} // namespace

QRect MyGraphicsView::launchArrowPixels() const
{
    const QRectF spanned = QRectF(mapFromScene(pressPoint), mapFromScene(dragPoint)).normalized();
    const int reach = int(kHeadLength + kArrowPen) + 2;
    return spanned.toAlignedRect().adjusted(-reach, -reach, reach, reach);
}

void MyGraphicsView::drawForeground(QPainter* painter, const QRectF& rect)
{
    QGraphicsView::drawForeground(painter, rect);
    if (!dragging) return;
    const QPointF from = mapFromScene(pressPoint);
    const QPointF to = mapFromScene(dragPoint);
    painter->save();
    // In the view's pixels, so that the arrow looks the same at any scale.
    painter->setWorldTransform(viewportTransform().inverted() * painter->worldTransform());
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(kLaunchColour, kArrowPen, Qt::SolidLine, Qt::RoundCap));
    painter->drawLine(from, to);
    const QLineF shaft(from, to);
    if (shaft.length() > 0) {
        const QPointF along = (to - from) / shaft.length();
        const QPointF across(-along.y(), along.x());
        const QPointF base = to - kHeadLength * along;
        painter->setPen(Qt::NoPen);
        painter->setBrush(kLaunchColour);
        painter->drawPolygon(
            QPolygonF({to, base + kHeadHalfWidth * across, base - kHeadHalfWidth * across}));
    }
    painter->restore();
}

void MyGraphicsView::keyPressEvent(QKeyEvent* e)
{
    emit keyPressed(e->key(), e->modifiers());
    // The base view still scrolls with the arrow keys.
    QGraphicsView::keyPressEvent(e);
}
