#include "field_insight.h"

#include "equilibrium_markers.h"
#include "field_analysis.h"
#include "field_model.h"
#include "field_settings.h"
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

QString printed(const FunctionInterpreter& formula)
{
    if (!formula.Root()) return QString();
    const PrintedText text(formula.Root()->Print());
    return QString::fromUtf8(text.get());
}

int indexOf(MapQuantity quantity)
{
    return quantity == MapQuantity::Divergence ? 0 : 1;
}

} // namespace

FieldInsight::FieldInsight(const FieldModel& field, QGraphicsScene& scene, QGraphicsView& view)
    : field(field), fieldAnalysis(std::make_unique<FieldAnalysis>(field.Fx(), field.Fy())),
      scene(scene), view(view)
{
}

FieldInsight::~FieldInsight()
{
    // The panel reads the analysis; the overlays would be orphans of a new insight.
    if (infoPanel) infoPanel->stopFollowing();
    delete infoPanel;
    delete legend;
    delete note;
}

const std::vector<Equilibrium>& FieldInsight::equilibria()
{
    if (!found) found = fieldAnalysis->Equilibria(field.Bounds(), field.Kind());
    return *found;
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
        const Region& region = field.Bounds();
        infoPanel =
            new InfoPanel(*fieldAnalysis, printed(field.Fx()), printed(field.Fy()), equilibria(),
                          field.Kind(), std::max(region.Width(), region.Height()), &view);
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
    found.reset();
    if (infoPanel && !infoPanel->isVisible()) {
        infoPanel->stopFollowing();
        delete infoPanel;
        infoPanel = nullptr;
    }
    if (mapShown) showMap();
    if (markersShown) toggleMarkers();
    if (infoPanel) {
        const Region& region = field.Bounds();
        infoPanel->showEquilibria(equilibria(), std::max(region.Width(), region.Height()));
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
    } else if (markersOn) {
        const auto& all = equilibria();
        if (all.empty())
            text = QObject::tr("No equilibria in the region.");
        else if (std::any_of(all.begin(), all.end(), [](const Equilibrium& e) {
                     return e.kind == EquilibriumKind::Continuum;
                 }))
            text = QObject::tr("F = 0 along a curve or over an area; one of its points is "
                               "marked \"continuum\".");
    }
    if (!note) {
        if (text.isEmpty()) return;
        note = new ViewNote(&view);
    }
    note->say(text);
}
