// libFuzzer target for the formula engine. Every input is a formula; the engine must either
// refuse it with a ParseErrorMsg or compile it, and every operation on a compiled formula must
// again either succeed or raise a ParseErrorMsg. Crashes, sanitizer reports, leaks, any other
// exception and slow inputs are what we are looking for.
//
// The input is handed over as a C string: bytes after an embedded NUL are cut off, as they
// would be for any caller of the engine.

#include "engine.h"
#include "field_analysis.h"
#include "field_enclosure.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

using Expression = std::unique_ptr<FunctionInterpreter>;

// A derivative copies, at every level, the operands below it: its size grows with the sum of
// all subtree sizes (the tree's "weight"), and a second derivative with the square of that. The
// limits below keep one input well inside the time limit; bigger trees would only repeat the
// same code paths. The weight of a tree is measured before differentiating it, and every
// derivative's raw printed length counts against a budget, so that a deep input gets a few
// derivatives rather than a dozen of the same kind.
constexpr size_t kMaxDerivedWeight = 20000;
constexpr int kMaxDerivedVariables = 8;
constexpr size_t kDerivativeBudget = 200000; // raw printed characters over all derivatives
constexpr size_t kMaxTwiceDerived = 2000;    // weight up to which a derivative is derived again

// The points at which every expression is evaluated: x and y from a small grid around the origin
// (zero included, where most domain errors live); every other variable reads kOtherValue.
struct Point
{
    double x;
    double y;
};
constexpr Point kPoints[] = {{0.0, 0.0}, {1.0, -1.0}, {-2.5, 3.0}, {0.5, 4.75}};
constexpr double kOtherValue = 0.5;

[[noreturn]] void Fail(const char* what, const char* detail = "")
{
    std::fprintf(stderr, "engine_fuzz: %s %s\n", what, detail);
    std::abort();
}

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) Fail("check failed:", #condition);                                       \
    } while (false)

// A refused formula must carry a code that has a message and positions inside the text (or -1).
void CheckError(const ParseErrorMsg& error, size_t textLength)
{
    FUZZ_CHECK(HasErrorMessage(error.code));
    const long length = static_cast<long>(textLength);
    FUZZ_CHECK(error.from >= -1 && error.from <= length);
    FUZZ_CHECK(error.to >= -1 && error.to <= length);
}

// Errors raised without text (evaluation, derivatives, copies) carry no positions.
void CheckTextlessError(const ParseErrorMsg& error)
{
    FUZZ_CHECK(HasErrorMessage(error.code));
    FUZZ_CHECK(error.from == -1 && error.to == -1);
}

// The operands of a node, as far as the node families expose them.
std::vector<const Parser*> Children(const Parser* node)
{
    if (const auto* function = dynamic_cast<const FunctionParser*>(node))
        return {function->argument};
    if (const auto* random = dynamic_cast<const RandomFunction*>(node))
        return random->argument ? std::vector<const Parser*>{random->argument}
                                : std::vector<const Parser*>{};
    if (const auto* operation = dynamic_cast<const OperationParser*>(node))
        return {operation->left, operation->right};
    return {};
}

// Walks the tree of `expression` (without recursion: trees may be deep), checks that every node
// knows its holder, and answers the sum of all subtree sizes.
size_t CheckTreeAndWeigh(const FunctionInterpreter& expression)
{
    const Parser* root = expression.Root();
    if (!root) return 0;
    FUZZ_CHECK(root->parent == &expression);
    struct Visit
    {
        const Parser* node;
        size_t depth;
    };
    std::vector<Visit> pending{{root, 1}};
    size_t weight = 0;
    while (!pending.empty()) {
        const Visit visit = pending.back();
        pending.pop_back();
        weight += visit.depth;
        for (const Parser* child : Children(visit.node)) {
            FUZZ_CHECK(child != nullptr);
            FUZZ_CHECK(child->parent == visit.node);
            pending.push_back({child, visit.depth + 1});
        }
    }
    return weight;
}

std::string PrintOf(const Parser& node)
{
    const PrintedText text(node.Print());
    FUZZ_CHECK(text != nullptr);
    return text.get();
}

