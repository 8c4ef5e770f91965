#include "plain_frame.h"

#include "qgraphicsdot.h"

#include <QGraphicsEllipseItem>
#include <QGraphicsView>
#include <QPainter>
#include <QStyleOptionGraphicsItem>

#include <cstdlib>

namespace {

QGraphicsEllipseItem* discOf(const QGraphicsItem* item)
{
    return item ? dynamic_cast<QGraphicsEllipseItem*>(item->childItems().value(0)) : nullptr;
}

void fillBackground(QPainter& painter, const QGraphicsView& view, const QRectF& sceneRect)
{
    const QBrush brush = view.backgroundBrush().style() != Qt::NoBrush
                             ? view.backgroundBrush()
                             : view.scene()->backgroundBrush();
    if (brush.style() != Qt::NoBrush) painter.fillRect(sceneRect, brush);
}

} // namespace

QImage plainFrame(const QGraphicsView& view)
{
    const QWidget* port = view.viewport();
    const qreal ratio = port->devicePixelRatioF();
    QImage frame(port->size() * ratio, QImage::Format_RGB32);
    frame.setDevicePixelRatio(ratio);
    frame.fill(port->palette().color(port->backgroundRole()));

    QPainter painter(&frame);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const QTransform toViewport = view.viewportTransform();
    painter.setWorldTransform(toViewport);
    fillBackground(painter, view, view.mapToScene(port->rect()).boundingRect());

    for (QGraphicsItem* item : view.scene()->items(Qt::AscendingOrder)) {
        if (!item->isVisible()) continue;
        // The disc's own paint is switched off where its dot paints it; plainly, it paints.
        const bool dotsDisc = dynamic_cast<QGraphicsDot*>(item->parentItem()) != nullptr;
        if (item->flags() & QGraphicsItem::ItemHasNoContents && !dotsDisc) continue;

        painter.save();
        painter.setWorldTransform(item->deviceTransform(toViewport));
        painter.setOpacity(item->effectiveOpacity());
        QStyleOptionGraphicsItem option;
        option.state = item->isSelected() ? QStyle::State_Selected : QStyle::State_None;
        option.exposedRect = item->boundingRect();
        option.rect = option.exposedRect.toAlignedRect();
        if (dynamic_cast<QGraphicsDot*>(item)) {
            // The dot forwards its paint to the disc.
            if (QGraphicsEllipseItem* disc = discOf(item))
                disc->QGraphicsEllipseItem::paint(&painter, &option, nullptr);
        } else if (auto* ellipse = dynamic_cast<QGraphicsEllipseItem*>(item)) {
            ellipse->QGraphicsEllipseItem::paint(&painter, &option, nullptr);
        } else if (auto* path = dynamic_cast<QGraphicsPathItem*>(item)) {
            path->QGraphicsPathItem::paint(&painter, &option, nullptr);
        } else {
            item->paint(&painter, &option, nullptr);
        }
        painter.restore();
    }
    return frame;
}

FrameDifference frameDifference(const QImage& a, const QImage& b)
{
    FrameDifference d;
    if (a.size() != b.size() || a.isNull()) {
        d.mean = d.largest = 255;
        return d;
    }
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    long long sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int column = 0; column < x.width(); ++column) {
            for (const int channel : {std::abs(qRed(p[column]) - qRed(q[column])),
                                      std::abs(qGreen(p[column]) - qGreen(q[column])),
                                      std::abs(qBlue(p[column]) - qBlue(q[column]))}) {
                sum += channel;
                d.largest = std::max(d.largest, channel);
            }
        }
    }
    d.mean = double(sum) / (3.0 * x.width() * x.height());
    return d;
}
