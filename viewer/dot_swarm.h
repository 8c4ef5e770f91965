#pragma once

#include <QColor>
#include <QPointF>
#include <QVector2D>

#include <memory>
#include <optional>
#include <vector>

class FadingLayer;
class FieldModel;
class ParticleStepper;
class QGraphicsDot;
class QGraphicsScene;

// The particles dropped into the field window. Their positions and velocities live in arrays
// that the stepper moves all together; each is drawn by its QGraphicsDot, which the scene owns
// and which every tick moves to where the arrays say. A particle's velocity changes only in an
// acceleration field; in a velocity field it keeps the one it was dropped with.
class DotSwarm
{
public:
    explicit DotSwarm(QGraphicsScene& scene);
    ~DotSwarm();
    DotSwarm(const DotSwarm&) = delete;
    DotSwarm& operator=(const DotSwarm&) = delete;

    // Moves the dots through `field` from now on; null stops them. The field must outlive the
    // swarm, or be replaced before it goes.
    void follow(const FieldModel* field);
    // A dot of diameter `size` at `at`, added to the scene.
    void add(const QPointF& at, const QColor& color, QVector2D velocity, double size);
    // Deletes every dot.
    void clear();
    // Every dot `size` across from now on; they stay where they are.
    void resize(double size);
    int count() const { return int(dots.size()); }

    // Moves every dot on by `substeps` substeps of `dt` seconds; with `startTime`, the field's t
    // runs on from it with the substeps. Allocates nothing unless there are more dots than at
    // every tick before.
    void advance(double dt, int substeps, std::optional<double> startTime = std::nullopt);
    // Each dot's move of the last advance, as a line `width` pixels wide in the dot's colour.
    void drawSteps(FadingLayer& trails, int width) const;

private:
    QGraphicsScene& scene;
    std::unique_ptr<ParticleStepper> stepper;
    std::vector<QGraphicsDot*> dots;
    std::vector<double> x, y, startX, startY;
    std::vector<float> vx, vy;
    std::vector<QRgb> trailColours; // premultiplied
};
