#pragma once

#include "field_map_layer.h"

#include <QRectF>
#include <QSize>
#include <QTransform>

#include <memory>
#include <optional>
#include <vector>

class EquilibriumMarkers;
class FieldAnalysis;
class FunctionInterpreter;
class InfoPanel;
class MapLegend;
class QGraphicsScene;
class QGraphicsView;
class QGridLayout;
class ViewNote;
struct Equilibrium;

// The field window's analysis extras behind the keys D, R, E and I: a divergence or a curl map,
// the equilibria as markers, and the information panel. Nothing is computed or created before
// a key asks for it, and what is computed once is kept. Items go to the scene, which owns them;
// the legend and the note go over the view, the panel into the window's side column.
class FieldInsight
{
public:
    // The formulas must be bound to their value slots already; the analysis reads the slots of
    // their other variables, so those must outlive this object.
    FieldInsight(const FunctionInterpreter& fx, const FunctionInterpreter& fy,
                 bool accelerationField, QGraphicsScene& scene, QGraphicsView& view,
                 QGridLayout& sideColumn);
    ~FieldInsight();
    FieldInsight(const FieldInsight&) = delete;
    FieldInsight& operator=(const FieldInsight&) = delete;

    // Shows the map of `quantity` instead of any other, or hides it when it is the one shown.
    void toggleMap(MapQuantity quantity);
    void toggleMarkers();
    // The view changes size with it. Hidden again before the window changed size, the view gets
    // back the scale and scrolling it had; otherwise the answer is true: the window must refit.
    bool togglePanel();
    // After the view's scale changed.
    void refit(const QTransform& sceneToView);

    const FieldAnalysis& analysis() const { return *fieldAnalysis; }
    // Searched on first use.
    const std::vector<Equilibrium>& equilibria();
    // The map on show, or null.
    FieldMapLayer* shownMap() const;

private:
    void tellWhatIsMissing();

    std::unique_ptr<FieldAnalysis> fieldAnalysis;
    std::optional<std::vector<Equilibrium>> found;
    QString fxText;
    QString fyText;
    bool accelerationField;
    QRectF region;
    QGraphicsScene& scene;
    QGraphicsView& view;
    QGridLayout& sideColumn;
    // Made on first use; the scene owns the items, Qt's tree the widgets.
    FieldMapLayer* maps[2] = {nullptr, nullptr};
    std::optional<MapQuantity> mapShown;
    EquilibriumMarkers* markers = nullptr;
    MapLegend* legend = nullptr;
    ViewNote* note = nullptr;
    InfoPanel* panel = nullptr;
    // The view as it was when the panel came.
    struct ViewState
    {
        QSize size;
        QTransform transform;
        int horizontalScroll = 0;
        int verticalScroll = 0;
    } beforePanel;
};
