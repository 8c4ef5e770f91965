// How formula text becomes a tree: where it splits, how signs, numbers, names and calls are read.

#include "test_support.h"

#include <cmath>
#include <cstring>

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
    EXPECT_EQ(Shape(tree.get()), GetParam().shape) << GetParam().formula;
}

INSTANTIATE_TEST_SUITE_P(
    Precedence, ParsesTo,
    testing::Values(
        ShapeCase{"1+2*3", "Plus(1, Multiply(2, 3))"}, ShapeCase{"1-2-3", "Minus(Minus(1, 2), 3)"},
        ShapeCase{"2^3^2", "Power(Power(2, 3), 2)"},
        ShapeCase{"sin(x)*y - 2", "Minus(Multiply(Sin(x), y), 2)"},
        ShapeCase{"a*b/c%d", "Modulus(Divide(Multiply(a, b), c), d)"},
        // One of every level, loosest first, each binding its right neighbour more tightly.
        ShapeCase{"a ? b : c || d && n | f !& g & h == i < j + k * l ^ m",
                  "If(a, ThenElse(b, Or(c, And(d, BitwiseOr(n, BitwiseXor(f, BitwiseAnd(g, "
                  "IsEqualTo(h, IsLessThan(i, Plus(j, Multiply(k, Power(l, m))))))))))))"},
        ShapeCase{"a ^ b * c + d < n == f & g !& h | i && j || k",
                  "Or(And(BitwiseOr(BitwiseXor(BitwiseAnd(IsEqualTo(IsLessThan(Plus(Multiply("
                  "Power(a, b), c), d), n), f), g), h), i), j), k)"},
        ShapeCase{"a == b != c", "IsNotEqualTo(IsEqualTo(a, b), c)"},
        ShapeCase{"a <= b >= c > d", "IsGreaterThan(IsGreaterThanOrEqualTo("
                                     "IsLessThanOrEqualTo(a, b), c), d)"},
        ShapeCase{"(a + b) * c", "Multiply(Plus(a, b), c)"},
        ShapeCase{"a - (b - c)", "Minus(a, Minus(b, c))"}));

INSTANTIATE_TEST_SUITE_P(
    SignsAndPrefixes, ParsesTo,
    testing::Values(ShapeCase{"-x^2", "Power(Neg(x), 2)"}, ShapeCase{"2^-1", "Power(2, Neg(1))"},
                    ShapeCase{"a*-b", "Multiply(a, Neg(b))"}, ShapeCase{"a--b", "Minus(a, Neg(b))"},
                    ShapeCase{"a - -b", "Minus(a, Neg(b))"},
                    ShapeCase{"x<-1", "IsLessThan(x, Neg(1))"}, ShapeCase{"-x", "Neg(x)"},
                    ShapeCase{"- x", "Neg(x)"}, ShapeCase{"-.5", "Neg(0.5)"},
                    ShapeCase{"-sin(x)", "Neg(Sin(x))"}, ShapeCase{"!a && b", "And(Not(a), b)"},
                    ShapeCase{"!a == b", "IsEqualTo(Not(a), b)"}, ShapeCase{"!-x", "Not(Neg(x))"},
                    ShapeCase{"~a & b", "BitwiseAnd(Compliment(a), b)"},
                    ShapeCase{"!(a)", "Not(a)"}, ShapeCase{"NEG(x+1)", "Neg(Plus(x, 1))"},
                    ShapeCase{"0-(x)", "Minus(0, x)"}, ShapeCase{"NEG(-x)", "Neg(Neg(x))"},
                    ShapeCase{"+5", "5"}, ShapeCase{"+x", "+x"},
                    ShapeCase{"2+-3", "Plus(2, Neg(3))"}));

INSTANTIATE_TEST_SUITE_P(
    Conditionals, ParsesTo,
    testing::Values(ShapeCase{"c ? a : b", "If(c, ThenElse(a, b))"},
                    ShapeCase{"c1 ? a : c2 ? b : d", "If(If(c1, ThenElse(a, c2)), ThenElse(b, d))"},
                    ShapeCase{"c1 ? a : (c2 ? b : d)",
                              "If(c1, ThenElse(a, If(c2, ThenElse(b, d))))"},
                    ShapeCase{"x > 0 ? x : -x", "If(IsGreaterThan(x, 0), ThenElse(x, Neg(x)))"},
                    ShapeCase{"a : b", "ThenElse(a, b)"}));

