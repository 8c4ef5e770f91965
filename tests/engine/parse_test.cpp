// How formula text becomes a tree: where it splits, and how signs, numbers, names and calls are
// read.

#include "test_support.h"

namespace {

struct ShapeCase
{
    const char* formula;
    const char* shape;
};

void PrintTo(const ShapeCase& c, std::ostream* out)
{
    *out << '"' << c.formula << '"';
}

class ParsesTo : public testing::TestWithParam<ShapeCase>
{
};

TEST_P(ParsesTo, TreeHasTheExpectedShape)
{
    const RawTree tree(GetParam().formula);
    EXPECT_EQ(Shape(tree.get()), GetParam().shape);
}

INSTANTIATE_TEST_SUITE_P(
    Precedence, ParsesTo,
    testing::Values(
        ShapeCase{"1+2*3", "Plus(1, Multiply(2, 3))"}, ShapeCase{"1-2-3", "Minus(Minus(1, 2), 3)"},
        ShapeCase{"2^3^2", "Power(Power(2, 3), 2)"},
        ShapeCase{"sin(x)*y - 2", "Minus(Multiply(Sin(x), y), 2)"},
        ShapeCase{"a*b/c%d", "Modulus(Divide(Multiply(a, b), c), d)"},
        // Every level once, loosest first and then tightest first.
        ShapeCase{"a ? b : c || d && n | f !& g & h == i < j + k * l ^ m",
                  "If(a, ThenElse(b, Or(c, And(d, BitwiseInclusiveOr(n, BitwiseExclusiveOr(f, "
                  "BitwiseAnd(g, "
                  "IsEqualTo(h, IsLessThan(i, Plus(j, Multiply(k, Power(l, m))))))))))))"},
        ShapeCase{"a ^ b * c + d < n == f & g !& h | i && j || k",
                  "Or(And(BitwiseInclusiveOr(BitwiseExclusiveOr(BitwiseAnd(IsEqualTo(IsLessThan("
                  "Plus(Multiply("
                  "Power(a, b), c), d), n), f), g), h), i), j), k)"},
        ShapeCase{"a == b != c <= d >= f > g",
                  "IsNotEqualTo(IsEqualTo(a, b), IsGreaterThan(IsGreaterThanOrEqualTo("
                  "IsLessThanOrEqualTo(c, d), f), g))"},
        ShapeCase{"(a + b) * c", "Multiply(Plus(a, b), c)"},
        ShapeCase{"c ? a : b", "If(c, ThenElse(a, b))"},
        ShapeCase{"c1 ? a : c2 ? b : d", "If(If(c1, ThenElse(a, c2)), ThenElse(b, d))"},
        ShapeCase{"c1 ? a : (c2 ? b : d)", "If(c1, ThenElse(a, If(c2, ThenElse(b, d))))"}));

INSTANTIATE_TEST_SUITE_P(
    SignsAndPrefixes, ParsesTo,
    testing::Values(ShapeCase{"-x^2", "Power(Neg(x), 2)"}, ShapeCase{"2^-1", "Power(2, Neg(1))"},
                    ShapeCase{"a*-b", "Multiply(a, Neg(b))"}, ShapeCase{"a--b", "Minus(a, Neg(b))"},
                    ShapeCase{"x<-1", "IsLessThan(x, Neg(1))"}, ShapeCase{"- .5", "Neg(0.5)"},
                    ShapeCase{"-sin(x)", "Neg(Sin(x))"}, ShapeCase{"!a && b", "And(Not(a), b)"},
                    ShapeCase{"!a == b", "IsEqualTo(Not(a), b)"}, ShapeCase{"!-x", "Not(Neg(x))"},
                    ShapeCase{"~a & b", "BitwiseAnd(BitwiseCompliment(a), b)"},
                    ShapeCase{"NEG(-x)", "Neg(Neg(x))"}, ShapeCase{"0-(x)", "Minus(0, x)"},
                    ShapeCase{"+5", "5"}, ShapeCase{"+x", "+x"},
                    ShapeCase{"a?-b:c", "If(a, ThenElse(Neg(b), c))"}));

INSTANTIATE_TEST_SUITE_P(
    NumbersNamesAndCalls, ParsesTo,
    testing::Values(
        ShapeCase{"2e-3", "0.002"}, ShapeCase{"1.5E+3", "1500"}, ShapeCase{".5", "0.5"},
        ShapeCase{"5.", "5"}, ShapeCase{"e-1", "Minus(2.7182818284590451, 1)"},
        ShapeCase{"x-2e-3", "Minus(x, 0.002)"}, ShapeCase{"Pi", "3.1415926535897931"},
        ShapeCase{"true", "1"}, ShapeCase{"FALSE", "0"}, ShapeCase{"2x", "2x"},
        ShapeCase{"1.2.3", "1.2.3"}, ShapeCase{"a,b", "a,b"}, ShapeCase{"[x]", "[x]"},
        ShapeCase{"pie", "pie"}, ShapeCase{"sinx", "sinx"}, ShapeCase{"a2e-3", "a2e-3"},
        // Spellings only some C libraries read as numbers stay names, the same everywhere.
        ShapeCase{"0x10", "0x10"}, ShapeCase{"inf", "inf"}, ShapeCase{"nan", "nan"},
        ShapeCase{"SIN (x)", "Sin(x)"}, ShapeCase{"sin((x)+(y))", "Sin(Plus(x, y))"},
        ShapeCase{"RAND( )", "Random()"}, ShapeCase{"rand(x)", "Random(x)"},
        ShapeCase{"rand(2*5)", "Random()"}, ShapeCase{"( (x) )", "x"},
        ShapeCase{"((a)+(b))", "Plus(a, b)"}, ShapeCase{" \t(x + 1)\n", "Plus(x, 1)"}));

// Simplification and printing rely on every node knowing who holds it.
TEST(Parse, EveryAdoptedNodeKnowsItsParent)
{
    const RawTree tree("sin(x) * (y ? -z : rand(w)) + !(~v)");
    std::function<void(const Parser*)> check = [&](const Parser* node) {
        std::vector<const Parser*> children;
        if (auto* function = dynamic_cast<const FunctionParser*>(node))
            children = {function->argument};
        else if (auto* random = dynamic_cast<const RandomFunction*>(node))
            children = {random->argument};
        else if (auto* op = dynamic_cast<const OperationParser*>(node))
            children = {op->left, op->right};
        for (const Parser* child : children) {
            ASSERT_NE(child, nullptr);
            EXPECT_EQ(child->parent, node);
            check(child);
        }
    };
    EXPECT_EQ(tree->parent, nullptr);
    check(tree.get());
}

// Prefix codes of the factory build their node over the right operand only.
TEST(Parse, MakeOperatorLeavesTheLeftOperandOfAPrefixToTheCaller)
{
    const Parser factory;
    Variable left("x");
    for (int code : {kOpUnaryMinus, kOpNot, kOpComplement}) {
        NodePtr node(factory.MakeOperator(code, &left, new Variable("y")));
        EXPECT_EQ(static_cast<FunctionParser*>(node.get())->argument->parent, node.get());
    }
    EXPECT_EQ(left.parent, nullptr);
}

} // namespace
