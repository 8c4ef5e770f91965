#include "field_insight.h"

#include "analysis_worker.h"
#include "curve_layer.h"
#include "equilibrium_markers.h"
#include "field_analysis.h"
#include "field_model.h"
#include "field_settings.h"
#include "field_snapshot.h"
#include "function_interpreter.h"
#include "info_panel.h"
#include "map_legend.h"
#include "separatrices.h"
#include "view_note.h"

#include <QGraphicsScene>
#include <QGraphicsView>

#include <algorithm>

namespace {

// Map cells along the region's longer side: smooth once drawn scaled up to a full screen.
constexpr int kMapCells = 320;

// The curves that E adds, apart from the nullclines' colours and the solutions' green.
const QColor kSeparatrix(0x88, 0x22, 0x55); // wine
const QColor kCycle(25, 25, 25);            // the markers' ink
const QColor kZeroCurve(25, 25, 25);

// Points of Fx's and Fy's zero sets closer than this, relative to the region, are one point:
// both formulas vanish there, each to the rounding of its own crossing.
constexpr double kSameZeroPoint = 1e-9;

// What E draws besides the markers: separatrices (unstable solid, stable dashed, as on the
// saddle's marker), cycles (stable solid, unstable dashed) and the zero curves of continua.
QVector<CurveLayer::Curve> portraitCurvesOf(const FieldInsight::Portrait& portrait)
{
    QVector<CurveLayer::Curve> drawn;
    for (std::size_t i = 0; i < portrait.separatrices.size(); ++i) {
        const Trajectory& branch = portrait.separatrices[i];
        const bool unstable = i % 4 < 2;
        drawn.append({polylineOf(branch.x, branch.y), kSeparatrix,
                      unstable ? Qt::SolidLine : Qt::DashLine, 2, 0});
    }
    for (const LimitCycle& cycle : portrait.cycles)
        drawn.append({polylineOf(cycle.x, cycle.y), kCycle,
                      cycle.stable ? Qt::SolidLine : Qt::DashLine, 3, 2});
    for (const Polyline& line : portrait.zeroCurves) {
        QPolygonF points;
        for (const auto& [x, y] : line)
            points.append(QPointF(x, y));
        drawn.append({points, kZeroCurve, Qt::SolidLine, 4, 0});
    }
    for (const Region& area : portrait.zeroAreas) {
        const QRectF box(area.xMin, area.yMin, area.Width(), area.Height());
        drawn.append({QPolygonF(box), kZeroCurve, Qt::DotLine, 2, 0});
    }
    return drawn;
}

int indexOf(MapQuantity quantity)
{
    return quantity == MapQuantity::Divergence ? 0 : 1;
}

} // namespace

FieldInsight::FieldInsight(const FieldModel& field, QGraphicsScene& scene, QGraphicsView& view)
    : field(field),
      // For the region: a power of a base that is negative there has no derivative there.
      fieldAnalysis(std::make_unique<FieldAnalysis>(field.Fx(), field.Fy(), field.Bounds())),
      worker(std::make_unique<AnalysisWorker>()),
      portraitWorker(std::make_unique<AnalysisWorker>()), scene(scene), view(view)
{
}

FieldInsight::~FieldInsight()
{
    // A search that ends now must not find the markers or the panel gone.
    worker.reset();
    portraitWorker.reset();
    // The panel reads the analysis; the overlays would be orphans of a new insight.
    if (infoPanel) infoPanel->stopFollowing();
    delete infoPanel;
    delete legend;
    ViewNote::tell(&view, ViewNote::Topic::Analysis, QString());
}

const std::vector<Equilibrium>& FieldInsight::equilibria() const
{
    static const std::vector<Equilibrium> none;
    return found ? found->entries : none;
}

bool FieldInsight::searching() const
{
    return worker && worker->busy();
}

bool FieldInsight::working() const
{
    return searching() || (portraitWorker && portraitWorker->busy());
}

