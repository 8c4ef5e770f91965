// Values: every function against the C library with its domain tests, every operator with its
// integer view, truth values and short-circuits.

#include "test_support.h"

#include <cmath>
#include <cstdlib>
#include <new>
#include <set>

namespace {

// Which arguments a function refuses: its domain test, on the argument or on a library value.
enum Refuses
{
    Nothing,
    AtMostZero,
    BelowZero,
    CosineZero,
    SineZero,
    AboveOne, // |u| > 1
    UpToOne,  // |u| <= 1
    Zero
};

bool IsRefused(Refuses refuses, double u)
{
    switch (refuses) {
    case AtMostZero:
        return u <= 0;
    case BelowZero:
        return u < 0;
    case CosineZero:
        return std::cos(u) == 0;
    case SineZero:
        return std::sin(u) == 0;
    case AboveOne:
        return std::fabs(u) > 1;
    case UpToOne:
        return std::fabs(u) <= 1;
    case Zero:
        return u == 0;
    default:
        return false;
    }
}

const struct
{
    const char* name;
    double (*reference)(double);
    Refuses refuses;
    int code;
} kFunctions[] = {
    {"LN", [](double u) { return std::log(u); }, AtMostZero, kLnOfNegative},
    {"LOG", [](double u) { return std::log10(u); }, AtMostZero, kLogOfNegative},
    {"EXP", [](double u) { return std::exp(u); }, Nothing, 0},
    {"ABS", [](double u) { return std::fabs(u); }, Nothing, 0},
    {"SQRT", [](double u) { return std::sqrt(u); }, BelowZero, kSqrtOfNegative},
    {"NEG", [](double u) { return -u; }, Nothing, 0},
    {"SIN", [](double u) { return std::sin(u); }, Nothing, 0},
    {"COS", [](double u) { return std::cos(u); }, Nothing, 0},
    {"TAN", [](double u) { return std::tan(u); }, CosineZero, kTangentInfinite},
    {"SEC", [](double u) { return 1 / std::cos(u); }, CosineZero, kSecantInfinite},
    {"CSC", [](double u) { return 1 / std::sin(u); }, SineZero, kCosecantInfinite},
    {"COT", [](double u) { return 1 / std::tan(u); }, SineZero, kCotangentInfinite},
    {"ASIN", [](double u) { return std::asin(u); }, AboveOne, kArcSineDomain},
    {"ACOS", [](double u) { return std::acos(u); }, AboveOne, kArcCosineDomain},
    {"ATAN", [](double u) { return std::atan(u); }, Nothing, 0},
    {"ASEC", [](double u) { return std::acos(1 / u); }, UpToOne, kArcSecantDomain},
    {"ACSC", [](double u) { return std::asin(1 / u); }, UpToOne, kArcCosecantDomain},
    {"ACOT", [](double u) { return std::atan(1 / u); }, Zero, kArcCotangentOfZero},
    {"SINH", [](double u) { return std::sinh(u); }, Nothing, 0},
    {"COSH", [](double u) { return std::cosh(u); }, Nothing, 0},
    {"TANH", [](double u) { return std::tanh(u); }, Nothing, 0},
    {"SECH", [](double u) { return 1 / std::cosh(u); }, Nothing, 0},
    {"CSCH", [](double u) { return 1 / std::sinh(u); }, Zero, kHyperbolicCosecantInfinite},
    {"COTH", [](double u) { return 1 / std::tanh(u); }, Zero, kHyperbolicCotangentInfinite},
    {"CEIL", [](double u) { return std::ceil(u); }, Nothing, 0},
    {"FLOOR", [](double u) { return std::floor(u); }, Nothing, 0}};

bool SameDouble(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

// Every function over a sweep of arguments, domain edges included, against <cmath>.
TEST(Functions, MatchTheCLibraryAndRefuseOutsideTheirDomain)
{
    std::vector<double> arguments = {0.0,        -0.0,      1.0,       -1.0,       1.0000001,
                                     -1.0000001, 0.9999999, 1e-300,    -1e-300,    700.0,
                                     -700.0,     1e300,     kInfinity, -kInfinity, kNaN};
    for (double u = -7.0; u <= 7.0; u += 0.37)
        arguments.push_back(u);
    for (const auto& f : kFunctions) {
        Bound expression((std::string(f.name) + "(x)").c_str());
        for (double u : arguments) {
            expression.Set("x", u);
            const auto error = ErrorFrom([&] {
                const double value = expression.Evaluate();
                EXPECT_TRUE(SameDouble(value, f.reference(u))) << f.name << "(" << u << ")";
            });
            if (IsRefused(f.refuses, u))
                EXPECT_TRUE(HasError(error, f.code, -1, -1)) << f.name << "(" << u << ")";
            else
                EXPECT_FALSE(error) << f.name << "(" << u << ") raised " << error->code;
        }
    }
}

struct ValueCase
{
    const char* formula;
    double x;
    double expected;
};

void PrintTo(const ValueCase& c, std::ostream* out)
{
    *out << '"' << c.formula << "\" at x = " << c.x;
}

class EvaluatesTo : public testing::TestWithParam<ValueCase>
{
};

// The tree exactly as parsed, so that the node's own evaluation is tested, not simplification.
TEST_P(EvaluatesTo, Value)
{
    const ValueCase& c = GetParam();
    RawTree tree(c.formula);
    tree.Set("x", c.x);
    const double value = tree->Evaluate();
    EXPECT_TRUE(SameDouble(value, c.expected)) << value;
}

INSTANTIATE_TEST_SUITE_P(Functions, EvaluatesTo,
                         testing::Values(ValueCase{"!x", -0.0, 1.0}, ValueCase{"!x", 0.5, 0.0},
                                         ValueCase{"!x", kNaN, 0.0}, ValueCase{"~x", 2.7, -3.0},
                                         ValueCase{"~x", -2.7, 1.0},
                                         ValueCase{"~x", 1e10, 2147483647.0},
                                         ValueCase{"~x", kNaN, 2147483647.0},
                                         ValueCase{"~x", 2147483647.9, -2147483648.0},
                                         ValueCase{"~x", -2147483648.9, 2147483647.0}));

INSTANTIATE_TEST_SUITE_P(
    Operators, EvaluatesTo,
    testing::Values(
        ValueCase{"7 % 3", 0, 1.0}, ValueCase{"-7 % 3", 0, -1.0}, ValueCase{"7 % -3", 0, 1.0},
        ValueCase{"7.9 % 3.9", 0, 1.0}, ValueCase{"x % -1", -2147483648.0, 0.0},
        ValueCase{"x % 3", 3e9, -2.0}, ValueCase{"0 ^ 0", 0, 0.0}, ValueCase{"0 ^ -1", 0, 0.0},
        ValueCase{"(-2) ^ 2.5", 0, 4.0}, ValueCase{"(-8) ^ (1/3)", 0, 1.0},
        ValueCase{"4 ^ 0.5", 0, 2.0}, ValueCase{"(-2) ^ -1", 0, -0.5},
        ValueCase{"x ^ 0", kNaN, 1.0}, ValueCase{"x ^ 2", -3, 9.0}, ValueCase{"1 / x", kNaN, kNaN},
        ValueCase{"6 & 3", 0, 2.0}, ValueCase{"6 | 3", 0, 7.0}, ValueCase{"6 !& 3", 0, 5.0},
        ValueCase{"-1 & 5", 0, 5.0}, ValueCase{"2.7 & 3", 0, 2.0},
        ValueCase{"3e9 | 1", 0, -2147483647.0}, ValueCase{"x | 0", kNaN, -2147483648.0},
        ValueCase{"2 && 3", 0, 1.0}, ValueCase{"0 || -5", 0, 1.0}, ValueCase{"x && 1", kNaN, 1.0},
        ValueCase{"x || 0", -0.0, 0.0}, ValueCase{"x ? 7 : 8", kNaN, 7.0},
        ValueCase{"x ? 7 : 8", -0.0, 8.0}, ValueCase{"x <= 1", 1, 1.0},
        ValueCase{"x >= 1.5", 1, 0.0}, ValueCase{"x == x", kNaN, 0.0},
        ValueCase{"x != x", kNaN, 1.0}, ValueCase{"x < x", kNaN, 0.0},
        ValueCase{"x == 0", -0.0, 1.0}, ValueCase{"x > 1 ? 1 : x > 0 ? 2 : 3", 0.5, 2.0},
        ValueCase{"x > 1 ? 1 : x > 0 ? 2 : 3", -1, 3.0}));

// Only what decides the result is evaluated: the other operand may fail without harm. Division
// looks at its divisor first, so a zero divisor is reported before the dividend could fail.
TEST(Operators, EvaluateOnlyWhatDecides)
{
    const struct
    {
        const char* formula;
        double x;
        int raises; // -1: none
    } cases[] = {{"x && 1/x", 0, -1},
                 {"x ? 1/x : 5", 0, -1},
                 {"x ? 5 : 1/x", 1, -1},
                 {"x || 1/(x - 1)", 1, -1},
                 {"!x || 1/x", 0, -1},
                 {"x && 1/(x - 1)", 1, kDivisionByZero},
                 {"sqrt(-x) / (x - x)", 1, kDivisionByZero},
                 {"sqrt(-x) % (x - x)", 1, kDivisionByZero},
                 {"x % 0.5", 7, kDivisionByZero}, // the divisor's integer part is 0
                 {"a : b", 1, kMissingQuestionMark}};
    for (const auto& c : cases) {
        RawTree tree(c.formula);
        tree.Set("x", c.x);
        const auto error = ErrorFrom([&] { tree->Evaluate(); });
        if (c.raises < 0)
            EXPECT_FALSE(error) << c.formula;
        else
            EXPECT_TRUE(HasError(error, c.raises, -1, -1)) << c.formula;
    }
}

TEST(Random, DrawsLieBetweenZeroAndTheScaleAndDiffer)
{
    Bound unit("RAND()");
    Bound ten("RAND(10)");
    Bound scaled("RAND(x)");
    scaled.Set("x", 3.5);
    std::set<double> seen;
    for (int i = 0; i < 2000; ++i) {
        const double a = unit.Evaluate();
        const double b = ten.Evaluate();
        const double c = scaled.Evaluate();
        EXPECT_TRUE(a >= 0 && a <= 1 && b >= 0 && b <= 10 && c >= 0 && c <= 3.5);
        seen.insert(a);
    }
    // 2000 draws from 32768 values: far more than a handful are distinct.
    EXPECT_GT(seen.size(), 1500u);
}

} // namespace
