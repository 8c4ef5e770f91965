#include "field_insight.h"

#include "equilibrium_markers.h"
#include "field_analysis.h"
#include "function_interpreter.h"
#include "info_panel.h"
#include "map_legend.h"
#include "view_note.h"

#include <QGraphicsScene>
#include <QGraphicsView>
#include <QGridLayout>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

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

FieldInsight::FieldInsight(const FunctionInterpreter& fx, const FunctionInterpreter& fy,
                           bool accelerationField, QGraphicsScene& scene, QGraphicsView& view,
                           QGridLayout& sideColumn)
    : fieldAnalysis(std::make_unique<FieldAnalysis>(fx, fy)), fxText(printed(fx)),
      fyText(printed(fy)), accelerationField(accelerationField), region(scene.sceneRect()),
      scene(scene), view(view), sideColumn(sideColumn)
{
}

FieldInsight::~FieldInsight()
{
    // The panel reads the analysis; the overlays would be orphans of a new insight.
    if (panel) panel->stopFollowing();
    delete panel;
    delete legend;
    delete note;
}

const std::vector<Equilibrium>& FieldInsight::equilibria()
{
    if (!found)
        found = fieldAnalysis->Equilibria(region.left(), region.right(), region.top(),
                                          region.bottom(), accelerationField);
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
    if (!legend) legend = new MapLegend(&view);
    legend->hide();
    if (mapShown && fieldAnalysis->Differentiable()) {
        FieldMapLayer*& map = maps[indexOf(quantity)];
        if (!map) {
            MapGrid grid = mapGridOver(region, kMapCells);
            sampleMap(*fieldAnalysis, quantity, grid);
            map = new FieldMapLayer(quantity, grid);
            scene.addItem(map);
        }
        map->show();
        legend->showScale(quantity == MapQuantity::Divergence ? QObject::tr("Divergence")
                                                              : QObject::tr("Curl (rotation)"),
                          map->limit(), map->defined());
    }
    tellWhatIsMissing();
}

void FieldInsight::toggleMarkers()
{
    if (!markers) {
        markers = new EquilibriumMarkers(equilibria(), *fieldAnalysis, region);
        markers->fitTo(view.transform());
        markers->hide();
        scene.addItem(markers);
    }
    markers->setVisible(!markers->isVisible());
    tellWhatIsMissing();
}

bool FieldInsight::togglePanel()
{
    if (!panel) {
        panel =
            new InfoPanel(*fieldAnalysis, fxText, fyText, equilibria(), accelerationField, &view);
        panel->hide();
        sideColumn.addWidget(panel, 0, 0);
    }
    const bool showing = !panel->isVisible();
    if (showing)
        beforePanel = {view.size(), view.transform(), view.horizontalScrollBar()->value(),
                       view.verticalScrollBar()->value()};
    panel->setVisible(showing);
    // The view takes its new size now rather than at the next layout pass.
    if (QLayout* top = view.parentWidget() ? view.parentWidget()->layout() : nullptr)
        top->activate();
    if (showing || view.size() != beforePanel.size) return true;
    // A refit now could differ from what the view showed, as the scroll bars came and went
    // in between: the view shows exactly what it did before.
    view.setTransform(beforePanel.transform);
    view.horizontalScrollBar()->setValue(beforePanel.horizontalScroll);
    view.verticalScrollBar()->setValue(beforePanel.verticalScroll);
    refit(view.transform());
    return false;
}

void FieldInsight::refit(const QTransform& sceneToView)
{
    if (markers) markers->fitTo(sceneToView);
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
        else if (std::any_of(all.begin(), all.end(),
                             [](const Equilibrium& e) { return e.kind == kContinuumKind; }))
            text = QObject::tr("F = 0 along a curve or over an area; one of its points is "
                               "marked \"continuum\".");
    }
    if (!note) {
        if (text.isEmpty()) return;
        note = new ViewNote(&view);
    }
    note->say(text);
}
