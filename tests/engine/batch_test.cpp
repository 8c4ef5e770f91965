#include "test_support.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// Tree and batch on n random points: the same errors, as many random draws and, if `values`, the
// same bits, but any NaN for a NaN (of two NaNs in + or *, the compiler may keep either). A
// formula that does not compile passes; a `tree` given replaces it.
testing::AssertionResult Agree(const std::string& formula, std::size_t n, unsigned seed,
                               bool values = true, Parser* tree = nullptr)
{
    if (!tree && CompileError(formula.c_str())) return testing::AssertionSuccess();
    // Points of the region mixed with domain edges, signed zeros, huge values, infinities, NaN.
    static const double special[] = {0.0,  -0.0,      1.0,        -1.0,     2.0,         -2.0,
                                     0.5,  -0.5,      3.0,        M_PI / 2, -M_PI,       1e10,
                                     -3e9, kInfinity, -kInfinity, kNaN,     2147483648.0};
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> region(-5.0, 5.0);
    std::vector<double> xs, ys;
    for (auto* column : {&xs, &ys})
        for (std::size_t i = 0; i < n; ++i) {
            const unsigned kind = random() % 4;
            column->push_back(kind == 0   ? special[random() % std::size(special)]
                              : kind == 1 ? std::round(region(random))
                                          : region(random));
        }
    // x and y get columns, a reads a slot, b is bound to nothing.
    FunctionInterpreter expression =
        tree ? FunctionInterpreter(tree) : FunctionInterpreter(formula.c_str());
    double x = 0.0, y = 0.0, a = 0.75;
    for (auto [name, slot] : {std::pair{"x", &x}, {"y", &y}, {"a", &a}})
        expression.BindValueSlotByName(name, slot);
    BatchEvaluator batch(expression);
    batch.BindColumn("x", xs.data());
    batch.BindColumn("y", ys.data());
    std::vector<double> byTree(n), batched(n, 12345.0);
    std::vector<int> treeErrors(n), batchErrors(n, 12345);
    std::srand(77);
    for (std::size_t i = 0; i < n; ++i) {
        x = xs[i];
        y = ys[i];
        const auto error = ErrorFrom([&] { byTree[i] = expression.Evaluate(); });
        treeErrors[i] = error ? error->code : -1;
    }
    const int drawAfterTree = std::rand();
    std::srand(77);
    batch.Evaluate(n, batched.data(), batchErrors.data());
    if (std::rand() != drawAfterTree)
        return testing::AssertionFailure() << formula << " draws another number of times";
    // Only formulas free of RAND and of nodes evaluated through the tree may be split over threads.
    if (batch.Independent() != (!tree && formula.find("rand") == std::string::npos))
        return testing::AssertionFailure() << formula << ": wrong Independent()";
    for (std::size_t i = 0; i < n; ++i) {
        const double t = byTree[i], b = batched[i];
        const bool same = std::memcmp(&t, &b, sizeof t) == 0 || (std::isnan(t) && std::isnan(b));
        if (treeErrors[i] != batchErrors[i] || (values && treeErrors[i] < 0 && !same))
            return testing::AssertionFailure()
                   << formula << " at (" << xs[i] << ", " << ys[i] << "): tree " << t << " / "
                   << treeErrors[i] << ", batch " << b << " / " << batchErrors[i];
    }
    return testing::AssertionSuccess();
}

const char* const kFunctions[] = {"ln",   "log",  "exp",  "abs",  "sqrt", "sin",  "cos",
                                  "tan",  "sec",  "csc",  "cot",  "asin", "acos", "atan",
                                  "asec", "acsc", "acot", "sinh", "cosh", "tanh", "sech",
                                  "csch", "coth", "ceil", "floor"};
const char* const kOperators[] = {
    "+", "-", "*", "/", "%", "^", "<", ">", "==", "!=", "<=", ">=", "&&", "||", "&", "|", "!&"};