// Points every variable of `expression` at its own slot in `values`: x and y get the point's
// coordinates, everything else kOtherValue. Binds by index or by name, as `byName` says; either
// way the table must find its own names and hand back the slots it was given.
void Bind(FunctionInterpreter& expression, std::vector<double>& values, const Point& point,
          bool byName)
{
    const int count = expression.VariableCount();
    values.assign(static_cast<size_t>(count), kOtherValue);
    for (int i = 0; i < count; ++i) {
        const char* name = expression.VariableName(i);
        FUZZ_CHECK(name != nullptr);
        FUZZ_CHECK(expression.FindVariable(name) == i);
        FUZZ_CHECK(expression.FindOrAddVariable(name) == i);
        if (std::strcmp(name, "x") == 0) values[i] = point.x;
        if (std::strcmp(name, "y") == 0) values[i] = point.y;
        if (byName)
            FUZZ_CHECK(expression.BindValueSlotByName(name, &values[i]));
        else
            FUZZ_CHECK(expression.BindValueSlot(i, &values[i]));
        FUZZ_CHECK(expression.ValueSlot(i) == &values[i]);
        FUZZ_CHECK(expression.ValueSlotByName(name) == &values[i]);
    }
    FUZZ_CHECK(expression.VariableCount() == count);

    // Indices and names outside the table (no formula has a name with a blank in it).
    double unused = 0.0;
    FUZZ_CHECK(!expression.BindValueSlot(count, &unused));
    FUZZ_CHECK(!expression.BindValueSlot(-1, &unused));
    FUZZ_CHECK(!expression.BindValueSlotByName("x y", &unused));
    FUZZ_CHECK(expression.VariableName(count) == nullptr);
    FUZZ_CHECK(expression.VariableName(-1) == nullptr);
    FUZZ_CHECK(expression.FindVariable("x y") == -1);
    try {
        expression.ValueSlotByName("x y");
        Fail("ValueSlotByName found a name that is not in the table");
    } catch (const ParseErrorMsg& error) {
        FUZZ_CHECK(error.code == kUnknownVariable);
        CheckTextlessError(error);
    }
}

// One evaluation: the value, or the code of the error it raised.
struct Outcome
{
    double value = 0.0;
    int code = -1;

    bool operator==(const Outcome& other) const
    {
        // Bitwise, so that two NaNs from the same computation count as equal.
        return code == other.code && std::memcmp(&value, &other.value, sizeof value) == 0;
    }
};

Outcome EvaluateOnce(const FunctionInterpreter& expression)
{
    Outcome outcome;
    try {
        outcome.value = expression.Evaluate();
    } catch (const ParseErrorMsg& error) {
        CheckTextlessError(error);
        outcome.code = error.code;
    }
    return outcome;
}

bool DrawsRandomNumbers(const Parser* node)
{
    std::vector<const Parser*> pending{node};
    while (!pending.empty()) {
        const Parser* next = pending.back();
        pending.pop_back();
        if (!next) continue;
        if (dynamic_cast<const RandomFunction*>(next)) return true;
        for (const Parser* child : Children(next))
            pending.push_back(child);
    }
    return false;
}

// Binds x and y to the caller's doubles and every other variable to its own slot in `slots`,
// which reads kOtherValue, except the last one, which is bound to nothing.
void BindForComparison(FunctionInterpreter& expression, double& x, double& y,
                       std::vector<double>& slots)
{
    const int count = expression.VariableCount();
    slots.assign(static_cast<size_t>(count), kOtherValue);
    int unbound = -1;
    for (int i = 0; i < count; ++i) {
        const char* name = expression.VariableName(i);
        double* slot = &slots[static_cast<size_t>(i)];
        if (std::strcmp(name, "x") == 0) slot = &x;
        if (std::strcmp(name, "y") == 0) slot = &y;
        expression.BindValueSlot(i, slot);
        if (slot == &slots[static_cast<size_t>(i)]) unbound = i;
    }
    if (unbound >= 0) expression.BindValueSlot(unbound, nullptr);
}

