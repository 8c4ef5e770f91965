#include "test_support.h"

TEST(Parse, TreesHaveTheExpectedShape)
{
    const char* const cases[][2] = {
        // Every level once, loosest first and then tightest first.
        {"a ? b : c || d && n | f !& g & h == i < j + k * l ^ m",
         "If(a, ThenElse(b, Or(c, And(d, BitwiseInclusiveOr(n, BitwiseExclusiveOr(f, BitwiseAnd(g, "
         "IsEqualTo(h, IsLessThan(i, Plus(j, Multiply(k, Power(l, m))))))))))))"},
        {"a ^ b * c + d < n == f & g !& h | i && j || k",
         "Or(And(BitwiseInclusiveOr(BitwiseExclusiveOr(BitwiseAnd(IsEqualTo(IsLessThan(Plus("
         "Multiply(Power(a, b), c), d), n), f), g), h), i), j), k)"},
        {"a == b != c <= d >= f > g", "IsNotEqualTo(IsEqualTo(a, b), IsGreaterThan("
                                      "IsGreaterThanOrEqualTo(IsLessThanOrEqualTo(c, d), f), g))"},
        {"1+2*3", "Plus(1, Multiply(2, 3))"}, {"1-2-3", "Minus(Minus(1, 2), 3)"},
        {"2^3^2", "Power(Power(2, 3), 2)"}, {"sin(x)*y - 2", "Minus(Multiply(Sin(x), y), 2)"},
        {"a*b/c%d", "Modulus(Divide(Multiply(a, b), c), d)"},
        {"(a + b) * c", "Multiply(Plus(a, b), c)"}, {"c ? a : b", "If(c, ThenElse(a, b))"},
        {"c1 ? a : c2 ? b : d", "If(If(c1, ThenElse(a, c2)), ThenElse(b, d))"},
        {"c1 ? a : (c2 ? b : d)", "If(c1, ThenElse(a, If(c2, ThenElse(b, d))))"},
        {"-x^2", "Power(Neg(x), 2)"}, {"2^-1", "Power(2, Neg(1))"}, {"a*-b", "Multiply(a, Neg(b))"},
        {"a--b", "Minus(a, Neg(b))"}, {"x<-1", "IsLessThan(x, Neg(1))"}, {"- .5", "Neg(0.5)"},
        {"-sin(x)", "Neg(Sin(x))"}, {"!a && b", "And(Not(a), b)"},
        {"!a == b", "IsEqualTo(Not(a), b)"}, {"!-x", "Not(Neg(x))"},
        {"~a & b", "BitwiseAnd(BitwiseCompliment(a), b)"}, {"NEG(-x)", "Neg(Neg(x))"},
        {"0-(x)", "Minus(0, x)"}, {"+5", "5"}, {"+x", "+x"},
        {"a?-b:c", "If(a, ThenElse(Neg(b), c))"}, {"2e-3", "0.002"}, {"1.5E+3", "1500"},
        {".5", "0.5"}, {"5.", "5"}, {"e-1", "Minus(2.7182818284590451, 1)"},
        {"x-2e-3", "Minus(x, 0.002)"}, {"Pi", "3.1415926535897931"}, {"true", "1"}, {"FALSE", "0"},
        {"2x", "2x"}, {"1.2.3", "1.2.3"}, {"a,b", "a,b"}, {"[x]", "[x]"}, {"pie", "pie"},
        {"sinx", "sinx"}, {"a2e-3", "a2e-3"},
        // Spellings only some C libraries read as numbers stay names, the same everywhere.
        {"0x10", "0x10"}, {"inf", "inf"}, {"nan", "nan"}, {"SIN (x)", "Sin(x)"},
        {"sin((x)+(y))", "Sin(Plus(x, y))"}, {"RAND( )", "Random()"}, {"rand(x)", "Random(x)"},
        {"rand(2*5)", "Random()"}, {"( (x) )", "x"}, {"((a)+(b))", "Plus(a, b)"},
        {" \t(x + 1)\n", "Plus(x, 1)"},
        {"sin(x) * (y ? -z : rand(w)) + !(~v)",
         "Plus(Multiply(Sin(x), If(y, ThenElse(Neg(z), Random(w)))), Not(BitwiseCompliment(v)))"},
    };
    for (const auto& [formula, shape] : cases)
        EXPECT_EQ(Shape(RawTree(formula).get()), shape) << '"' << formula << '"';
}
