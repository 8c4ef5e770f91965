// Equilibria: where they are, how many, of which kind; curves of them; none; failing points.

#include "analysis_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.141592653589793;

// Where the field's value has this magnitude at most, it counts as zero in the tests.
bool VanishesAt(const FieldAnalysis& analysis, double x, double y, double tolerance = 1e-7)
{
    double value[2];
    return analysis.Value(x, y, value) && std::hypot(value[0], value[1]) <= tolerance;
}

struct Expected
{
    double x;
    double y;
    const char* kind;
};

// Every field in `cases` has exactly the listed equilibria over -5 … 5, in this order.
struct FieldCase
{
    const char* fx;
    const char* fy;
    std::vector<Expected> equilibria;
};

void ExpectEquilibria(const FieldCase& c, bool accelerationField)
{
    const TestField field(c.fx, c.fy);
    SCOPED_TRACE(std::string(accelerationField ? "x'' = (" : "x' = (") + c.fx + ", " + c.fy + ")");
    const auto found = field.analysis.Equilibria(-5, 5, -5, 5, accelerationField);
    ASSERT_EQ(found.size(), c.equilibria.size());
    for (size_t i = 0; i < found.size(); ++i) {
        EXPECT_NEAR(found[i].x, c.equilibria[i].x, 1e-9) << "entry " << i;
        EXPECT_NEAR(found[i].y, c.equilibria[i].y, 1e-9) << "entry " << i;
        EXPECT_EQ(found[i].kind, c.equilibria[i].kind) << "entry " << i;
    }
}

TEST(Equilibria, FoundWhereTheyAreWithTheirKinds)
{
    const FieldCase cases[] = {
        // Linear: one of each kind, on the origin and off it.
        {"x", "0 - y", {{0, 0, "saddle"}}},
        {"y - 1", "1 - x", {{1, 1, "centre"}}},
        {"y - x", "0 - y", {{0, 0, "stable node"}}},
        {"x - 2", "2 * y + 3", {{2, -1.5, "unstable node"}}},
        {"y - x", "0 - x - y", {{0, 0, "stable spiral"}}},
        {"x + y", "y - x - 4", {{-2, 2, "unstable spiral"}}},
        // A pendulum: hanging down is a centre, standing up a saddle.
        {"y", "NEG(sin(x))", {{-kPi, 0, "saddle"}, {0, 0, "centre"}, {kPi, 0, "saddle"}}},
        // Two species competing.
        {"x * (3 - x - 2 * y)",
         "y * (2 - x - y)",
         {{0, 0, "unstable node"}, {0, 2, "stable node"}, {1, 1, "saddle"}, {3, 0, "stable node"}}},
        // van der Pol's oscillator.
        {"y", "(1 - x ^ 2) * y - x", {{0, 0, "unstable spiral"}}},
        // Isolated, but the Jacobian there is singular (a double zero of Fx).
        {"x ^ 2", "y", {{0, 0, "degenerate"}}},
        // Close zeros stay apart; a multiple zero is one, although Newton's steps shrink by only
        // 7/8 each towards a zero of multiplicity 8.
        {"x * x - 0.00000025", "y", {{-0.0005, 0, "saddle"}, {0.0005, 0, "unstable node"}}},
        {"(x - 1) ^ 8", "y", {{1, 0, "degenerate"}}},
        // The region's corner belongs to it.
        {"x - 5", "y + 5", {{5, -5, "unstable node"}}},
        // Points where the field cannot be evaluated are skipped; nothing escapes the search.
        {"sqrt(x) - 1", "ln(y)", {{1, 1, "unstable node"}}},
        {"1 / x - 1", "y", {{1, 0, "saddle"}}},
        {"tan(x)",
         "y",
         {{-kPi, 0, "unstable node"}, {0, 0, "unstable node"}, {kPi, 0, "unstable node"}}},
        {"asin(x / 2)", "acos(y / 2) - PI / 3", {{0, 1, "saddle"}}},
        // F vanishes at the origin, but the Jacobian has 0/0 wherever y = 0: no candidate.
        {"x + sqrt(y ^ 4)", "y", {}},
        {"x + y ^ 4", "y", {{0, 0, "unstable node"}}},
    };
    for (const FieldCase& c : cases)
        ExpectEquilibria(c, false);
}