// The batch evaluator against the tree, point by point: the same value bit for bit, or the same
// error. x and y come from columns holding points where domain errors live (zeros of both
// signs, ±1, huge values, infinities, NaN); the other variables are bound by BindForComparison.
// RAND draws in another order, so a formula with RAND is only evaluated.
void CompareBatchWithTree(FunctionInterpreter& expression)
{
    static const double xs[] = {0.0, -0.0, 1.0, -1.0, 0.5, -2.5, 3.0, 1e10, -1e300, 2147483648.0};
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    static const double ys[] = {
        0.0,    -1.0,      4.75,       -0.5,
        1e-300, kInfinity, -kInfinity, std::numeric_limits<double>::quiet_NaN()};
    constexpr std::size_t kSide = sizeof xs / sizeof xs[0];
    constexpr std::size_t kCount = kSide * (sizeof ys / sizeof ys[0]);
    double columnX[kCount];
    double columnY[kCount];
    for (std::size_t i = 0; i < kCount; ++i) {
        columnX[i] = xs[i % kSide];
        columnY[i] = ys[i / kSide];
    }

    std::vector<double> slots;
    double x = 0.0;
    double y = 0.0;
    BindForComparison(expression, x, y, slots);

    BatchEvaluator batch(expression);
    batch.BindColumn("x", columnX);
    batch.BindColumn("y", columnY);
    double values[kCount];
    int errors[kCount];
    batch.Evaluate(kCount, values, errors);
    if (!DrawsRandomNumbers(expression.Root())) {
        for (std::size_t i = 0; i < kCount; ++i) {
            x = columnX[i];
            y = columnY[i];
            const Outcome fromTree = EvaluateOnce(expression);
            FUZZ_CHECK(errors[i] == fromTree.code);
            // Bit for bit, except that a NaN is any NaN: when both operands of + or * are NaNs,
            // the processor keeps one of their payloads, and the compiler may order the
            // operands of these commutative operations either way.
            const bool bothNaN = std::isnan(values[i]) && std::isnan(fromTree.value);
            if (fromTree.code < 0 && !bothNaN)
                FUZZ_CHECK(std::memcmp(&values[i], &fromTree.value, sizeof(double)) == 0);
        }
        // A second, shorter batch: the prefix of the first.
        batch.Evaluate(kCount / 3, values, errors);
        for (std::size_t i = 0; i < kCount / 3; ++i) {
            x = columnX[i];
            y = columnY[i];
            FUZZ_CHECK(errors[i] == EvaluateOnce(expression).code);
        }
    }
    for (int i = 0; i < expression.VariableCount(); ++i)
        expression.BindValueSlot(i, nullptr);
}

// The interval evaluator against the tree: over a few boxes of x and y (points, zeros of both
// signs, tiny, huge and infinite ones), the value at points of each box lies in the enclosure,
// and a point where the tree fails (an error or NaN) was announced. The other variables are
// bound by BindForComparison.
void CompareIntervalsWithTree(FunctionInterpreter& expression)
{
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    struct Box
    {
        Interval x, y;
    };
    static const Box boxes[] = {{{-5, 5}, {-5, 5}},           {{0, 0}, {-0.0, 0}},
                                {{0.5, 1}, {-1, -0.5}},       {{-1e-9, 1e-9}, {2, 2.5}},
                                {{1, 1e10}, {-kInfinity, 0}}, {{-kInfinity, kInfinity}, {3, 3}}};
    // Where the points lie, as fractions of the way through the box from its lower ends.
    static const double along[][2] = {{0, 0},     {1, 1},      {0, 1},      {1, 0},
                                      {0.5, 0.5}, {0.25, 0.9}, {0.9, 1e-3}, {1e-3, 0.25}};
    auto pointOf = [](const Interval& box, double t) {
        if (t == 0 || t == 1) return t == 0 ? box.lo : box.hi;
        const double inside = std::max(box.lo, -1e300) * (1 - t) + std::min(box.hi, 1e300) * t;
        return std::clamp(inside, box.lo, box.hi);
    };
    std::vector<double> slots;
    double x = 0.0;
    double y = 0.0;
    BindForComparison(expression, x, y, slots);
    IntervalEvaluator interval(expression);
    Interval xBox{};
    Interval yBox{};
    interval.Bind("x", &xBox);
    interval.Bind("y", &yBox);
    for (const Box& box : boxes) {
        xBox = box.x;
        yBox = box.y;
        bool mayFail = false;
        const Interval enclosure = interval.Evaluate(&mayFail);
        for (const auto& t : along) {
            x = pointOf(box.x, t[0]);
            y = pointOf(box.y, t[1]);
            const Outcome outcome = EvaluateOnce(expression);
            const bool fails = outcome.code >= 0 || std::isnan(outcome.value);
            FUZZ_CHECK(fails ? mayFail : Contains(enclosure, outcome.value));
        }
    }
    for (int i = 0; i < expression.VariableCount(); ++i)
        expression.BindValueSlot(i, nullptr);
}

