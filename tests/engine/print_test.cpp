#include "test_support.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <random>

// Parentheses are never too few: the printed text parses back into the same tree.
TEST(Print, TreesPrintAsDesignedAndParseBack)
{
    const char* const cases[][2] = {
        {"2", "2"}, // other numbers are held against the C library below
        {"1e999", "inf"}, {"a - b - c", "( a - b ) - c"}, {"a - (b - c)", "a - ( b - c )"},
        {"(a + b) * c", "( a + b ) * c"}, {"a + b * c", "a + b * c"},
        {"a * b / c", "( a * b ) / c"}, {"2 ^ 3 ^ 2", "( 2 ^ 3 ) ^ 2"},
        {"a == (b < c)", "a == b < c"}, {"a && (b || c)", "a && ( b || c )"},
        {"c ? a : (d ? g : f)", "c ? a : ( d ? g : f )"}, {"(c ? a : b) + 1", "( c ? a : b ) + 1"},
        {"x > 0 ? x : -x", "x > 0 ? x : NEG( x )"}, {"!x + ~x", "!( x ) + ~( x )"},
        {"floor(x + 1) ^ 2", "FLOOR( x + 1 ) ^ 2"},
        {"rand() + rand(10) + rand(x)", "( RAND(  ) + RAND(  ) ) + RAND( x )"},
        {"a - (b - c) * d / (g % f)", "a - ( ( b - c ) * d ) / ( g % f )"},
        {"-x ^ 2 + NEG(y ^ 2)", "NEG( x ) ^ 2 + NEG( y ^ 2 )"},
        {"!a && !(b || c) | ~d", "!( a ) && !( b || c ) | ~( d )"},
        {"(c ? a : b) ? d : g", "( c ? a : b ) ? d : g"},
        {"x < y == (y <= z) != (x > 1)", "( x < y == y <= z ) != x > 1"},
        {"a !& (b & c) | d", "a !& b & c | d"},
        {"sin(cos(x)) ^ (y ^ z)", "SIN( COS( x ) ) ^ ( y ^ z )"},
        {"rand(x) * 2 - 1.5e-3 * x", "RAND( x ) * 2 - 0.0015 * x"},
        {"((a ^ b) ^ c) ^ (d ^ (g ^ f))", "( ( a ^ b ) ^ c ) ^ ( d ^ ( g ^ f ) )"},
        {"x >= 0 || y != 1 && z", "x >= 0 || y != 1 && z"},
    };
    for (const auto& [formula, printed] : cases) {
        const RawTree tree(formula);
        EXPECT_EQ(PrintOf(tree.get()), printed) << formula;
        EXPECT_EQ(Shape(RawTree(printed).get()), Shape(tree.get())) << formula;
    }
}

TEST(Print, NumbersMatchTheCFormat)
{
    std::mt19937_64 generator(7);
    std::uniform_real_distribution<double> mantissa(-10, 10);
    std::uniform_int_distribution<int> exponent(-320, 308);
    for (int i = 0; i < 20000; ++i) {
        const double value = mantissa(generator) * std::pow(10.0, exponent(generator));
        char expected[64];
        std::snprintf(expected, sizeof expected, "%1.3g", value);
        const Constant constant(value);
        ASSERT_EQ(PrintOf(&constant), expected) << value;
    }
}

// A process running under a locale with a decimal comma must still read and write '1.5'.
TEST(Print, NumbersReadAndPrintTheSameUnderAGermanLocale)
{
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 not installed";
    Bound expression("1.5 * x + 2.5e-1");
    EXPECT_EQ(expression.Set("x", 2).Evaluate(), 3.25);
    EXPECT_EQ(PrintOf(&expression.expression), "= 1.5 * x + 0.25");
    std::setlocale(LC_ALL, previous.c_str());
}