INSTANTIATE_TEST_SUITE_P(
    NumbersAndNames, ParsesTo,
    testing::Values(
        ShapeCase{"2e-3", "0.002"}, ShapeCase{"1.5E+3", "1500"}, ShapeCase{"1e5", "100000"},
        ShapeCase{".5", "0.5"}, ShapeCase{"5.", "5"},
        ShapeCase{"e-1", "Minus(2.7182818284590451, 1)"}, ShapeCase{"2e-3*x", "Multiply(0.002, x)"},
        ShapeCase{"x-2e-3", "Minus(x, 0.002)"}, ShapeCase{"pi", "3.1415926535897931"},
        ShapeCase{"Pi", "3.1415926535897931"}, ShapeCase{"E", "2.7182818284590451"},
        ShapeCase{"true", "1"}, ShapeCase{"FALSE", "0"}, ShapeCase{"x", "x"}, ShapeCase{"X1", "X1"},
        ShapeCase{"dx_dt", "dx_dt"}, ShapeCase{"2x", "2x"}, ShapeCase{"1.2.3", "1.2.3"},
        ShapeCase{"a,b", "a,b"}, ShapeCase{"[x]", "[x]"}, ShapeCase{"pie", "pie"},
        ShapeCase{"sinx", "sinx"}, ShapeCase{"1e", "1e"}, ShapeCase{"a2e-3", "a2e-3"},
        // Spellings only some C libraries read as numbers stay names, the same everywhere.
        ShapeCase{"0x10", "0x10"}, ShapeCase{"inf", "inf"}, ShapeCase{"nan", "nan"},
        ShapeCase{"\xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa9"}));

INSTANTIATE_TEST_SUITE_P(
    CallsAndParentheses, ParsesTo,
    testing::Values(ShapeCase{"sin(x)", "Sin(x)"}, ShapeCase{"SIN (x)", "Sin(x)"},
                    ShapeCase{"Sin(x)", "Sin(x)"}, ShapeCase{"sin((x)+(y))", "Sin(Plus(x, y))"},
                    ShapeCase{"floor(x)", "Floor(x)"}, ShapeCase{"ceil(x)", "Ceiling(x)"},
                    ShapeCase{"asin(acos(atan(x)))", "ArcSin(ArcCos(ArcTan(x)))"},
                    ShapeCase{"sinh(cosh(tanh(x)))", "HSin(HCos(HTan(x)))"},
                    ShapeCase{"sech(csch(coth(x)))", "HSec(HCsc(HCot(x)))"},
                    ShapeCase{"asec(acsc(acot(x)))", "ArcSec(ArcCsc(ArcCot(x)))"},
                    ShapeCase{"sec(csc(cot(tan(cos(x)))))", "Sec(Csc(Cot(Tan(Cos(x)))))"},
                    ShapeCase{"ln(log(exp(abs(sqrt(x)))))", "Ln(Log(Exp(Abs(Sqrt(x)))))"},
                    ShapeCase{"rand()", "Rand()"}, ShapeCase{"RAND( )", "Rand()"},
                    ShapeCase{"rand(x)", "Rand(x)"}, ShapeCase{"rand(10)", "Rand()"},
                    ShapeCase{"((x))", "x"}, ShapeCase{"( (x) )", "x"},
                    ShapeCase{"((a)+(b))", "Plus(a, b)"}, ShapeCase{"(a)+(b)", "Plus(a, b)"},
                    ShapeCase{" \t(x + 1)\n", "Plus(x, 1)"}));

TEST(Parse, NamedConstantsHaveTheirExactValues)
{
    const struct
    {
        const char* name;
        double value;
    } cases[] = {{"pi", M_PI}, {"PI", M_PI}, {"e", M_E}, {"True", 1.0}, {"false", 0.0}};
    for (const auto& c : cases) {
        const RawTree tree(c.name);
        ASSERT_TRUE(tree->IsLiteral()) << c.name;
        EXPECT_EQ(tree->Evaluate(), c.value) << c.name;
    }
}

TEST(Parse, RandWithAConstantOperandKeepsOnlyItsScale)
{
    const RawTree tree("RAND(2*5)");
    const auto* random = dynamic_cast<const RandomFunction*>(tree.get());
    ASSERT_NE(random, nullptr);
    EXPECT_EQ(random->argument, nullptr);
    EXPECT_EQ(random->scale, 10.0);
}

TEST(Parse, EveryAdoptedNodeKnowsItsParent)
{
    const RawTree tree("sin(x) * (y ? -z : rand(w)) + !(~v)");
    std::function<void(const Parser*)> check = [&](const Parser* node) {
        if (auto* function = dynamic_cast<const FunctionParser*>(node)) {
            EXPECT_EQ(function->argument->parent, node);
            check(function->argument);
        } else if (auto* random = dynamic_cast<const RandomFunction*>(node)) {
            if (random->argument) {
                EXPECT_EQ(random->argument->parent, node);
            }
        } else if (auto* op = dynamic_cast<const OperationParser*>(node)) {
            EXPECT_EQ(op->left->parent, node);
            EXPECT_EQ(op->right->parent, node);
            check(op->left);
            check(op->right);
        }
    };
    EXPECT_EQ(tree->parent, nullptr);
    check(tree.get());
}

