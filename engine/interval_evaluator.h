#pragma once

#include "interval.h"

#include <memory>

class FunctionInterpreter;

// Bounds one formula over boxes of its variables. The answer holds every value that
// FunctionInterpreter::Evaluate gives at any point of the boxes, and the exact value of the
// formula read as real arithmetic there too, rounded outward. The tree is translated once, on
// construction, into a flat program; Evaluate runs it without recursion and allocates nothing.
//
// Tight where it is cheap: exact on monotone pieces up to the rounding, squares (x * x is x ^ 2
// once simplified) never negative, sin and cos with the extrema inside the box, poles of tan and
// its kin, integer and real powers. Otherwise sound but wider: each occurrence of a variable
// counts on its own (x - x over [0, 1] would be [-1, 1], had simplification not made it 0), and
// both arms of a conditional are bounded over the whole box.
class IntervalEvaluator
{
public:
    // Reads the formula's tree, which must not change afterwards; the formula outlives the
    // evaluator. Value slots are read at every Evaluate, so they may be rebound at any time.
    explicit IntervalEvaluator(const FunctionInterpreter& formula);
    ~IntervalEvaluator();
    IntervalEvaluator(IntervalEvaluator&&) noexcept;
    IntervalEvaluator& operator=(IntervalEvaluator&&) noexcept;
    IntervalEvaluator(const IntervalEvaluator&) = delete;
    IntervalEvaluator& operator=(const IntervalEvaluator&) = delete;

    // The variable `name` ranges over *box at every Evaluate; a null box returns it to its value
    // slot, read as a single point (an unbound slot fails, as in the scalar evaluation). Names
    // the formula does not use are ignored. The box must stay valid while it is bound; a box
    // with a NaN end stands for anything.
    void Bind(const char* name, const Interval* box);

    // The enclosure over the bound boxes. `*mayFail` (when not null) is set when some point of
    // the boxes may raise an error or give NaN. An empty answer (IsEmpty) means that no point
    // gives a number: every point fails, or some box is empty. Never draws random numbers: RAND
    // counts with every value it can return. Only reads the formula and the caller's doubles,
    // so evaluators of the same formula may evaluate on several threads at once.
    Interval Evaluate(bool* mayFail);

private:
    struct Program;
    std::unique_ptr<Program> program;
};
