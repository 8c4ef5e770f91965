#pragma once

#include "field_kind.h"

#include <QFrame>
#include <QPointF>

#include <cstddef>
#include <vector>

class FieldAnalysis;
class FunctionInterpreter;
class QGraphicsView;
class QLabel;
class QVBoxLayout;
struct Equilibrium;
struct EquilibriumSearch;
struct LimitCycle;

// The field's analysis in words beside the view: the two formulas, divergence, curl and the
// Jacobian as formulas typeset as people write them (each copied in the formula language from
// its context menu), the equilibria with their kinds and eigenvalues, how many grid points have
// no arrow, and the values under the mouse pointer. It follows the pointer through an event filter
// on the view's viewport and passes every event on untouched, so the view handles its input exactly
// as without the panel.
class InfoPanel : public QFrame
{
    Q_OBJECT

public:
    // `analysis` must outlive the panel, or the panel must stop following first. `regionSize`
    // is the longer side of the region the equilibria were searched in; the pointer is followed
    // over `view`.
    InfoPanel(const FieldAnalysis& analysis, const FunctionInterpreter& fx,
              const FunctionInterpreter& fy, const std::vector<Equilibrium>& equilibria,
              FieldKind kind, double regionSize, QGraphicsView* view);

    // Replaces the text of the equilibria's section, as a search that ended later gives it.
    void showEquilibria(const QString& text);
    // The same for the limit cycles, which only a differentiable velocity field lists.
    void showLimitCycles(const QString& text);

    // The values at a scene point, as a pointer movement there shows them.
    void showValuesAt(const QPointF& at);
    void clearValues();
    // Stops reading the analysis; the panel keeps what it shows.
    void stopFollowing();
    // Of the latest sampling of the arrows: how many of the grid's points have no value. Said
    // only where some have none.
    void showUnevaluated(std::size_t failed, std::size_t gridPoints);
    // Takes its share of a window `windowWidth` wide: its full width in a large one, less in a
    // small one, where its content scrolls instead.
    void fitBeside(int windowWidth);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static void addHeading(QVBoxLayout* into, const QString& title);
    static QLabel* addSection(QVBoxLayout* into, const QString& title, const QString& name,
                              const QString& text);

    const FieldAnalysis* analysis;
    QGraphicsView* view;
    QLabel* values = nullptr;
    QLabel* unevaluated = nullptr;
    QLabel* equilibriaText = nullptr;
    QLabel* cyclesText = nullptr;
};

// A number under the pointer: four significant digits, no "-0".
QString panelNumber(double value);
// The equilibria, one line each: position, kind, eigenvalues, exact where they are simple, with
// their decimals; the continuum entry in words; a note where third order cannot decide a centre
// and where a zero is not resolved.
QString describeEquilibria(const std::vector<Equilibrium>& equilibria, double regionSize);
// The limit cycles, one line each: stable or unstable, the period and the multiplier.
QString describeLimitCycles(const std::vector<LimitCycle>& cycles);
// The same for a search's entries, followed by why the list may be incomplete.
QString describeSearch(const EquilibriumSearch& search, double regionSize);
// Why the search's list may be incomplete, in a sentence; empty when it is complete.
QString searchGapText(const EquilibriumSearch& search);
