#include "phase_portrait.h"

#include "analysis_worker.h"
#include "curve_legend.h"
#include "field_analysis.h"
#include "field_model.h"
#include "field_snapshot.h"
#include "nullclines.h"
#include "solution_curves.h"

#include <QGraphicsScene>
#include <QGraphicsView>

#include <algorithm>
#include <array>
#include <utility>

namespace {

// Colour-blind-safe (Okabe and Ito), and apart from the arrows' black and the markers' ink.
const QColor kFxZero(0xd5, 0x5e, 0x00);   // vermillion
const QColor kFyZero(0x00, 0x72, 0xb2);   // blue
const QColor kSolution(0x00, 0x9e, 0x73); // bluish green
// A solution that has ended in the past is the same green, lighter.
const QColor kSolutionBefore(0x00, 0x9e, 0x73, 0x70);

// A solution is followed until it leaves the region or reaches an equilibrium; these stop
// one that does neither (a slow drift, a cycle it winds onto) after long enough to be drawn.
constexpr double kSolveSeconds = 1000;
constexpr double kPathInRegionSizes = 10;

using Nullclines = std::array<std::vector<Polyline>, 2>;

QPolygonF polylineOf(const Polyline& points)
{
    QPolygonF line;
    line.reserve(int(points.size()));
    for (const auto& [x, y] : points)
        line.append(QPointF(x, y));
    return line;
}

} // namespace

PhasePortrait::PhasePortrait(const FieldModel& field, QGraphicsScene& scene, QGraphicsView& view)
    : field(field), scene(scene), view(view), nullclineWorker(std::make_unique<AnalysisWorker>()),
      curveWorker(std::make_unique<AnalysisWorker>())
{
}

PhasePortrait::~PhasePortrait()
{
    nullclineWorker.reset();
    curveWorker.reset();
    delete legend;
}

bool PhasePortrait::computing() const
{
    return nullclineWorker->busy() || curveWorker->busy();
}

void PhasePortrait::refit(const QTransform& transform)
{
    sceneToView = transform;
    for (CurveLayer* layer : {nullclineLayer, solutionLayer})
        if (layer) layer->fitTo(sceneToView);
}

void PhasePortrait::toggleNullclines()
{
    if (!nullclineLayer) {
        nullclineLayer = new CurveLayer;
        nullclineLayer->fitTo(sceneToView);
        nullclineLayer->hide();
        scene.addItem(nullclineLayer);
        legend = new CurveLegend(&view);
        traceNullclines();
    }
    const bool showing = !nullclineLayer->isVisible();
    nullclineLayer->setVisible(showing);
    if (!showing) return legend->hide();
    legend->showEntries({{kFxZero, Qt::SolidLine, QObject::tr("Fx = 0")},
                         {kFyZero, Qt::SolidLine, QObject::tr("Fy = 0")}});
}

void PhasePortrait::traceNullclines()
{
    auto snapshot = std::make_shared<const FieldSnapshot>(field);
    nullclineWorker->request(
        [snapshot](const std::atomic<bool>&) {
            // Without the region: a field that has no derivative still has nullclines, traced
            // then without the saddle points that decide where branches cross.
            const FieldAnalysis analysis(snapshot->Fx(), snapshot->Fy());
            const Region& r = snapshot->Bounds();
            return Nullclines{analysis.Nullcline(0, r.xMin, r.xMax, r.yMin, r.yMax),
                              analysis.Nullcline(1, r.xMin, r.xMax, r.yMin, r.yMax)};
        },
        [this](Nullclines found) {
            QVector<CurveLayer::Curve> curves;
            for (int component = 0; component < 2; ++component)
                for (const Polyline& line : found[component])
                    curves.append({polylineOf(line), component == 0 ? kFxZero : kFyZero,
                                   Qt::SolidLine, 2, 0});
            nullclineLayer->setCurves(std::move(curves));
        });
}

void PhasePortrait::addSolution(const QPointF& at)
{
    addStart({at.x(), at.y(), 0, 0, false});
}

void PhasePortrait::addLaunch(const QPointF& at, const QVector2D& velocity)
{
    addStart({at.x(), at.y(), velocity.x(), velocity.y(), true});
}

void PhasePortrait::addStart(const Start& start)
{
    if (!solutionLayer) {
        solutionLayer = new CurveLayer;
        solutionLayer->fitTo(sceneToView);
        scene.addItem(solutionLayer);
    }
    starts.push_back(start);
    solvePending();
}

void PhasePortrait::solvePending()
{
    if (unsolvedFrom >= starts.size()) return;
    auto snapshot = std::make_shared<const FieldSnapshot>(field);
    const std::vector<Start> pending(starts.begin() + long(unsolvedFrom), starts.end());
    const std::size_t from = unsolvedFrom;
    curveWorker->request(
        [snapshot, pending](const std::atomic<bool>& cancelled) {
            const FieldAnalysis analysis(snapshot->Fx(), snapshot->Fy());
            const Region& region = snapshot->Bounds();
            std::vector<std::vector<Trajectory>> solved;
            for (const Start& start : pending) {
                if (cancelled) break; // nobody waits for these any more
                CurveRequest request;
                request.start[0] = start.x;
                request.start[1] = start.y;
                request.start[2] = start.vx;
                request.start[3] = start.vy;
                request.region = region;
                std::vector<Trajectory> curves;
                if (start.launch) {
                    request.acceleration = true;
                    request.duration = kLaunchSeconds;
                    curves.push_back(TraceCurve(analysis, request).trajectory);
                } else {
                    request.longestPath =
                        kPathInRegionSizes * std::max(region.Width(), region.Height());
                    for (const double duration : {kSolveSeconds, -kSolveSeconds}) {
                        request.duration = duration;
                        curves.push_back(TraceCurve(analysis, request).trajectory);
                    }
                }
                solved.push_back(std::move(curves));
            }
            return solved;
        },
        [this, from](std::vector<std::vector<Trajectory>> solved) {
            receiveCurves(from, std::move(solved));
        });
}

void PhasePortrait::receiveCurves(std::size_t from, std::vector<std::vector<Trajectory>> solved)
{
    drawn.resize(from + solved.size());
    for (std::size_t i = 0; i < solved.size(); ++i) {
        QVector<CurveLayer::Curve>& curves = drawn[from + i];
        curves.clear();
        for (std::size_t k = 0; k < solved[i].size(); ++k) {
            const Trajectory& path = solved[i][k];
            QPolygonF line = polylineOf(path.x, path.y);
            const bool before = k == 1; // backward in time
            // Drawn the way time runs, so that the heads point along the flow.
            if (before) std::reverse(line.begin(), line.end());
            curves.append(
                {line, before ? kSolutionBefore : kSolution, Qt::SolidLine, 2, before ? 2 : 3});
        }
    }
    unsolvedFrom = drawn.size();
    showCurves();
}

void PhasePortrait::showCurves()
{
    QVector<CurveLayer::Curve> all;
    for (const QVector<CurveLayer::Curve>& curves : drawn)
        all += curves;
    solutionLayer->setCurves(std::move(all));
}

void PhasePortrait::clearCurves()
{
    curveWorker->cancel();
    starts.clear();
    drawn.clear();
    unsolvedFrom = 0;
    if (solutionLayer) showCurves();
}

void PhasePortrait::fieldChanged()
{
    if (nullclineLayer) traceNullclines();
    // What is drawn stays until the new curves come.
    unsolvedFrom = 0;
    solvePending();
}