// Evaluates at every grid point. Evaluation only reads the tree, so without RAND a second
// evaluation at the same point must give the same value or the same error.
void EvaluateOnGrid(FunctionInterpreter& expression, bool deterministic)
{
    CompareBatchWithTree(expression);
    CompareIntervalsWithTree(expression);
    std::vector<double> values;
    bool byName = false;
    for (const Point& point : kPoints) {
        Bind(expression, values, point, byName);
        byName = !byName;
        const Outcome first = EvaluateOnce(expression);
        if (deterministic) FUZZ_CHECK(EvaluateOnce(expression) == first);
    }
    // The slots die with this call: leave every variable bound to nothing, as the viewer does
    // for names it does not serve.
    for (int i = 0; i < expression.VariableCount(); ++i)
        expression.BindValueSlot(i, nullptr);
}

// Checks the tree, prints, binds and evaluates an expression built from a tree (a derivative or
// a copy).
void Exercise(FunctionInterpreter& expression)
{
    CheckTreeAndWeigh(expression);
    try {
        const std::string text = PrintOf(expression);
        FUZZ_CHECK(text.compare(0, 2, "= ") == 0);
    } catch (const ParseErrorMsg& error) {
        CheckTextlessError(error); // an expression without a tree has nothing to print
    }
    EvaluateOnGrid(expression, false);
}

// Wraps a tree (possibly null) into an expression object of its own, which simplifies it.
Expression Adopt(Parser* tree)
{
    try {
        return std::make_unique<FunctionInterpreter>(tree); // deletes the tree when it throws
    } catch (const ParseErrorMsg& error) {
        CheckTextlessError(error);
        return nullptr;
    }
}

void CheckComparison(const FunctionInterpreter& a, const FunctionInterpreter* b)
{
    bool same = false;
    bool differs = false;
    try {
        same = a.IsSameAsExpression(b);
    } catch (const ParseErrorMsg& error) {
        CheckTextlessError(error);
        return;
    }
    try {
        differs = a.DiffersFromExpression(b);
    } catch (const ParseErrorMsg& error) {
        CheckTextlessError(error);
        return;
    }
    FUZZ_CHECK(same != differs);
}

// A copy prints exactly like its original, and adopting it gives a working expression that
// compares consistently with the original.
void CheckCopy(const FunctionInterpreter& expression, const std::string& printed)
{
    Parser* tree = nullptr;
    try {
        tree = expression.CopyTree();
    } catch (const ParseErrorMsg& error) {
        CheckTextlessError(error);
        return;
    }
    FUZZ_CHECK(tree != nullptr);
    FUZZ_CHECK(tree->parent == nullptr);
    FUZZ_CHECK("= " + PrintOf(*tree) == printed);

    Expression copy = Adopt(tree);
    if (!copy) return;
    CheckComparison(expression, copy.get());
    CheckComparison(*copy, &expression);
    CheckComparison(expression, &expression);
    Exercise(*copy);
}

// Differentiates, adopts and exercises the derivative; answers the printed length of the raw
// derivative tree (before simplification), which the caller counts against kDerivativeBudget.
size_t CheckDerivative(const FunctionInterpreter& expression, const char* wrt,
                       const IndependentSet* independents, bool again)
{
    Parser* tree = nullptr;
    try {
        tree = expression.Derivative(wrt, independents);
    } catch (const ParseErrorMsg& error) {
        CheckTextlessError(error);
        return 0;
    }
    size_t cost = 0;
    if (tree) {
        FUZZ_CHECK(tree->parent == nullptr);
        cost = PrintOf(*tree).size(); // unattached variables print as well
    }
    Expression derivative = Adopt(tree);
    if (!derivative) return cost;
    Exercise(*derivative);
    if (again && CheckTreeAndWeigh(*derivative) <= kMaxTwiceDerived)
        cost += CheckDerivative(*derivative, wrt, independents, false);
    return cost;
}

