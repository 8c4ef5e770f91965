// Printed text: three significant digits for numbers, keywords for calls, and parentheses
// wherever an operand binds no more strongly than its operator.

#include "test_support.h"

#include <clocale>
#include <cstdio>
#include <random>

namespace {

struct PrintCase
{
    const char* formula;
    const char* printed;
};

void PrintTo(const PrintCase& c, std::ostream* out)
{
    *out << '"' << c.formula << '"';
}

class PrintsAs : public testing::TestWithParam<PrintCase>
{
};

TEST_P(PrintsAs, Text)
{
    const RawTree tree(GetParam().formula);
    EXPECT_EQ(PrintOf(tree.get()), GetParam().printed) << GetParam().formula;
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, PrintsAs,
    testing::Values(PrintCase{"2", "2"}, PrintCase{"0.5", "0.5"}, PrintCase{"3.14159265", "3.14"},
                    PrintCase{"1234567", "1.23e+06"}, PrintCase{"0.0001", "0.0001"},
                    PrintCase{"0.00001234", "1.23e-05"}, PrintCase{"1e300", "1e+300"},
                    PrintCase{"1e999", "inf"}, PrintCase{"999.5", "1e+03"}, PrintCase{"pi", "3.14"},
                    PrintCase{"e", "2.72"}));

INSTANTIATE_TEST_SUITE_P(
    Parentheses, PrintsAs,
    testing::Values(
        PrintCase{"a - b - c", "( a - b ) - c"}, PrintCase{"a - (b - c)", "a - ( b - c )"},
        PrintCase{"(a + b) * c", "( a + b ) * c"}, PrintCase{"a + b * c", "a + b * c"},
        PrintCase{"a * b / c", "( a * b ) / c"}, PrintCase{"2 ^ 3 ^ 2", "( 2 ^ 3 ) ^ 2"},
        PrintCase{"a ^ (b ^ c)", "a ^ ( b ^ c )"}, PrintCase{"-x ^ 2", "NEG( x ) ^ 2"},
        PrintCase{"a == (b < c)", "a == b < c"}, PrintCase{"(a == b) < c", "( a == b ) < c"},
        PrintCase{"a && b || c", "a && b || c"}, PrintCase{"a && (b || c)", "a && ( b || c )"},
        PrintCase{"c ? a : b", "c ? a : b"},
        PrintCase{"c ? a : (d ? g : f)", "c ? a : ( d ? g : f )"},
        PrintCase{"(c ? a : b) + 1", "( c ? a : b ) + 1"},
        PrintCase{"x > 0 ? x : -x", "x > 0 ? x : NEG( x )"}));

INSTANTIATE_TEST_SUITE_P(
    Calls, PrintsAs,
    testing::Values(PrintCase{"sin(x)", "SIN( x )"}, PrintCase{"-x", "NEG( x )"},
                    PrintCase{"!x", "!( x )"}, PrintCase{"~x", "~( x )"},
                    PrintCase{"floor(x + 1)", "FLOOR( x + 1 )"},
                    PrintCase{"asin(x) * y", "ASIN( x ) * y"}, PrintCase{"rand()", "RAND(  )"},
                    PrintCase{"rand(10)", "RAND(  )"}, PrintCase{"rand(x)", "RAND( x )"},
                    PrintCase{"sqrt(sqrt(x))", "SQRT( SQRT( x ) )"}));

TEST(Print, ExpressionObjectPrefixesItsText)
{
    const FunctionInterpreter formula("x*y + x");
    const FunctionInterpreter folded("=2*3");
    EXPECT_EQ(PrintOf(&formula), "= x * y + x");
    EXPECT_EQ(PrintOf(&folded), "= 6");
}

// Printed text parses back into the same tree: the parentheses are never too few.
TEST(Print, TextParsesBackToTheSameTree)
{
    const char* formulas[] = {
        "a - (b - c) * d / (g % f)", "-x ^ 2 + NEG(y ^ 2)",
        "!a && !(b || c) | ~d",      "c ? a : (d ? g : f)",
        "(c ? a : b) ? d : g",       "x < y == (y <= z) != (x > 1)",
        "a !& (b & c) | d",          "sin(cos(x)) ^ (y ^ z)",
        "rand(x) * 2 - 1.5e-3 * x",  "((a ^ b) ^ c) ^ (d ^ (g ^ f))",
        "x >= 0 || y != 1 && z",
    };
    for (const char* formula : formulas) {
        const RawTree tree(formula);
        const std::string printed = PrintOf(tree.get());
        const RawTree again(printed.c_str());
        EXPECT_EQ(Shape(again.get()), Shape(tree.get())) << formula << " printed " << printed;
    }
}

// Numbers print as "%1.3g" does in the C locale.
TEST(Print, NumbersMatchTheCFormat)
{
    std::mt19937_64 generator(7);
    std::uniform_real_distribution<double> mantissa(-10, 10);
    std::uniform_int_distribution<int> exponent(-320, 308);
    for (int i = 0; i < 20000; ++i) {
        const double value = mantissa(generator) * std::pow(10.0, exponent(generator));
        char expected[64];
        std::snprintf(expected, sizeof expected, "%1.3g", value);
        Constant constant(value);
        ASSERT_EQ(PrintOf(&constant), expected) << value;
    }
}

// A process running under a locale with a decimal comma must still read and write '1.5'.
class UnderGermanLocale : public testing::Test
{
protected:
    void SetUp() override
    {
        previous = std::setlocale(LC_ALL, nullptr);
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 not installed";
        char probe[16];
        std::snprintf(probe, sizeof probe, "%.1f", 0.5);
        ASSERT_STREQ(probe, "0,5") << "the locale should write a decimal comma";
    }
    void TearDown() override { std::setlocale(LC_ALL, previous.c_str()); }

    std::string previous;
};

TEST_F(UnderGermanLocale, NumbersParseAndPrintAsInTheCLocale)
{
    Bound expression("1.5 * x + 2.5e-1");
    expression.Set("x", 2);
    EXPECT_EQ(expression.Evaluate(), 3.25);
    EXPECT_EQ(PrintOf(&expression.expression), "= 1.5 * x + 0.25");
    const RawTree tree("0.5");
    EXPECT_TRUE(tree->IsLiteral());
    EXPECT_EQ(PrintOf(tree.get()), "0.5");
}

} // namespace
