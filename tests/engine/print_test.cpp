// Printed text: three significant digits for numbers, keywords for calls, and parentheses
// wherever an operand binds no more strongly than its operator.

#include "test_support.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <random>

namespace {

TEST(Print, TreesPrintAsDesigned)
{
    const struct
    {
        const char* formula;
        const char* printed;
    } cases[] = {{"2", "2"}, // other numbers are held against the C library below
                 {"1e999", "inf"},
                 {"a - b - c", "( a - b ) - c"},
                 {"a - (b - c)", "a - ( b - c )"},
                 {"(a + b) * c", "( a + b ) * c"},
                 {"a + b * c", "a + b * c"},
                 {"a * b / c", "( a * b ) / c"},
                 {"2 ^ 3 ^ 2", "( 2 ^ 3 ) ^ 2"},
                 {"a == (b < c)", "a == b < c"},
                 {"a && (b || c)", "a && ( b || c )"},
                 {"c ? a : (d ? g : f)", "c ? a : ( d ? g : f )"},
                 {"(c ? a : b) + 1", "( c ? a : b ) + 1"},
                 {"x > 0 ? x : -x", "x > 0 ? x : NEG( x )"},
                 {"!x + ~x", "!( x ) + ~( x )"},
                 {"floor(x + 1) ^ 2", "FLOOR( x + 1 ) ^ 2"},
                 {"rand() + rand(10) + rand(x)", "( RAND(  ) + RAND(  ) ) + RAND( x )"}};
    for (const auto& c : cases) {
        const RawTree tree(c.formula);
        EXPECT_EQ(PrintOf(tree.get()), c.printed) << c.formula;
    }
    const FunctionInterpreter folded("=2*3");
    EXPECT_EQ(PrintOf(&folded), "= 6");
}

// Printed text parses back into the same tree: the parentheses are never too few.
TEST(Print, TextParsesBackToTheSameTree)
{
    const char* formulas[] = {"a - (b - c) * d / (g % f)", "-x ^ 2 + NEG(y ^ 2)",
                              "!a && !(b || c) | ~d",      "c ? a : (d ? g : f)",
                              "(c ? a : b) ? d : g",       "x < y == (y <= z) != (x > 1)",
                              "a !& (b & c) | d",          "sin(cos(x)) ^ (y ^ z)",
                              "rand(x) * 2 - 1.5e-3 * x",  "((a ^ b) ^ c) ^ (d ^ (g ^ f))",
                              "x >= 0 || y != 1 && z"};
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
TEST(Print, NumbersReadAndPrintTheSameUnderAGermanLocale)
{
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 not installed";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 0.5);
    EXPECT_STREQ(probe, "0,5"); // the locale is really in force
    Bound expression("1.5 * x + 2.5e-1");
    expression.Set("x", 2);
    EXPECT_EQ(expression.Evaluate(), 3.25);
    EXPECT_EQ(PrintOf(&expression.expression), "= 1.5 * x + 0.25");
    std::setlocale(LC_ALL, previous.c_str());
}

} // namespace