void CheckDerivatives(const FunctionInterpreter& expression)
{
    const IndependentSet independents{"x", "y"};
    const int count = expression.VariableCount();
    size_t spent = 0;
    for (int i = 0; i < count && i < kMaxDerivedVariables && spent < kDerivativeBudget; ++i) {
        const char* name = expression.VariableName(i);
        spent += CheckDerivative(expression, name, nullptr, i == 0);
        if (spent < kDerivativeBudget)
            spent += CheckDerivative(expression, name, &independents, false);
    }

    // A name the expression does not use: "x" or "y" when free, otherwise a name with a blank,
    // which no formula can contain.
    const char* absent = expression.FindVariable("x") < 0   ? "x"
                         : expression.FindVariable("y") < 0 ? "y"
                                                            : "x y";
    if (spent < kDerivativeBudget) spent += CheckDerivative(expression, absent, nullptr, false);
    if (spent < kDerivativeBudget) CheckDerivative(expression, absent, &independents, false);

    if (count > 0 && spent < kDerivativeBudget) {
        try {
            Expression byIndex = Adopt(expression.DerivativeByIndex(count - 1, nullptr));
            if (byIndex) EvaluateOnGrid(*byIndex, false);
        } catch (const ParseErrorMsg& error) {
            CheckTextlessError(error);
        }
    }

    try {
        delete expression.DerivativeByIndex(count, nullptr);
        Fail("DerivativeByIndex accepted an index past the table");
    } catch (const ParseErrorMsg& error) {
        FUZZ_CHECK(error.code == kUnknownVariable);
        CheckTextlessError(error);
    }
}

// The node factories over copies of the tree, with one operator code and one function code
// chosen by the input (valid codes or not), and optionally a missing operand. A factory that
// refuses its operands leaves them to the caller, with one exception: an IfOperator refusing a
// right operand that is not a ThenElseOperator (code 27) has adopted and deleted both.
void CheckFactories(const FunctionInterpreter& expression, uint32_t choice)
{
    const Parser* root = expression.Root();
    const int operatorCode = static_cast<int>(choice % 27) - 1;      // -1 ... 25
    const int functionCode = static_cast<int>(choice / 27 % 32) - 1; // -1 ... 30
    const bool leftMissing = choice / (27 * 32) % 4 == 1;
    const bool rightMissing = choice / (27 * 32) % 4 == 2;

    NodePtr left(leftMissing ? nullptr : root->Clone());
    NodePtr right(rightMissing ? nullptr : root->Clone());
    if (operatorCode == 23 && right) {
        // A conditional needs its branches on the right.
        NodePtr otherBranch(root->Clone());
        Parser* branches = root->MakeOperator(22, right.get(), otherBranch.get());
        right.release(); // the pair owns both branches now
        otherBranch.release();
        right.reset(branches);
    }
    Parser* node = nullptr;
    try {
        node = root->MakeOperator(operatorCode, left.get(), right.get());
        const bool prefix = operatorCode == 2 || operatorCode == 17 || operatorCode == 21;
        if (!prefix) left.release(); // a prefix operator leaves `left` to the caller
        right.release();
    } catch (const ParseErrorMsg& error) {
        CheckTextlessError(error);
        if (error.code == kMissingColon) {
            left.release();
            right.release();
        }
    }
    if (node) {
        FUZZ_CHECK(node->parent == nullptr);
        if (Expression adopted = Adopt(node)) Exercise(*adopted);
    }

    NodePtr argument(leftMissing ? nullptr : root->Clone());
    node = nullptr;
    try {
        node = root->MakeFunction(functionCode, argument.get());
        argument.release(); // adopted, or folded into a RAND's scale and deleted
    } catch (const ParseErrorMsg& error) {
        CheckTextlessError(error);
    }
    if (node) {
        FUZZ_CHECK(node->parent == nullptr);
        if (Expression adopted = Adopt(node)) Exercise(*adopted);
    }
}

