#pragma once

#include <QObject>
#include <QRectF>
#include <QTransform>

#include <cstdint>
#include <memory>
#include <optional>

class DotSwarm;
class FadingLayer;
class FieldModel;
class FlowField;
class FlowLayer;
class QGraphicsScene;

// The layers that draw motion in the view's own pixels, each made on its first key so that a
// window without them has exactly the designed items: the trails behind the dropped particles
// (T), and the flow view (F), thousands of particles streaming through the field's region. The
// scene owns the layer items.
//
// A QObject so that connections made with it as their context end with it: the window's scroll
// bars report here, and must stop before the scene is destroyed and moves them once more.
class MotionLayers : public QObject
{
    Q_OBJECT

public:
    // How many particles the flow view streams until + or - change it.
    static constexpr int kDefaultFlowCount = 5000;

    explicit MotionLayers(QGraphicsScene& scene);
    ~MotionLayers() override;

    // Removes both layers and streams any flow through `field` from now on; null makes none.
    // The field must outlive this object, or be replaced before it goes.
    void follow(const FieldModel* field);
    // The field changed (a value slot, its region): moved to another region, the trails start
    // empty over it and the flow's particles are born again all over it; otherwise both go on.
    // The caller fits the layers to its view of the new region (fitTo) before they draw again.
    void fieldChanged();
    // Where the flow view's random places come from, for the flows made from now on.
    void setFlowSeed(std::uint64_t seed) { flowSeed = seed; }
    void toggleTrails();
    // Every showing starts from particles spread afresh over the region.
    void toggleFlow();
    // How many particles the flow view streams, whether it is shown or not: 500 to 200,000.
    void setFlowCount(int count);
    int flowCount() const { return flowParticles; }
    bool flowShown() const;
    // The speed the flow's palette reaches its last colour at; 0 before the flow has moved.
    double flowSpeedScale() const;

    // The view's scale and flip, its screen's pixel ratio and the part of the scene it shows,
    // for the layers there are and those made later.
    void fitTo(const QTransform& sceneToView, qreal devicePixelRatio, const QRectF& shown);
    // Moves a shown flow on by `seconds` in `substeps` substeps and draws its step; with
    // `startTime`, the field's t runs on from it with the substeps.
    void advanceFlow(double seconds, int substeps, std::optional<double> startTime = std::nullopt);
    // Fades shown trails by `seconds` and draws the dots' last steps, lines a third as wide as
    // a dot `dotPixels` wide in the view.
    void drawTrails(double seconds, const DotSwarm& dots, double dotPixels);

private:
    void fit(FadingLayer& layer) const;
    // Adds a new layer to the scene, hidden and fitted to the view.
    void addHidden(FadingLayer* layer);
    // Shows a hidden layer or hides a shown one, empty either way; answers whether it shows.
    static bool flip(FadingLayer& layer);

    QGraphicsScene& scene;
    const FieldModel* field = nullptr;
    FadingLayer* trails = nullptr;
    std::unique_ptr<FlowField> flow;
    FlowLayer* flowLayer = nullptr;
    int flowParticles = kDefaultFlowCount;
    std::uint64_t flowSeed = 1;
    QTransform sceneToView;
    qreal pixelRatio = 1;
    QRectF shown;
};
