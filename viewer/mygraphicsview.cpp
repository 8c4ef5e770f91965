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
    const QPointF sp = mapToScene(e->pos());
    const QVector2D v(float(sp.x() - pressPoint.x()), float(sp.y() - pressPoint.y()));
    emit mouseDragged(pressPoint, v);
}

// Nothing is drawn while dragging, and the scene gets no moves; a middle-button drag pans.
void MyGraphicsView::mouseMoveEvent(QMouseEvent* e)
{
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
    if (!ticks) return;
    painter->save();
    // From the view's pixels to wherever the painter draws: the screen, an image or a drawing.
    painter->setWorldTransform(viewportTransform().inverted() * painter->worldTransform());
    painter->setRenderHint(QPainter::Antialiasing, false);
    paintRegionTicks(*painter, viewport()->rect(), viewportTransform(), font());
    painter->restore();
}
