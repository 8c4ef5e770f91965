#include "mygraphicsview.h"

#include "region_ticks.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>

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

void MyGraphicsView::setTicksShown(bool shown)
{
    if (shown == ticks) return;
    ticks = shown;
    viewport()->update();
}

// Any button counts, and the scene's items never see the press. The middle button's press may
// start a pan instead: it is a press only once it is released where it began.
void MyGraphicsView::mousePressEvent(QMouseEvent* e)
{
    const QPointF sp = mapToScene(e->pos());
    pressPoint = sp;
    if (e->button() == Qt::MiddleButton) {
        middle = MiddleButton::Pressed;
        middlePixel = e->pos();
        return;
    }
    if (inputMode == DropMode) emit mousePressed(sp);
    if (inputMode != LaunchMode) return;
    dragging = true;
    dragPoint = sp;
    viewport()->update(launchArrowPixels());
}

void MyGraphicsView::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::MiddleButton && middle != MiddleButton::Up) {
        const bool panned = middle == MiddleButton::Panning;
        middle = MiddleButton::Up;
        if (panned) return;
        const QPointF grabbed = mapToScene(middlePixel);
        if (inputMode == DropMode) return emit mousePressed(grabbed);
        pressPoint = grabbed;
    }
    if (inputMode != LaunchMode) return;
    if (dragging) viewport()->update(launchArrowPixels());
    dragging = false;
    const QPointF sp = mapToScene(e->pos());
    const QVector2D v(float(sp.x() - pressPoint.x()), float(sp.y() - pressPoint.y()));
    emit mouseDragged(pressPoint, v);
}

// The scene gets no moves: a launch drag shows where it would send the particle, and a
// middle-button drag pans.
void MyGraphicsView::mouseMoveEvent(QMouseEvent* e)
{
    if (dragging && (e->buttons() & ~Qt::MiddleButton)) {
        const QRect before = launchArrowPixels();
        dragPoint = mapToScene(e->pos());
        viewport()->update(before | launchArrowPixels());
    }
    if (middle == MiddleButton::Up || !(e->buttons() & Qt::MiddleButton)) return;
    if (middle == MiddleButton::Pressed &&
        (e->pos() - middlePixel).manhattanLength() < QApplication::startDragDistance())
        return;
    if (middle == MiddleButton::Pressed) {
        middle = MiddleButton::Panning;
        pressPoint = mapToScene(middlePixel); // the point that follows the pointer
    }
    emit panRequested(pressPoint, e->pos());
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

// With the painter in the view's pixels, so that the arrow looks the same at any scale.
void MyGraphicsView::paintLaunchArrow(QPainter& painter) const
{
    const QPointF from = mapFromScene(pressPoint);
    const QPointF to = mapFromScene(dragPoint);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kLaunchColour, kArrowPen, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(from, to);
    const QLineF shaft(from, to);
    if (shaft.length() == 0) return;
    const QPointF along = (to - from) / shaft.length();
    const QPointF across(-along.y(), along.x());
    const QPointF base = to - kHeadLength * along;
    painter.setPen(Qt::NoPen);
    painter.setBrush(kLaunchColour);
    painter.drawPolygon(
        QPolygonF({to, base + kHeadHalfWidth * across, base - kHeadHalfWidth * across}));
}

void MyGraphicsView::keyPressEvent(QKeyEvent* e)
{
    emit keyPressed(e->key(), e->modifiers());
    // The base view still scrolls with the arrow keys.
    QGraphicsView::keyPressEvent(e);
}

// The plain wheel scrolls as the base view does; with Ctrl it zooms about the pointer.
void MyGraphicsView::wheelEvent(QWheelEvent* e)
{
    if (!(e->modifiers() & Qt::ControlModifier) || e->angleDelta().y() == 0)
        return QGraphicsView::wheelEvent(e);
    const double notches = e->angleDelta().y() / 120.0;
    emit zoomRequested(e->position().toPoint(), std::pow(kZoomPerNotch, notches));
    e->accept();
}

void MyGraphicsView::drawForeground(QPainter* painter, const QRectF& rect)
{
    QGraphicsView::drawForeground(painter, rect);
    if (!ticks && !dragging) return;
    painter->save();
    // From the view's pixels to wherever the painter draws: the screen, an image or a drawing.
    painter->setWorldTransform(viewportTransform().inverted() * painter->worldTransform());
    painter->setRenderHint(QPainter::Antialiasing, false);
    if (ticks) paintRegionTicks(*painter, viewport()->rect(), viewportTransform(), font());
    if (dragging) paintLaunchArrow(*painter);
    painter->restore();
}
