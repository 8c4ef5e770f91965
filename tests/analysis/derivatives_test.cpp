// Divergence, curl and Jacobian: printed, checked against central differences, or refused.

#include "analysis_test_support.h"
#include "test_support.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <tuple>

namespace {

// The code of the error `action` raises, -1 for none.
int CodeFrom(const std::function<void()>& action)
{
    return ErrorFrom(action).value_or(ParseErrorMsg{-1, 0, 0}).code;
}

TEST(Derivatives, PrintedAsTheEngineSimplifiesThem)
{
    const char* cases[][5] = {
        // Fx, Fy, divergence, curl, Jacobian by rows
        {"x * y", "x + y", "y + 1", "1 - x", "y; x; 1; 1"},
        {"sin(y)", "cos(x)", "0", "NEG( SIN( x ) ) - COS( y )", "0; COS( y ); NEG( SIN( x ) ); 0"},
        // Only what is left after the engine folds constants counts.
        {"abs(-2) * x", "floor(2.5) * y + (3 > 2)", "4", "0", "2; 0; 0; 2"},
    };
    for (const auto& c : cases) {
        const TestField field(c[0], c[1]);
        const FieldAnalysis& analysis = field.analysis;
        SCOPED_TRACE(std::string("F = (") + c[0] + ", " + c[1] + ")");
        EXPECT_EQ(analysis.ErrorCode(), -1);
        EXPECT_EQ(analysis.Divergence(), c[2]);
        EXPECT_EQ(analysis.Curl(), c[3]);
        EXPECT_EQ(analysis.Jacobian(0, 0) + "; " + analysis.Jacobian(0, 1) + "; " +
                      analysis.Jacobian(1, 0) + "; " + analysis.Jacobian(1, 1),
                  c[4]);
        for (const auto& [row, column] : {std::pair{-1, 0}, {2, 0}, {0, -1}, {0, 2}}) {
            EXPECT_THROW(analysis.Jacobian(row, column), std::out_of_range);
            EXPECT_EQ(analysis.JacobianExpression(row, column), nullptr);
        }
    }
}

// A random formula of differentiable pieces defined everywhere; u and v stand for the operands.
std::string RandomFormula(std::mt19937& random, int depth)
{
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    if (depth == 0 || pick(4) == 0) return std::array{"x", "y", "a", "0.5", "2", "x", "y"}[pick(7)];
    const std::string u = "(" + RandomFormula(random, depth - 1) + ")";
    const std::string v = "(" + RandomFormula(random, depth - 1) + ")";
    const std::string forms[] = {"sin u", "cos u",     "atan u", "exp(u / 4)", "sqrt(1 + u ^ 2)",
                                 "NEG u", "u + v",     "u - v",  "u * v",      "u / (1.5 + sin v)",
                                 "u ^ 2", "tanh u ^ 3"};
    std::string formula;
    for (const char c : forms[pick(12)])
        formula += c == 'u' ? u : c == 'v' ? v : std::string(1, c);
    return formula;
}

// The exact Jacobian against central differences of the caller's own formulas, divergence and
// curl against its entries; the other name, a constant for the derivatives, is read live.
TEST(Derivatives, MatchCentralDifferencesOnRandomFields)
{
    std::mt19937 random(2024);
    std::uniform_real_distribution<double> coordinate(-2, 2);
    for (int round = 0; round < 200; ++round) {
        const std::string fx = RandomFormula(random, 4), fy = RandomFormula(random, 4);
        TestField field(fx.c_str(), fy.c_str(), {{"a", 0.7}});
        const FieldAnalysis& analysis = field.analysis;
        SCOPED_TRACE("F = (" + fx + ", " + fy + ")");
        auto at = [&](const FunctionInterpreter& f, double x, double y) {
            field.x = x;
            field.y = y;
            return f.Evaluate();
        };
        for (int point = 0; point < 5; ++point) {
            field.Slot("a") = coordinate(random);
            const double x = coordinate(random), y = coordinate(random), h = 1e-5;
            double value[2]; // the analysis's copies of the formulas agree with them
            ASSERT_TRUE(analysis.Value(x, y, value));
            EXPECT_EQ(value[0], at(field.fx, x, y));
            EXPECT_EQ(value[1], at(field.fy, x, y));
            Matrix2 exact;
            ASSERT_TRUE(analysis.Jacobian(x, y, exact)) << "at " << x << ", " << y;
            const double entries[4] = {exact.a, exact.b, exact.c, exact.d};
            const double size = std::max({1.0, std::fabs(value[0]), std::fabs(value[1])});
            for (int i = 0; i < 4; ++i) {
                const FunctionInterpreter& f = i < 2 ? field.fx : field.fy;
                const double dx = i % 2 == 0 ? h : 0;
                const double dy = h - dx;
                const double numeric = (at(f, x + dx, y + dy) - at(f, x - dx, y - dy)) / (2 * h);
                EXPECT_NEAR(entries[i], numeric, 1e-6 * std::max(size, std::fabs(numeric)))
                    << "J = " << analysis.Jacobian(i / 2, i % 2) << " at " << x << ", " << y;
            }
            const double tolerance = 1e-12 * (1 + exact.Size());
            EXPECT_NEAR(analysis.DivergenceAt(x, y), exact.a + exact.d, tolerance)
                << analysis.Divergence();
            EXPECT_NEAR(analysis.CurlAt(x, y), exact.c - exact.b, tolerance) << analysis.Curl();
        }
    }
}

TEST(Derivatives, FieldsWithoutDerivativeAreRefusedWithTheirReason)
{
    const std::tuple<const char*, const char*, const char*, int> cases[] = {
        {"abs(x)", "y", "Fx uses ABS, which has no derivative.", kNoDerivative},
        {"x", "ceil(y)", "Fy uses CEIL, which has no derivative.", kNoDerivative},
        {"floor(x) + y", "x", "Fx uses FLOOR, which has no derivative.", kNoDerivative},
        {"x", "rand(y)", "Fy uses RAND, which has no derivative.", kNoDerivative},
        {"!x", "y", "Fx uses '!', which has no derivative.", kNoDerivative},
        {"x", "~y + 1", "Fy uses '~', which has no derivative.", kNoDerivative},
        // '%', and the first and last operators of both runs that have no derivative.
        {"x % 3", "y", "Fx uses '%', which has no derivative.", kNoDerivative},
        {"x", "y < 1", "Fy uses '<', which has no derivative.", kNoDerivative},
        {"x", "x || y", "Fy uses '||', which has no derivative.", kNoDerivative},
        {"x & y", "y", "Fx uses '&', which has no derivative.", kNoDerivative},
        {"x !& y", "y", "Fx uses '!&', which has no derivative.", kNoDerivative},
        // A conditional differentiates branch by branch, but its condition bends the field,
        // with or without a comparison (y ? x : -x jumps where y passes 0).
        {"x > 0 ? x : -x", "y", "Fx uses '>', which has no derivative.", kNoDerivative},
        {"x", "y ? x : 0 - x", "Fy uses '?', which has no derivative.", kNoDerivative},
        // The derivative exists as a formula, but its constant part ln(-1) cannot be folded.
        {"y", "(0 - 1) ^ x",
         "Fy has no derivative by x: Error: Ln of a negative number is not allowed.",
         kLnOfNegative},
    };
    for (const auto& [fx, fy, reason, code] : cases) {
        const TestField field(fx, fy);
        const FieldAnalysis& analysis = field.analysis;
        SCOPED_TRACE(std::string("F = (") + fx + ", " + fy + ")");
        EXPECT_EQ(analysis.ErrorCode(), code);
        EXPECT_EQ(analysis.Reason(), reason);
        EXPECT_FALSE(analysis.DivergenceExpression() || analysis.CurlExpression() ||
                     analysis.JacobianExpression(0, 0));
        EXPECT_EQ(CodeFrom([&] { analysis.DivergenceAt(1, 1); }), code);
        EXPECT_EQ(CodeFrom([&] { analysis.CurlAt(1, 1); }), code);
        Matrix2 jacobian;
        EXPECT_FALSE(analysis.Jacobian(1, 1, jacobian));
        double value[2]; // the field itself still evaluates, for the viewer's readout
        EXPECT_TRUE(analysis.Value(1, 1, value));
    }
    // An empty formula is refused too, and then not even the field evaluates.
    const FieldAnalysis empty(FunctionInterpreter("y"),
                              FunctionInterpreter(static_cast<Parser*>(nullptr)));
    EXPECT_EQ(empty.ErrorCode(), kEmptyExpression);
    EXPECT_EQ(empty.Reason(), "Fy: Syntax Error. Empty Expression.");
    double value[2];
    EXPECT_FALSE(empty.Value(0, 0, value));
}

// For a negative base the engine drops a power's fraction (x^2.5 is x² there): the field jumps
// where the base changes sign, so a region where the base can be negative has no derivative. Whole
// exponents, and bases that stay at 0 or above over the region, are fine; slots count with the
// values they hold.
TEST(Derivatives, PowersOfBasesThatCanBeNegativeAreRefusedOverTheirRegion)
{
    const std::string reason = "Fx raises a base that can be negative in the region to a power "
                               "that is not a whole number, which has no derivative there.";
    const Region square{-5, 5, -5, 5};
    const std::tuple<const char*, const char*, Region, double, bool> cases[] = {
        // Fx, Fy, region, the value of a, refused
        {"x^2.5", "y", square, 0, true},
        {"x^2.5", "y", {0, 5, -5, 5}, 0, false},
        {"(x - 1)^0.5", "y", {1, 3, 0, 1}, 0, false},
        {"(x - 1)^0.5", "y", {0.5, 3, 0, 1}, 0, true},
        {"x^y", "y", {0.5, 2, 0.5, 2}, 0, false},
        {"x^y", "y", square, 0, true},
        {"y", "sin(x)^y", {0, 3, -1, 1}, 0, false},
        {"y", "sin(x)^y", {0, 4, -1, 1}, 0, true},
        {"x^2 + x^-3", "x^7", square, 0, false},
        {"(x*x + 1)^1.5", "2^x", square, 0, false},
        {"(x + a)^1.5", "y", square, 6, false},
        {"(x + a)^1.5", "y", square, 4, true},
    };
    for (const auto& [fx, fy, region, a, refused] : cases) {
        TestField field(fx, fy, {{"a", a}});
        SCOPED_TRACE(std::string("F = (") + fx + ", " + fy + ")");
        const std::string expected =
            refused ? (std::string(fx) == "y" ? "Fy" + reason.substr(2) : reason) : "";
        EXPECT_TRUE(field.analysis.Differentiable()); // somewhere it is
        EXPECT_EQ(field.analysis.ReasonOver(region), expected);
        const EquilibriumSearch search = field.analysis.FindEquilibria(region, FieldKind::Velocity);
        if (refused) {
            EXPECT_TRUE(search.entries.empty() && !search.complete);
        }
        // An analysis for the region refuses alike, keeping nothing derived.
        const FieldAnalysis over(field.fx, field.fy, region);
        EXPECT_EQ(over.Differentiable(), !refused);
        EXPECT_EQ(over.Reason(), expected);
        EXPECT_EQ(over.ErrorCode(), refused ? kNoDerivative : -1);
        EXPECT_EQ(over.DivergenceExpression() == nullptr, refused);
    }
}

// The analysis writes none of the caller's slots and leaves the given formulas as they were.
TEST(Derivatives, SourceFormulasAndSlotsStayUntouched)
{
    TestField field("x * y - a", "sin(x) + y", {{"a", 1}});
    field.x = 0.25;
    field.y = -0.75;
    const auto slots = field.slots;
    const std::string printed = PrintOf(field.fx.Root()) + PrintOf(field.fy.Root());
    field.analysis.DivergenceAt(3, 4);
    field.analysis.Equilibria(-5, 5, -5, 5, false);
    EXPECT_EQ(field.slots, slots);
    EXPECT_EQ(PrintOf(field.fx.Root()) + PrintOf(field.fy.Root()), printed);
    EXPECT_EQ(field.fx.ValueSlotByName("x"), &field.x);
    EXPECT_EQ(field.fy.ValueSlotByName("y"), &field.y);
}

// The values x and y read live on the heap: a moved analysis still evaluates where it is asked.
TEST(Derivatives, MovedAnalysisEvaluatesWhereAskedAndRaisesWhereItCannot)
{
    FieldAnalysis original(FunctionInterpreter("sqrt(x) + y * ln(x)"),
                           FunctionInterpreter("ln(x) * y"));
    const FieldAnalysis analysis(std::move(original));
    EXPECT_EQ(CodeFrom([&] { analysis.DivergenceAt(0, 1); }), kDivisionByZero);
    EXPECT_EQ(CodeFrom([&] { analysis.DivergenceAt(-1, 1); }), kSqrtOfNegative);
    EXPECT_EQ(CodeFrom([&] { analysis.CurlAt(0, 1); }), kDivisionByZero);
    EXPECT_EQ(CodeFrom([&] { analysis.CurlAt(-1, 1); }), kLnOfNegative);
    EXPECT_DOUBLE_EQ(analysis.DivergenceAt(4, 1), 1 / (2 * 2.0) + 1 / 4.0 + std::log(4));
    // A name bound to nothing has no value: it raises where it is read, nothing crashes.
    const FieldAnalysis unbound(FunctionInterpreter("k * x"), FunctionInterpreter("y"));
    EXPECT_EQ(CodeFrom([&] { unbound.DivergenceAt(1, 1); }), kUnknownVariable);
    EXPECT_DOUBLE_EQ(unbound.CurlAt(1, 1), 0);
    EXPECT_TRUE(unbound.Equilibria(-5, 5, -5, 5, false).empty());
}

} // namespace
