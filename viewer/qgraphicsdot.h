#pragma once

#include <QColor>
#include <QGraphicsItem>

#include <memory>

class DotSprites;
class QGraphicsEllipseItem;

// One particle: a filled disc of diameter `size` centred on the item's position.
class QGraphicsDot : public QGraphicsItem
{
public:
    QGraphicsDot(double size, const QColor& color);
    ~QGraphicsDot() override;

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    QColor dotColor() const { return color; }
    double diameter() const { return size; }
    // Another diameter, as a dot made with it would have.
    void setSize(double newSize);
    // The animation announces each move before it makes it.
    void notifyGeometryChange() { prepareGeometryChange(); }

private:
    QGraphicsEllipseItem* disc;
    double size;
    QColor color;
    // The disc pre-rendered for the scale it was last painted at.
    std::shared_ptr<DotSprites> sprites;
};
