#include "test_support.h"

#include <cmath>

namespace {

// The derivative of `formula` by `variable` ("x" or "y") at (x, y), against a central difference.
void ExpectDerivativeMatches(const char* formula, const char* variable, double x, double y)
{
    Bound f(formula);
    Bound derivative(f.expression.Derivative(variable, nullptr));
    const double exact = derivative.Set("x", x).Set("y", y).Evaluate();
    const bool byX = variable[0] == 'x';
    const double h = 1e-6 * std::max(1.0, std::fabs(byX ? x : y));
    auto at = [&](double step) {
        return f.Set("x", byX ? x + step : x).Set("y", byX ? y : y + step).Evaluate();
    };
    const double numeric = (at(h) - at(-h)) / (2 * h);
    EXPECT_NEAR(exact, numeric, 1e-5 * std::max(1.0, std::fabs(numeric)))
        << "d/d" << variable << " " << formula << " at (" << x << ", " << y
        << ") = " << PrintOf(&derivative.expression);
}

// Every function alone, and compositions other than the analysis tests' random fields (sums,
// products, quotients and sines of sums).
TEST(Derivative, MatchesCentralDifferences)
{
    for (const char* formula :
         {"ln(x)", "log(x)", "exp(x)", "sqrt(x)", "-x", "sin(x)", "cos(x)", "tan(x)", "sec(x)",
          "csc(x)", "cot(x)", "asin(x / 3)", "acos(x / 3)", "atan(x)", "asec(x)", "acsc(x)",
          "acot(x)", "sinh(x)", "cosh(x)", "tanh(x)", "sech(x)", "csch(x)", "coth(x)",
          "exp(x * y) / (1 + x ^ 2)", "ln(x) * sqrt(x)", "x ^ y", "y ^ x", "x ^ 2.5 - 3 * x ^ -2",
          "atan(x / y) + asin(y / 4)", "tanh(sinh(x)) - sech(x * y)", "log(x ^ 2 + 1) * coth(y)",
          "x > 2 ? x ^ 2 : -x", "x / y / (x + y)", "acot(x * y) + acsc(x + 2) + asec(y + 3)",
          "cot(x) * csc(y) / sec(x + y)"})
        for (auto [x, y] : {std::pair{1.3, 0.7}, {2.3, 1.9}, {2.9, 0.5}})
            for (const char* variable : {"x", "y"})
                ExpectDerivativeMatches(formula, variable, x, y);
}

// Operand order and the place of every minus sign decide how a derivative prints. Variables
// outside the independent set become partial derivatives.
TEST(Derivative, SimplifiedFormsAreTheDesignedOnes)
{
    const IndependentSet independents{"x", "y"};
    const char* const cases[][3] = {
        {"x * x", "x", "= 2 * x"}, {"x ^ 3", "x", "= 3 * x ^ 2"}, {"2 ^ x", "x", "= 2 ^ x * 0.693"},
        {"exp(2*x)", "x", "= EXP( 2 * x ) * 2"}, {"x / y", "x", "= y / y ^ 2"},
        {"x / y", "y", "= NEG( x ) / y ^ 2"}, {"x > 0 ? x : -x", "x", "= x > 0 ? 1 : -1"},
        {"x * y + x", "x", "= y + 1"}, {"sin(x)", "y", "= 0"}, {"cos(x)", "x", "= NEG( SIN( x ) )"},
        {"csc(x)", "x", "= NEG( CSC( x ) * COT( x ) )"},
        {"acos(x)", "x", "= -1 / SQRT( 1 - x ^ 2 )"}, {"acot(x)", "x", "= -1 / ( x ^ 2 + 1 )"},
        {"coth(x)", "x", "= -1 * CSCH( x ) ^ 2"}, {"u * x + y", "x", "= P_u_x * x + u"},
    };
    for (const auto& [formula, variable, printed] : cases) {
        const FunctionInterpreter f(formula);
        const FunctionInterpreter derivative(f.Derivative(variable, &independents));
        EXPECT_EQ(PrintOf(&derivative), printed) << "d/d" << variable << " " << formula;
    }
}

// The error passes on, nodes built so far are deleted (else the sanitizer build reports leaks)
// and the tree is unchanged. Sums and branches answer no tree (-1); a node over that raises 20.
TEST(Derivative, FailuresRaiseOrAnswerNoTreeAndLeaveNothingBehind)
{
    const std::pair<const char*, int> cases[] = {
        {"abs(x)", kNoDerivative}, {"!x", kNoDerivative}, {"~x", kNoDerivative},
        {"ceil(x)", kNoDerivative}, {"floor(x)", kNoDerivative}, {"rand(x)", kNoDerivative},
        {"sin(abs(x))", kNoDerivative}, {"x % 2", kNoDerivative}, {"x < 1", kNoDerivative},
        {"x == y", kNoDerivative}, {"x && y", kNoDerivative}, {"x || y", kNoDerivative},
        {"x & y", kNoDerivative}, {"x | y", kNoDerivative}, {"x !& y", kNoDerivative},
        {"(x % 2) * x", kNoDerivative}, {"x / abs(x)", kNoDerivative},
        {"x ^ floor(x)", kNoDerivative}, {"((x % 2) + x) * x", kEmptyExpression},
        {"exp((x % 2) - x)", kEmptyExpression}, {"(x % 2) + x", -1}, {"x - (x < 1)", -1},
        {"c ? x % 2 : x", -1},
    };
    for (const auto& [formula, code] : cases) {
        const FunctionInterpreter f(formula);
        const std::string before = PrintOf(&f);
        Parser* derivative = nullptr;
        const auto error = ErrorFrom([&] { derivative = f.Derivative("x", nullptr); });
        if (code < 0)
            EXPECT_TRUE(!error && !derivative) << formula;
        else
            EXPECT_TRUE(HasError(error, code)) << formula;
        EXPECT_EQ(PrintOf(&f), before) << formula;
    }
    // Even a constant operand, left unfolded in a raw tree, does not make these differentiable.
    for (const char* formula : {"abs(2)", "!2", "~2", "ceil(2)", "floor(2)", "rand(2)"}) {
        const RawTree f(formula);
        EXPECT_TRUE(Raises([&] { delete f->Derivative("x", nullptr); }, kNoDerivative)) << formula;
    }
    const Variable nameless(nullptr), x("x");
    EXPECT_TRUE(Raises([&] { delete nameless.Derivative("x", nullptr); }, kEmptyExpression));
    EXPECT_TRUE(Raises([&] { delete x.Derivative(nullptr, nullptr); }, kEmptyExpression));
}

} // namespace
