#pragma once

#include "classification.h"
#include "interval.h"
#include "lyapunov.h"

#include <memory>
#include <vector>

class FunctionInterpreter;
class IntervalEvaluator;

// A closed box of the plane, x × y; an interval of one point makes it a segment or a point.
struct Box
{
    Interval x;
    Interval y;
};

// Enclosures of a field F = (Fx, Fy) and of its derivatives over boxes: what a search needs to
// prove where F vanishes and of what kind each zero is. An object may keep state between calls,
// so it serves one thread at a time.
class FieldEnclosure
{
public:
    virtual ~FieldEnclosure() = default;

    // Each component's values over the box, at the points where it has one: empty where it has
    // none. `*mayFail` is set when some point of the box may fail or give NaN.
    virtual void Value(const Box& box, Interval value[2], bool* mayFail) = 0;
    // The Jacobian over the box; false when some entry may fail, give NaN or be infinite.
    virtual bool Jacobian(const Box& box, IntervalMatrix2& jacobian) = 0;
    // The second and third derivatives over the box; false as for Jacobian, or when there are
    // none to give.
    virtual bool Derivatives(const Box& box, HigherDerivatives& derivatives) = 0;
};

// The enclosures of the formulas of a field and of their exact derivatives, through the engine's
// interval evaluator: x and y range over the box, every other variable reads its value slot. The
// second and third derivatives are built from the Jacobian's formulas on first use, and bound to
// the slots those read. The formulas must outlive the object and stay as they are; they are only
// read, so objects of their own may evaluate the same formulas on several threads at once.
class FormulaEnclosure final : public FieldEnclosure
{
public:
    // The Jacobian by rows: [0][0] is d Fx/dx, [0][1] d Fx/dy, [1][0] d Fy/dx.
    FormulaEnclosure(const FunctionInterpreter& fx, const FunctionInterpreter& fy,
                     const FunctionInterpreter* const jacobian[2][2]);
    ~FormulaEnclosure() override;
    FormulaEnclosure(const FormulaEnclosure&) = delete;
    FormulaEnclosure& operator=(const FormulaEnclosure&) = delete;

    void Value(const Box& box, Interval value[2], bool* mayFail) override;
    bool Jacobian(const Box& box, IntervalMatrix2& jacobian) override;
    bool Derivatives(const Box& box, HigherDerivatives& derivatives) override;

private:
    // Evaluators reading x and y from `at`; answers false when building them failed.
    bool BuildDerivatives();
    std::unique_ptr<IntervalEvaluator> EvaluatorOf(const FunctionInterpreter& formula);
    // The enclosures of `count` evaluators into `out`; false when one may fail or is not finite.
    bool EncloseAll(const Box& box, std::unique_ptr<IntervalEvaluator>* evaluators, int count,
                    Interval* out);

    const FunctionInterpreter* jacobianFormulas[2][2];
    Box at{}; // the box the evaluators read x and y from
    std::unique_ptr<IntervalEvaluator> field[2];
    std::unique_ptr<IntervalEvaluator> jacobian[4];
    // Second derivatives of Fx and Fy by xx, xy, yy, then third by xxx, xxy, xyy, yyy.
    std::vector<std::unique_ptr<FunctionInterpreter>> higherFormulas;
    std::unique_ptr<IntervalEvaluator> higher[14];
    enum class Built
    {
        Not,
        Done,
        Failed
    } higherBuilt = Built::Not;
};
