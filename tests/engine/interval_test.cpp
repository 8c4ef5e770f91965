// Interval evaluation: every value the scalar evaluation gives lies in the enclosure, every point
// where it fails is flagged, and the enclosures are tight where they are meant to be.
//
// The random differential test runs VF_INTERVAL_PAIRS formula/box pairs (default 100000).

#include "interval_math.h"
#include "test_support.h"

#include <array>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.141592653589793;

struct Enclosed
{
    Interval value;
    bool mayFail;
};

// The formula over x in `x` and y in `y`; a reads 0.75 from its slot.
Enclosed EncloseOver(const char* formula, Interval x, Interval y = {0.0, 0.0})
{
    FunctionInterpreter expression(formula);
    double a = 0.75;
    expression.BindValueSlotByName("a", &a);
    IntervalEvaluator evaluator(expression);
    evaluator.Bind("x", &x);
    evaluator.Bind("y", &y);
    bool mayFail = false;
    const Interval value = evaluator.Evaluate(&mayFail);
    return {value, mayFail};
}

std::string Text(const Interval& x)
{
    std::ostringstream text;
    text.precision(17);
    text << "[" << x.lo << ", " << x.hi << "]";
    return text.str();
}

// `got` holds `expected` and is no wider than a few parts in 1e14 of its size beyond it.
testing::AssertionResult HoldsTightly(const Interval& got, const Interval& expected)
{
    auto near = [](double a, double b) {
        return a == b || std::fabs(a - b) <= 1e-13 * std::max(1.0, std::fabs(b));
    };
    if (got.lo <= expected.lo && got.hi >= expected.hi && near(got.lo, expected.lo) &&
        near(got.hi, expected.hi))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << Text(got) << " for " << Text(expected);
}

struct TightCase
{
    const char* formula;
    Interval x, y;
    Interval expected; // from <cmath> at the points where the extremes lie
    bool mayFail;
};

