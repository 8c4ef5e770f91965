#include "same_length_arrows.h"

#include "field_map_layer.h"
#include "qgraphicsarrow.h"
#include "scale_legend.h"

#include <QObject>

#include <algorithm>
#include <cmath>

SameLengthArrows::SameLengthArrows(QAbstractScrollArea* view)
    : legend(new ScaleLegend(view, Qt::BottomLeftCorner, 2, QObject::tr("|F| of the arrows")))
{
}

void SameLengthArrows::toggle(const std::vector<QGraphicsArrow*>& arrows)
{
    on = !on;
    redraw(arrows);
}

void SameLengthArrows::draw(const ArrowSample& sample, const std::vector<QGraphicsArrow*>& arrows,
                            double arrowSize)
{
    shown = sample;
    headSize = arrowSize;
    if (on) redraw(arrows);
}

void SameLengthArrows::redraw(const std::vector<QGraphicsArrow*>& arrows) const
{
    const std::size_t sampled = std::min(shown.points.size(), arrows.size());
    // The designed plot's longest arrow, and the largest magnitude, which gets the last colour.
    float longest = 0;
    double largest = 0;
    for (std::size_t i = 0; i < sampled; ++i) {
        const ArrowSample::Vector drawn = shown.Drawn(i);
        longest = std::max(longest, QVector2D(drawn.x, drawn.y).length());
        largest = std::max(largest, std::hypot(double(shown.vectors[i].x), shown.vectors[i].y));
    }
    for (std::size_t i = 0; i < sampled; ++i) {
        const ArrowSample::Vector drawn = shown.Drawn(i);
        const QPointF at(shown.points[i].x, shown.points[i].y);
        QVector2D vector(drawn.x, drawn.y);
        QBrush brush(Qt::black);
        if (on) {
            const double magnitude = std::hypot(double(shown.vectors[i].x), shown.vectors[i].y);
            // A zero vector has no direction to draw, as designed.
            vector = magnitude > 0 ? longest * vector.normalized() : QVector2D();
            brush = QBrush(QColor::fromRgb(sequentialColor(magnitude / largest)));
        }
        arrows[i]->setBrush(brush);
        arrows[i]->reshape(at, headSize, vector);
    }
    if (on)
        legend->showScale(largest);
    else
        legend->hide();
}
