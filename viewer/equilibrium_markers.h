#pragma once

#include <QGraphicsItem>
#include <QPointF>
#include <QString>
#include <QVector>

#include <vector>

class FieldAnalysis;
struct Equilibrium;
struct Matrix2;

// A unit eigenvector of `m` for its real eigenvalue `lambda`.
QPointF eigenvector(const Matrix2& m, double lambda);

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
        QString kind;
        // For a saddle, unit eigenvectors for the positive and the negative eigenvalue.
        bool saddle = false;
        QPointF outward;
        QPointF inward;
    };

    // The Jacobian for a saddle's directions is evaluated through `analysis` here, once.
    EquilibriumMarkers(const std::vector<Equilibrium>& equilibria, const FieldAnalysis& analysis,
                       const QRectF& region);

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
