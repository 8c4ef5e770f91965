#include "test_support.h"

const char* const kFormulas[] = {
    "x + 1", "1 + x", "x - 1", "sin(x)", "cos(x)", "sin(1)", "tan(0)", "x ? y : z", "x ? y : x",
    "-x ^ 2", "!x && ~y", "x % 3 | y", "rand(x)", "rand(10)", "x", "X", "2", "(1 + 1)", "x < y",
    "x <= y", "a & b != c", "floor(x) - ceil(y)",
    // Every function, so that every code is copied.
    ("ln(log(exp(abs(sqrt(neg(sin(cos(tan(sec(csc(cot(asin(acos(atan(asec(acsc(acot(sinh(cosh("
     "tanh(sech(csch(coth(x))))))))))))))))))))))))")};

TEST(Clone, CopiesAreEqualAndIndependent)
{
    for (const char* formula : kFormulas) {
        auto original = std::make_unique<RawTree>(formula);
        NodePtr copy((*original)->Clone());
        const std::string shape = Shape(original->get());
        const bool random = std::string(formula).find("rand") != std::string::npos;
        EXPECT_EQ(copy->IsSameAs(original->get()), !random) << formula;
        EXPECT_TRUE(copy->DiffersFrom(nullptr)) << formula;
        original.reset(); // the copy must survive its original
        EXPECT_EQ(Shape(copy.get()), shape) << formula;
    }
    // A copy of RAND(10) holds no operand either and keeps the scale.
    const RawTree tree("RAND(10)");
    NodePtr copy(tree->Clone());
    EXPECT_EQ(static_cast<RandomFunction*>(copy.get())->scale, 10.0);
}

TEST(Compare, SameShapeClassesNamesAndConstantValues)
{
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"x + 1", "x + 1", true}, {"x + 1", "1 + x", false}, {"x + y", "x - y", false},
        {"1 + 1", "2 + 0", true}, {"1 + 1", "3 - 1", false}, {"sin(x)", "cos(x)", false},
        {"sin(1)", "sin(1.0)", true}, {"sin(0)", "tan(0)", false}, {"x", "X", false},
        {"2", "x", false}, {"x * 0", "y * 0", true}, {"c ? a : b", "c ? b : a", false},
        {"sin(x)", "sin(1)", false}, {"-x", "NEG(x)", true}, {"rand(x)", "rand(x)", false},
    };
    for (const auto& [first, second, same] : cases) {
        RawTree a(first), b(second); // x * 0 is constant, and reads x to compare
        a.Set("x", 1).Set("y", 1);
        b.Set("x", 1).Set("y", 1);
        EXPECT_EQ(a->IsSameAs(b.get()), same) << first << " vs " << second;
        EXPECT_EQ(b->IsSameAs(a.get()), same) << second << " vs " << first;
        EXPECT_NE(a->IsSameAs(b.get()), a->DiffersFrom(b.get())) << first << " vs " << second;
    }
    // Constant parts compare by value: NaN is never the same, and evaluation errors pass on.
    const Constant nan(kNaN);
    EXPECT_TRUE(nan.DiffersFrom(&nan));
    const RawTree failing("1/0 + x");
    EXPECT_TRUE(Raises([&] { failing->IsSameAs(failing.get()); }, kDivisionByZero));
}

TEST(ReplaceChild, RefusesStrangersAndAttachesReplacements)
{
    RawTree tree("sin(x) + y");
    Constant stranger(1), candidate(2);
    EXPECT_FALSE(tree->ReplaceChild(&stranger, &candidate));
    EXPECT_FALSE(
        static_cast<OperationParser*>(tree.get())->left->ReplaceChild(&stranger, &candidate));
    EXPECT_EQ(Shape(tree.get()), "Plus(Sin(x), y)");
    FunctionInterpreter expression("x");
    EXPECT_FALSE(expression.ReplaceChild(&stranger, &candidate));
    EXPECT_EQ(candidate.parent, nullptr);
    Parser* replacement = new Variable("fresh");
    EXPECT_TRUE(expression.ReplaceChild(const_cast<Parser*>(expression.Root()), replacement));
    EXPECT_EQ(replacement->parent, &expression);
    double value = 4;
    EXPECT_TRUE(expression.BindValueSlotByName("fresh", &value));
    EXPECT_EQ(expression.Evaluate(), 4.0);
}