TEST(Parse, LeadingEqualsSignIsSkipped)
{
    const FunctionInterpreter with("=x+1");
    const FunctionInterpreter without("x+1");
    EXPECT_TRUE(with.IsSameAsExpression(&without));
}

// The parse operations on their own, as any node runs them on itself.
TEST(ParseOperations, ClassifySign)
{
    const struct
    {
        const char* text;
        int signAt;
        int kind;
    } cases[] = {
        {"a-b", 1, 0},   {"-b", 0, 1},   {"a*-b", 2, 1},  {"a - -b", 4, 1}, {"2e-3", 2, 2},
        {"x e-3", 3, 0}, {"e-1", 1, 0},  {"(a)-b", 3, 0}, {"a?-b:c", 2, 0}, {"a:-b", 2, 0},
        {"2 e+3", 3, 2}, {"a^+b", 2, 1}, {"- .5", 0, 1},  {"x~-y", 2, 1},
    };
    const Parser parser;
    for (const auto& c : cases) {
        const TextSpan span{c.text, c.text, c.text + std::strlen(c.text) - 1, nullptr};
        EXPECT_EQ(parser.ClassifySign(span, c.text + c.signAt), c.kind) << c.text;
    }
}

TEST(ParseOperations, StripParenthesesRemovesOnlyPairsAroundTheWholeSpan)
{
    const struct
    {
        const char* text;
        const char* stripped;
    } cases[] = {
        {"((x))", "x"},
        {"( (x) )", "x"},
        {"(a)+(b)", "(a)+(b)"},
        {"(a)(b)", "(a)(b)"},
        {"((a)+(b))", "(a)+(b)"},
        {"(()", "(()"},
        {"())", "())"},
        {"()", ""},
        {"  ", ""},
        {"((a) )", "a"},
        {"(a))(", "(a))("},
        {"(((a)+b))", "(a)+b"},
    };
    const Parser parser;
    for (const auto& c : cases) {
        TextSpan span{c.text, c.text, c.text + std::strlen(c.text) - 1, nullptr};
        parser.StripParentheses(span);
        const std::string rest = span.IsEmpty() ? "" : std::string(span.begin, span.end + 1);
        EXPECT_EQ(rest, c.stripped) << c.text;
    }
}

TEST(ParseOperations, FindFunctionCallAnswersTheCodeOfTheName)
{
    const struct
    {
        const char* text;
        int code;
    } cases[] = {
        {"sin(x)", kFnSin},    {"FLOOR(x)", kFnFloor},
        {"Ceil (x)", kFnCeil}, {"x", 0},
        {"sinh(x)", kFnSinh},  {"arcsin(x)", kFnUnknown},
        {"f(x)", kFnUnknown},  {"2(x)", kFnUnknown},
        {"(x)", kFnUnknown},   {"floors(x)", kFnUnknown},
    };
    const Parser parser;
    for (const auto& c : cases) {
        const TextSpan span{c.text, c.text, c.text + std::strlen(c.text) - 1, nullptr};
        EXPECT_EQ(parser.FindFunctionCall(span), c.code) << c.text;
    }
}

TEST(ParseOperations, FactoriesBuildEveryCode)
{
    const Parser parser;
    for (int code = kFnLn; code <= kFnFloor; ++code) {
        NodePtr node(parser.MakeFunction(code, new Variable("x")));
        if (code == kFnRand) continue;
        auto* function = dynamic_cast<FunctionParser*>(node.get());
        ASSERT_NE(function, nullptr) << code;
        EXPECT_EQ(function->FunctionCode(), code);
    }
    for (int code = kOpPlus; code <= kOpIf; ++code) {
        if (code == kOpNot || code == kOpComplement) continue;
        Parser* right =
            code == kOpIf
                ? static_cast<Parser*>(new ThenElseOperator(new Variable("a"), new Variable("b")))
                : new Variable("y");
        NodePtr node(parser.MakeOperator(code, new Variable("x"), right));
        auto* op = dynamic_cast<OperationParser*>(node.get());
        ASSERT_NE(op, nullptr) << code;
        EXPECT_EQ(op->OperatorCode(), code);
        EXPECT_EQ(op->Precedence(), kOperatorPrecedence[code]);
    }
}

TEST(ParseOperations, PrefixCodesOfMakeOperatorLeaveTheLeftOperandToTheCaller)
{
    const Parser parser;
    const struct
    {
        int code;
        const char* shape;
    } cases[] = {{kOpUnaryMinus, "Neg(y)"}, {kOpNot, "Not(y)"}, {kOpComplement, "Compliment(y)"}};
    for (const auto& c : cases) {
        Variable left("x");
        NodePtr node(parser.MakeOperator(c.code, &left, new Variable("y")));
        EXPECT_EQ(Shape(node.get()), c.shape);
    }
    NodePtr negation(parser.MakeOperator(kOpUnaryMinus, nullptr, new Variable("y")));
    EXPECT_EQ(Shape(negation.get()), "Neg(y)");
}

} // namespace
