#include "mygraphicsview.h"

#include <QKeyEvent>
#include <QMouseEvent>

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
}

void MyGraphicsView::mouseReleaseEvent(QMouseEvent* e)
{
    if (inputMode != LaunchMode) return;
    const QPointF sp = mapToScene(e->pos());
    const QVector2D v(float(sp.x() - pressPoint.x()), float(sp.y() - pressPoint.y()));
    emit mouseDragged(pressPoint, v);
}

// Nothing is drawn while dragging, and the scene gets no moves.
void MyGraphicsView::mouseMoveEvent(QMouseEvent*) {}

void MyGraphicsView::keyPressEvent(QKeyEvent* e)
{
    emit keyPressed(e->key(), e->modifiers());
    // The base view still scrolls with the arrow keys.
    QGraphicsView::keyPressEvent(e);
}
