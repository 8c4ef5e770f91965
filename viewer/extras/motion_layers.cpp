#include "motion_layers.h"

#include "dot_swarm.h"
#include "fading_layer.h"
#include "field_model.h"
#include "field_settings.h"
#include "flow_field.h"
#include "flow_layer.h"
#include "region_moves.h"

#include <QGraphicsScene>

#include <algorithm>
#include <cmath>

namespace {

// A trail keeps 1/e of its strength after this many seconds, so it shows for a second or so.
constexpr double kTrailLifetime = 0.3;

} // namespace

MotionLayers::MotionLayers(QGraphicsScene& scene) : scene(scene) {}

MotionLayers::~MotionLayers() = default;

void MotionLayers::follow(const FieldModel* newField)
{
    for (FadingLayer* layer : {trails, static_cast<FadingLayer*>(flowLayer)}) {
        if (!layer) continue;
        scene.removeItem(layer);
        delete layer;
    }
    trails = nullptr;
    flowLayer = nullptr;
    flow.reset();
    field = newField;
}

void MotionLayers::fieldChanged()
{
    if (!field) return;
    const QRectF region = sceneRectOf(field->Bounds());
    // Left without pixels until fitTo: under the old view's scale, a region many times larger
    // than the one zoomed into would take gigabytes of them.
    for (FadingLayer* layer : {trails, static_cast<FadingLayer*>(flowLayer)})
        if (layer && layer->boundingRect() != region) layer->setRegion(region);
    if (flow && !SameRegion(flow->Bounds(), field->Bounds())) flow->Retarget(field->Bounds());
}

void MotionLayers::fit(FadingLayer& layer) const
{
    layer.fitTo(sceneToView, pixelRatio);
    layer.limitTo(shown);
}

void MotionLayers::fitTo(const QTransform& transform, qreal devicePixelRatio,
                         const QRectF& shownPart)
{
    sceneToView = transform;
    pixelRatio = devicePixelRatio;
    shown = shownPart;
    for (FadingLayer* layer : {trails, static_cast<FadingLayer*>(flowLayer)})
        if (layer) fit(*layer);
}

void MotionLayers::addHidden(FadingLayer* layer)
{
    layer->hide();
    scene.addItem(layer);
    fit(*layer);
}

bool MotionLayers::flip(FadingLayer& layer)
{
    layer.clear();
    layer.setVisible(!layer.isVisible());
    return layer.isVisible();
}

void MotionLayers::toggleTrails()
{
    if (!field) return;
    if (!trails) addHidden(trails = new FadingLayer(sceneRectOf(field->Bounds())));
    flip(*trails);
}

void MotionLayers::toggleFlow()
{
    if (!field) return;
    if (!flowLayer) {
        flow = std::make_unique<FlowField>(field->Fx(), field->Fy(), field->Kind(), field->Bounds(),
                                           flowSeed);
        addHidden(flowLayer = new FlowLayer(sceneRectOf(field->Bounds())));
    }
    const bool shown = flip(*flowLayer);
    flow->SetCount(0);
    flow->SetCount(shown ? std::size_t(flowParticles) : 0);
}

void MotionLayers::setFlowCount(int count)
{
    flowParticles = std::clamp(count, 500, 200000);
    if (flowLayer && flowLayer->isVisible()) flow->SetCount(std::size_t(flowParticles));
}

bool MotionLayers::flowShown() const
{
    return flowLayer && flowLayer->isVisible();
}

double MotionLayers::flowSpeedScale() const
{
    return flowLayer ? flowLayer->speedScale() : 0.0;
}

void MotionLayers::advanceFlow(double seconds, int substeps, std::optional<double> startTime)
{
    if (!flowLayer || !flowLayer->isVisible()) return;
    if (startTime)
        flow->Tick(seconds, substeps, *startTime);
    else
        flow->Tick(seconds, substeps);
    flowLayer->drawStep(*flow, seconds);
}

void MotionLayers::drawTrails(double seconds, const DotSwarm& dots, double dotPixels)
{
    if (!trails || !trails->isVisible()) return;
    trails->fade(seconds, kTrailLifetime);
    if (dots.count() == 0) return;
    dots.drawSteps(*trails, std::max(1, int(std::lround(0.3 * dotPixels * pixelRatio))));
    trails->update();
}
