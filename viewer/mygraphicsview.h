#pragma once

#include <QGraphicsView>
#include <QLineF>
#include <QPoint>
#include <QPointF>
#include <QVector2D>

// The field window's view: turns presses, drags and keys into signals in scene coordinates.
// Besides, Ctrl + wheel asks for a zoom and a drag with the middle button for a pan; the window
// answers both by showing another region.
class MyGraphicsView : public QGraphicsView
{
    Q_OBJECT

public:
    enum InputMode
    {
        DropMode = 1,  // a press reports its point
        LaunchMode = 2 // a press and its release report the press point and the drag vector
    };

    explicit MyGraphicsView(QGraphicsScene* scene);

    void setDropMode();
    void setLaunchMode();
    // Numbers along the bottom and left edges saying which part of the plane is shown.
    void setTicksShown(bool shown);
    bool ticksShown() const { return ticks; }

    // One notch of the wheel with Ctrl held brings the field this many times closer.
    static constexpr double kZoomPerNotch = 1.25;
    // In launch mode, while a button is held: the drag so far, from the press point to the
    // pointer, in scene coordinates; the view draws it as an arrow. Null otherwise.
    QLineF launchDrag() const { return dragging ? QLineF(pressPoint, dragPoint) : QLineF(); }

signals:
    void mousePressed(QPointF p);
    void mouseDragged(QPointF p0, QVector2D v);
    void keyPressed(int key, Qt::KeyboardModifiers modifiers);
    // Ctrl + wheel over `pixel` (viewport coordinates): `factor` > 1 closer, < 1 further away.
    void zoomRequested(QPoint pixel, double factor);
    // A middle-button drag: the scene point grabbed at the press is to lie under `pixel` now.
    void panRequested(QPointF grabbed, QPoint pixel);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void drawForeground(QPainter* painter, const QRectF& rect) override;

private:
    int inputMode = DropMode;
    QPointF pressPoint;
    bool ticks = false;
    // A middle press waits to see whether it becomes a pan or stays a click.
    enum class MiddleButton
    {
        Up,
        Pressed,
        Panning
    } middle = MiddleButton::Up;
    QPoint middlePixel;
    bool dragging = false;
    QPointF dragPoint;

    // Where the launch arrow is drawn, in the viewport's pixels.
    QRect launchArrowPixels() const;
    void paintLaunchArrow(QPainter& painter) const;
};