// A random formula of at most `depth` levels, fully parenthesised.
std::string RandomFormula(std::mt19937& random, int depth)
{
    static const char* const leaves[] = {"x", "y", "x",   "y", "a",  "0",
                                         "1", "2", "0.5", "3", "pi", "1e10"};
    static const char* const prefixes[] = {"-", "!", "~"};
    auto pick = [&random](const auto& table) { return table[random() % std::size(table)]; };
    auto next = [&] { return RandomFormula(random, depth - 1); };
    if (depth <= 0 || random() % 5 == 0) return pick(leaves);
    const unsigned kind = random() % 8;
    if (kind < 3) return "(" + next() + " " + pick(kOperators) + " " + next() + ")";
    if (kind < 5) return pick(kFunctions) + ("(" + next() + ")");
    if (kind < 6) return pick(prefixes) + ("(" + next() + ")");
    return "(" + next() + " ? " + next() + " : " + next() + ")";
}

TEST(BatchEvaluate, AgreesWithTheTreeOnRandomFormulas)
{
    std::mt19937 random(20240613);
    for (int i = 0; i < 1500; ++i)
        ASSERT_TRUE(Agree(RandomFormula(random, 1 + i % 7), 300, unsigned(i)));
}

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
        "ln(x) / y", "asin(x) % y", "(1/x) / y", "sqrt(x) % (y > 0 ? y : 0.5)",
        // b has neither column nor slot: it fails where the tree reads it, and only there.
        "b", "x + b", "x > 0 ? b : 1", "1/x + b", "b + 1/x", "x && b", "x || b",
        "x > 0 ? (y > 0 ? b : 1/y) : ln(x)", "rand(b)", "(x > 0 ? b : 1) + b",
        "(x > 0 && b) * 2 - b", "b > 0 ? b : x",
        // One RAND outside any branch draws in the tree's order.
        "rand(x) + y", "rand(1/x)", "ln(x) + rand(y)", "x" + Repeat(" + sin(x*y)", 900),
        Repeat("sin(", 300) + "x" + Repeat(")", 300),
        Repeat("(x > ", 200) + "y" + Repeat(" ? 1/x : ln(y))", 200),
        Repeat("(y < 1 ? x / (", 150) + "y" + Repeat(") : y / (x - 1))", 150),
        Repeat("x ^ (", 100) + "0.99" + Repeat(")", 100),
        Repeat("(x && ", 250) + "y" + Repeat(" || sqrt(y))", 250),
        Repeat("1 - (", 800) + "x" + Repeat(")", 800)};
    for (const char* function : kFunctions)
        formulas.push_back(std::string(function) + "(x) + " + function + "(y / 2)");
    for (const char* op : kOperators)
        formulas.push_back("(x " + std::string(op) + " y) + (y " + op + " 2) - (1 " + op + " x)");
    for (const std::string& formula : formulas) {
        ASSERT_FALSE(CompileError(formula.c_str())) << formula;
        // Deep trees are slow point by point: they stop at 1000 points.
        for (std::size_t n : {0ul, 1ul, 7ul, 64ul, 1000ul, formula.size() < 1000 ? 10007ul : 0ul})
            EXPECT_TRUE(Agree(formula, n, unsigned(n))) << "n = " << n;
    }
}

// RAND draws as often as the tree; in the same order only where one RAND lies outside branches.
TEST(BatchEvaluate, RandomDrawsAsOftenAsTheTree)
{
    for (const char* formula : {"x > 0 ? rand() : ln(-x)", "x && rand(2)", "1 - 2 * rand(3)",
                                "rand(x) * rand(y) + (y > 1 ? rand(x) : 2)"})
        EXPECT_TRUE(Agree(formula, 2000, 5, false));
}