// The expression object answers the node operations too, though it is never a node of a tree.
void CheckAsNode(const FunctionInterpreter& expression)
{
    FUZZ_CHECK(!expression.IsLiteral());
    FUZZ_CHECK(expression.Precedence() == 0);
    try {
        delete expression.Clone();
        Fail("an expression object copied itself as a node");
    } catch (const ParseErrorMsg& error) {
        CheckTextlessError(error);
    }
    // Differentiating by a variable node of the tree, and by no name at all.
    const Variable* variable = nullptr;
    std::vector<const Parser*> pending{expression.Root()};
    while (!pending.empty() && !variable) {
        const Parser* node = pending.back();
        pending.pop_back();
        variable = dynamic_cast<const Variable*>(node);
        for (const Parser* child : Children(node))
            pending.push_back(child);
    }
    for (const Variable* wrt : {variable, static_cast<const Variable*>(nullptr)}) {
        try {
            Expression derivative = Adopt(expression.DerivativeByVariable(wrt, nullptr));
            if (derivative) Exercise(*derivative);
        } catch (const ParseErrorMsg& error) {
            CheckTextlessError(error);
        }
    }
}

// An expression object without a tree: the empty case of every operation.
void CheckEmptyComparisons(const FunctionInterpreter& expression)
{
    const FunctionInterpreter empty(static_cast<Parser*>(nullptr));
    FUZZ_CHECK(!expression.IsSameAsExpression(&empty));
    FUZZ_CHECK(expression.DiffersFromExpression(&empty));
    FUZZ_CHECK(!empty.IsSameAsExpression(&expression));
    FUZZ_CHECK(empty.DiffersFromExpression(&expression));
}

// ---- Field analysis ----------------------------------------------------------------------------

// The analysis differentiates each formula twice and copies it: trees up to this weight only.
constexpr size_t kMaxAnalysedWeight = 5000;
// One equilibria search may evaluate this many nodes in all (the field's and its Jacobian's over
// boxes), and take this long: the program gives it a second, which one input cannot have.
constexpr long kSearchNodeBudget = 2000000;
constexpr double kSearchSeconds = 0.05;
// The other component of the second field analysed.
constexpr const char* kPartnerFormula = "sin(x) * y - x / 2";

const Region kRegions[] = {
    {-5, 5, -5, 5}, {0, 1, -2, 0.5}, {-1e3, 1e3, -1e-3, 1e-3}, {2, 2, -1, 1}, {-1, 1, 3, 3}};

size_t NodeCount(const FunctionInterpreter* expression)
{
    if (!expression || !expression->Root()) return 0;
    size_t count = 0;
    std::vector<const Parser*> pending{expression->Root()};
    while (!pending.empty()) {
        const Parser* node = pending.back();
        pending.pop_back();
        ++count;
        for (const Parser* child : Children(node))
            pending.push_back(child);
    }
    return count;
}

// Counts what a search asks of the field, to compare with its limits.
class CountingField final : public FieldEnclosure
{
public:
    explicit CountingField(FieldEnclosure& field) : field(field) {}
    void Value(const Box& box, Interval value[2], bool* mayFail) override
    {
        ++calls;
        field.Value(box, value, mayFail);
    }
    bool Jacobian(const Box& box, IntervalMatrix2& jacobian) override
    {
        ++calls;
        return field.Jacobian(box, jacobian);
    }
    bool Derivatives(const Box& box, HigherDerivatives& derivatives) override
    {
        ++calls;
        return field.Derivatives(box, derivatives);
    }
    FieldEnclosure& field;
    long calls = 0;
};

bool IsKnownKind(const std::string& kind, bool accelerationField)
{
    const char* const velocity[] = {"saddle",          "degenerate",    "centre",
                                    "stable node",     "unstable node", "stable spiral",
                                    "unstable spiral", kContinuumKind};
    const char* const acceleration[] = {"stable", "unstable", "degenerate", kContinuumKind};
    for (const char* known : velocity)
        if (!accelerationField && kind == known) return true;
    for (const char* known : acceleration)
        if (accelerationField && kind == known) return true;
    return false;
}

