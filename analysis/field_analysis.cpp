#include "field_analysis.h"

#include "engine.h"
#include "field_enclosure.h"
#include "nullclines.h"
#include "separatrices.h"
#include "tree_building.h"

#include <cmath>
#include <stdexcept>
#include <vector>

namespace {

const char* const kComponentNames[2] = {"Fx", "Fy"};
const char* const kVariableNames[2] = {"x", "y"};

bool IsFunctionWithoutDerivative(int code)
{
    return code == kFnAbs || code == kFnNot || code == kFnComplement || code == kFnCeil ||
           code == kFnFloor;
}

bool IsOperatorWithoutDerivative(int code)
{
    return code == kOpModulus || (code >= kOpLess && code <= kOpOr) ||
           (code >= kOpBitwiseAnd && code <= kOpBitwiseXor);
}

// The first operation in the tree that has no derivative, as the user writes it ("ABS", "'<'"),
// or an empty text. The engine would differentiate a conditional branch by branch, copying its
// condition; the field jumps or bends where the condition changes, with or without a comparison,
// so a conditional counts too, named only when nothing in it is named first (its comparison).
std::string FirstWithoutDerivative(const Parser* root)
{
    std::string conditional;
    std::vector<const Parser*> pending; // no recursion: a long sum is a deep tree
    if (root) pending.push_back(root);
    while (!pending.empty()) {
        const Parser* node = pending.back();
        pending.pop_back();
        if (!node) continue;
        if (dynamic_cast<const RandomFunction*>(node)) return kFunctionNames[kFnRand];
        if (const auto* function = dynamic_cast<const FunctionParser*>(node)) {
            const int code = function->FunctionCode();
            if (IsFunctionWithoutDerivative(code)) {
                const std::string name = kFunctionNames[code];
                return code == kFnNot || code == kFnComplement ? "'" + name + "'" : name;
            }
            pending.push_back(function->argument);
        } else if (const auto* operation = dynamic_cast<const OperationParser*>(node)) {
            const int code = operation->OperatorCode();
            if (IsOperatorWithoutDerivative(code))
                return std::string("'") + kOperatorText[code] + "'";
            if (code == kOpIf && conditional.empty())
                conditional = std::string("'") + kOperatorText[code] + "'";
            pending.push_back(operation->right);
            pending.push_back(operation->left);
        }
    }
    return conditional;
}

// An expression object of its own around a new tree, which it simplifies; a failure deletes the
// tree too.
std::unique_ptr<FunctionInterpreter> Adopt(NodePtr tree)
{
    auto expression = std::make_unique<FunctionInterpreter>(tree.release());
    // '0 - 0' simplifies to NEG(0), which folds to -0: the curl of (x, y) would print as "-0".
    const Parser* root = expression->Root();
    if (root && root->IsLiteral() && root->Evaluate() == 0 && std::signbit(root->Evaluate()))
        expression->ReplaceChild(const_cast<Parser*>(root), new Constant(0.0));
    return expression;
}

bool IsWholeConstant(const Parser* node)
{
    const auto* constant = dynamic_cast<const Constant*>(node);
    return constant && std::isfinite(constant->value) &&
           std::trunc(constant->value) == constant->value;
}

// The bases of the powers in the tree whose exponent is not a constant whole number.
std::vector<const Parser*> BasesOfRealPowers(const Parser* root)
{
    std::vector<const Parser*> bases;
    std::vector<const Parser*> pending;
    if (root) pending.push_back(root);
    while (!pending.empty()) {
        const Parser* node = pending.back();
        pending.pop_back();
        if (const auto* function = dynamic_cast<const FunctionParser*>(node)) {
            if (function->argument) pending.push_back(function->argument);
        } else if (const auto* operation = dynamic_cast<const OperationParser*>(node)) {
            if (operation->OperatorCode() == kOpPower && operation->left &&
                !IsWholeConstant(operation->right))
                bases.push_back(operation->left);
            if (operation->right) pending.push_back(operation->right);
            if (operation->left) pending.push_back(operation->left);
        }
    }
    return bases;
}

std::string TextOf(const FunctionInterpreter* expression)
{
    if (!expression || !expression->Root()) return {};
    const PrintedText text(expression->Root()->Print());
    return text.get();
}

} // namespace

FieldAnalysis::FieldAnalysis(const FunctionInterpreter& fx, const FunctionInterpreter& fy)
    : point(std::make_unique<Point>())
{
    const FunctionInterpreter* const sources[2] = {&fx, &fy};
    Build(sources);
}

FieldAnalysis::FieldAnalysis(const FunctionInterpreter& fx, const FunctionInterpreter& fy,
                             const Region& region)
    : FieldAnalysis(fx, fy)
{
    if (!Differentiable()) return;
    const std::string why = ReasonOver(region);
    if (!why.empty()) Refuse(kNoDerivative, why);
}

FieldAnalysis::~FieldAnalysis() = default;
FieldAnalysis::FieldAnalysis(FieldAnalysis&&) noexcept = default;
FieldAnalysis& FieldAnalysis::operator=(FieldAnalysis&&) noexcept = default;