TEST(IntervalEvaluate, TightOnTypicalFormulas)
{
    const double inf = kInfinity;
    const Interval none{0.0, 0.0};
    const TightCase cases[] = {
        // Only what the differential test cannot see: tightness, and mayFail staying false.
        // x * x becomes a square rather than a product of two x.
        {"x*x", {-2, 3}, none, {0, 9}, false},
        {"x^3", {-2, 1}, none, {-8, 1}, false},
        {"x^4 - 1", {-2, 1}, none, {-1, 15}, false},
        {"x^-2", {0.5, 2}, none, {0.25, 4}, false},
        {"x^0.5", {0, 4}, none, {0, 2}, false},
        // A negative base takes the integer part of the exponent: (-1) ^ 2.5 is (-1) ^ 2.
        {"x^2.5", {-1, 1}, none, {0, 1}, false},
        {"2^x", {-1, 3}, none, {0.5, 8}, false},
        {"x^y", {2, 3}, {-1, 2}, {1.0 / 3.0, 9}, false},
        // Periodic functions with and without extrema inside.
        {"sin(x)", {4, 5}, none, {-1, std::sin(4.0)}, false},
        {"sin(x)", {0, 100}, none, {-1, 1}, false},
        {"cos(x)", {-1, 2}, none, {std::cos(2.0), 1}, false},
        // Poles: tan, sec, csc and cot are unbounded only where a pole may lie inside.
        {"tan(x)", {-1, 1}, none, {std::tan(-1.0), std::tan(1.0)}, false},
        {"tan(x)", {1, 2}, none, {-inf, inf}, true},
        {"csc(x)", {0.5, 3}, none, {1, 1 / std::sin(3.0)}, false},
        {"cot(x)", {0.1, 3}, none, {1 / std::tan(3.0), 1 / std::tan(0.1)}, false},
        {"cot(x)", {-1, 1}, none, {-inf, inf}, true},
        // Division by an interval holding 0.
        {"1/x", {0, 2}, none, {0.5, inf}, true},
        {"1/x", {-1, 1}, none, {-inf, inf}, true},
        {"x/y", {1, 2}, {4, 8}, {0.125, 0.5}, false},
        // Domains of roots, logarithms and inverse functions.
        {"sqrt(x)", {-1, 4}, none, {0, 2}, true},
        {"sqrt(x)", {-0.0, 4}, none, {0, 2}, false},
        {"ln(x)", {1, M_E}, none, {0, std::log(M_E)}, false},
        {"ln(x)", {0, 1}, none, {-inf, 0}, true},
        {"exp(20*x) - 1", {-5, 5}, none, {std::exp(-100.0) - 1, std::exp(100.0) - 1}, false},
        {"asin(x)", {-2, 0.5}, none, {std::asin(-1.0), std::asin(0.5)}, true},
        {"atan(x)", {-inf, inf}, none, {std::atan(-inf), std::atan(inf)}, false},
        {"asec(x)", {2, inf}, none, {std::acos(0.5), std::acos(0.0)}, false},
        {"acsc(x)", {-inf, -2}, none, {std::asin(-0.5), 0}, false},
        {"acot(x)", {1, 2}, none, {std::atan(0.5), std::atan(1.0)}, false},
        {"cosh(x)", {-1, 2}, none, {1, std::cosh(2.0)}, false},
        {"tanh(x)", {-inf, inf}, none, {-1, 1}, false},
        {"csch(x)", {1, 2}, none, {1 / std::sinh(2.0), 1 / std::sinh(1.0)}, false},
        {"coth(x)", {0, 1}, none, {1 / std::tanh(1.0), inf}, true},
        // Pieces and integer views.
        {"abs(x)", {-3, 2}, none, {0, 3}, false},
        {"floor(x)", {-1.5, 2.5}, none, {-2, 2}, false},
        {"x % y", {-7, 7}, {2, 3}, {-2, 2}, false},
        {"x % y", {1, 10}, {-0.5, 2}, {0, 1}, true},
        {"~x", {0, 3}, none, {-4, -1}, false},
        // Truth values and branches: an arm that cannot be taken is neither bounded nor failing.
        {"!x", {1, 2}, none, {0, 0}, false},
        {"!x", {-1, 1}, none, {0, 1}, false},
        {"x < y", {0, 1}, {2, 3}, {1, 1}, false},
        {"x < y", {0, 2}, {1, 3}, {0, 1}, false},
        {"x && y", {0, 0}, {1, 2}, {0, 0}, false},
        {"x || 1/y", {1, 2}, {0, 0}, {1, 1}, false},
        {"x > 0 ? sqrt(x) : 1/y", {1, 4}, {0, 0}, {1, 2}, false},
        {"x > 0 ? sqrt(x) : -x", {-1, 4}, none, {-4, 2}, true},
        // Constants and slots read as points.
        {"rand(2)", none, none, {0, 2}, false},
        {"x - x", {-1, 1}, none, {0, 0}, false},
        {"a*y", none, {2, 2}, {1.5, 1.5}, false},
    };
    for (const TightCase& c : cases) {
        const Enclosed got = EncloseOver(c.formula, c.x, c.y);
        EXPECT_TRUE(HoldsTightly(got.value, c.expected))
            << c.formula << " over " << Text(c.x) << " x " << Text(c.y);
        EXPECT_EQ(got.mayFail, c.mayFail) << c.formula << " over " << Text(c.x);
    }
}

