// Limit cycles: circles of known radius, period and multiplier, nested ones of opposite
// stability, the van der Pol oscillator, and none where orbits close without being isolated.

#include "analysis_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

namespace {

constexpr double kPi = 3.141592653589793;

// A field whose orbits turn once per 2π about (cx, cy) while the distance r from it follows
// r' = r g(r²): a cycle where g vanishes, stable where g falls through 0.
std::string Fx(const std::string& g, double cx, double cy)
{
    const std::string u = "(x - " + std::to_string(cx) + ")",
                      v = "(y - " + std::to_string(cy) + ")";
    return u + " * " + g + " - " + v;
}
std::string Fy(const std::string& g, double cx, double cy)
{
    const std::string u = "(x - " + std::to_string(cx) + ")",
                      v = "(y - " + std::to_string(cy) + ")";
    return v + " * " + g + " + " + u;
}

struct Expected
{
    double radius;
    bool stable;
    double logMultiplier; // 2π d(r g(r²))/dr at the radius
};

TEST(LimitCycles, CirclesOfKnownRadiusPeriodAndMultiplier)
{
    const std::string rr = "((x - 1) ^ 2 + (y + 0.5) ^ 2)";
    const std::tuple<std::string, double, double, std::vector<Expected>> cases[] = {
        // r' = r (1 - r²): stable at 1 with multiplier e^(-4π), about the origin and elsewhere.
        {"(1 - x^2 - y^2)", 0, 0, {{1, true, -4 * kPi}}},
        {"(1 - " + rr + " / 4)", 1, -0.5, {{2, true, -4 * kPi}}},
        // Attracting a thousand times more weakly: still beyond doubt not a centre's orbit.
        {"0.001 * (1 - x^2 - y^2)", 0, 0, {{1, true, -0.004 * kPi}}},
        // r' = -r (r² - 1)(r² - 4): unstable at 1 (e^(12π) ≈ 2.4e16), stable at 2 (e^(-48π)).
        {"(1 - x^2 - y^2) * (x^2 + y^2 - 4)", 0, 0, {{1, false, 12 * kPi}, {2, true, -48 * kPi}}},
        // The same shape running the other way round: stabilities swap.
        {"(x^2 + y^2 - 1) * (x^2 + y^2 - 4)", 0, 0, {{1, true, -12 * kPi}, {2, false, 48 * kPi}}},
    };
    for (const auto& [g, cx, cy, expected] : cases) {
        const std::string fx = Fx(g, cx, cy), fy = Fy(g, cx, cy);
        SCOPED_TRACE(fx + ", " + fy);
        const TestField field(fx.c_str(), fy.c_str());
        const auto cycles = field.analysis.LimitCycles(-5, 5, -5, 5);
        ASSERT_EQ(cycles.size(), expected.size());
        for (std::size_t i = 0; i < cycles.size(); ++i) {
            const LimitCycle& c = cycles[i];
            const Expected& e = expected[i]; // innermost first
            EXPECT_NEAR(c.period, 2 * kPi, 1e-8 * 2 * kPi);
            EXPECT_EQ(c.stable, e.stable);
            EXPECT_NEAR(std::log(c.multiplier), e.logMultiplier, 1e-6 * std::fabs(e.logMultiplier));
            ASSERT_GT(c.x.size(), 100u);
            EXPECT_EQ(c.x.front(), c.x.back());
            EXPECT_EQ(c.y.front(), c.y.back());
            double turning = 0; // anticlockwise, as the field turns
            for (std::size_t k = 0; k < c.x.size(); ++k) {
                EXPECT_NEAR(std::hypot(c.x[k] - cx, c.y[k] - cy), e.radius, 1e-8);
                if (k > 0)
                    turning += std::atan2(
                        (c.x[k - 1] - cx) * (c.y[k] - cy) - (c.y[k - 1] - cy) * (c.x[k] - cx),
                        (c.x[k - 1] - cx) * (c.x[k] - cx) + (c.y[k - 1] - cy) * (c.y[k] - cy));
            }
            EXPECT_NEAR(turning, 2 * kPi, 1e-9);
        }
    }
}

// x'' - (1 - x²) x' + x = 0: one stable cycle, T = 6.6632868593 and max x = 2.0086198609.
TEST(LimitCycles, VanDerPolOscillator)
{
    const TestField field("y", "(1 - x^2) * y - x");
    const auto cycles = field.analysis.LimitCycles(-5, 5, -5, 5);
    ASSERT_EQ(cycles.size(), 1u);
    const LimitCycle& c = cycles[0];
    EXPECT_TRUE(c.stable);
    EXPECT_NEAR(c.period, 6.6632868593, 1e-8 * 6.66);
    EXPECT_LT(c.multiplier, 1);
    // The largest x is where y = x' turns negative: from the sample nearest it, Newton's method
    // on y along the solution.
    std::size_t top = 0;
    for (std::size_t k = 0; k < c.x.size(); ++k)
        if (c.x[k] > c.x[top]) top = k;
    double x = c.x[top], y = c.y[top];
    for (int iteration = 0; iteration < 4; ++iteration) {
        const double slope = (1 - x * x) * y - x; // y'
        const Trajectory step = field.analysis.Solve(x, y, -y / slope, -5, 5, -5, 5);
        x = step.x.back();
        y = step.y.back();
    }
    EXPECT_NEAR(y, 0, 1e-12);
    EXPECT_NEAR(x, 2.0086198609, 1e-8);
}

// A cycle around a point where the field cannot be evaluated has no equilibrium inside: it is
// found from the region's border.
TEST(LimitCycles, AroundASingularity)
{
    const TestField field("(x * (1 - x^2 - y^2) - y) / (x^2 + y^2)",
                          "(y * (1 - x^2 - y^2) + x) / (x^2 + y^2)");
    const auto cycles = field.analysis.LimitCycles(-5, 5, -5, 5);
    ASSERT_EQ(cycles.size(), 1u);
    EXPECT_TRUE(cycles[0].stable);
    EXPECT_NEAR(cycles[0].period, 2 * kPi, 1e-8 * 2 * kPi);
    for (std::size_t k = 0; k < cycles[0].x.size(); ++k)
        EXPECT_NEAR(std::hypot(cycles[0].x[k], cycles[0].y[k]), 1, 1e-8);
}

TEST(LimitCycles, NoneWhereOrbitsCloseWithoutBeingIsolated)
{
    const char* cases[][2] = {
        // Centres: every orbit around them is closed, the return map is the identity.
        {"NEG(y)", "x"},
        {"x * (1 - y)", "y * (x - 1)"},             // predator and prey
        {"y", "x - x^3"},                           // a double well
        {"y", "NEG(sin(x))"},                       // a pendulum
        {"y", "NEG(x) - 0.5 * y"},                  // a stable spiral
        {"x * (3 - x - 2 * y)", "y * (2 - x - y)"}, // competition: nodes and a saddle
        {"sin(x) * cos(y)", "x * x * x - 3 * x * y * y"},
        {"abs(x) - y", "x"}, // no derivatives
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c[0]) + ", " + c[1]);
        const TestField field(c[0], c[1]);
        EXPECT_TRUE(field.analysis.LimitCycles(-5, 5, -5, 5).empty());
    }
    // A cycle that leaves the region is not in it.
    const TestField circle("x * (1 - x^2 - y^2) - y", "y * (1 - x^2 - y^2) + x");
    EXPECT_TRUE(circle.analysis.LimitCycles(-0.5, 5, -5, 5).empty());
    EXPECT_EQ(circle.analysis.LimitCycles(-1.5, 1.5, -1.5, 1.5).size(), 1u);
}

} // namespace
