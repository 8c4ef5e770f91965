// Values: every function against the C library with its domain tests, every operator with its
// integer view, truth values and short-circuits.

#include "test_support.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <set>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

struct FunctionCase
{
    const char* name;
    double (*reference)(double);
    int refusedWith; // the code raised for arguments outside the domain
    bool (*refuses)(double);
};

bool Never(double)
{
    return false;
}

const FunctionCase kFunctions[] = {
    {"LN", [](double u) { return std::log(u); }, kLnOfNegative, [](double u) { return u <= 0; }},
    {"LOG", [](double u) { return std::log10(u); }, kLogOfNegative,
     [](double u) { return u <= 0; }},
    {"EXP", [](double u) { return std::exp(u); }, 0, Never},
    {"ABS", [](double u) { return std::fabs(u); }, 0, Never},
    {"SQRT", [](double u) { return std::sqrt(u); }, kSqrtOfNegative,
     [](double u) { return u < 0; }},
    {"NEG", [](double u) { return -u; }, 0, Never},
    {"SIN", [](double u) { return std::sin(u); }, 0, Never},
    {"COS", [](double u) { return std::cos(u); }, 0, Never},
    {"TAN", [](double u) { return std::tan(u); }, kTangentInfinite,
     [](double u) { return std::cos(u) == 0; }},
    {"SEC", [](double u) { return 1 / std::cos(u); }, kSecantInfinite,
     [](double u) { return std::cos(u) == 0; }},
    {"CSC", [](double u) { return 1 / std::sin(u); }, kCosecantInfinite,
     [](double u) { return std::sin(u) == 0; }},
    {"COT", [](double u) { return 1 / std::tan(u); }, kCotangentInfinite,
     [](double u) { return std::sin(u) == 0; }},
    {"ASIN", [](double u) { return std::asin(u); }, kArcSineDomain,
     [](double u) { return std::fabs(u) > 1; }},
    {"ACOS", [](double u) { return std::acos(u); }, kArcCosineDomain,
     [](double u) { return std::fabs(u) > 1; }},
    {"ATAN", [](double u) { return std::atan(u); }, 0, Never},
    {"ASEC", [](double u) { return std::acos(1 / u); }, kArcSecantDomain,
     [](double u) { return std::fabs(u) <= 1; }},
    {"ACSC", [](double u) { return std::asin(1 / u); }, kArcCosecantDomain,
     [](double u) { return std::fabs(u) <= 1; }},
    {"ACOT", [](double u) { return std::atan(1 / u); }, kArcCotangentOfZero,
     [](double u) { return u == 0; }},
    {"SINH", [](double u) { return std::sinh(u); }, 0, Never},
    {"COSH", [](double u) { return std::cosh(u); }, 0, Never},
    {"TANH", [](double u) { return std::tanh(u); }, 0, Never},
    {"SECH", [](double u) { return 1 / std::cosh(u); }, 0, Never},
    {"CSCH", [](double u) { return 1 / std::sinh(u); }, kHyperbolicCosecantInfinite,
     [](double u) { return u == 0; }},
    {"COTH", [](double u) { return 1 / std::tanh(u); }, kHyperbolicCotangentInfinite,
     [](double u) { return u == 0; }},
    {"CEIL", [](double u) { return std::ceil(u); }, 0, Never},
    {"FLOOR", [](double u) { return std::floor(u); }, 0, Never},
};

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
    for (const FunctionCase& f : kFunctions) {
        Bound expression((std::string(f.name) + "(x)").c_str());
        for (double u : arguments) {
            expression.Set("x", u);
            const auto error = ErrorFrom([&] {
                const double value = expression.Evaluate();
                EXPECT_TRUE(SameDouble(value, f.reference(u))) << f.name << "(" << u << ")";
            });
            if (f.refuses(u))
                EXPECT_TRUE(HasError(error, f.refusedWith, -1, -1)) << f.name << "(" << u << ")";
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
    *out << '"' << c.formula << '"';
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
    EXPECT_TRUE(SameDouble(value, c.expected)) << c.formula << " gave " << value;
}

INSTANTIATE_TEST_SUITE_P(
    FunctionEdges, EvaluatesTo,
    testing::Values(
        ValueCase{"LN(1)", 0, 0.0}, ValueCase{"SQRT(0)", 0, 0.0}, ValueCase{"ASIN(1)", 0, M_PI / 2},
        ValueCase{"ACOS(-1)", 0, M_PI}, ValueCase{"ASEC(2)", 0, std::acos(0.5)},
        ValueCase{"ACSC(2)", 0, std::asin(0.5)}, ValueCase{"ACOT(-1)", 0, -M_PI / 4},
        ValueCase{"TAN(0)", 0, 0.0}, ValueCase{"SEC(0)", 0, 1.0}, ValueCase{"SECH(0)", 0, 1.0},
        ValueCase{"TANH(0)", 0, 0.0}, ValueCase{"!x", 0.0, 1.0}, ValueCase{"!x", -0.0, 1.0},
        ValueCase{"!x", 0.5, 0.0}, ValueCase{"!x", kNaN, 0.0}, ValueCase{"~x", 0, -1.0},
        ValueCase{"~x", 2.7, -3.0}, ValueCase{"~x", -2.7, 1.0}, ValueCase{"~x", 1e10, 2147483647.0},
        ValueCase{"~x", kNaN, 2147483647.0}, ValueCase{"~x", -kInfinity, 2147483647.0},
        ValueCase{"~x", 2147483647.9, -2147483648.0}, ValueCase{"~x", -2147483648.9, 2147483647.0},
        ValueCase{"CEIL(-1.5)", 0, -1.0}, ValueCase{"FLOOR(-1.5)", 0, -2.0},
        ValueCase{"ABS(-3)", 0, 3.0}, ValueCase{"NEG(2)", 0, -2.0},
        ValueCase{"EXP(1000)", 0, kInfinity}));

INSTANTIATE_TEST_SUITE_P(
    Arithmetic, EvaluatesTo,
    testing::Values(ValueCase{"7 % 3", 0, 1.0}, ValueCase{"-7 % 3", 0, -1.0},
                    ValueCase{"7 % -3", 0, 1.0}, ValueCase{"7.9 % 3.9", 0, 1.0},
                    ValueCase{"x % -1", -2147483648.0, 0.0}, ValueCase{"x % 3", 3e9, -2.0},
                    ValueCase{"0 ^ 0", 0, 0.0}, ValueCase{"0 ^ -1", 0, 0.0},
                    ValueCase{"x ^ 2", -0.0, 0.0}, ValueCase{"2 ^ 10", 0, 1024.0},
                    ValueCase{"(-2) ^ 2.5", 0, 4.0}, ValueCase{"(-8) ^ (1/3)", 0, 1.0},
                    ValueCase{"4 ^ 0.5", 0, 2.0}, ValueCase{"(-2) ^ -1", 0, -0.5},
                    ValueCase{"x ^ 0", kNaN, 1.0}, ValueCase{"x ^ 2", kNaN, kNaN},
                    ValueCase{"2 ^ 3 ^ 2", 0, 64.0}, ValueCase{"1 / x", kNaN, kNaN},
                    ValueCase{"x / 2", 3, 1.5}, ValueCase{"x - 3 - 2", 10, 5.0}));

INSTANTIATE_TEST_SUITE_P(BitwiseOnTheIntegerView, EvaluatesTo,
                         testing::Values(ValueCase{"6 & 3", 0, 2.0}, ValueCase{"6 | 3", 0, 7.0},
                                         ValueCase{"6 !& 3", 0, 5.0}, ValueCase{"-1 & 5", 0, 5.0},
                                         ValueCase{"2.7 & 3", 0, 2.0},
                                         ValueCase{"3e9 | 1", 0, -2147483647.0},
                                         ValueCase{"x | 0", kNaN, -2147483648.0},
                                         ValueCase{"x & -1", 2.5, 2.0},
                                         ValueCase{"x !& x", 5.5, 0.0}));

INSTANTIATE_TEST_SUITE_P(
    TruthValues, EvaluatesTo,
    testing::Values(ValueCase{"2 && 3", 0, 1.0}, ValueCase{"0 || -5", 0, 1.0},
                    ValueCase{"x && 1", kNaN, 1.0}, ValueCase{"x || 0", -0.0, 0.0},
                    ValueCase{"x ? 7 : 8", kNaN, 7.0}, ValueCase{"x ? 7 : 8", -0.0, 8.0},
                    ValueCase{"x < 2", 1, 1.0}, ValueCase{"x > 2", 1, 0.0},
                    ValueCase{"x <= 1", 1, 1.0}, ValueCase{"x >= 1.5", 1, 0.0},
                    ValueCase{"x == x", kNaN, 0.0}, ValueCase{"x != x", kNaN, 1.0},
                    ValueCase{"x <= x", kNaN, 0.0}, ValueCase{"x >= x", kNaN, 0.0},
                    ValueCase{"x == 0", -0.0, 1.0},
                    ValueCase{"x > 1 ? 1 : x > 0 ? 2 : 3", 0.5, 2.0},
                    ValueCase{"x > 1 ? 1 : x > 0 ? 2 : 3", -1, 3.0}));

// Only what decides the result is evaluated: the other operand may fail without harm.
TEST(Operators, ShortCircuitsEvaluateOnlyWhatDecides)
{
    const struct
    {
        const char* formula;
        double x;
        double expected; // NaN: raises division by zero
    } cases[] = {
        {"x && 1/x", 0, 0.0},       {"x ? 1/x : 5", 0, 5.0},     {"x ? 5 : 1/x", 1, 5.0},
        {"x || 1/(x - 1)", 1, 1.0}, {"x && 1/(x - 1)", 1, kNaN}, {"!x || 1/x", 0, 1.0},
        {"1/x / (x - x)", 1, kNaN},
    };
    for (const auto& c : cases) {
        RawTree tree(c.formula);
        tree.Set("x", c.x);
        const auto error = ErrorFrom([&] { EXPECT_EQ(tree->Evaluate(), c.expected) << c.formula; });
        if (std::isnan(c.expected))
            EXPECT_TRUE(HasError(error, kDivisionByZero, -1, -1)) << c.formula;
        else
            EXPECT_FALSE(error) << c.formula;
    }
}

// Right operand first: a zero divisor is reported before the dividend is even looked at.
TEST(Operators, DivisionChecksTheDivisorBeforeEvaluatingTheDividend)
{
    RawTree tree("sqrt(x) / y");
    tree.Set("x", -1);
    tree.Set("y", 0);
    EXPECT_TRUE(HasError(ErrorFrom([&] { tree->Evaluate(); }), kDivisionByZero, -1, -1));
    RawTree remainder("sqrt(x) % y");
    remainder.Set("x", -1);
    remainder.Set("y", 0);
    EXPECT_TRUE(HasError(ErrorFrom([&] { remainder->Evaluate(); }), kDivisionByZero, -1, -1));
}

TEST(Operators, RemainderByADivisorThatTruncatesToZeroIsADivisionByZero)
{
    for (double divisor : {0.5, -0.999, 1e-300}) {
        RawTree tree("x % y");
        tree.Set("x", 7);
        tree.Set("y", divisor);
        EXPECT_TRUE(HasError(ErrorFrom([&] { tree->Evaluate(); }), kDivisionByZero, -1, -1))
            << divisor;
    }
}

TEST(Operators, ThenElseAloneCannotBeEvaluated)
{
    RawTree tree("a : b");
    EXPECT_TRUE(HasError(ErrorFrom([&] { tree->Evaluate(); }), kMissingQuestionMark, -1, -1));
}

TEST(Operators, IntegerViewTruncatesTowardZeroAndMapsTheRestToTheMinimum)
{
    const struct
    {
        double value;
        int32_t integer;
    } cases[] = {
        {2.9, 2},
        {-2.9, -2},
        {-0.0, 0},
        {2147483647.5, 2147483647},
        {-2147483648.9, INT32_MIN},
        {2147483648.0, INT32_MIN},
        {-2147483649.0, INT32_MIN},
        {kInfinity, INT32_MIN},
        {-kInfinity, INT32_MIN},
        {kNaN, INT32_MIN},
        {1e300, INT32_MIN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IntegerView(c.value), c.integer) << c.value;
}

TEST(Random, DrawsLieBetweenZeroAndTheScale)
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
        EXPECT_TRUE(a >= 0 && a <= 1) << a;
        EXPECT_TRUE(b >= 0 && b <= 10) << b;
        EXPECT_TRUE(c >= 0 && c <= 3.5) << c;
        seen.insert(a);
    }
    // 2000 draws from 32768 values: far more than a handful are distinct.
    EXPECT_GT(seen.size(), 1500u);
}