// When no point of the box gives a number, the enclosure is empty and failure is certain.
TEST(IntervalEvaluate, EmptyWhenEveryPointFails)
{
    const struct
    {
        const char* formula;
        Interval x, y;
    } cases[] = {
        {"sqrt(x)", {-2, -1}, {0, 0}},
        {"ln(x)", {-1, 0}, {0, 0}},
        {"asin(x)", {2, 3}, {0, 0}},
        {"asec(x)", {-0.5, 0.5}, {0, 0}},
        {"1/x", {0, 0}, {0, 0}},
        {"x % y", {1, 5}, {-0.5, 0.5}},
        {"csc(x)", {0, 0}, {0, 0}},
        {"x > 0 ? ln(-x) : 1", {1, 2}, {0, 0}},
        {"b + x", {1, 2}, {0, 0}},
        {"y && sqrt(-x)", {1, 2}, {1, 1}},
        {"sin(x)", {kInfinity, kInfinity}, {0, 0}},
    };
    for (const auto& c : cases) {
        const Enclosed got = EncloseOver(c.formula, c.x, c.y);
        EXPECT_TRUE(IsEmpty(got.value) && got.mayFail)
            << c.formula << ": " << Text(got.value) << ", " << got.mayFail;
    }
}

TEST(IntervalEvaluate, BoxesAndSlotsAreReadAtEveryCall)
{
    FunctionInterpreter expression("x * a + b");
    double a = 2.0, b = 0.5;
    expression.BindValueSlotByName("a", &a);
    IntervalEvaluator evaluator(expression);
    Interval x{1, 2};
    evaluator.Bind("x", &x);
    bool mayFail = false;
    // b is bound to nothing: every point fails, as the tree raises there.
    EXPECT_TRUE(IsEmpty(evaluator.Evaluate(&mayFail)) && mayFail);

    expression.BindValueSlotByName("b", &b);
    a = -1.0;
    EXPECT_TRUE(HoldsTightly(evaluator.Evaluate(&mayFail), {-1.5, -0.5}) && !mayFail);
    x = {3, 3};
    EXPECT_TRUE(HoldsTightly(evaluator.Evaluate(&mayFail), {-2.5, -2.5}));
    Interval aBox{0, 1};
    evaluator.Bind("a", &aBox);
    EXPECT_TRUE(HoldsTightly(evaluator.Evaluate(&mayFail), {0.5, 3.5}));
    // A null box hands the variable back to its slot; unknown names change nothing.
    evaluator.Bind("a", nullptr);
    evaluator.Bind("nothing", &aBox);
    evaluator.Bind(nullptr, &aBox);
    EXPECT_TRUE(HoldsTightly(evaluator.Evaluate(nullptr), {-2.5, -2.5}));

    // A box with a NaN end may hold anything; an empty box holds no point, so nothing fails.
    x = {kNaN, 1};
    EXPECT_TRUE(HoldsTightly(evaluator.Evaluate(&mayFail), {-kInfinity, kInfinity}) && mayFail);
    x = {1, 0};
    EXPECT_TRUE(IsEmpty(evaluator.Evaluate(&mayFail)) && !mayFail);

    // A moved evaluator keeps its program and bindings.
    x = {3, 3};
    IntervalEvaluator moved(std::move(evaluator));
    EXPECT_TRUE(HoldsTightly(moved.Evaluate(&mayFail), {-2.5, -2.5}));

    FunctionInterpreter empty(static_cast<Parser*>(nullptr));
    IntervalEvaluator nothing(empty);
    EXPECT_TRUE(IsEmpty(nothing.Evaluate(&mayFail)) && mayFail);
}

// A class the evaluator does not know: half its operand.
class Halving final : public Parser
{
public:
    explicit Halving(Parser* operand) : operand(operand) { operand->parent = this; }
    ~Halving() override { delete operand; }
    double Evaluate() const override { return operand->Evaluate() / 2.0; }
    bool ConstantWhen(ConstantTest) const override { return false; }
    void Attach(FunctionInterpreter* owner) override { operand->Attach(owner); }

private:
    Parser* operand;
};

TEST(IntervalEvaluate, NodesOfUnknownClassesMayBeAnything)
{
    for (Parser* node : {static_cast<Parser*>(new Halving(new Variable("x"))),
                         static_cast<Parser*>(new FunctionParser(new Variable("x")))}) {
        FunctionInterpreter expression(new PlusOperator(node, new Constant(1)));
        IntervalEvaluator evaluator(expression);
        const Interval x{0, 1};
        evaluator.Bind("x", &x);
        bool mayFail = false;
        EXPECT_TRUE(HoldsTightly(evaluator.Evaluate(&mayFail), {-kInfinity, kInfinity}));
        EXPECT_TRUE(mayFail);
    }
}

