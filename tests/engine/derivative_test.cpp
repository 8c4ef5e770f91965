// Symbolic derivatives: checked numerically against central differences, and by their trees
// where the shape is fixed.

#include "test_support.h"

#include <cmath>
#include <cstring>

namespace {

// The derivative of `formula` by `variable` at (x, y), compared with a central difference.
void ExpectDerivativeMatches(const char* formula, const char* variable, double x, double y)
{
    Bound f(formula);
    Bound derivative(f.expression.Derivative(variable, nullptr));
    derivative.Set("x", x).Set("y", y);
    double exact = 0;
    const auto error = ErrorFrom([&] { exact = derivative.Evaluate(); });
    ASSERT_FALSE(error) << "d/d" << variable << " " << formula << " raised " << error->code;

    const double h = 1e-6 * std::max(1.0, std::fabs(std::strcmp(variable, "x") == 0 ? x : y));
    auto at = [&](double dx, double dy) {
        f.Set("x", x + dx).Set("y", y + dy);
        return f.Evaluate();
    };
    const bool byX = std::strcmp(variable, "x") == 0;
    const double numeric =
        (at(byX ? h : 0, byX ? 0 : h) - at(byX ? -h : 0, byX ? 0 : -h)) / (2 * h);
    EXPECT_NEAR(exact, numeric, 1e-5 * std::max(1.0, std::fabs(numeric)))
        << "d/d" << variable << " " << formula << " at (" << x << ", " << y
        << ") = " << PrintOf(&derivative.expression);
}

TEST(Derivative, EveryDifferentiableFunctionMatchesCentralDifferences)
{
    const char* formulas[] = {"ln(x)",   "log(x)",  "exp(x)",      "sqrt(x)",     "-x",
                              "neg(x)",  "sin(x)",  "cos(x)",      "tan(x)",      "sec(x)",
                              "csc(x)",  "cot(x)",  "asin(x / 3)", "acos(x / 3)", "atan(x)",
                              "asec(x)", "acsc(x)", "acot(x)",     "sinh(x)",     "cosh(x)",
                              "tanh(x)", "sech(x)", "csch(x)",     "coth(x)"};
    for (const char* formula : formulas)
        for (double x : {1.3, 2.0, 2.9})
            ExpectDerivativeMatches(formula, "x", x, 0.5);
}

TEST(Derivative, CompositionsMatchCentralDifferences)
{
    // Sums, products, quotients and sines of sums are the analysis tests' random fields.
    const char* formulas[] = {"exp(x * y) / (1 + x ^ 2)",
                              "ln(x) * sqrt(x)",
                              "x ^ y",
                              "y ^ x",
                              "x ^ 2.5 - 3 * x ^ -2",
                              "atan(x / y) + asin(y / 4)",
                              "tanh(sinh(x)) - sech(x * y)",
                              "log(x ^ 2 + 1) * coth(y)",
                              "x > 2 ? x ^ 2 : -x",
                              "x / y / (x + y)",
                              "acot(x * y) + acsc(x + 2) + asec(y + 3)",
                              "cot(x) * csc(y) / sec(x + y)"};
    for (const char* formula : formulas)
        for (double x : {1.1, 2.3})
            for (double y : {0.7, 1.9}) {
                ExpectDerivativeMatches(formula, "x", x, y);
                ExpectDerivativeMatches(formula, "y", x, y);
            }
}

struct ShapeCase
{
    const char* formula;
    const char* wrt;
    const char* shape;
};

// The raw trees the rules build: operand order and the place of every minus sign decide how a
// derivative prints and what simplification makes of it.
TEST(Derivative, RawTreesHaveTheDesignedShape)
{
    const ShapeCase cases[] = {
        {"sin(x)", "y", "Multiply(0, Cos(x))"},
        {"exp(2*x)", "x", "Multiply(Exp(Multiply(2, x)), Plus(Multiply(0, x), Multiply(2, 1)))"},
        {"x/y", "x", "Divide(Minus(Multiply(1, y), Multiply(x, 0)), Power(y, 2))"},
        {"x > 0 ? x : -x", "x", "If(IsGreaterThan(x, 0), ThenElse(1, Neg(1)))"},
        {"x ^ 3", "x",
         "Plus(Multiply(1, Multiply(3, Power(x, Minus(3, 1)))), Multiply(Power(x, 3), "
         "Multiply(0, Ln(x))))"},
        {"cos(x)", "x", "Multiply(1, Neg(Sin(x)))"},
        {"csc(x)", "x", "Neg(Multiply(Multiply(1, Csc(x)), Cot(x)))"},
        {"acos(x)", "x", "Divide(Neg(1), Sqrt(Minus(1, Power(x, 2))))"},
        {"acot(x)", "x", "Divide(Neg(1), Plus(Power(x, 2), 1))"},
        {"coth(x)", "x", "Multiply(Neg(1), Power(HCsc(x), 2))"}};
    for (const ShapeCase& c : cases) {
        const RawTree tree(c.formula);
        NodePtr derivative(tree->Derivative(c.wrt, nullptr));
        EXPECT_EQ(Shape(derivative.get()), c.shape) << "d/d" << c.wrt << " " << c.formula;
        EXPECT_EQ(derivative->parent, nullptr);
    }
}

TEST(Derivative, SimplifiedFormsAreTheDesignedOnes)
{
    const ShapeCase cases[] = {{"x * x", "x", "= 2 * x"},
                               {"x ^ 3", "x", "= 3 * x ^ 2"},
                               {"2 ^ x", "x", "= 2 ^ x * 0.693"},
                               {"x / y", "x", "= y / y ^ 2"},
                               {"x > 0 ? x : -x", "x", "= x > 0 ? 1 : -1"},
                               {"x * y + x", "x", "= y + 1"},
                               {"sin(x)", "y", "= 0"}};
    for (const ShapeCase& c : cases) {
        const FunctionInterpreter f(c.formula);
        const FunctionInterpreter derivative(f.Derivative(c.wrt, nullptr));
        EXPECT_EQ(PrintOf(&derivative), c.shape) << "d/d" << c.wrt << " " << c.formula;
    }
}

TEST(Derivative, VariablesOutsideTheIndependentSetBecomePartials)
{
    const IndependentSet independents{"x", "y"};
    const FunctionInterpreter f("u * x + y");
    const FunctionInterpreter partial(f.DerivativeByIndex(1, &independents));
    EXPECT_EQ(PrintOf(&partial), "= P_u_x * x + u");
    const FunctionInterpreter plain(f.DerivativeByIndex(1, nullptr));
    EXPECT_EQ(PrintOf(&plain), "= u");
    const Variable nameless(nullptr);
    const Variable x("x");
    EXPECT_TRUE(HasError(ErrorFrom([&] { delete nameless.Derivative("x", nullptr); }),
                         kEmptyExpression, -1, -1));
    EXPECT_TRUE(HasError(ErrorFrom([&] { delete x.Derivative(nullptr, nullptr); }),
                         kEmptyExpression, -1, -1));
}

// Not differentiable: the error passes on, every node built so far is deleted (the sanitizer
// build reports a leak otherwise), and the differentiated tree is unchanged. Sums, differences
// and conditionals answer no tree instead; a product or function over that no-tree raises 20.
TEST(Derivative, FailuresRaiseOrAnswerNoTreeAndLeaveNothingBehind)
{
    const struct
    {
        const char* formula;
        int code; // -1: the derivative answers no tree
    } cases[] = {{"abs(x)", kNoDerivative},
                 {"!x", kNoDerivative},
                 {"~x", kNoDerivative},
                 {"ceil(x)", kNoDerivative},
                 {"floor(x)", kNoDerivative},
                 {"rand(x)", kNoDerivative},
                 {"sin(abs(x))", kNoDerivative},
                 {"x % 2", kNoDerivative},
                 {"x < 1", kNoDerivative},
                 {"x == y", kNoDerivative},
                 {"x && y", kNoDerivative},
                 {"x || y", kNoDerivative},
                 {"x & y", kNoDerivative},
                 {"x | y", kNoDerivative},
                 {"x !& y", kNoDerivative},
                 {"(x % 2) * x", kNoDerivative},
                 {"x / abs(x)", kNoDerivative},
                 {"x ^ floor(x)", kNoDerivative},
                 {"((x % 2) + x) * x", kEmptyExpression},
                 {"exp((x % 2) - x)", kEmptyExpression},
                 {"(x % 2) + x", -1},
                 {"x - (x < 1)", -1},
                 {"c ? x % 2 : x", -1}};
    for (const auto& c : cases) {
        const FunctionInterpreter f(c.formula);
        const std::string before = PrintOf(&f);
        Parser* derivative = nullptr;
        const auto error = ErrorFrom([&] { derivative = f.Derivative("x", nullptr); });
        if (c.code < 0) {
            EXPECT_FALSE(error) << c.formula;
            EXPECT_EQ(derivative, nullptr) << c.formula;
            FunctionInterpreter empty(derivative);
            EXPECT_TRUE(HasError(ErrorFrom([&] { empty.Evaluate(); }), kEmptyExpression, -1, -1));
        } else {
            EXPECT_TRUE(HasError(error, c.code, -1, -1)) << c.formula;
        }
        EXPECT_EQ(PrintOf(&f), before) << c.formula;
    }
    // Even a constant operand does not make these nodes differentiable.
    const Parser factory;
    for (int code : {kFnAbs, kFnNot, kFnComplement, kFnCeil, kFnFloor, kFnRand}) {
        NodePtr node(factory.MakeFunction(code, new Constant(2)));
        EXPECT_TRUE(HasError(ErrorFrom([&] { delete node->Derivative("x", nullptr); }),
                             kNoDerivative, -1, -1))
            << code;
    }
}

// The derivative shares no node with the differentiated tree: either can go first.
TEST(Derivative, SharesNoNodeWithTheOriginal)
{
    auto f = std::make_unique<Bound>("exp(x * y) ^ sin(x) / (x + y)");
    NodePtr raw(f->expression.Derivative("x", nullptr));
    {
        FunctionInterpreter discarded(f->expression.Derivative("y", nullptr));
    }
    EXPECT_TRUE(std::isfinite(f->Set("x", 0.5).Set("y", 0.25).Evaluate()));
    f.reset();
    Bound derivative(raw.release());
    EXPECT_TRUE(std::isfinite(derivative.Set("x", 0.5).Set("y", 0.25).Evaluate()));
}

} // namespace
