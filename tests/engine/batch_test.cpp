// Batch evaluation against the tree's own, point by point: values bit for bit, errors by code.

#include "test_support.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

const std::size_t kSizes[] = {0, 1, 7, 64, 1000, 10007};

// Points in the region, mixed with the values where domain errors live, signed zeros, huge
// values, infinities and NaN.
std::vector<double> RandomCoordinates(std::mt19937& random, std::size_t n)
{
    static const double special[] = {0.0,  -0.0,      1.0,        -1.0,     2.0,         -2.0,
                                     0.5,  -0.5,      3.0,        M_PI / 2, -M_PI,       1e10,
                                     -3e9, kInfinity, -kInfinity, kNaN,     2147483648.0};
    std::uniform_real_distribution<double> region(-5.0, 5.0);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(special) - 1);
    std::vector<double> values(n);
    for (double& value : values) {
        const unsigned kind = random() % 4;
        value = kind == 0   ? special[pick(random)]
                : kind == 1 ? std::round(region(random))
                            : region(random);
    }
    return values;
}

struct Outcome
{
    double value = 0.0;
    int code = -1;
};

// The variables the formulas may use: x and y get columns, a reads a slot, b is bound to
// nothing.
class Fixture
{
public:
    explicit Fixture(const char* formula) : expression(formula)
    {
        expression.BindValueSlotByName("x", &x);
        expression.BindValueSlotByName("y", &y);
        expression.BindValueSlotByName("a", &a);
        batch = std::make_unique<BatchEvaluator>(expression);
    }

    // What the tree gives at every point.
    std::vector<Outcome> Tree(const std::vector<double>& xs, const std::vector<double>& ys)
    {
        std::vector<Outcome> outcomes(xs.size());
        for (std::size_t i = 0; i < xs.size(); ++i) {
            x = xs[i];
            y = ys[i];
            try {
                outcomes[i].value = expression.Evaluate();
            } catch (const ParseErrorMsg& error) {
                outcomes[i].code = error.code;
            }
        }
        return outcomes;
    }

    // What the batch gives at every point.
    std::vector<Outcome> Batch(const std::vector<double>& xs, const std::vector<double>& ys)
    {
        const std::size_t n = xs.size();
        batch->BindColumn("x", xs.data());
        batch->BindColumn("y", ys.data());
        std::vector<double> values(n, 12345.0);
        std::vector<int> errors(n, 12345);
        batch->Evaluate(n, values.data(), errors.data());
        std::vector<Outcome> outcomes(n);
        for (std::size_t i = 0; i < n; ++i)
            outcomes[i] = Outcome{values[i], errors[i]};
        return outcomes;
    }

    FunctionInterpreter expression;
    std::unique_ptr<BatchEvaluator> batch;
    double x = 0.0;
    double y = 0.0;
    double a = 0.75;
};

// Bit for bit, except that a NaN is any NaN: when both operands of + or * are NaNs, the
// processor keeps one of their payloads, and the compiler may order the operands of these
// commutative operations either way, in either evaluator.
bool SameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

testing::AssertionResult Agree(const std::string& formula, const std::vector<double>& xs,
                               const std::vector<double>& ys, const std::vector<Outcome>& tree,
                               const std::vector<Outcome>& batch)
{
    for (std::size_t i = 0; i < tree.size(); ++i) {
        const bool same = tree[i].code == batch[i].code &&
                          (tree[i].code >= 0 || SameBits(tree[i].value, batch[i].value));
        if (!same)
            return testing::AssertionFailure()
                   << formula << " at point " << i << " of " << tree.size() << " (x " << xs[i]
                   << ", y " << ys[i] << "): tree " << tree[i].value << " / error " << tree[i].code
                   << ", batch " << batch[i].value << " / error " << batch[i].code;
    }
    return testing::AssertionSuccess();
}

// Compares tree and batch on n random points; a formula that does not compile passes.
testing::AssertionResult AgreeOn(const std::string& formula, std::size_t n, unsigned seed)
{
    std::unique_ptr<Fixture> fixture;
    try {
        fixture = std::make_unique<Fixture>(formula.c_str());
    } catch (const ParseErrorMsg&) {
        return testing::AssertionSuccess();
    }
    std::mt19937 random(seed);
    const std::vector<double> xs = RandomCoordinates(random, n);
    const std::vector<double> ys = RandomCoordinates(random, n);
    const std::vector<Outcome> tree = fixture->Tree(xs, ys);
    return Agree(formula, xs, ys, tree, fixture->Batch(xs, ys));
}