void FieldInsight::searchEquilibria()
{
    if (found || worker->busy()) return;
    if (!fieldAnalysis->Differentiable()) {
        found = EquilibriumSearch(); // nothing to search: the note says why
        return;
    }
    // The worker's own copies: a parameter that changes meanwhile cannot race with the search.
    auto snapshot = std::make_shared<const FieldSnapshot>(field);
    worker->request(
        [snapshot](const std::atomic<bool>& cancelled) {
            const FieldAnalysis analysis(snapshot->Fx(), snapshot->Fy(), snapshot->Bounds());
            SearchLimits limits;
            limits.cancelled = &cancelled;
            return analysis.FindEquilibria(snapshot->Bounds(), snapshot->Kind(), limits);
        },
        [this](EquilibriumSearch search) { receive(std::move(search)); });
}

void FieldInsight::receive(EquilibriumSearch search)
{
    found = std::move(search);
    if (markers) {
        markers->setEquilibria(marked());
        markers->fitTo(sceneToView);
    }
    if (infoPanel && fieldAnalysis->Differentiable()) infoPanel->showEquilibria(equilibriaText());
    tracePortrait();
    tellWhatIsMissing();
}

std::vector<Equilibrium> FieldInsight::marked() const
{
    std::vector<Equilibrium> entries;
    for (const Equilibrium& e : equilibria())
        if (e.kind != EquilibriumKind::Continuum) entries.push_back(e);
    return entries;
}

void FieldInsight::tracePortrait()
{
    if (!found || traced || portraitWorker->busy() || !(markers || infoPanel)) return;
    auto snapshot = std::make_shared<const FieldSnapshot>(field);
    portraitWorker->request(
        [snapshot, entries = found->entries](const std::atomic<bool>& cancelled) {
            const FieldAnalysis analysis(snapshot->Fx(), snapshot->Fy(), snapshot->Bounds());
            const Region& region = snapshot->Bounds();
            Portrait portrait;
            for (const Equilibrium& e : entries) {
                if (e.kind != EquilibriumKind::Continuum || cancelled) continue;
                const Region box{e.x - e.radius, e.x + e.radius, e.y - e.radius, e.y + e.radius};
                const std::vector<Polyline> zeros[2] = {
                    analysis.Nullcline(0, region.xMin, region.xMax, region.yMin, region.yMax),
                    analysis.Nullcline(1, region.xMin, region.xMax, region.yMin, region.yMax)};
                const double tolerance = kSameZeroPoint * std::max(region.Width(), region.Height());
                std::vector<Polyline> common = CommonZeroSet(zeros, analysis, box, tolerance);
                if (common.empty()) portrait.zeroAreas.push_back(box);
                for (Polyline& line : common)
                    portrait.zeroCurves.push_back(std::move(line));
            }
            // Separatrices and cycles are those of x' = F.
            if (snapshot->Kind() != FieldKind::Velocity || !analysis.Differentiable())
                return portrait;
            if (!cancelled) portrait.separatrices = TraceSeparatrices(analysis, entries, region);
            if (!cancelled) portrait.cycles = FindLimitCycles(analysis, entries, region);
            return portrait;
        },
        [this](Portrait portrait) { receivePortrait(std::move(portrait)); });
}

void FieldInsight::receivePortrait(Portrait portrait)
{
    traced = std::move(portrait);
    if (curves) curves->setCurves(portraitCurvesOf(*traced));
    if (infoPanel) infoPanel->showLimitCycles(describeLimitCycles(traced->cycles));
}

QString FieldInsight::equilibriaText() const
{
    const Region& region = field.Bounds();
    if (!found) return QObject::tr("searching\u2026");
    return describeSearch(*found, std::max(region.Width(), region.Height()));
}

FieldMapLayer* FieldInsight::shownMap() const
{
    return mapShown ? maps[indexOf(*mapShown)] : nullptr;
}

void FieldInsight::toggleMap(MapQuantity quantity)
{
    if (FieldMapLayer* shown = shownMap()) shown->hide();
    mapShown = mapShown == quantity ? std::nullopt : std::optional<MapQuantity>(quantity);
    showMap();
    tellWhatIsMissing();
}

// The map of the quantity chosen, made when missing, and its legend; neither when none is.
void FieldInsight::showMap()
{
    if (!legend) legend = new MapLegend(&view);
    legend->hide();
    if (!mapShown || !fieldAnalysis->Differentiable()) return;
    FieldMapLayer*& map = maps[indexOf(*mapShown)];
    if (!map) {
        MapGrid grid = mapGridOver(sceneRectOf(field.Bounds()), kMapCells);
        sampleMap(*fieldAnalysis, *mapShown, grid);
        map = new FieldMapLayer(*mapShown, grid);
        scene.addItem(map);
    }
    map->show();
    legend->showScale(*mapShown == MapQuantity::Divergence ? QObject::tr("Divergence")
                                                           : QObject::tr("Curl (rotation)"),
                      map->limit(), map->defined());
}

