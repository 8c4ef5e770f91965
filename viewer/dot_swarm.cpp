#include "dot_swarm.h"

#include "fading_layer.h"
#include "field_model.h"
#include "particle_stepper.h"
#include "qgraphicsdot.h"

#include <QGraphicsScene>

#include <algorithm>

namespace {

// Trails are a little transparent, so that crossing ones both stay visible.
constexpr int kTrailAlpha = 200;

} // namespace

DotSwarm::DotSwarm(QGraphicsScene& scene) : scene(scene) {}

DotSwarm::~DotSwarm() = default;

void DotSwarm::follow(const FieldModel* field)
{
    stepper.reset();
    if (field) stepper = std::make_unique<ParticleStepper>(field->Fx(), field->Fy(), field->Kind());
}

void DotSwarm::add(const QPointF& at, const QColor& color, QVector2D velocity, double size)
{
    auto* dot = new QGraphicsDot(size, color);
    dot->setPos(at);
    scene.addItem(dot);
    dots.push_back(dot);
    x.push_back(at.x());
    y.push_back(at.y());
    vx.push_back(velocity.x());
    vy.push_back(velocity.y());
    trailColours.push_back(
        qPremultiply(qRgba(color.red(), color.green(), color.blue(), kTrailAlpha)));
    // Kept as long as the others: a tick must find room for every dot.
    startX.resize(x.size());
    startY.resize(y.size());
}

void DotSwarm::clear()
{
    for (QGraphicsDot* dot : dots) {
        scene.removeItem(dot);
        delete dot;
    }
    dots.clear();
    for (std::vector<double>* column : {&x, &y, &startX, &startY})
        column->clear();
    vx.clear();
    vy.clear();
    trailColours.clear();
}

void DotSwarm::resize(double size)
{
    for (QGraphicsDot* dot : dots)
        dot->setSize(size);
}

void DotSwarm::advance(double dt, int substeps, std::optional<double> startTime)
{
    if (!stepper || dots.empty()) return;
    std::copy(x.begin(), x.end(), startX.begin());
    std::copy(y.begin(), y.end(), startY.begin());
    if (startTime)
        stepper->Tick(dots.size(), x.data(), y.data(), vx.data(), vy.data(), dt, substeps,
                      *startTime);
    else
        stepper->Tick(dots.size(), x.data(), y.data(), vx.data(), vy.data(), dt, substeps);
    for (std::size_t i = 0; i < dots.size(); ++i) {
        dots[i]->notifyGeometryChange();
        dots[i]->setPos(x[i], y[i]);
    }
}

void DotSwarm::drawSteps(FadingLayer& trails, int width) const
{
    for (std::size_t i = 0; i < dots.size(); ++i)
        trails.drawLine(QPointF(startX[i], startY[i]), QPointF(x[i], y[i]), trailColours[i], width);
}