void FieldAnalysis::Refuse(int code, const std::string& why)
{
    errorCode = code;
    reason = why;
    for (auto& row : jacobian)
        for (auto& entry : row)
            entry.reset();
    divergence.reset();
    curl.reset();
}

void FieldAnalysis::Build(const FunctionInterpreter* const sources[2])
{
    // Whatever fails, nothing derived is kept: the analysis is either complete or refused.
    for (int i = 0; i < 2; ++i) {
        try {
            field[i] = Adopt(NodePtr(sources[i]->CopyTree())); // raises kEmptyExpression
        } catch (const ParseErrorMsg& error) {
            Refuse(error.code, std::string(kComponentNames[i]) + ": " + ErrorMessage(error.code));
            return;
        }
        Bind(*field[i], sources);
    }

    for (int i = 0; i < 2; ++i) {
        const std::string what = FirstWithoutDerivative(field[i]->Root());
        if (!what.empty()) {
            Refuse(kNoDerivative, std::string(kComponentNames[i]) + " uses " + what +
                                      ", which has no derivative.");
            return;
        }
    }

    const Variable x(kVariableNames[0]);
    const Variable y(kVariableNames[1]);
    const Variable* const by[2] = {&x, &y};
    for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 2; ++j) {
            try {
                NodePtr tree(field[i]->DerivativeByVariable(by[j], nullptr));
                // A sum answers no tree when a term has no derivative.
                if (!tree) ThrowParseError(kNoDerivative, -1, -1);
                jacobian[i][j] = Adopt(std::move(tree));
            } catch (const ParseErrorMsg& error) {
                Refuse(error.code, std::string(kComponentNames[i]) + " has no derivative by " +
                                       kVariableNames[j] + ": " + ErrorMessage(error.code));
                return;
            }
        }
    }

    try {
        // From copies of the simplified entries: simplifying the sum and the difference only has
        // their own rules left to apply.
        divergence = Adopt(BuildOperator<PlusOperator>(NodePtr(jacobian[0][0]->CopyTree()),
                                                       NodePtr(jacobian[1][1]->CopyTree())));
        curl = Adopt(BuildOperator<MinusOperator>(NodePtr(jacobian[1][0]->CopyTree()),
                                                  NodePtr(jacobian[0][1]->CopyTree())));
    } catch (const ParseErrorMsg& error) {
        Refuse(error.code, ErrorMessage(error.code));
        return;
    }
    for (auto& row : jacobian)
        for (auto& entry : row)
            Bind(*entry, sources);
    Bind(*divergence, sources);
    Bind(*curl, sources);
}

void FieldAnalysis::Bind(FunctionInterpreter& expression,
                         const FunctionInterpreter* const sources[2]) const
{
    for (int index = 0; index < expression.VariableCount(); ++index) {
        const char* name = expression.VariableName(index);
        double* slot = nullptr;
        if (std::string_view(name) == kVariableNames[0]) {
            slot = &point->x;
        } else if (std::string_view(name) == kVariableNames[1]) {
            slot = &point->y;
        } else {
            for (const FunctionInterpreter* source : {sources[1], sources[0]}) {
                const int found = source->FindVariable(name);
                if (found >= 0 && source->ValueSlot(found)) slot = source->ValueSlot(found);
            }
        }
        expression.BindValueSlot(index, slot);
    }
}

void FieldAnalysis::MoveTo(double x, double y) const
{
    point->x = x;
    point->y = y;
}

std::string FieldAnalysis::Divergence() const
{
    return TextOf(divergence.get());
}

std::string FieldAnalysis::Curl() const
{
    return TextOf(curl.get());
}

std::string FieldAnalysis::Jacobian(int row, int column) const
{
    if (row < 0 || row > 1 || column < 0 || column > 1)
        throw std::out_of_range("FieldAnalysis::Jacobian: row and column are 0 or 1");
    return TextOf(jacobian[row][column].get());
}

const FunctionInterpreter* FieldAnalysis::JacobianExpression(int row, int column) const
{
    if (row < 0 || row > 1 || column < 0 || column > 1) return nullptr;
    return jacobian[row][column].get();
}

double FieldAnalysis::DivergenceAt(double x, double y) const
{
    if (!divergence) ThrowParseError(errorCode, -1, -1);
    MoveTo(x, y);
    return divergence->Evaluate();
}

double FieldAnalysis::CurlAt(double x, double y) const
{
    if (!curl) ThrowParseError(errorCode, -1, -1);
    MoveTo(x, y);
    return curl->Evaluate();
}

std::string FieldAnalysis::ReasonOver(const Region& region) const
{
    if (!Differentiable()) return reason;
    const Interval x{region.xMin, region.xMax};
    const Interval y{region.yMin, region.yMax};
    const FunctionInterpreter* const sources[2] = {field[0].get(), field[1].get()};
    for (int i = 0; i < 2; ++i) {
        for (const Parser* base : BasesOfRealPowers(field[i]->Root())) {
            try {
                FunctionInterpreter formula(base->Clone());
                Bind(formula, sources);
                IntervalEvaluator enclosure(formula);
                enclosure.Bind(kVariableNames[0], &x);
                enclosure.Bind(kVariableNames[1], &y);
                const Interval values = enclosure.Evaluate(nullptr);
                if (IsEmpty(values) || values.lo >= 0) continue;
            } catch (const ParseErrorMsg&) {
                // A copy that cannot be made: no telling, so no derivative.
            }
            return std::string(kComponentNames[i]) +
                   " raises a base that can be negative in the region to a power that is not a "
                   "whole number, which has no derivative there.";
        }
    }
    return {};
}