void FieldInsight::toggleMarkers()
{
    if (!markers) {
        searchEquilibria();
        markers = new EquilibriumMarkers(marked(), sceneRectOf(field.Bounds()));
        markers->fitTo(sceneToView);
        markers->hide();
        scene.addItem(markers);
        curves = new CurveLayer;
        curves->fitTo(sceneToView);
        curves->hide();
        if (traced) curves->setCurves(portraitCurvesOf(*traced));
        scene.addItem(curves);
        tracePortrait();
    }
    markers->setVisible(!markers->isVisible());
    curves->setVisible(markers->isVisible());
    tellWhatIsMissing();
}

InfoPanel* FieldInsight::panel()
{
    if (!infoPanel) {
        searchEquilibria();
        const Region& region = field.Bounds();
        infoPanel = new InfoPanel(*fieldAnalysis, field.Fx(), field.Fy(), equilibria(),
                                  field.Kind(), std::max(region.Width(), region.Height()), &view);
        if (fieldAnalysis->Differentiable()) infoPanel->showEquilibria(equilibriaText());
        if (traced) infoPanel->showLimitCycles(describeLimitCycles(traced->cycles));
        infoPanel->hide();
        tracePortrait();
    }
    return infoPanel;
}

void FieldInsight::refit(const QTransform& transform)
{
    sceneToView = transform;
    if (markers) markers->fitTo(sceneToView);
    if (curves) curves->fitTo(sceneToView);
}

void FieldInsight::fieldChanged()
{
    for (FieldMapLayer*& map : maps) {
        if (!map) continue;
        scene.removeItem(map);
        delete map;
        map = nullptr;
    }
    const bool markersShown = markers && markers->isVisible();
    removeMarkers();
    // A search still running is for what the field was: its answer must not arrive.
    worker->cancel();
    portraitWorker->cancel();
    found.reset();
    traced.reset();
    if (infoPanel && !infoPanel->isVisible()) {
        infoPanel->stopFollowing();
        delete infoPanel;
        infoPanel = nullptr;
    }
    if (mapShown) showMap();
    if (markersShown) toggleMarkers();
    if (infoPanel) {
        searchEquilibria();
        if (fieldAnalysis->Differentiable()) infoPanel->showEquilibria(equilibriaText());
        infoPanel->showLimitCycles(QObject::tr("searching\u2026"));
    }
    tellWhatIsMissing();
}

void FieldInsight::removeMarkers()
{
    if (!markers) return;
    for (QGraphicsItem* item :
         {static_cast<QGraphicsItem*>(markers), static_cast<QGraphicsItem*>(curves)}) {
        scene.removeItem(item);
        delete item;
    }
    markers = nullptr;
    curves = nullptr;
}

void FieldInsight::tellWhatIsMissing()
{
    const bool mapOn = mapShown.has_value();
    const bool markersOn = markers && markers->isVisible();
    QString text;
    if (!fieldAnalysis->Differentiable() && (mapOn || markersOn)) {
        text = QObject::tr("%1 So there is no divergence, curl or equilibrium to show.")
                   .arg(QString::fromStdString(fieldAnalysis->Reason()));
    } else if (markersOn && !found) {
        text = QObject::tr("searching\u2026");
    } else if (markersOn) {
        const auto& all = found->entries;
        QStringList sentences;
        if (all.empty() && found->complete)
            sentences << QObject::tr("No equilibria in the region.");
        else if (all.empty())
            sentences << QObject::tr("No equilibria found.");
        if (std::any_of(all.begin(), all.end(),
                        [](const Equilibrium& e) { return e.kind == EquilibriumKind::Continuum; }))
            sentences << QObject::tr("F = 0 along a curve or over an area, drawn as such.");
        sentences << searchGapText(*found);
        sentences.removeAll(QString());
        text = sentences.join(QLatin1Char(' '));
    }
    ViewNote::tell(&view, ViewNote::Topic::Analysis, text);
}
