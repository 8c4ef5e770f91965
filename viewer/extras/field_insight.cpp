#include "field_insight.h"

#include "analysis_worker.h"
#include "equilibrium_markers.h"
#include "field_analysis.h"
#include "field_model.h"
#include "field_settings.h"
#include "field_snapshot.h"
#include "function_interpreter.h"
#include "info_panel.h"
#include "map_legend.h"
#include "view_note.h"

#include <QGraphicsScene>
#include <QGraphicsView>

#include <algorithm>

namespace {

// Map cells along the region's longer side: smooth once drawn scaled up to a full screen.
constexpr int kMapCells = 320;

int indexOf(MapQuantity quantity)
{
    return quantity == MapQuantity::Divergence ? 0 : 1;
}

} // namespace

FieldInsight::FieldInsight(const FieldModel& field, QGraphicsScene& scene, QGraphicsView& view)
    : field(field),
      // For the region: a power of a base that is negative there has no derivative there.
      fieldAnalysis(std::make_unique<FieldAnalysis>(field.Fx(), field.Fy(), field.Bounds())),
      worker(std::make_unique<AnalysisWorker>()), scene(scene), view(view)
{
}

FieldInsight::~FieldInsight()
{
    worker.reset(); // a search that ends now must not find the markers or the panel gone
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
        markers->setEquilibria(found->entries);
        markers->fitTo(sceneToView);
    }
    if (infoPanel && fieldAnalysis->Differentiable()) infoPanel->showEquilibria(equilibriaText());
    tellWhatIsMissing();
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
        markers = new EquilibriumMarkers(equilibria(), sceneRectOf(field.Bounds()));
        markers->fitTo(sceneToView);
        markers->hide();
        scene.addItem(markers);
    }
    markers->setVisible(!markers->isVisible());
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
        infoPanel->hide();
    }
    return infoPanel;
}

void FieldInsight::refit(const QTransform& transform)
{
    sceneToView = transform;
    if (markers) markers->fitTo(sceneToView);
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
    found.reset();
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
    }
    tellWhatIsMissing();
}

void FieldInsight::removeMarkers()
{
    if (!markers) return;
    scene.removeItem(markers);
    delete markers;
    markers = nullptr;
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
            sentences << QObject::tr("F = 0 along a curve or over an area; one of its points is "
                                     "marked \"continuum\".");
        sentences << searchGapText(*found);
        sentences.removeAll(QString());
        text = sentences.join(QLatin1Char(' '));
    }
    ViewNote::tell(&view, ViewNote::Topic::Analysis, text);
}