// Entries inside the region, of known kinds, sorted by x; each square holds a zero (or the
// undecided boxes of a cluster or continuum), so F's enclosure over it holds 0.
void CheckEquilibria(const EquilibriumSearch& found, FieldEnclosure& field, const Region& region,
                     bool accelerationField, size_t maxEntries)
{
    FUZZ_CHECK(found.entries.size() <= maxEntries);
    const double size = std::max(region.xMax - region.xMin, region.yMax - region.yMin);
    for (size_t i = 0; i < found.entries.size(); ++i) {
        const Equilibrium& e = found.entries[i];
        FUZZ_CHECK(e.x >= region.xMin && e.x <= region.xMax);
        FUZZ_CHECK(e.y >= region.yMin && e.y <= region.yMax);
        FUZZ_CHECK(IsKnownKind(KindName(e.kind), accelerationField));
        FUZZ_CHECK(e.radius >= 0 && !std::isnan(e.radius));
        FUZZ_CHECK(!e.proven || e.kind != EquilibriumKind::Continuum);
        for (const auto& eigenvalue : e.eigenvalues)
            FUZZ_CHECK(std::isfinite(eigenvalue.real()) && std::isfinite(eigenvalue.imag()));
        if (i > 0) FUZZ_CHECK(e.x >= found.entries[i - 1].x - 1e-6 * size);
        if (!std::isfinite(e.radius)) continue;
        Interval value[2];
        bool mayFail = false;
        field.Value({{e.x - e.radius, e.x + e.radius}, {e.y - e.radius, e.y + e.radius}}, value,
                    &mayFail);
        for (const Interval& component : value)
            FUZZ_CHECK(component.lo <= 0 && 0 <= component.hi);
    }
}

// Divergence or curl at a point: a value, or an error without text positions.
void EvaluateDerived(const FieldAnalysis& analysis, bool curl, const Point& point)
{
    try {
        curl ? analysis.CurlAt(point.x, point.y) : analysis.DivergenceAt(point.x, point.y);
        FUZZ_CHECK(analysis.Differentiable());
    } catch (const ParseErrorMsg& error) {
        CheckTextlessError(error);
        if (!analysis.Differentiable()) FUZZ_CHECK(error.code == analysis.ErrorCode());
    }
}

// `fieldNodes`: the node count of the two formulas, which every value of the field evaluates.
void CheckAnalysis(const FieldAnalysis& analysis, size_t fieldNodes, uint32_t choice)
{
    if (analysis.Differentiable()) {
        FUZZ_CHECK(analysis.ErrorCode() == -1 && analysis.Reason().empty());
        FUZZ_CHECK(analysis.DivergenceExpression() && analysis.CurlExpression());
        FUZZ_CHECK(!analysis.Divergence().empty() && !analysis.Curl().empty());
        for (int row = 0; row < 2; ++row)
            for (int column = 0; column < 2; ++column)
                FUZZ_CHECK(!analysis.Jacobian(row, column).empty());
    } else {
        FUZZ_CHECK(HasErrorMessage(analysis.ErrorCode()) && !analysis.Reason().empty());
        FUZZ_CHECK(!analysis.DivergenceExpression() && !analysis.CurlExpression());
        FUZZ_CHECK(!analysis.JacobianExpression(0, 0) && !analysis.JacobianExpression(1, 1));
        FUZZ_CHECK(analysis.Divergence().empty() && analysis.Curl().empty());
    }
    for (const Point& point : kPoints) {
        EvaluateDerived(analysis, false, point);
        EvaluateDerived(analysis, true, point);
        double value[2];
        Matrix2 jacobian;
        if (analysis.Value(point.x, point.y, value))
            FUZZ_CHECK(std::isfinite(value[0]) && std::isfinite(value[1]));
        if (analysis.Jacobian(point.x, point.y, jacobian)) FUZZ_CHECK(analysis.Differentiable());
    }

    // The search, with its time and its work bounded by the size of what it evaluates.
    const Region& region = kRegions[choice % (sizeof kRegions / sizeof kRegions[0])];
    const bool acceleration = choice / 8 % 2 == 1;
    const size_t nodes = 1 + fieldNodes + NodeCount(analysis.JacobianExpression(0, 0)) +
                         NodeCount(analysis.JacobianExpression(0, 1)) +
                         NodeCount(analysis.JacobianExpression(1, 0)) +
                         NodeCount(analysis.JacobianExpression(1, 1));
    SearchLimits limits;
    limits.seconds = kSearchSeconds;
    limits.maxEvaluations = std::max(50L, kSearchNodeBudget / static_cast<long>(nodes));
    const std::unique_ptr<FieldEnclosure> enclosure = analysis.Enclosure();
    FUZZ_CHECK(!enclosure == !analysis.Differentiable());
    if (enclosure) {
        CountingField counted(*enclosure);
        const EquilibriumSearch found = FindEquilibria(
            counted, region, acceleration ? FieldKind::Acceleration : FieldKind::Velocity, limits);
        FUZZ_CHECK(counted.calls <= limits.maxEvaluations + 1); // the one that finds it spent
        CheckEquilibria(found, *enclosure, region, acceleration,
                        static_cast<size_t>(limits.maxEntries));
    }
    if (!analysis.Differentiable()) FUZZ_CHECK(analysis.Equilibria(-5, 5, -5, 5, false).empty());
}

