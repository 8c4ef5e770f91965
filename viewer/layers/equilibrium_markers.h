#pragma once

#include "classification.h"

#include <QGraphicsItem>
#include <QPointF>
#include <QString>
#include <QVector>

#include <vector>

struct Equilibrium;

// The equilibria of a field as small symbols with their kind beside them, above everything
// else. A saddle also shows its two eigenvector directions: solid where the field leads away
// from it, dashed where it leads in. Symbols and labels keep their size in pixels whatever the
// view's scale.
class EquilibriumMarkers : public QGraphicsItem
{
public:
    struct Marker
    {
        QPointF at;
        EquilibriumKind kind = EquilibriumKind::Degenerate;
        QString label; // the kind's name
        // For a saddle, unit eigenvectors for the positive and the negative eigenvalue.
        bool saddle = false;
        QPointF outward;
        QPointF inward;
    };

    EquilibriumMarkers(const std::vector<Equilibrium>& equilibria, const QRectF& region);

    // Shows these instead; fitTo afterwards makes room for them.
    void setEquilibria(const std::vector<Equilibrium>& equilibria);

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    // Tells the markers how many pixels a scene unit has, which their extent depends on.
    void fitTo(const QTransform& sceneToView);

    const QVector<Marker>& markers() const { return shown; }
    // How far a saddle's direction lines reach from its centre, in pixels.
    static constexpr double kDirectionLength = 34;

private:
    QVector<Marker> shown;
    QRectF region;
    QRectF extent;
};
