// Simplification: constant folding, neutral and absorbing operands, identical operands and
// decided conditionals, applied children first while the expression object is built.

#include "test_support.h"

namespace {

struct SimplifyCase
{
    const char* formula;
    const char* simplified;
};

void PrintTo(const SimplifyCase& c, std::ostream* out)
{
    *out << '"' << c.formula << '"';
}

class SimplifiesTo : public testing::TestWithParam<SimplifyCase>
{
};

TEST_P(SimplifiesTo, PrintedTree)
{
    const FunctionInterpreter expression(GetParam().formula);
    EXPECT_EQ(PrintOf(&expression), std::string("= ") + GetParam().simplified)
        << GetParam().formula;
}

INSTANTIATE_TEST_SUITE_P(
    Arithmetic, SimplifiesTo,
    testing::Values(
        SimplifyCase{"0 + x", "x"}, SimplifyCase{"x + 0", "x"}, SimplifyCase{"x - 0", "x"},
        SimplifyCase{"0 - x", "NEG( x )"}, SimplifyCase{"x - x", "0"},
        SimplifyCase{"x + x", "2 * x"}, SimplifyCase{"x * x", "x ^ 2"}, SimplifyCase{"1 * x", "x"},
        SimplifyCase{"x * 1", "x"}, SimplifyCase{"x * 0", "0"}, SimplifyCase{"0 * x", "0"},
        SimplifyCase{"x / x", "1"}, SimplifyCase{"0 / x", "0"}, SimplifyCase{"x / 1", "x / 1"},
        SimplifyCase{"x ^ 1", "x"}, SimplifyCase{"x ^ 0", "1"}, SimplifyCase{"1 ^ x", "1"},
        SimplifyCase{"0 ^ x", "0"}, SimplifyCase{"x % x", "0"}, SimplifyCase{"2 * 3 + x", "6 + x"},
        SimplifyCase{"x + sin(0)", "x"}, SimplifyCase{"x * 2 + 2 * x", "x * 2 + 2 * x"},
        SimplifyCase{"x + 1 + 1", "( x + 1 ) + 1"}, SimplifyCase{"sin(x) - sin(x)", "0"},
        SimplifyCase{"sin(x) - sin(y)", "SIN( x ) - SIN( y )"},
        SimplifyCase{"(x + y) * (x + y)", "( x + y ) ^ 2"}, SimplifyCase{"((x * 1) + 0) ^ 1", "x"},
        SimplifyCase{"x + (y - y)", "x"}, SimplifyCase{"0 - (x - 0)", "NEG( x )"},
        SimplifyCase{"(1 + 1) * x + 0 * y", "2 * x"}, SimplifyCase{"x * (2 - 2)", "0"},
        SimplifyCase{"-x + x", "NEG( x ) + x"}, SimplifyCase{"2 + 3 * 4 - x", "14 - x"}));

INSTANTIATE_TEST_SUITE_P(
    ComparisonsAndLogic, SimplifiesTo,
    testing::Values(SimplifyCase{"x < x", "0"}, SimplifyCase{"x > x", "0"},
                    SimplifyCase{"x != x", "0"}, SimplifyCase{"x <= x", "1"},
                    SimplifyCase{"x >= x", "1"}, SimplifyCase{"x == x", "1"},
                    SimplifyCase{"x < y", "x < y"}, SimplifyCase{"x && 0", "0"},
                    SimplifyCase{"0 && x", "0"}, SimplifyCase{"x && 1", "x && 1"},
                    SimplifyCase{"1 && x", "1 && x"}, SimplifyCase{"x || 1", "1"},
                    SimplifyCase{"2 || x", "1"}, SimplifyCase{"0 || x", "0 || x"},
                    SimplifyCase{"x || 0", "x || 0"}, SimplifyCase{"y + (2 && 3)", "y + 1"},
                    SimplifyCase{"y + (0 || 0)", "y"}));

INSTANTIATE_TEST_SUITE_P(Bitwise, SimplifiesTo,
                         testing::Values(SimplifyCase{"x | -1", "-1"}, SimplifyCase{"-1 | x", "-1"},
                                         SimplifyCase{"x | 0", "x"}, SimplifyCase{"0 | x", "x"},
                                         SimplifyCase{"x & 0", "0"}, SimplifyCase{"0 & x", "0"},
                                         SimplifyCase{"x & -1", "x"}, SimplifyCase{"-1 & x", "x"},
                                         SimplifyCase{"x & x", "x"}, SimplifyCase{"x !& 0", "x"},
                                         SimplifyCase{"0 !& x", "x"},
                                         SimplifyCase{"x !& x", "x !& x"},
                                         SimplifyCase{"x | x", "x | x"}));

INSTANTIATE_TEST_SUITE_P(
    Conditionals, SimplifiesTo,
    testing::Values(SimplifyCase{"1 ? x : y", "x"}, SimplifyCase{"0 ? x : y", "y"},
                    SimplifyCase{"c ? x : x", "x"}, SimplifyCase{"c ? x : y", "c ? x : y"},
                    SimplifyCase{"y + (1 ? x : z)", "y + x"},
                    SimplifyCase{"c ? (1 ? a : b) : d", "c ? a : d"},
                    SimplifyCase{"(2 > 1) ? x : y", "x"}, SimplifyCase{"c ? x + 0 : 0 + x", "x"},
                    SimplifyCase{"c ? sin(x) : sin(x)", "SIN( x )"},
                    SimplifyCase{"1 - 1 ? 1/x : x ^ 1", "x"}));

// The identities keep the surviving operand as it is, which changes the value where the integer
// view of the unsimplified tree would have cut the fraction off.
TEST(Simplify, BitwiseIdentitiesKeepTheFraction)
{
    for (const char* formula : {"x & x", "x | 0", "x !& 0", "x & -1"}) {
        RawTree raw(formula);
        raw.Set("x", 2.5);
        Bound simplified(formula);
        simplified.Set("x", 2.5);
        EXPECT_EQ(raw->Evaluate(), 2.0) << formula;
        EXPECT_EQ(simplified.Evaluate(), 2.5) << formula;
    }
}

// Identical operands decide the value whatever x is, even where x / x would divide by zero.
TEST(Simplify, IdenticalOperandsIgnoreTheRuntimeValue)
{
    Bound quotient("x / x");
    quotient.Set("x", 0);
    EXPECT_EQ(quotient.Evaluate(), 1.0);
    Bound remainder("x % x");
    remainder.Set("x", 0);
    EXPECT_EQ(remainder.Evaluate(), 0.0);
}

TEST(Simplify, FunctionFoldsItsConstantOperand)
{
    RawTree tree("sin(2*3)");
    tree->Simplify();
    const auto* sine = dynamic_cast<const SinFunction*>(tree.get());
    ASSERT_NE(sine, nullptr);
    EXPECT_TRUE(sine->argument->IsLiteral());
    EXPECT_EQ(sine->argument->Evaluate(), 6.0);
    EXPECT_EQ(sine->argument->parent, sine);

    RawTree random("sin(rand())");
    random->Simplify();
    EXPECT_EQ(Shape(random.get()), "Sin(Rand())");

    RawTree failing("sin(sqrt(-1))");
    EXPECT_TRUE(HasError(ErrorFrom([&] { failing->Simplify(); }), kSqrtOfNegative, -1, -1));
}

// Collapsing needs a parent; a free tree keeps its shape after folding its operands.
TEST(Simplify, NodeWithoutParentOnlyFoldsItsOperands)
{
    RawTree tree("(1 + 2) * x + 0");
    tree->Simplify();
    EXPECT_EQ(Shape(tree.get()), "Plus(Multiply(3, x), 0)");
}

TEST(Simplify, BranchesAloneAreRefused)
{
    RawTree tree("a : b");
    EXPECT_TRUE(HasError(ErrorFrom([&] { tree->Simplify(); }), kMissingQuestionMark, -1, -1));
}

// RAND over an operand that is constant only through an absorbing factor still has to read the
// variable to fold it; nothing is bound yet, so the formula is refused, not read through null.
TEST(Simplify, RandOverAbsorbedVariableIsRefusedSafely)
{
    EXPECT_TRUE(HasError(CompileError("RAND(0 * x)"), kUnknownVariable, -1, -1));
}

} // namespace