// The integer view's operations over small boxes of integers, against every point: the bitwise
// bounds are exact, the remainder's hold.
TEST(IntervalEvaluate, IntegerOperationsAgainstEveryPoint)
{
    std::mt19937 random(7);
    std::vector<std::pair<Interval, Interval>> boxes = {
        {{2147483640, 2147483647}, {-3, 3}},
        {{-2147483648.0, -2147483640.0}, {-1, 1}},
        {{3e9, 4e9}, {5, 9}}, // out of range: every view is -2147483648
        {{-1, 0}, {-1, 0}},
        {{0, 0}, {-20, 20}},
        {{1016, 1032}, {-65540, -65530}}, // across powers of two
        {{-4100, -4090}, {2040, 2056}}};
    for (int i = 0; i < 150; ++i) {
        auto box = [&random] {
            const double lo = double(int(random() % 81) - 40);
            return Interval{lo, lo + double(random() % 16)};
        };
        boxes.push_back({box(), box()});
    }
    for (const char* formula : {"x & y", "x | y", "x !& y", "~x + 0*y", "x % y"}) {
        FunctionInterpreter expression(formula);
        double x = 0, y = 0;
        expression.BindValueSlotByName("x", &x);
        expression.BindValueSlotByName("y", &y);
        for (const auto& [xBox, yBox] : boxes) {
            double lo = kInfinity, hi = -kInfinity;
            bool fails = false;
            const double xStep = std::max(1.0, (xBox.hi - xBox.lo) / 16);
            const double yStep = std::max(1.0, (yBox.hi - yBox.lo) / 16);
            for (x = xBox.lo; x <= xBox.hi; x += xStep)
                for (y = yBox.lo; y <= yBox.hi; y += yStep) {
                    const auto error = ErrorFrom([&] {
                        const double value = expression.Evaluate();
                        lo = std::min(lo, value);
                        hi = std::max(hi, value);
                    });
                    fails |= bool(error);
                }
            IntervalEvaluator evaluator(expression);
            evaluator.Bind("x", &xBox);
            evaluator.Bind("y", &yBox);
            bool mayFail = false;
            const Interval got = evaluator.Evaluate(&mayFail);
            const bool exact = std::string(formula) != "x % y" && xStep == 1 && yStep == 1;
            const bool holds = got.lo <= lo && got.hi >= hi;
            EXPECT_TRUE(exact ? got.lo == lo && got.hi == hi : holds)
                << formula << " over " << Text(xBox) << " x " << Text(yBox) << ": " << Text(got)
                << " for " << Text({lo, hi});
            EXPECT_EQ(mayFail, fails) << formula << " over " << Text(xBox) << " x " << Text(yBox);
        }
    }
}