EquilibriumSearch FieldAnalysis::FindEquilibria(const Region& region, FieldKind kind,
                                                const SearchLimits& limits) const
{
    if (!ReasonOver(region).empty()) return {};
    const std::unique_ptr<FieldEnclosure> enclosure = Enclosure();
    if (!enclosure) return {};
    return ::FindEquilibria(*enclosure, region, kind, limits);
}

EquilibriumSearch FieldAnalysis::FindEquilibria(double xMin, double xMax, double yMin, double yMax,
                                                bool acceleration) const
{
    return FindEquilibria(Region{xMin, xMax, yMin, yMax},
                          acceleration ? FieldKind::Acceleration : FieldKind::Velocity);
}

std::vector<Equilibrium> FieldAnalysis::Equilibria(const Region& region, FieldKind kind) const
{
    return FindEquilibria(region, kind).entries;
}

std::vector<Equilibrium> FieldAnalysis::Equilibria(double xMin, double xMax, double yMin,
                                                   double yMax, bool accelerationField) const
{
    return Equilibria(Region{xMin, xMax, yMin, yMax},
                      accelerationField ? FieldKind::Acceleration : FieldKind::Velocity);
}

std::vector<std::vector<std::pair<double, double>>>
FieldAnalysis::Nullcline(int component, double xMin, double xMax, double yMin, double yMax) const
{
    const FunctionInterpreter* formula = FieldExpression(component);
    if (!formula) return {};
    return TraceZeroSet(*formula, JacobianExpression(component, 0),
                        JacobianExpression(component, 1), Region{xMin, xMax, yMin, yMax});
}

Trajectory FieldAnalysis::Solve(double x0, double y0, double duration, double xMin, double xMax,
                                double yMin, double yMax) const
{
    CurveRequest request;
    request.start[0] = x0;
    request.start[1] = y0;
    request.duration = duration;
    request.region = Region{xMin, xMax, yMin, yMax};
    return TraceCurve(*this, request).trajectory;
}

Trajectory FieldAnalysis::SolveLaunch(double x0, double y0, double vx0, double vy0, double duration,
                                      double xMin, double xMax, double yMin, double yMax) const
{
    CurveRequest request;
    request.start[0] = x0;
    request.start[1] = y0;
    request.start[2] = vx0;
    request.start[3] = vy0;
    request.acceleration = true;
    request.duration = duration;
    request.region = Region{xMin, xMax, yMin, yMax};
    return TraceCurve(*this, request).trajectory;
}

std::vector<LimitCycle> FieldAnalysis::LimitCycles(double xMin, double xMax, double yMin,
                                                   double yMax) const
{
    if (!Differentiable()) return {};
    const Region region{xMin, xMax, yMin, yMax};
    return FindLimitCycles(*this, Equilibria(xMin, xMax, yMin, yMax, false), region);
}

std::vector<Trajectory> FieldAnalysis::Separatrices(double xMin, double xMax, double yMin,
                                                    double yMax) const
{
    if (!Differentiable()) return {};
    const Region region{xMin, xMax, yMin, yMax};
    return TraceSeparatrices(*this, Equilibria(xMin, xMax, yMin, yMax, false), region);
}

bool FieldAnalysis::Value(double x, double y, double value[2]) const
{
    if (!field[0] || !field[1]) return false;
    MoveTo(x, y);
    try {
        value[0] = field[0]->Evaluate();
        value[1] = field[1]->Evaluate();
    } catch (const ParseErrorMsg&) {
        return false;
    }
    return std::isfinite(value[0]) && std::isfinite(value[1]);
}

std::unique_ptr<FieldEnclosure> FieldAnalysis::Enclosure() const
{
    if (!Differentiable()) return nullptr;
    const FunctionInterpreter* const entries[2][2] = {{jacobian[0][0].get(), jacobian[0][1].get()},
                                                      {jacobian[1][0].get(), jacobian[1][1].get()}};
    return std::make_unique<FormulaEnclosure>(*field[0], *field[1], entries);
}

bool FieldAnalysis::Jacobian(double x, double y, Matrix2& m) const
{
    if (!Differentiable()) return false;
    MoveTo(x, y);
    try {
        m = {jacobian[0][0]->Evaluate(), jacobian[0][1]->Evaluate(), jacobian[1][0]->Evaluate(),
             jacobian[1][1]->Evaluate()};
    } catch (const ParseErrorMsg&) {
        return false;
    }
    return std::isfinite(m.a) && std::isfinite(m.b) && std::isfinite(m.c) && std::isfinite(m.d);
}