const char* const kFunctions[] = {"ln",   "log",  "exp",  "abs",  "sqrt", "sin",  "cos",
                                  "tan",  "sec",  "csc",  "cot",  "asin", "acos", "atan",
                                  "asec", "acsc", "acot", "sinh", "cosh", "tanh", "sech",
                                  "csch", "coth", "ceil", "floor"};
const char* const kOperators[] = {
    "+", "-", "*", "/", "%", "^", "<", ">", "==", "!=", "<=", ">=", "&&", "||", "&", "|", "!&"};
const char* const kPrefixes[] = {"-", "!", "~"};
const char* const kLeaves[] = {"x", "y", "x", "y", "a", "0", "1", "2", "0.5", "3", "pi", "1e10"};

// A random formula of at most `depth` levels, fully parenthesised.
std::string RandomFormula(std::mt19937& random, int depth)
{
    auto pick = [&random](const auto& table) {
        return std::string(table[random() % std::size(table)]);
    };
    if (depth <= 0 || random() % 5 == 0) return pick(kLeaves);
    switch (random() % 8) {
    case 0:
    case 1:
    case 2:
        return "(" + RandomFormula(random, depth - 1) + " " + pick(kOperators) + " " +
               RandomFormula(random, depth - 1) + ")";
    case 3:
    case 4:
        return pick(kFunctions) + "(" + RandomFormula(random, depth - 1) + ")";
    case 5:
        return pick(kPrefixes) + "(" + RandomFormula(random, depth - 1) + ")";
    default:
        return "(" + RandomFormula(random, depth - 1) + " ? " + RandomFormula(random, depth - 1) +
               " : " + RandomFormula(random, depth - 1) + ")";
    }
}

TEST(BatchEvaluate, AgreesWithTheTreeOnRandomFormulas)
{
    std::mt19937 random(20240613);
    int compiled = 0;
    for (int i = 0; i < 1500; ++i) {
        const std::string formula = RandomFormula(random, 1 + i % 7);
        try {
            FunctionInterpreter probe(formula.c_str());
            ++compiled;
        } catch (const ParseErrorMsg&) {
            continue;
        }
        ASSERT_TRUE(AgreeOn(formula, 300, unsigned(i)));
    }
    EXPECT_GT(compiled, 1000); // most formulas compile: the test is not vacuous
}

// Every function and operator alone, with errors at some points, and the benchmark's formulas,
// at block sizes around the evaluator's own.
TEST(BatchEvaluate, AgreesAtEverySize)
{
    std::vector<std::string> formulas = {
        "-y", "x*y + x", "sin(x)*cos(y)", "x*exp((x*x+y*y)/-4)", "sqrt(x*x+y*y) < 3 ? -y : x",
        "x*x*x - 3*x*y*y + 0.5*x - 0.25*y + 1", "x^2 - y^2",
        "abs(x) > 1 && abs(y) > 1 ? x % 3 : floor(y)", "x", "a", "2.5", "x ? y : 0",
        "x > 0 ? ln(x) : sqrt(y)", "x > y ? 1/x : 1/y", "x && 1/x", "x || 1/(x-1)",
        "x > 0 ? sin(x)/x : cos(y)/y", "y % x", "3 % x", "x % 0.5", "x ^ y", "2 ^ x", "(-2) ^ x",
        "x ^ 0.5", "x ^ -1", "0 ^ x",
        // Sums of products, accumulated without storing the partial sums.
        "x*y - y*x + 2*x - y + 3*x*x - 0.5", "1 - x*y + y", "sin(x) - x*y + cos(y)*y - 2",
        "a*x - a*y + x*y - 1 + y - x*a", "x - y - x - y - 1/x",
        // The divisor is tested before the dividend is evaluated.
        "ln(x) / y", "asin(x) % y", "(1/x) / y", "sqrt(x) % (y > 0 ? y : 0.5)"};
    for (const char* function : kFunctions)
        formulas.push_back(std::string(function) + "(x) + " + function + "(y / 2)");
    for (const char* op : kOperators)
        formulas.push_back("(x " + std::string(op) + " y) + (y " + op + " 2) - (1 " + op + " x)");
    for (const std::string& formula : formulas)
        for (std::size_t n : kSizes)
            EXPECT_TRUE(AgreeOn(formula, n, unsigned(n))) << "n = " << n;
}