// Each end is the exact result rounded outward: on or beyond it, and at most one step from the
// rounded-to-nearest result. The sign of an exact residual says on which side an end lies.
TEST(IntervalArithmetic, RoundsOutwardByAtMostOneStep)
{
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> mantissa(1.0, 2.0);
    auto number = [&](int exponentSpan) {
        const int exponent = int(random() % (2 * exponentSpan + 1)) - exponentSpan;
        return std::ldexp(mantissa(random), exponent) * (random() % 2 ? 1 : -1);
    };
    // Below about 1e-289 the residuals may be rounded themselves, and the ends move either way.
    auto oneStep = [](const Interval& r, double nearest) {
        return r.lo <= nearest && nearest <= r.hi &&
               (r.lo == r.hi || std::nextafter(r.lo, kInfinity) == r.hi ||
                std::fabs(nearest) < 1e-288);
    };
    for (int i = 0; i < 20000; ++i) {
        const double a = number(500), b = number(500);
        const Interval product = Multiply({a, a}, {b, b});
        ASSERT_TRUE(oneStep(product, a * b) && std::fma(a, b, -product.lo) >= 0 &&
                    std::fma(a, b, -product.hi) <= 0)
            << a << " * " << b;
        const Interval quotient = Divide({a, a}, {b, b});
        const double side = b > 0 ? 1.0 : -1.0;
        ASSERT_TRUE(oneStep(quotient, a / b) && std::fma(-quotient.lo, b, a) * side >= 0 &&
                    std::fma(-quotient.hi, b, a) * side <= 0)
            << a << " / " << b;
        const Interval square = Square({a, a});
        ASSERT_TRUE(oneStep(square, a * a) && std::fma(a, a, -square.lo) >= 0 &&
                    std::fma(a, a, -square.hi) <= 0)
            << a << " ^ 2";
        // Within ten binary orders of each other, a sum is exact in a 64-bit significand.
        const double c = a * std::ldexp(mantissa(random), int(random() % 21) - 10);
        const Interval sum = Add({a, a}, {c, c});
        const long double exact = static_cast<long double>(a) + c;
        ASSERT_TRUE(oneStep(sum, a + c) && exact - sum.lo >= 0 && exact - sum.hi <= 0)
            << a << " + " << c;
        ASSERT_TRUE(oneStep(Subtract({a, a}, {c, c}), a - c));
    }
    // Overflow: the exact result is a finite number beyond the largest double.
    EXPECT_TRUE(HoldsTightly(Multiply({1e300, 1e300}, {1e300, 1e300}), {DBL_MAX, kInfinity}));
    EXPECT_TRUE(HoldsTightly(Add({DBL_MAX, DBL_MAX}, {DBL_MAX, DBL_MAX}), {DBL_MAX, kInfinity}));
    // Results that are not numbers are left out: inf - inf, 0 * inf.
    EXPECT_TRUE(IsEmpty(Subtract({kInfinity, kInfinity}, {kInfinity, kInfinity})));
    EXPECT_TRUE(HoldsTightly(Multiply({0, 0}, {1, kInfinity}), {0, 0}));
    EXPECT_TRUE(HoldsTightly(Multiply({-kInfinity, kInfinity}, {0, 0}), {0, 0}));
    EXPECT_TRUE(HoldsTightly(Divide({-kInfinity, kInfinity}, {kInfinity, kInfinity}), {0, 0}));
    EXPECT_TRUE(HoldsTightly(Hull({1, 2}, kEmptyInterval), {1, 2}));
}

// The library functions keep within half the widening of the enclosures (see kLibraryUlps),
// checked against their long double versions where long double is wider than double.
TEST(IntervalArithmetic, LibraryFunctionsKeepTheAssumedAccuracy)
{
    if (LDBL_MANT_DIG < 64) GTEST_SKIP() << "no wider reference";
    struct Function
    {
        const char* name;
        double (*value)(double);
        long double (*reference)(long double);
        double lo, hi;
    };
    const Function functions[] = {
        {"sin", std::sin, sinl, -1e6, 1e6},    {"cos", std::cos, cosl, -1e6, 1e6},
        {"tan", std::tan, tanl, -1e3, 1e3},    {"exp", std::exp, expl, -745, 709},
        {"log", std::log, logl, 0, 1e300},     {"log10", std::log10, log10l, 0, 1e300},
        {"asin", std::asin, asinl, -1, 1},     {"acos", std::acos, acosl, -1, 1},
        {"atan", std::atan, atanl, -1e6, 1e6}, {"sinh", std::sinh, sinhl, -710, 710},
        {"cosh", std::cosh, coshl, -710, 710}, {"tanh", std::tanh, tanhl, -20, 20},
    };
    auto ulpsApart = [](double value, long double reference) {
        const double nearest = static_cast<double>(reference);
        const double ulp = std::nextafter(std::fabs(nearest), kInfinity) - std::fabs(nearest);
        return static_cast<double>(std::fabs(value - reference) / ulp);
    };
    const double allowed = interval_math::kLibraryUlps / 2.0;
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (const Function& f : functions)
        for (int i = 0; i < 20000; ++i) {
            // Half the points uniform, half spread over the orders of magnitude.
            const double t = unit(random);
            const double x = i % 2 ? f.lo + (f.hi - f.lo) * t
                                   : std::copysign(std::pow(std::max(std::fabs(f.lo), f.hi), t),
                                                   f.lo < 0 && random() % 2 ? -1.0 : 1.0);
            if (x < f.lo || x > f.hi) continue;
            ASSERT_LE(ulpsApart(f.value(x), f.reference(x)), allowed) << f.name << "(" << x << ")";
        }
    for (int i = 0; i < 20000; ++i) {
        const double base = std::exp(unit(random) * 14 - 7), exponent = unit(random) * 80 - 40;
        ASSERT_LE(ulpsApart(std::pow(base, exponent), powl(base, exponent)), allowed)
            << "pow(" << base << ", " << exponent << ")";
    }
}

