// Copies and comparisons of trees.

#include "test_support.h"

#include <cmath>
#include <limits>

namespace {

const char* const kFormulas[] = {
    "x + 1",    "1 + x",       "x - 1",       "sin(x)",     "cos(x)",
    "sin(1)",   "tan(0)",      "x ? y : z",   "x ? y : x",  "-x ^ 2",
    "!x && ~y", "x % 3 | y",   "rand(x)",     "rand(10)",   "x",
    "X",        "2",           "2.0 + 0 * 1", "(1 + 1)",    "x < y",
    "x <= y",   "sqrt(x) / y", "pi",          "a & b != c", "floor(x) - ceil(y)",
};

// A copy prints and compares as its original and shares none of its nodes.
TEST(Clone, CopiesAreEqualAndIndependent)
{
    for (const char* formula : kFormulas) {
        auto original = std::make_unique<RawTree>(formula);
        NodePtr copy((*original)->Clone());
        EXPECT_EQ(copy->parent, nullptr);
        EXPECT_EQ(Shape(copy.get()), Shape(original->get())) << formula;
        EXPECT_EQ(PrintOf(copy.get()), PrintOf(original->get())) << formula;
        const bool random = std::string(formula).find("rand") != std::string::npos;
        EXPECT_EQ(copy->IsSameAs(original->get()), !random) << formula;
        original.reset(); // the copy must survive its original
        Bound adopted(copy.release());
        adopted.Set("x", 0.5).Set("X", 1).Set("y", 2).Set("z", 3).Set("a", 1).Set("b", 1).Set("c",
                                                                                              0);
        EXPECT_FALSE(ErrorFrom([&] { adopted.Evaluate(); })) << formula;
    }
}

TEST(Clone, RandWithoutOperandKeepsItsScale)
{
    const RawTree tree("RAND(10)");
    NodePtr copy(tree->Clone());
    const auto* random = dynamic_cast<const RandomFunction*>(copy.get());
    ASSERT_NE(random, nullptr);
    EXPECT_EQ(random->argument, nullptr);
    EXPECT_EQ(random->scale, 10.0);
}

TEST(Clone, ExpressionCopyTreeIsANewUnattachedTree)
{
    FunctionInterpreter f("x * y + 2");
    NodePtr copy(f.CopyTree());
    EXPECT_TRUE(HasError(ErrorFrom([&] { copy->Evaluate(); }), kUnknownVariable, -1, -1));
    FunctionInterpreter g(copy.release());
    double x = 3;
    double y = 4;
    g.BindValueSlotByName("x", &x);
    g.BindValueSlotByName("y", &y);
    EXPECT_EQ(g.Evaluate(), 14.0);
}

// IsSameAs and DiffersFrom are exact opposites for every pair of trees.
TEST(Compare, DiffersFromIsTheOppositeOfIsSameAs)
{
    for (const char* a : kFormulas)
        for (const char* b : kFormulas) {
            const RawTree left(a);
            const RawTree right(b);
            EXPECT_NE(left->IsSameAs(right.get()), left->DiffersFrom(right.get()))
                << a << " vs " << b;
        }
}

TEST(Compare, SameShapeClassesNamesAndConstantValues)
{
    const struct
    {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"x + 1", "x + 1", true},
        {"x + 1", "1 + x", false},
        {"x + y", "x - y", false},
        {"1 + 1", "2 + 0", true},
        {"1 + 1", "3 - 1", false},
        {"sin(x)", "sin(x)", true},
        {"sin(x)", "cos(x)", false},
        {"sin(1)", "sin(1.0)", true},
        {"sin(0)", "tan(0)", false},
        {"x", "X", false},
        {"x", "x", true},
        {"2", "2", true},
        {"2", "x", false},
        {"x * 0", "y * 0", true},
        {"c ? a : b", "c ? a : b", true},
        {"c ? a : b", "c ? b : a", false},
        {"sin(x)", "sin(1)", false},
        {"-x", "NEG(x)", true},
        {"rand(x)", "rand(x)", false},
        {"!x", "!(x)", true},
        {"x ^ 0", "y ^ 0", true},
    };
    for (const auto& c : cases) {
        RawTree a(c.a);
        RawTree b(c.b);
        for (RawTree* tree : {&a, &b}) {
            tree->Set("x", 1); // absorbing operands make 'x * 0' constant, and read x
            tree->Set("y", 1);
        }
        EXPECT_EQ(a->IsSameAs(b.get()), c.same) << c.a << " vs " << c.b;
        EXPECT_EQ(b->IsSameAs(a.get()), c.same) << c.b << " vs " << c.a;
    }
}

TEST(Compare, NothingIsTheSameAsNull)
{
    for (const char* formula : kFormulas) {
        const RawTree tree(formula);
        EXPECT_FALSE(tree->IsSameAs(nullptr)) << formula;
        EXPECT_TRUE(tree->DiffersFrom(nullptr)) << formula;
    }
}

TEST(Compare, NotANumberIsNeverTheSame)
{
    const Constant nan(std::numeric_limits<double>::quiet_NaN());
    EXPECT_FALSE(nan.IsSameAs(&nan));
    EXPECT_TRUE(nan.DiffersFrom(&nan));
}

// Constant subtrees are compared by value, so comparing evaluates them and passes their errors.
TEST(Compare, EvaluationErrorsOfConstantPartsPassOn)
{
    const RawTree a("1/0 + x");
    EXPECT_TRUE(HasError(ErrorFrom([&] { a->IsSameAs(a.get()); }), kDivisionByZero, -1, -1));
}

TEST(Compare, RandDiffersEvenFromItself)
{
    const RawTree tree("rand()");
    EXPECT_FALSE(tree->IsSameAs(tree.get()));
    EXPECT_TRUE(tree->DiffersFrom(tree.get()));
}

TEST(ReplaceChild, RefusesANodeThatIsNotAChild)
{
    RawTree tree("sin(x) + y");
    Constant stranger(1);
    Constant candidate(2);
    EXPECT_FALSE(tree->ReplaceChild(&stranger, &candidate));
    auto* sum = static_cast<OperationParser*>(tree.get());
    auto* sine = static_cast<FunctionParser*>(sum->left);
    EXPECT_FALSE(sine->ReplaceChild(&stranger, &candidate));
    EXPECT_EQ(Shape(tree.get()), "Plus(Sin(x), y)");
    EXPECT_EQ(candidate.parent, nullptr);
}

} // namespace
