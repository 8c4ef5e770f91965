#include "field_enclosure.h"

#include "engine.h"
#include "interval_arithmetic.h"

#include <cmath>

namespace {

// Each derivative of a product has a term per factor, so each order multiplies the size: beyond
// this many nodes in the Jacobian's formulas, or in the second derivatives, the next ones would
// take too long to build within a search's time, and the nonlinear terms decide nothing.
constexpr long kMostJacobianNodes = 2000;
constexpr long kMostSecondDerivativeNodes = 20000;

const char* const kVariableNames[2] = {"x", "y"};

long NodeCount(const FunctionInterpreter* formula)
{
    long count = 0;
    std::vector<const Parser*> pending; // no recursion: a long sum is a deep tree
    if (formula && formula->Root()) pending.push_back(formula->Root());
    while (!pending.empty()) {
        const Parser* node = pending.back();
        pending.pop_back();
        ++count;
        if (const auto* function = dynamic_cast<const FunctionParser*>(node)) {
            if (function->argument) pending.push_back(function->argument);
        } else if (const auto* operation = dynamic_cast<const OperationParser*>(node)) {
            if (operation->left) pending.push_back(operation->left);
            if (operation->right) pending.push_back(operation->right);
        }
    }
    return count;
}

// Points every variable of `formula` at the slot the same name has in `model`: a derivative uses
// no names its formula does not.
void BindLike(FunctionInterpreter& formula, const FunctionInterpreter& model)
{
    for (int i = 0; i < formula.VariableCount(); ++i) {
        const int index = model.FindVariable(formula.VariableName(i));
        formula.BindValueSlot(i, index >= 0 ? model.ValueSlot(index) : nullptr);
    }
}

// The derivative of `formula` by x (0) or y (1), bound like it; null where there is none.
std::unique_ptr<FunctionInterpreter> DerivativeOf(const FunctionInterpreter& formula, int by)
{
    const Variable variable(kVariableNames[by]);
    NodePtr tree(formula.DerivativeByVariable(&variable, nullptr));
    if (!tree) return nullptr;
    auto derivative = std::make_unique<FunctionInterpreter>(tree.release());
    BindLike(*derivative, formula);
    return derivative;
}

} // namespace

FormulaEnclosure::FormulaEnclosure(const FunctionInterpreter& fx, const FunctionInterpreter& fy,
                                   const FunctionInterpreter* const jacobianOf[2][2])
{
    field[0] = EvaluatorOf(fx);
    field[1] = EvaluatorOf(fy);
    for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 2; ++j) {
            jacobianFormulas[i][j] = jacobianOf[i][j];
            if (jacobianOf[i][j]) jacobian[2 * i + j] = EvaluatorOf(*jacobianOf[i][j]);
        }
    }
}

FormulaEnclosure::~FormulaEnclosure() = default;

std::unique_ptr<IntervalEvaluator> FormulaEnclosure::EvaluatorOf(const FunctionInterpreter& formula)
{
    auto evaluator = std::make_unique<IntervalEvaluator>(formula);
    evaluator->Bind(kVariableNames[0], &at.x);
    evaluator->Bind(kVariableNames[1], &at.y);
    return evaluator;
}

void FormulaEnclosure::Value(const Box& box, Interval value[2], bool* mayFail)
{
    at = box;
    bool fails[2] = {false, false};
    for (int i = 0; i < 2; ++i)
        value[i] = field[i] ? field[i]->Evaluate(&fails[i]) : kEmptyInterval;
    if (mayFail) *mayFail = fails[0] || fails[1] || !field[0] || !field[1];
}

bool FormulaEnclosure::EncloseAll(const Box& box, std::unique_ptr<IntervalEvaluator>* evaluators,
                                  int count, Interval* out)
{
    at = box;
    for (int i = 0; i < count; ++i) {
        bool fails = false;
        if (!evaluators[i]) return false;
        out[i] = evaluators[i]->Evaluate(&fails);
        if (fails || IsEmpty(out[i]) || !IsFinite(out[i])) return false;
    }
    return true;
}

bool FormulaEnclosure::Jacobian(const Box& box, IntervalMatrix2& m)
{
    Interval entries[4];
    if (!EncloseAll(box, jacobian, 4, entries)) return false;
    m = {entries[0], entries[1], entries[2], entries[3]};
    return true;
}

bool FormulaEnclosure::BuildDerivatives()
{
    long nodes = 0;
    for (const auto& row : jacobianFormulas)
        for (const FunctionInterpreter* formula : row) {
            if (!formula) return false;
            nodes += NodeCount(formula);
        }
    if (nodes > kMostJacobianNodes) return false;
    // Second derivatives of Fx by xx, xy, yy, then of Fy; then the third ones by xxx, xxy, xyy,
    // yyy of Fx and of Fy.
    std::vector<std::unique_ptr<FunctionInterpreter>> formulas(14);
    try {
        nodes = 0;
        for (int i = 0; i < 2; ++i) {
            auto* second = &formulas[3 * static_cast<size_t>(i)];
            second[0] = DerivativeOf(*jacobianFormulas[i][0], 0);
            second[1] = DerivativeOf(*jacobianFormulas[i][0], 1);
            second[2] = DerivativeOf(*jacobianFormulas[i][1], 1);
            for (int k = 0; k < 3; ++k) {
                if (!second[k]) return false;
                nodes += NodeCount(second[k].get());
            }
        }
        if (nodes > kMostSecondDerivativeNodes) return false;
        for (int i = 0; i < 2; ++i) {
            const auto* second = &formulas[3 * static_cast<size_t>(i)];
            auto* third = &formulas[6 + 4 * static_cast<size_t>(i)];
            third[0] = DerivativeOf(*second[0], 0);
            third[1] = DerivativeOf(*second[0], 1);
            third[2] = DerivativeOf(*second[1], 1);
            third[3] = DerivativeOf(*second[2], 1);
        }
    } catch (const ParseErrorMsg&) {
        return false;
    }
    for (size_t k = 0; k < formulas.size(); ++k) {
        if (!formulas[k]) return false;
        higher[k] = EvaluatorOf(*formulas[k]);
    }
    higherFormulas = std::move(formulas);
    return true;
}

bool FormulaEnclosure::Derivatives(const Box& box, HigherDerivatives& derivatives)
{
    if (higherBuilt == Built::Not) higherBuilt = BuildDerivatives() ? Built::Done : Built::Failed;
    if (higherBuilt == Built::Failed) return false;
    Interval all[14];
    if (!EncloseAll(box, higher, 14, all)) return false;
    for (int i = 0; i < 2; ++i) {
        for (int k = 0; k < 3; ++k)
            derivatives.second[i][k] = all[3 * i + k];
        for (int k = 0; k < 4; ++k)
            derivatives.third[i][k] = all[6 + 4 * i + k];
    }
    return true;
}
