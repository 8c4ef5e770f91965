#pragma once

#include "curve_layer.h"

#include <QPointF>
#include <QTransform>
#include <QVector2D>

#include <memory>
#include <vector>

class AnalysisWorker;
class CurveLegend;
class FieldModel;
class QGraphicsScene;
class QGraphicsView;
struct Trajectory;

// The field window's extras behind N and O: the nullclines Fx = 0 and Fy = 0 with their
// legend, and the solution curves that clicks draw while O is on. Both are computed on worker
// threads from snapshots of the field and follow it when it changes: the nullclines are traced
// again, and every curve is solved again from where it started. The scene owns the layers, the
// view the legend.
class PhasePortrait
{
public:
    // `field` must outlive this object.
    PhasePortrait(const FieldModel& field, QGraphicsScene& scene, QGraphicsView& view);
    ~PhasePortrait();
    PhasePortrait(const PhasePortrait&) = delete;
    PhasePortrait& operator=(const PhasePortrait&) = delete;

    void toggleNullclines();
    // Whether clicks draw solution curves instead of dropping particles.
    void toggleCurveMode() { curveMode = !curveMode; }
    bool drawsCurves() const { return curveMode; }
    // The solution of a velocity field through `at`, forward and backward in time.
    void addSolution(const QPointF& at);
    // The path of a particle launched from `at` with `velocity` in an acceleration field.
    void addLaunch(const QPointF& at, const QVector2D& velocity);
    void clearCurves();
    // The field changed (a value slot, its region): nullclines and curves are computed anew.
    void fieldChanged();
    void refit(const QTransform& sceneToView);

    // For checking: the layers, null before their key; whether work is on its way.
    const CurveLayer* nullclines() const { return nullclineLayer; }
    const CurveLayer* solutions() const { return solutionLayer; }
    bool computing() const;

    // How long a launched particle's path is followed, in seconds.
    static constexpr double kLaunchSeconds = 20;

private:
    // Where a curve starts: a point, and for a launch its velocity.
    struct Start
    {
        double x = 0, y = 0;
        double vx = 0, vy = 0;
        bool launch = false;
    };
    void traceNullclines();
    void addStart(const Start& start);
    // Solves every curve from `unsolvedFrom` on.
    void solvePending();
    void receiveCurves(std::size_t from, std::vector<std::vector<Trajectory>> solved);
    void showCurves();

    const FieldModel& field;
    QGraphicsScene& scene;
    QGraphicsView& view;
    QTransform sceneToView;
    bool curveMode = false;
    std::vector<Start> starts;
    std::vector<QVector<CurveLayer::Curve>> drawn; // per start, once solved
    std::size_t unsolvedFrom = 0;
    // Made on first use; the scene owns the items, the view the legend.
    CurveLayer* nullclineLayer = nullptr;
    CurveLayer* solutionLayer = nullptr;
    CurveLegend* legend = nullptr;
    // Ended first by the destructor, so that nothing arrives afterwards.
    std::unique_ptr<AnalysisWorker> nullclineWorker;
    std::unique_ptr<AnalysisWorker> curveWorker;
};