TEST(Random, ConstantOperandIsFoldedIntoTheScaleAndVariableOperandKept)
{
    const Bound folded("RAND(2*5)");
    const auto* random = dynamic_cast<const RandomFunction*>(folded.expression.Root());
    ASSERT_NE(random, nullptr);
    EXPECT_EQ(random->argument, nullptr);
    EXPECT_EQ(random->scale, 10.0);
    const Bound kept("RAND(x)");
    random = dynamic_cast<const RandomFunction*>(kept.expression.Root());
    ASSERT_NE(random, nullptr);
    EXPECT_EQ(Shape(random->argument), "x");
}

TEST(Evaluate, LeavesTheTreeAsItWas)
{
    Bound expression("sin(x) * (y ? x ^ 2 : -x) + x % 3");
    const std::string before = PrintOf(&expression.expression);
    expression.Set("x", 1.5).Set("y", 1);
    const double first = expression.Evaluate();
    EXPECT_EQ(expression.Evaluate(), first);
    EXPECT_EQ(PrintOf(&expression.expression), before);
}

} // namespace

// Evaluation runs for every arrow and every particle step: it must not touch the heap. Counting
// needs our own operator new, which AddressSanitizer does not allow next to its own.
#if defined(__SANITIZE_ADDRESS__)
#define VF_COUNT_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VF_COUNT_ALLOCATIONS 0
#endif
#endif
#ifndef VF_COUNT_ALLOCATIONS
#define VF_COUNT_ALLOCATIONS 1
#endif

