#include "test_support.h"

TEST(Simplify, RulesGiveTheDesignedTrees)
{
    const char* const cases[][2] = {
        {"0 + x", "x"}, {"x - 0", "x"}, {"0 - x", "NEG( x )"}, {"x - x", "0"}, {"x + x", "2 * x"},
        {"x * x", "x ^ 2"}, {"1 * x", "x"}, {"x * 1", "x"}, {"0 * x", "0"}, {"x * 0", "0"},
        {"x / x", "1"}, {"0 / x", "0"}, {"x / 1", "x / 1"}, {"x ^ 1", "x"}, {"x ^ 0", "1"},
        {"1 ^ x", "1"}, {"0 ^ x", "0"}, {"x % x", "0"}, {"x < x", "0"}, {"x > x", "0"},
        {"x != x", "0"}, {"x <= x", "1"}, {"x >= x", "1"}, {"x == x", "1"}, {"x && 0", "0"},
        {"0 && x", "0"}, {"x && 1", "x && 1"}, {"x || 1", "1"}, {"2 || x", "1"},
        {"0 || x", "0 || x"}, {"y + (2 && 3)", "y + 1"}, {"x | -1", "-1"}, {"-1 | x", "-1"},
        {"x | 0", "x"}, {"0 | x", "x"}, {"x & 0", "0"}, {"x & -1", "x"}, {"-1 & x", "x"},
        {"x & x", "x"}, {"x !& 0", "x"}, {"0 !& x", "x"}, {"x !& x", "x !& x"}, {"1 ? x : y", "x"},
        {"0 ? x : y", "y"}, {"c ? x : x", "x"}, {"c ? x : y", "c ? x : y"},
        {"(2 > 1) ? x : y", "x"}, {"c ? (1 ? a : b) : d", "c ? a : d"}, {"c ? x + 0 : 0 + x", "x"},
        {"2 * 3 + x", "6 + x"}, {"x + sin(0)", "x"}, {"2 + 3 * 4 - x", "14 - x"},
        // No rule reorders operands or looks past its own two.
        {"x * 2 + 2 * x", "x * 2 + 2 * x"}, {"x + 1 + 1", "( x + 1 ) + 1"},
        {"-x + x", "NEG( x ) + x"}, {"(x + y) * (x + y)", "( x + y ) ^ 2"},
        {"((x * 1) + 0) ^ 1", "x"}, {"0 - (x - 0)", "NEG( x )"}, {"(1 + 1) * x + 0 * y", "2 * x"},
        {"sin(x) - sin(x)", "0"},
    };
    // Identities keep their operand whole: x & x is 2.5 at 2.5, where the node itself gives 2.
    for (const auto& [formula, simplified] : cases) {
        const FunctionInterpreter expression(formula);
        EXPECT_EQ(PrintOf(&expression), std::string("= ") + simplified) << formula;
    }
}

// A free tree has no parent to collapse into: it only folds its operands, errors included.
TEST(Simplify, FreeTreesOnlyFoldTheirOperands)
{
    for (const auto& [formula, shape] : {std::pair{"sin(2*3)", "Sin(6)"},
                                         {"sin(rand())", "Sin(Random())"},
                                         {"(1 + 2) * x + 0", "Plus(Multiply(3, x), 0)"}}) {
        RawTree tree(formula);
        tree->Simplify();
        EXPECT_EQ(Shape(tree.get()), shape);
    }
    EXPECT_TRUE(Raises([] { RawTree("sin(sqrt(-1))")->Simplify(); }, kSqrtOfNegative));
    EXPECT_TRUE(Raises([] { RawTree("a : b")->Simplify(); }, kMissingQuestionMark));
}
