#pragma once

#include <cstddef>
#include <memory>

class FunctionInterpreter;

// Evaluates one formula at many points per call. The formula's tree is translated once, on
// construction, into loops over blocks of points; every point gets exactly the value that
// FunctionInterpreter::Evaluate gives there, bit for bit, or the code of the error it raises
// first. Only RAND may draw its numbers in another order, and a NaN may carry another payload
// (where two NaNs meet in + or *, the processor keeps the one the compiler put first).
class BatchEvaluator
{
public:
    // Reads the formula's tree, which must not change afterwards; the formula outlives the
    // evaluator. Value slots are read at every Evaluate, so they may be rebound at any time.
    explicit BatchEvaluator(const FunctionInterpreter& formula);
    ~BatchEvaluator();
    BatchEvaluator(const BatchEvaluator&) = delete;
    BatchEvaluator& operator=(const BatchEvaluator&) = delete;

    // The variable `name` takes column[i] at point i; a null column returns it to its value slot.
    // Names the formula does not use are ignored. The column must stay valid and must not
    // overlap the output arrays of Evaluate.
    void BindColumn(const char* name, const double* column);

    // For every point i < n: errors[i] is -1 and values[i] the formula's value, or errors[i] is
    // the code of the ParseErrorMsg that evaluating there would raise (values[i] unspecified).
    // A variable without a column reads its value slot; one without either gives
    // kUnknownVariable. Allocates nothing once it has seen its largest n.
    void Evaluate(std::size_t n, double* values, int* errors);

    // Whether evaluators of the same formula may evaluate on several threads at once: not when
    // it draws random numbers (from the C runtime's one generator) or evaluates some part
    // through the tree. Evaluations only read the formula's value slots; nothing may write them
    // meanwhile.
    bool Independent() const;

private:
    struct Program;
    std::unique_ptr<Program> program;
};
