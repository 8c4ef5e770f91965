#include "test_support.h"

#include <cmath>
#include <set>

namespace {

bool SameDouble(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

TEST(Functions, MatchTheCLibraryAndRefuseOutsideTheirDomain)
{
    using Test = bool (*)(double);
    const Test anything = [](double) { return false; };
    const Test notPositive = [](double u) { return u <= 0; };
    const Test negative = [](double u) { return u < 0; };
    const Test cosineZero = [](double u) { return std::cos(u) == 0; };
    const Test sineZero = [](double u) { return std::sin(u) == 0; };
    const Test outsideOne = [](double u) { return std::fabs(u) > 1; };
    const Test insideOne = [](double u) { return std::fabs(u) <= 1; };
    const Test zero = [](double u) { return u == 0; };
    const std::tuple<const char*, double (*)(double), Test, int> functions[] = {
        {"LN", std::log, notPositive, kLnOfNegative},
        {"LOG", std::log10, notPositive, kLogOfNegative}, {"EXP", std::exp, anything, 0},
        {"ABS", std::fabs, anything, 0}, {"SQRT", std::sqrt, negative, kSqrtOfNegative},
        {"NEG", [](double u) { return -u; }, anything, 0}, {"SIN", std::sin, anything, 0},
        {"COS", std::cos, anything, 0}, {"TAN", std::tan, cosineZero, kTangentInfinite},
        {"SEC", [](double u) { return 1 / std::cos(u); }, cosineZero, kSecantInfinite},
        {"CSC", [](double u) { return 1 / std::sin(u); }, sineZero, kCosecantInfinite},
        {"COT", [](double u) { return 1 / std::tan(u); }, sineZero, kCotangentInfinite},
        {"ASIN", std::asin, outsideOne, kArcSineDomain},
        {"ACOS", std::acos, outsideOne, kArcCosineDomain}, {"ATAN", std::atan, anything, 0},
        {"ASEC", [](double u) { return std::acos(1 / u); }, insideOne, kArcSecantDomain},
        {"ACSC", [](double u) { return std::asin(1 / u); }, insideOne, kArcCosecantDomain},
        {"ACOT", [](double u) { return std::atan(1 / u); }, zero, kArcCotangentOfZero},
        {"SINH", std::sinh, anything, 0}, {"COSH", std::cosh, anything, 0},
        {"TANH", std::tanh, anything, 0},
        {"SECH", [](double u) { return 1 / std::cosh(u); }, anything, 0},
        {"CSCH", [](double u) { return 1 / std::sinh(u); }, zero, kHyperbolicCosecantInfinite},
        {"COTH", [](double u) { return 1 / std::tanh(u); }, zero, kHyperbolicCotangentInfinite},
        {"CEIL", std::ceil, anything, 0}, {"FLOOR", std::floor, anything, 0},
    };
    std::vector<double> arguments = {0.0,        -0.0,      1.0,       -1.0,       1.0000001,
                                     -1.0000001, 0.9999999, 1e-300,    -1e-300,    700.0,
                                     -700.0,     1e300,     kInfinity, -kInfinity, kNaN};
    for (double u = -7.0; u <= 7.0; u += 0.37)
        arguments.push_back(u);
    for (const auto& [name, reference, refuses, code] : functions) {
        Bound expression((std::string(name) + "(x)").c_str());
        for (double u : arguments) {
            double value = 0;
            const auto error = ErrorFrom([&] { value = expression.Set("x", u).Evaluate(); });
            const bool gives = !error && SameDouble(value, reference(u));
            EXPECT_TRUE(refuses(u) ? HasError(error, code) : testing::AssertionResult(gives))
                << name << "(" << u << ") gives " << value;
        }
    }
}

// Raw trees, so that nodes and not simplification are tested. Only what decides the result is
// evaluated; division looks at its divisor first.
TEST(Operators, ValuesIntegerViewsAndShortCircuits)
{
    // Formula, x, value, or the code raised instead.
    const std::tuple<const char*, double, double, int> cases[] = {
        {"!x", -0.0, 1.0, -1}, {"!x", 0.5, 0.0, -1}, {"!x", kNaN, 0.0, -1}, {"~x", 2.7, -3.0, -1},
        {"~x", -2.7, 1.0, -1}, {"~x", 1e10, 2147483647.0, -1}, {"~x", kNaN, 2147483647.0, -1},
        {"~x", 2147483647.9, -2147483648.0, -1}, {"~x", -2147483648.9, 2147483647.0, -1},
        {"7 % 3", 0, 1.0, -1}, {"-7 % 3", 0, -1.0, -1}, {"7 % -3", 0, 1.0, -1},
        {"7.9 % 3.9", 0, 1.0, -1}, {"x % -1", -2147483648.0, 0.0, -1}, {"x % 3", 3e9, -2.0, -1},
        {"0 ^ 0", 0, 0.0, -1}, {"0 ^ -1", 0, 0.0, -1}, {"(-2) ^ 2.5", 0, 4.0, -1},
        {"(-8) ^ (1/3)", 0, 1.0, -1}, {"4 ^ 0.5", 0, 2.0, -1}, {"(-2) ^ -1", 0, -0.5, -1},
        {"x ^ 0", kNaN, 1.0, -1}, {"x ^ 2", -3, 9.0, -1}, {"1 / x", kNaN, kNaN, -1},
        {"6 & 3", 0, 2.0, -1}, {"6 | 3", 0, 7.0, -1}, {"6 !& 3", 0, 5.0, -1},
        {"-1 & 5", 0, 5.0, -1}, {"2.7 & 3", 0, 2.0, -1}, {"3e9 | 1", 0, -2147483647.0, -1},
        {"x | 0", kNaN, -2147483648.0, -1}, {"2 && 3", 0, 1.0, -1}, {"0 || -5", 0, 1.0, -1},
        {"x && 1", kNaN, 1.0, -1}, {"x || 0", -0.0, 0.0, -1}, {"x ? 7 : 8", kNaN, 7.0, -1},
        {"x ? 7 : 8", -0.0, 8.0, -1}, {"x <= 1", 1, 1.0, -1}, {"x >= 1.5", 1, 0.0, -1},
        {"x == x", kNaN, 0.0, -1}, {"x != x", kNaN, 1.0, -1}, {"x < x", kNaN, 0.0, -1},
        {"x == 0", -0.0, 1.0, -1}, {"x > 1 ? 1 : x > 0 ? 2 : 3", 0.5, 2.0, -1},
        {"x > 1 ? 1 : x > 0 ? 2 : 3", -1, 3.0, -1}, {"x && 1/x", 0, 0.0, -1},
        {"x ? 1/x : 5", 0, 5.0, -1}, {"x ? 5 : 1/x", 1, 5.0, -1}, {"x || 1/(x - 1)", 1, 1.0, -1},
        {"!x || 1/x", 0, 1.0, -1}, {"x && 1/(x - 1)", 1, 0, kDivisionByZero},
        {"sqrt(-x) / (x - x)", 1, 0, kDivisionByZero},
        {"sqrt(-x) % (x - x)", 1, 0, kDivisionByZero}, {"x % 0.5", 7, 0, kDivisionByZero},
        {"a : b", 1, 0, kMissingQuestionMark}, {"x & x", 2.5, 2.0, -1},
        {"x / x", 0, 0, kDivisionByZero},
    };
    for (const auto& [formula, x, expected, raises] : cases) {
        RawTree tree(formula);
        tree.Set("x", x);
        double value = 0;
        const auto error = ErrorFrom([&] { value = tree->Evaluate(); });
        const bool gives = !error && SameDouble(value, expected);
        EXPECT_TRUE(raises >= 0 ? HasError(error, raises) : testing::AssertionResult(gives))
            << formula << " at x = " << x << " gives " << value;
    }
}

TEST(Random, DrawsLieBetweenZeroAndTheScaleAndDiffer)
{
    Bound unit("RAND()"), ten("RAND(10)"), scaled("RAND(x)");
    scaled.Set("x", 3.5);
    std::set<double> seen;
    for (int i = 0; i < 2000; ++i) {
        const double a = unit.Evaluate(), b = ten.Evaluate(), c = scaled.Evaluate();
        EXPECT_TRUE(a >= 0 && a <= 1 && b >= 0 && b <= 10 && c >= 0 && c <= 3.5);
        seen.insert(a);
    }
    EXPECT_GT(seen.size(), 1500u); // 2000 draws from 32768 values
}

} // namespace
