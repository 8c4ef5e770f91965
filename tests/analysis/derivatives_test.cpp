// Divergence, curl and Jacobian: printed as the engine prints trees, checked numerically against
// central differences, refused with a reason where a derivative does not exist.

#include "analysis_test_support.h"
#include "test_support.h"

#include <cmath>
#include <random>

namespace {

TEST(Derivatives, PrintedAsTheEngineSimplifiesThem)
{
    const struct
    {
        const char* fx;
        const char* fy;
        const char* divergence;
        const char* curl;
        const char* jacobian[2][2];
    } cases[] = {
        {"-y", "x", "0", "2", {{"0", "-1"}, {"1", "0"}}},
        {"x * y", "x + y", "y + 1", "1 - x", {{"y", "x"}, {"1", "1"}}},
        {"x ^ 2", "y ^ 3", "2 * x + 3 * y ^ 2", "0", {{"2 * x", "0"}, {"0", "3 * y ^ 2"}}},
        {"sin(y)",
         "cos(x)",
         "0",
         "NEG( SIN( x ) ) - COS( y )",
         {{"0", "COS( y )"}, {"NEG( SIN( x ) )", "0"}}},
        {"exp(x * y)",
         "0",
         "EXP( x * y ) * y",
         "NEG( EXP( x * y ) * x )",
         {{"EXP( x * y ) * y", "EXP( x * y ) * x"}, {"0", "0"}}},
    };
    for (const auto& c : cases) {
        const TestField field(c.fx, c.fy);
        const FieldAnalysis& analysis = field.analysis();
        SCOPED_TRACE(std::string("F = (") + c.fx + ", " + c.fy + ")");
        ASSERT_TRUE(analysis.Differentiable()) << analysis.Reason();
        EXPECT_EQ(analysis.ErrorCode(), -1);
        EXPECT_EQ(analysis.Reason(), "");
        EXPECT_EQ(analysis.Divergence(), c.divergence);
        EXPECT_EQ(analysis.Curl(), c.curl);
        for (int row = 0; row < 2; ++row)
            for (int column = 0; column < 2; ++column)
                EXPECT_EQ(analysis.Jacobian(row, column), c.jacobian[row][column])
                    << "row " << row << ", column " << column;
    }
}

TEST(Derivatives, JacobianIndicesOutsideTheMatrixAreRefused)
{
    const TestField field("x", "y");
    for (const auto& [row, column] : {std::pair{-1, 0}, {2, 0}, {0, -1}, {0, 2}}) {
        EXPECT_THROW(field.analysis().Jacobian(row, column), std::out_of_range);
        EXPECT_EQ(field.analysis().JacobianExpression(row, column), nullptr);
    }
}

// A random formula of differentiable pieces that are defined everywhere.
std::string RandomFormula(std::mt19937& random, int depth)
{
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    if (depth == 0 || pick(4) == 0) {
        const char* leaves[] = {"x", "y", "a", "0.5", "2", "x", "y"};
        return leaves[pick(7)];
    }
    const std::string u = "(" + RandomFormula(random, depth - 1) + ")";
    const std::string v = "(" + RandomFormula(random, depth - 1) + ")";
    // u and v stand for the operands.
    const std::string forms[] = {"sin u", "cos u",     "atan u", "exp(u / 4)", "sqrt(1 + u ^ 2)",
                                 "NEG u", "u + v",     "u - v",  "u * v",      "u / (1.5 + sin v)",
                                 "u ^ 2", "tanh u ^ 3"};
    std::string formula;
    for (const char c : forms[pick(12)])
        formula += c == 'u' ? u : c == 'v' ? v : std::string(1, c);
    return formula;
}

// The exact Jacobian against central differences of the caller's own formulas; divergence and
// curl against the Jacobian's entries.
TEST(Derivatives, MatchCentralDifferencesOnRandomFields)
{
    std::mt19937 random(2024);
    std::uniform_real_distribution<double> coordinate(-2, 2);
    for (int round = 0; round < 200; ++round) {
        const std::string fxText = RandomFormula(random, 4);
        const std::string fyText = RandomFormula(random, 4);
        TestField field(fxText.c_str(), fyText.c_str(), {{"a", 0.7}});
        const FieldAnalysis& analysis = field.analysis();
        SCOPED_TRACE("F = (" + fxText + ", " + fyText + ")");
        ASSERT_TRUE(analysis.Differentiable()) << analysis.Reason();
        for (int point = 0; point < 5; ++point) {
            const double x = coordinate(random);
            const double y = coordinate(random);
            Matrix2 exact;
            ASSERT_TRUE(analysis.Jacobian(x, y, exact)) << "at " << x << ", " << y;
            const double h = 1e-5;
            const FunctionInterpreter* formulas[2] = {&field.fx, &field.fy};
            double numeric[2][2];
            double size = 1;
            for (int row = 0; row < 2; ++row) {
                const FunctionInterpreter& f = *formulas[row];
                numeric[row][0] =
                    (field.EvaluateAt(f, x + h, y) - field.EvaluateAt(f, x - h, y)) / (2 * h);
                numeric[row][1] =
                    (field.EvaluateAt(f, x, y + h) - field.EvaluateAt(f, x, y - h)) / (2 * h);
                size = std::max(size, std::fabs(field.EvaluateAt(f, x, y)));
            }
            const double entries[2][2] = {{exact.a, exact.b}, {exact.c, exact.d}};
            for (int row = 0; row < 2; ++row) {
                for (int column = 0; column < 2; ++column) {
                    const double scale = std::max(size, std::fabs(numeric[row][column]));
                    EXPECT_NEAR(entries[row][column], numeric[row][column], 1e-6 * scale)
                        << "J" << row << column << " = " << analysis.Jacobian(row, column) << " at "
                        << x << ", " << y;
                }
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
    const struct
    {
        const char* fx;
        const char* fy;
        int code;
        const char* reason;
    } cases[] = {
        {"abs(x)", "y", kNoDerivative, "Fx uses ABS, which has no derivative."},
        {"x", "ceil(y)", kNoDerivative, "Fy uses CEIL, which has no derivative."},
        {"floor(x) + y", "x", kNoDerivative, "Fx uses FLOOR, which has no derivative."},
        {"x", "rand(y)", kNoDerivative, "Fy uses RAND, which has no derivative."},
        {"y * rand()", "x", kNoDerivative, "Fx uses RAND, which has no derivative."},
        {"!x", "y", kNoDerivative, "Fx uses '!', which has no derivative."},
        {"x", "~y + 1", kNoDerivative, "Fy uses '~', which has no derivative."},
        // '%', and the first and last operators of both runs that have no derivative.
        {"x % 3", "y", kNoDerivative, "Fx uses '%', which has no derivative."},
        {"x", "y < 1", kNoDerivative, "Fy uses '<', which has no derivative."},
        {"x", "x || y", kNoDerivative, "Fy uses '||', which has no derivative."},
        {"x & y", "y", kNoDerivative, "Fx uses '&', which has no derivative."},
        {"x !& y", "y", kNoDerivative, "Fx uses '!&', which has no derivative."},
        // A conditional differentiates branch by branch, but its condition bends the field.
        {"x > 0 ? x : -x", "y", kNoDerivative, "Fx uses '>', which has no derivative."},
        // The derivative exists as a formula, but its constant part ln(-1) cannot be folded.
        {"y", "(0 - 1) ^ x", kLnOfNegative,
         "Fy has no derivative by x: Error: Ln of a negative number is not allowed."},
    };
    for (const auto& c : cases) {
        const TestField field(c.fx, c.fy);
        const FieldAnalysis& analysis = field.analysis();
        SCOPED_TRACE(std::string("F = (") + c.fx + ", " + c.fy + ")");
        EXPECT_FALSE(analysis.Differentiable());
        EXPECT_EQ(analysis.ErrorCode(), c.code);
        EXPECT_EQ(analysis.Reason(), c.reason);
        EXPECT_EQ(analysis.Divergence(), "");
        EXPECT_EQ(analysis.Curl(), "");
        EXPECT_EQ(analysis.Jacobian(1, 0), "");
        EXPECT_EQ(analysis.DivergenceExpression(), nullptr);
        EXPECT_EQ(analysis.CurlExpression(), nullptr);
        EXPECT_EQ(analysis.JacobianExpression(0, 0), nullptr);
        for (const auto& error : {ErrorFrom([&] { analysis.DivergenceAt(1, 1); }),
                                  ErrorFrom([&] { analysis.CurlAt(1, 1); })}) {
            ASSERT_TRUE(error);
            EXPECT_EQ(error->code, c.code);
        }
        Matrix2 jacobian;
        EXPECT_FALSE(analysis.Jacobian(1, 1, jacobian));
        EXPECT_TRUE(analysis.Equilibria(-5, 5, -5, 5, false).empty());
        // The field itself still evaluates, for the viewer's readout.
        double value[2];
        EXPECT_TRUE(analysis.Value(1, 1, value));
    }
}

// Only what is left after the engine folds constants counts.
TEST(Derivatives, FoldedAwayOperationsDoNotCount)
{
    const TestField field("abs(-2) * x", "floor(2.5) * y + (3 > 2)");
    EXPECT_TRUE(field.analysis().Differentiable()) << field.analysis().Reason();
    EXPECT_EQ(field.analysis().Divergence(), "4");
}

TEST(Derivatives, EmptyFormulaIsRefused)
{
    const FunctionInterpreter empty(static_cast<Parser*>(nullptr));
    const FunctionInterpreter y("y");
    const FieldAnalysis analysis(y, empty);
    EXPECT_FALSE(analysis.Differentiable());
    EXPECT_EQ(analysis.ErrorCode(), kEmptyExpression);
    EXPECT_EQ(analysis.Reason(), "Fy: Syntax Error. Empty Expression.");
    double value[2];
    EXPECT_FALSE(analysis.Value(0, 0, value));
}

// Other names are constants for the derivatives and read the caller's slots, live.
TEST(Derivatives, OtherVariablesReadTheSourceSlots)
{
    TestField field("a * x - b * y", "b * x + a * y + c", {{"a", 2}, {"b", 3}, {"c", 1}});
    const FieldAnalysis& analysis = field.analysis();
    EXPECT_EQ(analysis.Divergence(), "2 * a");
    EXPECT_EQ(analysis.Curl(), "b - NEG( b )");
    EXPECT_DOUBLE_EQ(analysis.DivergenceAt(0, 0), 4);
    EXPECT_DOUBLE_EQ(analysis.CurlAt(0, 0), 6);
    field.Slot("a") = -1;
    field.Slot("b") = 0.5;
    EXPECT_DOUBLE_EQ(analysis.DivergenceAt(0, 0), -2);
    EXPECT_DOUBLE_EQ(analysis.CurlAt(0, 0), 1);
    double value[2];
    ASSERT_TRUE(analysis.Value(1, 2, value));
    EXPECT_DOUBLE_EQ(value[0], -1 - 1);
    EXPECT_DOUBLE_EQ(value[1], 0.5 - 2 + 1);
}

// The analysis writes nothing the caller owns and leaves the given formulas as they were.
TEST(Derivatives, SourceFormulasAndSlotsStayUntouched)
{
    TestField field("x * y - a", "sin(x) + y", {{"a", 1}});
    field.Slot("x") = 0.25;
    field.Slot("y") = -0.75;
    const PrintedText fxBefore(field.fx.Print());
    const PrintedText fyBefore(field.fy.Print());
    const int fxCount = field.fx.VariableCount();
    const FieldAnalysis& analysis = field.analysis();
    analysis.DivergenceAt(3, 4);
    analysis.CurlAt(-3, 1);
    analysis.Equilibria(-5, 5, -5, 5, false);
    EXPECT_EQ(field.Slot("x"), 0.25);
    EXPECT_EQ(field.Slot("y"), -0.75);
    EXPECT_EQ(field.Slot("a"), 1);
    const PrintedText fxAfter(field.fx.Print());
    const PrintedText fyAfter(field.fy.Print());
    EXPECT_STREQ(fxAfter.get(), fxBefore.get());
    EXPECT_STREQ(fyAfter.get(), fyBefore.get());
    EXPECT_EQ(field.fx.VariableCount(), fxCount);
    EXPECT_EQ(field.fx.ValueSlotByName("x"), &field.Slot("x"));
    EXPECT_EQ(field.fy.ValueSlotByName("y"), &field.Slot("y"));
}

TEST(Derivatives, PointsWhereTheyCannotBeEvaluatedRaise)
{
    const TestField field("sqrt(x) + y * ln(x)", "ln(x) * y");
    const FieldAnalysis& analysis = field.analysis();
    ASSERT_TRUE(analysis.Differentiable()) << analysis.Reason();
    const struct
    {
        bool curl;
        double x;
        int code;
    } cases[] = {{false, 0, kDivisionByZero},
                 {false, -1, kSqrtOfNegative},
                 {true, 0, kDivisionByZero},
                 {true, -1, kLnOfNegative}};
    for (const auto& c : cases) {
        const auto error =
            ErrorFrom([&] { c.curl ? analysis.CurlAt(c.x, 1) : analysis.DivergenceAt(c.x, 1); });
        ASSERT_TRUE(error) << (c.curl ? "curl" : "divergence") << " at x = " << c.x;
        EXPECT_EQ(error->code, c.code);
    }
    EXPECT_DOUBLE_EQ(analysis.DivergenceAt(4, 1), 1 / (2 * 2.0) + 1 / 4.0 + std::log(4));
}

// A name bound to nothing has no value: its expressions raise, nothing crashes.
TEST(Derivatives, UnboundNamesRaiseWhereTheyAreRead)
{
    FunctionInterpreter fx("k * x");
    FunctionInterpreter fy("y");
    double y = 0;
    fy.BindValueSlotByName("y", &y);
    const FieldAnalysis analysis(fx, fy);
    const auto error = ErrorFrom([&] { analysis.DivergenceAt(1, 1); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, kUnknownVariable);
    EXPECT_DOUBLE_EQ(analysis.CurlAt(1, 1), 0);
    EXPECT_TRUE(analysis.Equilibria(-5, 5, -5, 5, false).empty());
}

// The values x and y read live on the heap: a moved analysis still evaluates where it is asked.
TEST(Derivatives, MovedAnalysisKeepsWorking)
{
    const FunctionInterpreter fx("x * x");
    const FunctionInterpreter fy("x * y");
    FieldAnalysis original(fx, fy);
    FieldAnalysis moved(std::move(original));
    EXPECT_DOUBLE_EQ(moved.DivergenceAt(3, 0), 6 + 3);
    EXPECT_DOUBLE_EQ(moved.CurlAt(3, 5), 5);
    ASSERT_NE(moved.DivergenceExpression(), nullptr);
    EXPECT_DOUBLE_EQ(moved.DivergenceExpression()->Evaluate(), 9);
}

} // namespace