TEST(BatchEvaluate, AgreesOnDeepTrees)
{
    const std::string formulas[] = {
        "x" + Repeat(" + sin(x*y)", 900),
        Repeat("sin(", 300) + "x" + Repeat(")", 300),
        Repeat("(x > ", 200) + "y" + Repeat(" ? 1/x : ln(y))", 200),
        Repeat("(y < 1 ? x / (", 150) + "y" + Repeat(") : y / (x - 1))", 150),
        Repeat("x ^ (", 100) + "0.99" + Repeat(")", 100),
        Repeat("(x && ", 250) + "y" + Repeat(" || sqrt(y))", 250),
        Repeat("1 - (", 800) + "x" + Repeat(")", 800),
    };
    for (const std::string& formula : formulas)
        EXPECT_TRUE(AgreeOn(formula, 1000, 7)) << formula.substr(0, 60);
}

// A variable with neither a column nor a slot fails where the tree reads it, and only there.
TEST(BatchEvaluate, UnboundVariablesFailWhereTheyAreRead)
{
    const char* formulas[] = {"b", "x + b", "x > 0 ? b : 1", "1/x + b", "b + 1/x", "x && b",
                              "x || b", "x > 0 ? (y > 0 ? b : 1/y) : ln(x)", "rand(b)",
                              // Read again after a branch that read it where taken only.
                              "(x > 0 ? b : 1) + b", "(x > 0 && b) * 2 - b", "b > 0 ? b : x"};
    for (const char* formula : formulas)
        for (std::size_t n : {std::size_t(1), std::size_t(1000)})
            EXPECT_TRUE(AgreeOn(formula, n, 3)) << formula;
}

TEST(BatchEvaluate, VariablesWithoutAColumnReadTheirSlot)
{
    FunctionInterpreter expression("x * a + b");
    double a = 2.0;
    double b = 0.0;
    expression.BindValueSlotByName("a", &a);
    BatchEvaluator batch(expression);
    const double xs[] = {1.0, 2.0, 3.0};
    batch.BindColumn("x", xs);
    double values[3];
    int errors[3];
    batch.Evaluate(3, values, errors);
    EXPECT_EQ(errors[1], kUnknownVariable); // b is not bound yet

    expression.BindValueSlotByName("b", &b); // bindings made after construction count
    b = 0.5;
    batch.Evaluate(3, values, errors);
    EXPECT_EQ(errors[2], -1);
    EXPECT_EQ(values[2], 6.5);
    a = -1.0; // read again at every call
    batch.Evaluate(3, values, errors);
    EXPECT_EQ(values[2], -2.5);

    // A null column hands the variable back to its slot; unknown names change nothing.
    double x = 10.0;
    expression.BindValueSlotByName("x", &x);
    batch.BindColumn("x", nullptr);
    batch.BindColumn("nothing", xs);
    batch.Evaluate(3, values, errors);
    EXPECT_EQ(values[0], -9.5);
    EXPECT_EQ(values[2], -9.5);
}

TEST(BatchEvaluate, ExpressionWithoutTreeFailsEverywhere)
{
    FunctionInterpreter empty(static_cast<Parser*>(nullptr));
    BatchEvaluator batch(empty);
    double values[5];
    int errors[5];
    batch.Evaluate(5, values, errors);
    for (int error : errors)
        EXPECT_EQ(error, kEmptyExpression);
    batch.Evaluate(0, nullptr, nullptr); // nothing to do, nothing touched
}

// A node of a class the batch translation does not know: half its operand, refusing negative
// ones. The batch evaluates such a node through the tree, point by point.
class Halving final : public Parser
{
public:
    explicit Halving(Parser* operand) : operand(operand) { operand->parent = this; }
    ~Halving() override { delete operand; }