// ---- The random differential test -----------------------------------------------------------

const char* const kFunctionNames[] = {"ln",   "log",  "exp",  "abs",   "sqrt", "sin",  "cos",
                                      "tan",  "sec",  "csc",  "cot",   "asin", "acos", "atan",
                                      "asec", "acsc", "acot", "sinh",  "cosh", "tanh", "sech",
                                      "csch", "coth", "ceil", "floor", "neg",  "rand"};
const char* const kOperatorTexts[] = {
    "+", "-", "*", "/", "%", "^", "<", ">", "==", "!=", "<=", ">=", "&&", "||", "&", "|", "!&"};

// Random formulas over x, y, a (read from its slot) and now and then b (bound to nothing), with
// the constants where the arithmetic has its edges.
std::string RandomFormula(std::mt19937& random, int depth)
{
    // The last two are an infinity and a NaN.
    static const char* const leaves[] = {
        "x",   "y", "x",  "y",    "a",     "x",      "y",     "0",          "1",         "2",
        "0.5", "3", "pi", "1e10", "1e308", "1e-310", "1e309", "2147483648", "sin(1e309)"};
    auto pick = [&random](const auto& table) { return table[random() % std::size(table)]; };
    auto next = [&] { return RandomFormula(random, depth - 1); };
    if (random() % 500 == 0) return "b";
    if (depth <= 0 || random() % 5 == 0) return pick(leaves);
    const unsigned kind = random() % 9;
    if (kind < 4) return "(" + next() + " " + pick(kOperatorTexts) + " " + next() + ")";
    if (kind < 7) return pick(kFunctionNames) + ("(" + next() + ")");
    static const char* const prefixes[] = {"-", "!", "~"};
    if (kind < 8) return pick(prefixes) + ("(" + next() + ")");
    return "(" + next() + " ? " + next() + " : " + next() + ")";
}

// Boxes from points to the whole line, at the values where the arithmetic has its edges.
Interval RandomBox(std::mt19937& random)
{
    static const double centres[] = {0,       -0.0, 1,   -1,   2,    0.5,          -0.5, 3,
                                     kPi / 2, -kPi, kPi, 1e10, -3e9, 2147483648.0, 1e300};
    static const double widths[] = {0, 0, 1e-12, 1e-6, 1e-3, 0.1, 1, 2, 5, 20, 1e12};
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const unsigned kind = random() % 12;
    const double centre = kind < 4 ? centres[random() % std::size(centres)] : 10 * unit(random) - 5;
    if (kind == 11) {
        const unsigned side = random() % 3;
        return {side == 1 ? centre : -kInfinity, side == 2 ? centre : kInfinity};
    }
    const double width = widths[random() % std::size(widths)];
    return {centre - width * unit(random), centre + width * unit(random)};
}

