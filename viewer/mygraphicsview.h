#pragma once

#include <QGraphicsView>
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

signals:
    void mousePressed(QPointF p);
    void mouseDragged(QPointF p0, QVector2D v);
    void keyPressed(int key, Qt::KeyboardModifiers modifiers);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    int inputMode = DropMode;
    QPointF pressPoint;
};