TEST(Equilibria, EigenvaluesOfTheJacobianThere)
{
    const TestField field("x + y", "y - x - 4");
    const auto found = field.analysis.Equilibria(-5, 5, -5, 5, false);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_NEAR(found[0].eigenvalues[0].real(), 1, 1e-12);
    EXPECT_NEAR(found[0].eigenvalues[0].imag(), 1, 1e-12);
    EXPECT_NEAR(found[0].eigenvalues[1].real(), 1, 1e-12);
    EXPECT_NEAR(found[0].eigenvalues[1].imag(), -1, 1e-12);
}

// Zeros of sin(2πx) every half unit: each one found, the border ones included, kinds alternating.
TEST(Equilibria, ZerosHalfAUnitApartAreAllFound)
{
    FieldCase c{"sin(2 * PI * x)", "y", {}};
    for (int k = -10; k <= 10; ++k)
        c.equilibria.push_back({k / 2.0, 0, k % 2 == 0 ? "unstable node" : "saddle"});
    ExpectEquilibria(c, false);
}

// The kinds for the acceleration the field gives (a centre of x' = F is unstable for x'' = F).
TEST(Equilibria, AccelerationFieldKinds)
{
    const FieldCase cases[] = {
        {"y", "0 - x", {{0, 0, "unstable"}}},
        {"NEG(sin(x))", "0 - y", {{-kPi, 0, "unstable"}, {0, 0, "stable"}, {kPi, 0, "unstable"}}},
        {"NEG(x ^ 3)", "0 - y", {{0, 0, "degenerate"}}},
    };
    for (const FieldCase& c : cases)
        ExpectEquilibria(c, true);
}

// A field that vanishes along a whole curve or area gives one entry for all of it.
TEST(Equilibria, CurvesAndAreasOfZerosGiveOneContinuumEntry)
{
    const struct
    {
        const char* fx;
        const char* fy;
        double (*offCurve)(double x, double y); // zero on the curve
    } cases[] = {
        {"x * x + y * y - 4", "0", [](double x, double y) { return std::hypot(x, y) - 2; }},
        {"x + y", "2 * x + 2 * y", [](double x, double y) { return x + y; }},
        {"(x - 1) * (y + 2)", "0", [](double x, double y) { return (x - 1) * (y + 2); }},
        {"0", "0", [](double, double) { return 0.0; }},
        {"sin(x) * cos(y)", "(x - 1) ^ 2 * 0",
         [](double x, double y) { return std::sin(x) * std::cos(y); }},
    };
    for (const auto& c : cases) {
        for (bool acceleration : {false, true}) {
            const TestField field(c.fx, c.fy);
            const auto found = field.analysis.Equilibria(-5, 5, -5, 5, acceleration);
            SCOPED_TRACE(std::string("F = (") + c.fx + ", " + c.fy + ")");
            ASSERT_EQ(found.size(), 1u);
            EXPECT_EQ(found[0].kind, "continuum");
            EXPECT_NEAR(c.offCurve(found[0].x, found[0].y), 0, 1e-9);
        }
    }
}

// The benchmark's field vanishes on the line x = 0 and at isolated points elsewhere: isolated
// equilibria are still listed beside a curve of them.
TEST(Equilibria, ContinuumAndIsolatedPointsOfAMixedField)
{
    const TestField field("sin(x) * cos(y)", "x * x * x - 3 * x * y * y");
    const auto found = field.analysis.Equilibria(-5, 5, -5, 5, false);
    const auto continuum = std::count_if(
        found.begin(), found.end(), [](const Equilibrium& e) { return e.kind == "continuum"; });
    EXPECT_EQ(continuum, 1);
    EXPECT_EQ(found.size(), 9u); // the line, (±π, ±π/√3) and (±π√3/2, ±π/2)
    for (const Equilibrium& e : found) {
        EXPECT_TRUE(VanishesAt(field.analysis, e.x, e.y)) << e.x << ", " << e.y;
        if (e.kind != "continuum") {
            EXPECT_GT(std::fabs(e.x), 1) << e.x << ", " << e.y;
        }
    }
    // (π, ±π/√3) lies on both zero curves.
    const bool hasIt = std::any_of(found.begin(), found.end(), [](const Equilibrium& e) {
        return std::fabs(e.x - kPi) < 1e-9 && std::fabs(e.y - kPi / std::sqrt(3.0)) < 1e-9;
    });
    EXPECT_TRUE(hasIt);
}

