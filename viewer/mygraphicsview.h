#pragma once

#include <QGraphicsView>
#include <QLineF>
#include <QPointF>
#include <QVector2D>

// The field window's view: turns presses, drags and keys into signals in scene coordinates.
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
    // In launch mode, while a button is held: the drag so far, from the press point to the
    // pointer, in scene coordinates; the view draws it as an arrow. Null otherwise.
    QLineF launchDrag() const { return dragging ? QLineF(pressPoint, dragPoint) : QLineF(); }

signals:
    void mousePressed(QPointF p);
    void mouseDragged(QPointF p0, QVector2D v);
    void keyPressed(int key, Qt::KeyboardModifiers modifiers);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void drawForeground(QPainter* painter, const QRectF& rect) override;

private:
    int inputMode = DropMode;
    QPointF pressPoint;
    bool dragging = false;
    QPointF dragPoint;

    // Where the launch arrow is drawn, in the viewport's pixels.
    QRect launchArrowPixels() const;
};