// Points of the box: its ends and their neighbours, inner points and the special values inside.
std::vector<double> PointsOf(const Interval& box, std::mt19937& random)
{
    static const double specials[] = {
        0,        -0.0,  1,      -1,      2,        -2,         0.5,          kPi,          kPi / 2,
        -kPi / 2, 1e300, -1e300, DBL_MAX, -DBL_MAX, 2147483647, 2147483648.0, -2147483649.0};
    std::vector<double> points = {box.lo, box.hi, std::nextafter(box.lo, box.hi),
                                  std::nextafter(box.hi, box.lo)};
    for (double special : specials)
        if (Contains(box, special)) points.push_back(special);
    const double lo = std::max(box.lo, -DBL_MAX / 4), hi = std::min(box.hi, DBL_MAX / 4);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 6; ++i)
        points.push_back(std::clamp(lo + (hi - lo) * unit(random), box.lo, box.hi));
    const double whole = std::round(lo + (hi - lo) / 2);
    if (Contains(box, whole)) points.push_back(whole);
    return points;
}

std::size_t PairsToRun()
{
    const char* text = std::getenv("VF_INTERVAL_PAIRS");
    const long count = text ? std::atol(text) : 0;
    return count > 0 ? std::size_t(count) : 100000;
}

// For each pair, the scalar evaluation at points of the boxes: a value inside the enclosure, or
// a failure (an error or NaN) that mayFail announced. An empty enclosure admits no value.
TEST(IntervalEvaluate, HoldsEveryScalarValueOnRandomFormulas)
{
    constexpr int kBoxesPerFormula = 10;
    constexpr int kPointsPerBox = 24;
    const std::size_t pairs = PairsToRun();
    std::mt19937 random(20240917);
    std::size_t done = 0, compiled = 0, checkedPoints = 0;
    while (done < pairs) {
        const std::string formula = RandomFormula(random, 1 + int(compiled % 7));
        std::unique_ptr<FunctionInterpreter> expression;
        try {
            expression = std::make_unique<FunctionInterpreter>(formula.c_str());
        } catch (const ParseErrorMsg&) {
            continue;
        }
        ++compiled;
        double x = 0, y = 0, a = std::array{0.75, 0.0, -1.0, 3.0, 1e10}[random() % 5];
        for (auto [name, slot] : {std::pair{"x", &x}, {"y", &y}, {"a", &a}})
            expression->BindValueSlotByName(name, slot);
        IntervalEvaluator evaluator(*expression);
        Interval xBox{}, yBox{};
        evaluator.Bind("x", &xBox);
        evaluator.Bind("y", &yBox);
        for (int b = 0; b < kBoxesPerFormula && done < pairs; ++b, ++done) {
            xBox = RandomBox(random);
            yBox = random() % 4 == 0 ? xBox : RandomBox(random);
            bool mayFail = false;
            const Interval enclosure = evaluator.Evaluate(&mayFail);
            const std::vector<double> xs = PointsOf(xBox, random), ys = PointsOf(yBox, random);
            for (int p = 0; p < kPointsPerBox; ++p) {
                // The four corners first, then points picked at random.
                x = p < 4 ? (p % 2 ? xBox.hi : xBox.lo) : xs[random() % xs.size()];
                y = p < 4 ? (p / 2 ? yBox.hi : yBox.lo) : ys[random() % ys.size()];
                double value = 0;
                const auto error = ErrorFrom([&] { value = expression->Evaluate(); });
                const bool fails = error || std::isnan(value);
                ++checkedPoints;
                if (fails ? mayFail : Contains(enclosure, value)) continue;
                FAIL() << formula << "\n over x in " << Text(xBox) << ", y in " << Text(yBox)
                       << ", a = " << a << "\n at (" << x << ", " << y << "): "
                       << (error ? "error " + std::to_string(error->code) : std::to_string(value))
                       << "\n enclosure " << Text(enclosure) << (mayFail ? ", may fail" : "");
            }
        }
    }
    RecordProperty("pairs", int(done));
    std::printf("%zu formula/box pairs over %zu formulas, %zu points\n", done, compiled,
                checkedPoints);
}

} // namespace