TEST(Equilibria, FieldsWithoutEquilibria)
{
    const char* cases[][2] = {
        {"x * x + 1", "y"}, // |F| has a minimum that is not a zero
        {"1", "x"},         // constant component
        {"exp(x)", "y"},    // zero only at x → -∞
        {"x - 7", "y"},     // outside the region
    };
    for (const auto& c : cases) {
        const TestField field(c[0], c[1]);
        EXPECT_TRUE(field.analysis.Equilibria(-5, 5, -5, 5, false).empty())
            << "F = (" << c[0] << ", " << c[1] << ")";
    }
}

TEST(Equilibria, NeverMoreThanAHundredTheNearestToTheCentre)
{
    // 21 × 21 zeros, every half unit on both axes.
    const TestField field("sin(2 * PI * x)", "sin(2 * PI * y)");
    const auto found = field.analysis.Equilibria(-5, 5, -5, 5, false);
    ASSERT_EQ(found.size(), 100u);
    double farthest = 0;
    for (size_t i = 0; i < found.size(); ++i) {
        EXPECT_TRUE(VanishesAt(field.analysis, found[i].x, found[i].y));
        farthest = std::max(farthest, std::hypot(found[i].x, found[i].y));
        if (i > 0) {
            const Equilibrium& p = found[i - 1];
            EXPECT_TRUE(p.x < found[i].x || (p.x == found[i].x && p.y < found[i].y));
        }
    }
    // 100 of the 441 points fit in a disc of radius about 2.9.
    EXPECT_LT(farthest, 3.2);
}

// Rounding blurs where a triple zero of an expanded cubic lies (|F| stays at rounding level over
// about 1e-5 around it); it is still one equilibrium.
TEST(Equilibria, BlurredMultipleZeroIsOne)
{
    const TestField field("x ^ 3 - 3 * x ^ 2 + 3 * x - 1", "y");
    const auto found = field.analysis.Equilibria(-5, 5, -5, 5, false);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_NEAR(found[0].x, 1, 1e-4);
    EXPECT_NEAR(found[0].y, 0, 1e-9);
    EXPECT_EQ(found[0].kind, "degenerate");
}

TEST(Equilibria, RegionsThatAreNotRectanglesGiveNone)
{
    const TestField field("x", "y");
    const double nan = std::nan("");
    const double inf = HUGE_VAL;
    const double regions[][4] = {
        {5, -5, -5, 5}, {-5, 5, 5, -5}, {nan, 5, -5, 5}, {-5, 5, -5, inf}, {-1e308, 1e308, 0, 1},
    };
    for (const auto& r : regions)
        EXPECT_TRUE(field.analysis.Equilibria(r[0], r[1], r[2], r[3], false).empty());
    // A region of one point that is an equilibrium.
    EXPECT_EQ(field.analysis.Equilibria(0, 0, 0, 0, false).size(), 1u);
}

// The search itself, on a field written in C++: its work is bounded by the limits.
class CountingField : public PlanarField
{
public:
    bool Value(double x, double y, double value[2]) const override
    {
        ++calls;
        value[0] = x * x + 1; // no zero: every start runs until it gives up
        value[1] = std::sin(3 * y);
        return true;
    }
    bool Jacobian(double x, double y, Matrix2& jacobian) const override
    {
        ++calls;
        jacobian = {2 * x, 0, 0, 3 * std::cos(3 * y)};
        return true;
    }
    mutable long calls = 0;
};

TEST(Equilibria, SearchStaysWithinItsLimits)
{
    for (long budget : {0L, 1L, 100L, 5000L}) {
        CountingField field;
        SearchLimits limits;
        limits.maxEvaluations = budget;
        EXPECT_TRUE(FindEquilibria(field, {-5, 5, -5, 5}, false, limits).empty());
        EXPECT_LE(field.calls, budget);
    }
    CountingField field;
    FindEquilibria(field, {-5, 5, -5, 5}, false);
    EXPECT_LE(field.calls, SearchLimits().maxEvaluations);

    const TestField grid("sin(2 * PI * x)", "sin(2 * PI * y)");
    SearchLimits few;
    few.maxEntries = 7;
    EXPECT_EQ(FindEquilibria(grid.analysis, {-5, 5, -5, 5}, false, few).size(), 7u);
    few.maxEntries = 0;
    EXPECT_TRUE(FindEquilibria(grid.analysis, {-5, 5, -5, 5}, false, few).empty());
}

} // namespace