// Analyses the field (fx, fy) with every variable but x and y bound, as the viewer binds them.
// The analysis must leave the formulas and the caller's doubles as they were.
void AnalysePair(FunctionInterpreter& fx, FunctionInterpreter& fy, uint32_t choice)
{
    std::vector<double> values[2];
    FunctionInterpreter* formulas[2] = {&fx, &fy};
    for (int f = 0; f < 2; ++f) {
        const int count = formulas[f]->VariableCount();
        values[f].assign(static_cast<size_t>(count), kOtherValue);
        for (int i = 0; i < count; ++i)
            formulas[f]->BindValueSlot(i, &values[f][static_cast<size_t>(i)]);
    }
    const std::string printed[2] = {PrintOf(fx), PrintOf(fy)};
    const std::vector<double> before[2] = {values[0], values[1]};
    {
        FieldAnalysis analysis(fx, fy);
        CheckAnalysis(analysis, NodeCount(&fx) + NodeCount(&fy), choice);
        // A moved analysis keeps reading its own x and y.
        const FieldAnalysis moved(std::move(analysis));
        EvaluateDerived(moved, false, kPoints[1]);
    }
    FUZZ_CHECK(PrintOf(fx) == printed[0] && PrintOf(fy) == printed[1]);
    for (int f = 0; f < 2; ++f) {
        FUZZ_CHECK(values[f] == before[f]);
        for (int i = 0; i < formulas[f]->VariableCount(); ++i)
            formulas[f]->BindValueSlot(i, nullptr);
    }
}

// The field analysis of the input with itself, and of the input beside a fixed formula.
void CheckFieldAnalysis(FunctionInterpreter& expression, size_t weight, uint32_t choice)
{
    if (weight > kMaxAnalysedWeight) return;
    AnalysePair(expression, expression, choice);
    FunctionInterpreter partner(kPartnerFormula);
    AnalysePair(partner, expression, choice / 16);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const char* formula = input.c_str(); // the engine stops at the first NUL
    const size_t length = std::strlen(formula);

    Expression expression;
    try {
        expression = std::make_unique<FunctionInterpreter>(formula);
    } catch (const ParseErrorMsg& error) {
        CheckError(error, length);
        return 0;
    }

    const std::string printed = PrintOf(*expression);
    FUZZ_CHECK(printed.compare(0, 2, "= ") == 0);

    // Before binding, a variable that evaluation reaches has no value to read.
    if (expression->VariableCount() > 0) {
        try {
            expression->Evaluate();
        } catch (const ParseErrorMsg& error) {
            CheckTextlessError(error);
        }
    }
    const bool deterministic = printed.find("RAND(") == std::string::npos;
    EvaluateOnGrid(*expression, deterministic);
    CheckCopy(*expression, printed);
    CheckEmptyComparisons(*expression);
    if (CheckTreeAndWeigh(*expression) <= kMaxDerivedWeight) {
        CheckDerivatives(*expression);
        CheckAsNode(*expression);
        // Any cheap mix of the input's bytes will do to pick the factory codes.
        uint32_t choice = static_cast<uint32_t>(length);
        for (size_t i = 0; i < length; ++i)
            choice = choice * 31 + static_cast<unsigned char>(formula[i]);
        CheckFactories(*expression, choice);
    }
    {
        uint32_t choice = static_cast<uint32_t>(length) * 17;
        for (size_t i = 0; i < length; ++i)
            choice = choice * 37 + static_cast<unsigned char>(formula[i]);
        CheckFieldAnalysis(*expression, CheckTreeAndWeigh(*expression), choice);
    }

    // The printed text is a formula again (not always an accepted one: constants are printed
    // with three digits, and names may read differently next to the blanks Print adds).
    try {
        Expression reread = std::make_unique<FunctionInterpreter>(printed.c_str());
        EvaluateOnGrid(*reread, false);
    } catch (const ParseErrorMsg& error) {
        CheckError(error, printed.size());
    }
    return 0;
}
