#pragma once

#include <QColor>
#include <QGraphicsItem>
#include <QPolygonF>
#include <QVector>

#include <vector>

// Curves of the plane, such as nullclines, solutions, separatrices and cycles, drawn over the
// arrows and particles and under the equilibrium markers. Points are in the field's (scene)
// coordinates, so the curves stay put when the view scrolls or zooms; lines, dashes and
// arrowheads keep their size in pixels.
class CurveLayer : public QGraphicsItem
{
public:
    struct Curve
    {
        QPolygonF points;
        QColor colour;
        Qt::PenStyle style = Qt::SolidLine;
        double width = 2; // pixels
        // Evenly spaced along the curve, pointing the way its points run.
        int arrowheads = 0;
    };

    CurveLayer();

    void setCurves(QVector<Curve> curves);
    void addCurves(const QVector<Curve>& more);
    const QVector<Curve>& curves() const { return shown; }

    // Tells the layer how many pixels a scene unit has, which its extent depends on.
    void fitTo(const QTransform& sceneToView);

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    void updateExtent();

    QVector<Curve> shown;
    QRectF covered; // by the points alone
    QRectF extent;  // with room for the widest line and heads
    double unitsPerPixel = 0;
};

// The points (x[i], y[i]) as a polyline of the scene.
QPolygonF polylineOf(const std::vector<double>& x, const std::vector<double>& y);
