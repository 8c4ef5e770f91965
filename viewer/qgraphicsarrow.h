#pragma once

#include <QBrush>
#include <QGraphicsPathItem>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QTransform>
#include <QVector2D>

// A filled arrow from `anchor` along `vector`, in scene coordinates; every measure of its
// outline is a multiple of the head size, so all arrows of a plot share one head.
class QGraphicsArrow : public QGraphicsPathItem
{
public:
    QGraphicsArrow(const QPointF& anchor, double size, const QVector2D& vector);
    ~QGraphicsArrow() override;

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    void rebuildPath();
    // Leaves the item in the scene but drawing nothing.
    void clearPath();
    // The arrow as if made anew with these, keeping its place among the scene's items.
    void reshape(const QPointF& newAnchor, double newSize, const QVector2D& newVector);

    QPointF anchorPoint() const { return anchor; }
    QVector2D arrowVector() const { return vector; }
    double headSize() const { return size; }

private:
    QPointF anchor;
    QVector2D vector;
    double size;
    // Arrows never move: the outline as last painted, in device pixels, and everything it was
    // painted from (the path and brush are shared copies, so comparing them is cheap).
    QImage picture;
    QPoint pictureCorner;
    QTransform pictureTransform;
    QPainter::RenderHints pictureHints;
    double pictureRatio = 0.0;
    QPainterPath picturePath;
    QBrush pictureBrush;
    QPen picturePen;
};
