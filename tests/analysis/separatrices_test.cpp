// Separatrices: the eigenvectors they start along, where their branches go and why they end,
// and the energy level they keep in conservative fields.

#include "analysis_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

namespace {

constexpr double kPi = 3.141592653589793;
using End = Trajectory::End;

TEST(Separatrices, EigenvectorsInAnyUnit)
{
    const double s = 1 / std::sqrt(2.0);
    // A matrix, a real eigenvalue and its unit eigenvector, x ≥ 0.
    const std::tuple<Matrix2, double, std::array<double, 2>> cases[] = {
        {{2, 0, 0, -1}, 2, {1, 0}},
        {{2, 0, 0, -1}, -1, {0, 1}},
        {{0, 1, 1, 0}, 1, {s, s}},
        {{0, 1, 1, 0}, -1, {s, -s}},
        {{1, 2, 0, 3}, 3, {s, s}},           // triangular
        {{-1, 1, 0, -1}, -1, {1, 0}},        // a single eigenvector
        {{0, -3, 0, 0}, 0, {1, 0}},          // nilpotent
        {{4, 0, 0, 4}, 4, {1, 0}},           // every vector: the first
        {{1e-9, 1, 0, -1e-9}, 1e-9, {1, 0}}, // eigenvalues of very different sizes
        {{1e-9, 1, 0, -1e-9}, -1e-9, {-1 / std::hypot(1.0, 2e-9), 2e-9 / std::hypot(1.0, 2e-9)}},
    };
    for (const auto& [m, lambda, expected] : cases) {
        for (double unit : {1.0, 1e-300, 1e300}) {
            SCOPED_TRACE(testing::Message()
                         << "case " << &expected - &std::get<2>(cases[0]) << ", unit " << unit);
            const Matrix2 scaled{m.a * unit, m.b * unit, m.c * unit, m.d * unit};
            auto v = Eigenvector(scaled, lambda * unit);
            if (expected[0] < 0) v = {-v[0], -v[1]}; // the case's own orientation
            EXPECT_NEAR(v[0], expected[0], 1e-15);
            EXPECT_NEAR(v[1], expected[1], 1e-15);
            EXPECT_GE(Eigenvector(scaled, lambda * unit)[0], 0);
        }
    }
}

// The energy of a conservative field: its separatrices lie on the level of its saddles.
struct Conservative
{
    const char *fx, *fy;
    std::function<double(double, double)> energy;
};

TEST(Separatrices, KeepTheSaddlesEnergyLevel)
{
    const Conservative cases[] = {
        // A double well: both branches of each kind loop back to the saddle.
        {"y", "x - x^3",
         [](double x, double y) { return y * y / 2 - x * x / 2 + x * x * x * x / 4; }},
        // A pendulum: the saddles at ±π joined by their branches, the others run out.
        {"y", "NEG(sin(x))", [](double x, double y) { return y * y / 2 - std::cos(x); }},
        // A cubic saddle whose branches run out of the region.
        {"y", "x + x^3",
         [](double x, double y) { return y * y / 2 - x * x / 2 - x * x * x * x / 4; }},
    };
    for (const Conservative& c : cases) {
        SCOPED_TRACE(std::string(c.fx) + ", " + c.fy);
        const TestField field(c.fx, c.fy);
        const auto equilibria = field.analysis.Equilibria(-5, 5, -5, 5, false);
        const auto branches = field.analysis.Separatrices(-5, 5, -5, 5);
        std::size_t saddles = 0;
        for (const Equilibrium& e : equilibria) {
            if (e.kind != EquilibriumKind::Saddle) continue;
            const double level = c.energy(e.x, e.y);
            for (int b = 0; b < 4; ++b) {
                ASSERT_LT(4 * saddles + b, branches.size());
                const Trajectory& branch = branches[4 * saddles + b];
                SCOPED_TRACE(testing::Message() << "saddle at " << e.x << ", branch " << b);
                EXPECT_LE(std::hypot(branch.x[0] - e.x, branch.y[0] - e.y), 2e-3 * (1 + 1e-9));
                EXPECT_NE(branch.end, End::Failed);
                EXPECT_NE(branch.end, End::TimeLimit);
                for (std::size_t i = 0; i < branch.t.size(); ++i) {
                    ASSERT_NEAR(c.energy(branch.x[i], branch.y[i]), level, 1e-8)
                        << "t = " << branch.t[i];
                    // Unstable branches forward in time, stable ones backward.
                    if (i > 0) {
                        EXPECT_EQ(branch.t[i] > branch.t[i - 1], b < 2);
                    }
                }
                if (branch.end == End::Closed) {
                    EXPECT_EQ(branch.period, std::numeric_limits<double>::infinity());
                }
            }
            ++saddles;
        }
        EXPECT_EQ(branches.size(), 4 * saddles);
        EXPECT_GT(saddles, 0u);
    }
}

TEST(Separatrices, BranchesEndWhereTheyGo)
{
    struct Case
    {
        const char *fx, *fy;
        End ends[4];
        double lastX[4], lastY[4]; // NaN: anywhere
    };
    const double any = std::nan("");
    const Case cases[] = {
        // A linear saddle: exactly along the axes, out through the margin.
        {"x",
         "NEG(y)",
         {End::LeftRegion, End::LeftRegion, End::LeftRegion, End::LeftRegion},
         {5.5, -5.5, 0, 0},
         {0, 0, 5.5, -5.5}},
        // Two species competing: the saddle's unstable branches go to the two stable nodes,
        // one stable branch comes from the unstable node, the other from beyond the region.
        {"x * (3 - x - 2 * y)",
         "y * (2 - x - y)",
         {End::Equilibrium, End::Equilibrium, End::LeftRegion, End::Equilibrium},
         {3, 0, any, 0},
         {0, 2, any, 0}},
        // The double well's loops and the pendulum's connections.
        {"y",
         "x - x^3",
         {End::Closed, End::Closed, End::Closed, End::Closed},
         {any, any, any, any},
         {any, any, any, any}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fx) + ", " + c.fy);
        const TestField field(c.fx, c.fy);
        const auto branches = field.analysis.Separatrices(-5, 5, -5, 5);
        ASSERT_EQ(branches.size(), 4u);
        for (int b = 0; b < 4; ++b) {
            SCOPED_TRACE(testing::Message() << "branch " << b);
            EXPECT_EQ(branches[b].end, c.ends[b]);
            if (!std::isnan(c.lastX[b])) {
                EXPECT_NEAR(branches[b].x.back(), c.lastX[b], 1e-3);
                EXPECT_NEAR(branches[b].y.back(), c.lastY[b], 1e-3);
            }
        }
    }
    const TestField pendulum("y", "NEG(sin(x))"); // from one hilltop to the next
    const auto connections = pendulum.analysis.Separatrices(-5, 5, -5, 5);
    ASSERT_EQ(connections.size(), 8u);
    EXPECT_EQ(connections[0].end, End::Equilibrium); // unstable from -π, rightward, to π
    EXPECT_NEAR(connections[0].x.back(), kPi, 1e-3);
    // None without saddles or without derivatives.
    EXPECT_TRUE(TestField("NEG(y)", "x").analysis.Separatrices(-5, 5, -5, 5).empty());
    EXPECT_TRUE(TestField("abs(x)", "NEG(y)").analysis.Separatrices(-5, 5, -5, 5).empty());
}

} // namespace