    double Evaluate() const override
    {
        const double value = operand->Evaluate();
        if (value < 0.0) RaiseError(kSqrtOfNegative, -1, -1);
        return value / 2.0;
    }
    bool ConstantWhen(ConstantTest) const override { return false; }
    void Attach(FunctionInterpreter* owner) override { operand->Attach(owner); }

private:
    Parser* operand;
};

TEST(BatchEvaluate, NodesOfOtherClassesGoThroughTheTree)
{
    // x + half(a) / x, with a read from its slot.
    FunctionInterpreter expression(new PlusOperator(
        new Variable("x"), new DivideOperator(new Halving(new Variable("a")), new Variable("x"))));
    double x = 0.0;
    double a = 3.0;
    expression.BindValueSlotByName("x", &x);
    expression.BindValueSlotByName("a", &a);
    BatchEvaluator batch(expression);
    EXPECT_FALSE(batch.Independent()); // the tree may keep state of its own
    const double xs[] = {1.0, 0.0, -2.0};
    batch.BindColumn("x", xs);
    double values[3];
    int errors[3];
    for (double slot : {3.0, -1.0}) {
        a = slot;
        batch.Evaluate(3, values, errors);
        for (int i = 0; i < 3; ++i) {
            x = xs[i];
            const std::optional<ParseErrorMsg> error = ErrorFrom([&] { expression.Evaluate(); });
            EXPECT_EQ(errors[i], error ? error->code : -1) << "a " << a << ", x " << x;
            if (!error) {
                EXPECT_EQ(values[i], expression.Evaluate());
            }
        }
    }
    EXPECT_EQ(errors[0], kSqrtOfNegative); // the tree's own error comes through
    EXPECT_EQ(errors[1], kDivisionByZero); // the divisor is tested first
}

// RAND draws once per evaluation that reaches it, so a formula with one RAND outside any branch
// draws in the tree's order and gives the same values; with several, at least as many draws.
TEST(BatchEvaluate, RandomDrawsAsTheTreeDoes)
{
    const char* formulas[] = {"rand(x) + y", "x > 0 ? rand() : ln(-x)", "rand(1/x)",
                              "ln(x) + rand(y)", "rand(x) * rand(y) + (y > 1 ? rand(x) : 2)"};
    for (const char* formula : formulas) {
        Fixture fixture(formula);
        std::mt19937 random(5);
        const std::vector<double> xs = RandomCoordinates(random, 2000);
        const std::vector<double> ys = RandomCoordinates(random, 2000);
        std::srand(77);
        const std::vector<Outcome> tree = fixture.Tree(xs, ys);
        const int afterTree = std::rand();
        std::srand(77);
        const std::vector<Outcome> batch = fixture.Batch(xs, ys);
        const int afterBatch = std::rand();
        EXPECT_EQ(afterTree, afterBatch) << formula; // as many draws
        EXPECT_FALSE(fixture.batch->Independent()) << formula;
        const bool oneDraw = std::strcmp(formula, "rand(x) + y") == 0 ||
                             std::strcmp(formula, "rand(1/x)") == 0 ||
                             std::strcmp(formula, "ln(x) + rand(y)") == 0;
        for (std::size_t i = 0; i < xs.size(); ++i) {
            ASSERT_EQ(tree[i].code, batch[i].code) << formula << " at " << i;
            if (oneDraw && tree[i].code < 0) {
                ASSERT_TRUE(SameBits(tree[i].value, batch[i].value)) << formula << " at " << i;
            }
        }
    }
}

// Only formulas free of RAND may be split over threads; branches and failures do not matter.
TEST(BatchEvaluate, IndependentUnlessItDraws)
{
    const std::pair<const char*, bool> cases[] = {
        {"sin(x)*cos(y)", true},          {"x > 0 ? ln(x) : 1/y", true}, {"2", true},
        {"x && rand(2)", false},          {"1 - 2 * rand(3)", false},      {"sqrt(rand(y))", false},
        {"y < 0 || ceil(x) == 3", true}};
    for (const auto& [formula, independent] : cases) {
        FunctionInterpreter expression(formula);
        EXPECT_EQ(BatchEvaluator(expression).Independent(), independent) << formula;
    }
}

} // namespace
