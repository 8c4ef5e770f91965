#pragma once

#include "equilibria.h"
#include "field_map_layer.h"
#include "limit_cycles.h"
#include "nullclines.h"
#include "solution_curves.h"

#include <QTransform>

#include <memory>
#include <optional>
#include <vector>

class AnalysisWorker;
class CurveLayer;
class EquilibriumMarkers;
class FieldAnalysis;
class FieldModel;
class InfoPanel;
class MapLegend;
class QGraphicsScene;
class QGraphicsView;
struct Equilibrium;
class ViewNote;

// The field window's analysis extras behind the keys D, R, E and I: a divergence or a curl map,
// the equilibria as markers with the separatrices of the saddles, the limit cycles and the
// curves along which F vanishes, and the information panel. Nothing is computed or created before
// a key asks for it, and what is computed once is kept. The equilibria are searched on a worker
// thread, on a snapshot of the field: the window goes on meanwhile, the note says "searching…",
// and the markers and the panel's list come when the search ends; then the curves are traced
// on a second worker, from the equilibria found. Items go to the scene, which
// owns them; the legend and the note go over the view; where the panel goes is the window's
// business.
class FieldInsight
{
public:
    // `field` must outlive this object. Its formulas are bound to their value slots already;
    // the analysis reads the slots of their other variables.
    FieldInsight(const FieldModel& field, QGraphicsScene& scene, QGraphicsView& view);
    ~FieldInsight();
    FieldInsight(const FieldInsight&) = delete;
    FieldInsight& operator=(const FieldInsight&) = delete;

    // Shows the map of `quantity` instead of any other, or hides it when it is the one shown.
    void toggleMap(MapQuantity quantity);
    void toggleMarkers();
    // The information panel, made hidden on first use and deleted with this object.
    InfoPanel* panel();
    // The view's scale and flip (its transform), which the markers' extent depends on.
    void refit(const QTransform& sceneToView);
    // The field changed (a value slot, its region): what was computed goes, and what is shown
    // is computed again, the panel's list of equilibria too. A hidden panel goes with it and is
    // made afresh when next asked for.
    void fieldChanged();

    const FieldAnalysis& analysis() const { return *fieldAnalysis; }
    // What the search found: none while it runs (searching()), and before the markers or the
    // panel asked for it.
    const std::vector<Equilibrium>& equilibria() const;
    bool searching() const;
    // The search or the tracing of the portrait's curves is under way.
    bool working() const;
    // The curves that E adds and the limit cycles the panel lists, traced once the equilibria
    // are known; null before.
    struct Portrait
    {
        std::vector<Trajectory> separatrices; // four per saddle: two unstable, two stable
        std::vector<LimitCycle> cycles;
        std::vector<Polyline> zeroCurves; // where F = 0 along a curve
        std::vector<Region> zeroAreas;    // continua without such a curve
    };
    const Portrait* portrait() const { return traced ? &*traced : nullptr; }
    const CurveLayer* portraitCurves() const { return curves; }
    // The map on show, or null.
    FieldMapLayer* shownMap() const;

private:
    // Starts the search unless it ran or runs already.
    void searchEquilibria();
    void receive(EquilibriumSearch search);
    // Starts tracing the curves of the equilibria found, when something shows them.
    void tracePortrait();
    void receivePortrait(Portrait found);
    // The equilibria the markers stand for: a continuum is drawn as its curve instead.
    std::vector<Equilibrium> marked() const;
    QString equilibriaText() const;
    void tellWhatIsMissing();
    void removeMarkers();
    void showMap();

    const FieldModel& field;
    std::unique_ptr<FieldAnalysis> fieldAnalysis;
    std::optional<EquilibriumSearch> found;
    // Runs the search; the destructor ends it first, so that nothing arrives afterwards.
    std::unique_ptr<AnalysisWorker> worker;
    std::optional<Portrait> traced;
    std::unique_ptr<AnalysisWorker> portraitWorker;
    QGraphicsScene& scene;
    QGraphicsView& view;
    QTransform sceneToView;
    // Made on first use; the scene owns the items, Qt's tree the widgets.
    FieldMapLayer* maps[2] = {nullptr, nullptr};
    std::optional<MapQuantity> mapShown;
    EquilibriumMarkers* markers = nullptr;
    CurveLayer* curves = nullptr; // shown with the markers
    MapLegend* legend = nullptr;
    InfoPanel* infoPanel = nullptr;
};
