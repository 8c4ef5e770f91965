#pragma once

#include "equilibria.h"
#include "limit_cycles.h"
#include "solution_curves.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

class FunctionInterpreter;

// Divergence, curl, Jacobian and equilibria of the field F = (Fx, Fy), from the engine's exact
// derivatives. The analysis works on copies of the two formulas and on derivative expressions
// of its own; x and y of all of them read the analysis's own values, so it writes nothing the
// caller owns. Every other variable is a constant for the derivatives and reads the value slot
// that the same name had in the given formulas when the analysis was built (Fx's when both have
// it): those doubles must outlive the analysis, and rebinding the formulas afterwards is not
// followed. Evaluating is not for concurrent use: one analysis evaluates at one point at a time.
class FieldAnalysis final : public PlanarField
{
public:
    // Never throws ParseErrorMsg: a field that cannot be differentiated is built with the reason.
    FieldAnalysis(const FunctionInterpreter& fx, const FunctionInterpreter& fy);
    // The same, refusing also what ReasonOver(region) refuses, with the values the slots hold
    // now: an analysis for one region, whose maps, panel and equilibria all agree.
    FieldAnalysis(const FunctionInterpreter& fx, const FunctionInterpreter& fy,
                  const Region& region);
    ~FieldAnalysis() override;
    FieldAnalysis(FieldAnalysis&&) noexcept;
    FieldAnalysis& operator=(FieldAnalysis&&) noexcept;

    // False when a derivative does not exist: the field uses ABS, CEIL, FLOOR, RAND, "!", "~",
    // a comparison, "%", a logical or a bitwise operator or a conditional anywhere, or the engine
    // refused a derivative. Nothing derived is kept then.
    bool Differentiable() const { return errorCode < 0; }
    // The engine's error code that stopped the derivatives (kNoDerivative for the operations
    // above), -1 when differentiable.
    int ErrorCode() const { return errorCode; }
    // Why not, in words for the user, such as "Fx uses ABS, which has no derivative."; empty
    // when differentiable.
    const std::string& Reason() const { return reason; }
    // Reason(), or why the field has no derivative somewhere in `region` although it has one
    // elsewhere: a power whose exponent is not a constant whole number, with a base whose
    // enclosure over the region (the slots read as they are now) reaches below 0. For a negative
    // base the engine drops the exponent's fraction, so the field jumps there. Empty when
    // differentiable throughout the region.
    std::string ReasonOver(const Region& region) const;

    // The formulas as the engine prints a tree (without the expression object's "= "), simplified;
    // empty when not differentiable.
    std::string Divergence() const; // d Fx/dx + d Fy/dy
    std::string Curl() const;       // d Fy/dx - d Fx/dy
    // Row 0: Fx, 1: Fy; column 0: by x, 1: by y. Other indices throw std::out_of_range.
    std::string Jacobian(int row, int column) const;

    // Raise ParseErrorMsg where the expression cannot be evaluated, and with ErrorCode() when
    // the field is not differentiable.
    double DivergenceAt(double x, double y) const;
    double CurlAt(double x, double y) const;

    // FindEquilibria over the region on the field's enclosures; nothing, and not complete, when
    // ReasonOver(region) refuses. Evaluation errors at single points are part of the search and
    // never leave it.
    EquilibriumSearch FindEquilibria(const Region& region, FieldKind kind,
                                     const SearchLimits& limits = {}) const;
    EquilibriumSearch FindEquilibria(double xMin, double xMax, double yMin, double yMax,
                                     bool acceleration) const;
    // The entries of FindEquilibria with the program's limits.
    std::vector<Equilibrium> Equilibria(const Region& region, FieldKind kind) const;
    std::vector<Equilibrium> Equilibria(double xMin, double xMax, double yMin, double yMax,
                                        bool accelerationField) const;

    // The phase portrait of x' = F over a region, and solutions of x'' = F. A region that is
    // empty or not finite gives nothing, or a trajectory that ended Failed.

    // Polylines on which Fx (component 0) or Fy (1) vanishes, as TraceZeroSet finds them on a
    // grid of 320 cells along the longer side; none for other components.
    std::vector<std::vector<std::pair<double, double>>>
    Nullcline(int component, double xMin, double xMax, double yMin, double yMax) const;
    // The solution of x' = F through (x0, y0) over `duration` (backward when negative), as
    // TraceCurve traces it.
    Trajectory Solve(double x0, double y0, double duration, double xMin, double xMax, double yMin,
                     double yMax) const;
    // The path of a particle under x'' = F from (x0, y0) with velocity (vx0, vy0).
    Trajectory SolveLaunch(double x0, double y0, double vx0, double vy0, double duration,
                           double xMin, double xMax, double yMin, double yMax) const;
    // FindLimitCycles around the region's equilibria; none when not differentiable.
    std::vector<LimitCycle> LimitCycles(double xMin, double xMax, double yMin, double yMax) const;
    // Every branch of every saddle's separatrices, unstable ones forward in time, stable ones
    // backward (TraceSeparatrices); none when not differentiable.
    std::vector<Trajectory> Separatrices(double xMin, double xMax, double yMin, double yMax) const;

    // The expressions themselves, for evaluating them at many points at once; null when not
    // differentiable. Their variables "x" and "y" read the analysis's own values (rebind them,
    // or give them columns, to evaluate elsewhere); the rest read the caller's slots.
    const FunctionInterpreter* DivergenceExpression() const { return divergence.get(); }
    const FunctionInterpreter* CurlExpression() const { return curl.get(); }
    // Null also for indices outside 0 … 1.
    const FunctionInterpreter* JacobianExpression(int row, int column) const;
    // The analysis's copies of Fx (0) and Fy (1), bound alike; null for other indices.
    const FunctionInterpreter* FieldExpression(int component) const
    {
        return component == 0 || component == 1 ? field[component].get() : nullptr;
    }

    // The field and its Jacobian at a point, false where they cannot be evaluated or are not
    // finite (the Jacobian always when not differentiable).
    bool Value(double x, double y, double value[2]) const override;
    bool Jacobian(double x, double y, Matrix2& jacobian) const override;
    // Enclosures of the analysis's formulas (FormulaEnclosure); null when not differentiable.
    std::unique_ptr<FieldEnclosure> Enclosure() const override;

private:
    using Expression = std::unique_ptr<FunctionInterpreter>;

    struct Point
    {
        double x = 0;
        double y = 0;
    };

    void Build(const FunctionInterpreter* const sources[2]);
    // Keeps nothing derived, with the code and the words for why.
    void Refuse(int code, const std::string& why);
    // Points x and y of `expression` at `point`, other names at the sources' slots.
    void Bind(FunctionInterpreter& expression, const FunctionInterpreter* const sources[2]) const;
    void MoveTo(double x, double y) const;

    std::unique_ptr<Point> point; // on the heap, so that the slots stay put when we move
    Expression field[2];          // copies of Fx and Fy
    Expression jacobian[2][2];
    Expression divergence;
    Expression curl;
    int errorCode = -1;
    std::string reason;
};
