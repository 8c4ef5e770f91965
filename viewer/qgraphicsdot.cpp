#include "qgraphicsdot.h"

#include "dotsprites.h"

#include <QBrush>
#include <QGraphicsEllipseItem>
#include <QPaintEngine>
#include <QPainter>
#include <QPen>

#include <cmath>

QGraphicsDot::QGraphicsDot(double size, const QColor& color)
    : disc(new QGraphicsEllipseItem(-size / 2, -size / 2, size, size)), size(size), color(color)
{
    disc->setBrush(QBrush(color));
    disc->setPen(Qt::NoPen);
    disc->setParentItem(this);
    // The dot's paint draws the disc as both paintings together leave it.
    disc->setFlag(QGraphicsItem::ItemHasNoContents);
}

QGraphicsDot::~QGraphicsDot()
{
    // The disc goes first; the base destructor then finds no children left to delete.
    delete disc;
}

void QGraphicsDot::setSize(double newSize)
{
    prepareGeometryChange();
    size = newSize;
    disc->setRect(-size / 2, -size / 2, size, size);
    sprites.reset();
}

QRectF QGraphicsDot::boundingRect() const
{
    return QRectF(-size, -size, 2 * size, 2 * size);
}

void QGraphicsDot::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    const QTransform& toDevice = painter->worldTransform();
    const double ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const double scaleX = toDevice.m11() * ratio;
    const double scaleY = toDevice.m22() * ratio;
    // Sprites only serve pixels: a drawing (an SVG file, say) gets the discs as shapes.
    const bool spritesFit =
        painter->paintEngine() && painter->paintEngine()->type() == QPaintEngine::Raster &&
        toDevice.type() <= QTransform::TxScale && painter->worldMatrixEnabled() &&
        !painter->viewTransformEnabled() && painter->testRenderHint(QPainter::Antialiasing) &&
        std::max(std::abs(scaleX), std::abs(scaleY)) * size <= DotSprites::kLargestDiameter;
    if (spritesFit) {
        if (!sprites || !sprites->madeFor(scaleX, scaleY))
            sprites = DotSprites::forDisc(size, color, scaleX, scaleY);
        const QPointF centre = QPointF(toDevice.dx(), toDevice.dy()) * ratio;
        // Sprites are placed in whole device pixels; switching the world transform off and on
        // again costs less than replacing it twice.
        painter->setWorldMatrixEnabled(false);
        const bool drawn = sprites->draw(painter, centre, ratio);
        painter->setWorldMatrixEnabled(true);
        if (drawn) return;
    }
    // Forwarded to the disc, and once more for the disc as the dot's child.
    disc->paint(painter, option, widget);
    disc->paint(painter, option, widget);
}
