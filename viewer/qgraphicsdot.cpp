#include "qgraphicsdot.h"

#include <QBrush>
#include <QGraphicsEllipseItem>
#include <QPen>

QGraphicsDot::QGraphicsDot(double size, const QColor& color)
    : disc(new QGraphicsEllipseItem(-size / 2, -size / 2, size, size)), size(size), color(color)
{
    disc->setBrush(QBrush(color));
    disc->setPen(Qt::NoPen);
    disc->setParentItem(this);
}

QGraphicsDot::~QGraphicsDot()
{
    // The disc goes first; the base destructor then finds no children left to delete.
    delete disc;
}

QRectF QGraphicsDot::boundingRect() const
{
    return QRectF(-size, -size, 2 * size, 2 * size);
}

void QGraphicsDot::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    disc->paint(painter, option, widget);
}