#if VF_COUNT_ALLOCATIONS
namespace {
long allocationCount = 0;
}

void* operator new(std::size_t size)
{
    ++allocationCount;
    if (void* memory = std::malloc(size ? size : 1)) return memory;
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

namespace {

TEST(Evaluate, AllocatesNothing)
{
    const char* formulas[] = {
        "-y",
        "x*y + x",
        "sin(x)*cos(y)",
        "x*exp((x*x+y*y)/-4)",
        "sqrt(x*x+y*y) < 3 ? -y : x",
        "x*x*x - 3*x*y*y + 0.5*x - 0.25*y + 1",
        "x^2 - y^2",
        "abs(x) > 1 && abs(y) > 1 ? x % 3 : floor(y)",
        "rand(x) + ~y | !x",
        "ln(abs(x) + 1) * atan(y) / cosh(x)",
    };
    double x = 0;
    double y = 0;
    std::vector<std::unique_ptr<FunctionInterpreter>> expressions;
    for (const char* formula : formulas) {
        expressions.push_back(std::make_unique<FunctionInterpreter>(formula));
        expressions.back()->BindValueSlotByName("x", &x);
        expressions.back()->BindValueSlotByName("y", &y);
    }
    const long before = allocationCount;
    double sum = 0;
    for (auto& expression : expressions)
        for (x = -4.75; x <= 4.75; x += 0.5)
            for (y = -4.75; y <= 4.75; y += 0.5)
                sum += expression->Evaluate();
    EXPECT_EQ(allocationCount - before, 0);
    EXPECT_TRUE(std::isfinite(sum));
}

} // namespace

#endif