TEST(BatchEvaluate, VariablesWithoutAColumnReadTheirSlot)
{
    FunctionInterpreter expression("x * a + b");
    double a = 2.0, b = 0.5, x = 10.0;
    expression.BindValueSlotByName("a", &a);
    BatchEvaluator batch(expression);
    const double xs[] = {1.0, 2.0, 3.0};
    batch.BindColumn("x", xs);
    double values[3];
    int errors[3];
    batch.Evaluate(3, values, errors);
    EXPECT_EQ(errors[1], kUnknownVariable);  // b is not bound yet
    expression.BindValueSlotByName("b", &b); // bindings made after construction count
    a = -1.0;                                // slots are read again at every call
    batch.Evaluate(3, values, errors);
    EXPECT_TRUE(errors[2] == -1 && values[2] == -2.5) << errors[2] << ", " << values[2];
    // A null column hands the variable back to its slot; unknown names change nothing.
    expression.BindValueSlotByName("x", &x);
    batch.BindColumn("x", nullptr);
    batch.BindColumn("nothing", xs);
    batch.Evaluate(3, values, errors);
    EXPECT_TRUE(values[0] == -9.5 && values[2] == -9.5) << values[0] << ", " << values[2];

    FunctionInterpreter empty(static_cast<Parser*>(nullptr));
    BatchEvaluator nothing(empty);
    nothing.Evaluate(3, values, errors);
    for (int error : errors)
        EXPECT_EQ(error, kEmptyExpression);
    nothing.Evaluate(0, nullptr, nullptr); // nothing to do, nothing touched
}

// Where several errors could be raised, the first one met wins: the left operand's, except that a
// divisor is looked at before its dividend, and && and || evaluate their right operand only where
// the left does not decide. The codes are written out here, so that an order changed for both
// paths at once is caught as well. sqrt(-x) fails at x = 1 and is -0 (false) at x = 0; ln(-x) and
// asin(x + 5) fail at both.
TEST(EvaluationOrder, TheFirstErrorMetWinsOnBothPaths)
{
    constexpr int kSqrt = kSqrtOfNegative, kLn = kLnOfNegative, kNone = -1;
    // Formula, the code at x = 1 and at x = 0. Operators without a divisor go left to right.
    std::vector<std::tuple<std::string, int, int>> cases = {
        {"sqrt(-x) / ln(-x)", kLn, kLn},
        {"sqrt(-x) % ln(-x)", kLn, kLn},
        {"sqrt(-x) / (x * (x - 1))", kDivisionByZero, kDivisionByZero},
        {"sqrt(-x) % (x + 0.5)", kSqrt, kDivisionByZero},
        {"sqrt(-x) && ln(-x)", kSqrt, kNone},
        {"sqrt(-x) || ln(-x)", kSqrt, kLn},
        {"sqrt(-x) ? ln(-x) : asin(x + 5)", kSqrt, kArcSineDomain},
        {"x ? ln(-x) : asin(x + 5)", kLn, kArcSineDomain},
        {"ln(-x) + (x ? 1/(x * (x - 1)) : 2)", kLn, kLn},
        {"(x ? 1/(x * (x - 1)) : 2) + ln(-x)", kDivisionByZero, kLn},
    };
    for (const char* op : {"+", "-", "*", "^", "<", ">", "==", "!=", "<=", ">=", "&", "|", "!&"})
        cases.emplace_back(std::string("sqrt(-x) ") + op + " ln(-x)", kSqrt, kLn);
    for (const auto& [formula, atOne, atZero] : cases) {
        Bound tree(formula.c_str());
        BatchEvaluator batch(tree.expression);
        const double xs[] = {1.0, 0.0};
        batch.BindColumn("x", xs);
        double values[2];
        int batchErrors[2];
        batch.Evaluate(2, values, batchErrors);
        const int expected[] = {atOne, atZero};
        for (int i = 0; i < 2; ++i) {
            const auto error = ErrorFrom([&] { tree.Set("x", xs[i]).Evaluate(); });
            EXPECT_EQ(error ? error->code : kNone, expected[i]) << formula << " at " << xs[i];
            EXPECT_EQ(batchErrors[i], expected[i]) << formula << " at " << xs[i] << ", batch";
        }
    }
}

// A class the batch does not know, so evaluated through the tree: half its operand, refusing
// negative ones. It may only read value slots.
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

// x + half(a) / x and x + half(a - 1) / x, where the second raises the node's own error.
TEST(BatchEvaluate, NodesOfOtherClassesGoThroughTheTree)
{
    for (Parser* half : {new Halving(new Variable("a")),
                         new Halving(new MinusOperator(new Variable("a"), new Constant(1)))})
        EXPECT_TRUE(Agree(
            "x + half(...) / x", 1000, 1, true,
            new PlusOperator(new Variable("x"), new DivideOperator(half, new Variable("x")))));
}

} // namespace
