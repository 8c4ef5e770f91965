#pragma once

#include "equilibria.h"
#include "field_map_layer.h"

#include <QTransform>

#include <memory>
#include <optional>
#include <vector>

class AnalysisWorker;
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
// the equilibria as markers, and the information panel. Nothing is computed or created before
// a key asks for it, and what is computed once is kept. The equilibria are searched on a worker
// thread, on a snapshot of the field: the window goes on meanwhile, the note says "searching…",
// and the markers and the panel's list come when the search ends. Items go to the scene, which
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
    // The map on show, or null.
    FieldMapLayer* shownMap() const;

private:
    // Starts the search unless it ran or runs already.
    void searchEquilibria();
    void receive(EquilibriumSearch search);
    QString equilibriaText() const;
    void tellWhatIsMissing();
    void removeMarkers();
    void showMap();

    const FieldModel& field;
    std::unique_ptr<FieldAnalysis> fieldAnalysis;
    std::optional<EquilibriumSearch> found;
    // Runs the search; the destructor ends it first, so that nothing arrives afterwards.
    std::unique_ptr<AnalysisWorker> worker;
    QGraphicsScene& scene;
    QGraphicsView& view;
    QTransform sceneToView;
    // Made on first use; the scene owns the items, Qt's tree the widgets.
    FieldMapLayer* maps[2] = {nullptr, nullptr};
    std::optional<MapQuantity> mapShown;
    EquilibriumMarkers* markers = nullptr;
    MapLegend* legend = nullptr;
    InfoPanel* infoPanel = nullptr;
};
