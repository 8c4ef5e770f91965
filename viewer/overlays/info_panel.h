#pragma once

#include "field_kind.h"

#include <QFrame>
#include <QPointF>

#include <vector>

class FieldAnalysis;
class QGraphicsView;
class QLabel;
class QVBoxLayout;
struct Equilibrium;

// The field's analysis in words beside the view: the two formulas, divergence, curl and the
// Jacobian as formulas, the equilibria with their kinds and eigenvalues, and the values under
// the mouse pointer. It follows the pointer through an event filter on the view's viewport and
// passes every event on untouched, so the view handles its input exactly as without the panel.
class InfoPanel : public QFrame
{
    Q_OBJECT

public:
    // `analysis` must outlive the panel, or the panel must stop following first. `regionSize`
    // is the longer side of the region the equilibria were searched in; the pointer is followed
    // over `view`.
    InfoPanel(const FieldAnalysis& analysis, const QString& fx, const QString& fy,
              const std::vector<Equilibrium>& equilibria, FieldKind kind, double regionSize,
              QGraphicsView* view);

    // The values at a scene point, as a pointer movement there shows them.
    void showValuesAt(const QPointF& at);
    void clearValues();
    // Stops reading the analysis; the panel keeps what it shows.
    void stopFollowing();
    // Another list of equilibria, as the constructor would show it.
    void showEquilibria(const std::vector<Equilibrium>& equilibria, double regionSize);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static QLabel* addSection(QVBoxLayout* into, const QString& title, const QString& name,
                              const QString& text);

    const FieldAnalysis* analysis;
    QGraphicsView* view;
    QLabel* values = nullptr;
    QLabel* equilibriaList = nullptr;
};

// A number as the panel shows it: four significant digits, no "-0".
QString panelNumber(double value);
// The equilibria, one line each: position, kind, eigenvalues; the continuum entry in words.
QString describeEquilibria(const std::vector<Equilibrium>& equilibria, double regionSize);
