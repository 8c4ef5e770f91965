// Solution curves: against closed forms, conserved quantities, the reasons they end, launches
// under x'' = F, and the solver's continuous extension and event location.

#include "analysis_test_support.h"
#include "ode_solver.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <string>

namespace {

constexpr double kPi = 3.141592653589793;
using End = Trajectory::End;
using Exact = std::function<std::array<double, 2>(double t)>;

// Every sample against the closed form, to 1e-8 relative.
void ExpectSolution(const Trajectory& solution, const Exact& exact)
{
    ASSERT_FALSE(solution.t.empty());
    for (std::size_t i = 0; i < solution.t.size(); ++i) {
        const auto [x, y] = exact(solution.t[i]);
        EXPECT_NEAR(solution.x[i], x, 1e-8 * std::max(1.0, std::fabs(x)))
            << "t = " << solution.t[i];
        EXPECT_NEAR(solution.y[i], y, 1e-8 * std::max(1.0, std::fabs(y)))
            << "t = " << solution.t[i];
    }
}

TEST(Solutions, LinearFieldsFollowTheirExponentials)
{
    const double e = std::exp(1.0);
    // Exponential decay at two rates, and growth traced backward; a rotation, a saddle, a stable
    // spiral, a slow spiral that passes near its start every turn without closing, a Jordan block.
    const Exact decay = [](double t) { return std::array{3 * std::exp(-t), 2 * std::exp(-2 * t)}; };
    const Exact growth = [](double t) { return std::array{std::exp(1 + t), -std::exp(1 + t)}; };
    const Exact rotation = [](double t) {
        return std::array{std::cos(t) + 2 * std::sin(t), 2 * std::cos(t) - std::sin(t)};
    };
    const Exact saddle = [](double t) {
        return std::array{0.1 * std::exp(t / 2), 4 * std::exp(-t)};
    };
    const Exact spiral = [](double t) {
        return std::array{4 * std::exp(-t) * std::cos(t), -4 * std::exp(-t) * std::sin(t)};
    };
    const Exact slow = [](double t) {
        return std::array{4 * std::exp(-0.1 * t) * std::cos(t),
                          -4 * std::exp(-0.1 * t) * std::sin(t)};
    };
    const Exact jordan = [](double t) {
        return std::array{(0.1 + 0.1 * t) * std::exp(t), 0.1 * std::exp(t)};
    };
    const std::tuple<const char*, const char*, double, double, double, Exact> cases[] = {
        {"NEG(x)", "-2 * y", 3, 2, 4, decay},
        {"x", "y", e, -e, -1, growth},
        {"y", "NEG(x)", 1, 2, 4, rotation},
        {"0.5 * x", "NEG(y)", 0.1, 4, 5, saddle},
        {"y - x", "NEG(x) - y", 4, 0, 6, spiral},
        {"y - 0.1 * x", "NEG(x) - 0.1 * y", 4, 0, 30, slow},
        {"x + y", "y", 0.1, 0.1, 2, jordan},
    };
    for (const auto& [fx, fy, x0, y0, duration, exact] : cases) {
        SCOPED_TRACE(std::string(fx) + ", " + fy);
        const TestField field(fx, fy);
        const Trajectory solution = field.analysis.Solve(x0, y0, duration, -5, 5, -5, 5);
        EXPECT_EQ(solution.end, End::TimeLimit);
        EXPECT_EQ(solution.t.back(), duration);
        ExpectSolution(solution, exact);
        // Dense enough to draw: no chord longer than a few pixels of a 1280-pixel view.
        for (std::size_t i = 1; i < solution.t.size(); ++i)
            EXPECT_LE(
                std::hypot(solution.x[i] - solution.x[i - 1], solution.y[i] - solution.y[i - 1]),
                1.5 * 10 / 400);
    }
}

TEST(Solutions, ARotationClosesOnItself)
{
    const TestField field("NEG(y)", "x");
    const Trajectory once = field.analysis.Solve(1, 0, 2 * kPi, -5, 5, -5, 5);
    EXPECT_LE(std::hypot(once.x.back() - 1, once.y.back()), 1e-8);
    const Trajectory closed = field.analysis.Solve(1, 0, 100, -5, 5, -5, 5);
    EXPECT_EQ(closed.end, End::Closed);
    EXPECT_NEAR(closed.period, 2 * kPi, 1e-8 * 2 * kPi);
    ExpectSolution(closed, [](double t) { return std::array{std::cos(t), std::sin(t)}; });
    const Trajectory backward = field.analysis.Solve(0, 2, -100, -5, 5, -5, 5);
    EXPECT_EQ(backward.end, End::Closed);
    EXPECT_NEAR(backward.period, 2 * kPi, 1e-8 * 2 * kPi);
    EXPECT_NEAR(backward.t.back(), -2 * kPi, 1e-8 * 2 * kPi);
}

// Quantities that solutions keep drift less than 1e-8 over 100 time units.
TEST(Solutions, ConservedQuantitiesStay)
{
    using Quantity = std::function<double(double, double)>;
    const std::tuple<const char*, const char*, double, double, Quantity> cases[] = {
        // A pendulum going over the top, for 100 time units in a wide region.
        {"y", "NEG(sin(x))", 0, 2.5, [](double x, double y) { return y * y / 2 - std::cos(x); }},
        // A double well and predator and prey: closed orbits, so round and round until 100.
        {"y", "x - x^3", 0.1, 0.5,
         [](double x, double y) { return y * y / 2 - x * x / 2 + x * x * x * x / 4; }},
        {"x * (1 - y)", "y * (x - 1)", 2, 1,
         [](double x, double y) { return x - std::log(x) + y - std::log(y); }},
    };
    for (const auto& [fx, fy, x0, y0, quantity] : cases) {
        SCOPED_TRACE(std::string(fx) + ", " + fy);
        const TestField field(fx, fy);
        double t = 0, x = x0, y = y0;
        const double start = quantity(x0, y0);
        while (t < 100) {
            const Trajectory piece = field.analysis.Solve(x, y, 100 - t, -1000, 1000, -1000, 1000);
            ASSERT_TRUE(piece.end == End::TimeLimit || piece.end == End::Closed);
            ASSERT_GT(piece.t.back(), 0);
            for (std::size_t i = 0; i < piece.t.size(); ++i)
                ASSERT_NEAR(quantity(piece.x[i], piece.y[i]), start, 1e-8)
                    << "t = " << t + piece.t[i];
            t += piece.t.back();
            x = piece.x.back();
            y = piece.y.back();
        }
    }
}

TEST(Solutions, EndWhenAndWhyTheyShould)
{
    const double nan = std::nan("");
    struct Case
    {
        const char *fx, *fy;
        double x0, y0, duration;
        End end;
        double lastX, lastY, tolerance; // where it ended
    };
    const Case cases[] = {
        // Out through the margin of a twentieth of the region.
        {"1", "0", 0, 1, 100, End::LeftRegion, 5.5, 1, 1e-12},
        {"0", "-2", 0, 1, 100, End::LeftRegion, 0, -5.5, 1e-12},
        // Into a node, a spiral and (along its stable line) a saddle, within their reach.
        {"NEG(x)", "-3 * y", 1, 1, 100, End::Equilibrium, 0, 0, 1e-3},
        {"y - x", "NEG(x) - y", 4, 0, 100, End::Equilibrium, 0, 0, 1e-3},
        {"x - 1", "2 - y", 1, -4, 100, End::Equilibrium, 1, 2, 1e-3},
        // Onto a curve of equilibria, the line y = x.
        {"y - x", "x - y", 3, -1, 100, End::Equilibrium, 1, 1, 1e-3},
        {"x", "y", 0, 0, 100, End::Equilibrium, 0, 0, 0}, // starting on one
        // Where the Jacobian is singular, a short least-squares step is no equilibrium near.
        {"x * (1 - y)", "y * (x - 1)", 0.5, 0.5, 1, End::TimeLimit, 0.5, 0.5, 1},
        // Up to where the formula fails: beyond x = 2 it has no square root.
        {"sqrt(2 - x) + 1", "0", 0, 0, 100, End::Failed, 2, 0, 1e-9},
        {"1", "ln(x)", -1, 0, 100, End::Failed, -1, 0, 0}, // fails at the start
        {"1", "0", 7, 0, 100, End::LeftRegion, 7, 0, 0},   // starts outside
        {"1", "0", 0, 0, 0, End::TimeLimit, 0, 0, 0},
        // No derivatives: no equilibrium to reach, the solution just slows down.
        {"abs(x) - 1", "0", 0, 0, 30, End::TimeLimit, -1, 0, 1e-8},
        {"1", "0", nan, 0, 1, End::Failed, nan, nan, 0},
        {"1", "0", 0, 0, nan, End::Failed, nan, nan, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fx) + ", " + c.fy + " from " + std::to_string(c.x0) + ", " +
                     std::to_string(c.y0));
        const TestField field(c.fx, c.fy);
        const Trajectory solution = field.analysis.Solve(c.x0, c.y0, c.duration, -5, 5, -5, 5);
        EXPECT_EQ(solution.end, c.end);
        EXPECT_EQ(solution.t.size(), solution.x.size());
        EXPECT_EQ(solution.t.size(), solution.y.size());
        if (std::isnan(c.lastX)) {
            EXPECT_TRUE(solution.t.empty());
            continue;
        }
        ASSERT_FALSE(solution.t.empty());
        EXPECT_NEAR(solution.x.back(), c.lastX, c.tolerance);
        EXPECT_NEAR(solution.y.back(), c.lastY, c.tolerance);
    }
    const TestField field("1", "0"); // regions that are none
    for (const Region& r :
         {Region{5, -5, -5, 5}, Region{nan, 5, -5, 5}, Region{-1e308, 1e308, 0, 1}})
        EXPECT_EQ(field.analysis.Solve(0, 0, 1, r.xMin, r.xMax, r.yMin, r.yMax).end, End::Failed);
}

TEST(Solutions, LaunchesFollowNewton)
{
    // Thrown up under gravity and falling out below; the same backward.
    const TestField gravity("0", "-9.81");
    const Trajectory thrown = gravity.analysis.SolveLaunch(-4, -4, 2, 10, 20, -5, 5, -5, 5);
    EXPECT_EQ(thrown.end, End::LeftRegion);
    EXPECT_NEAR(thrown.y.back(), -5.5, 1e-12);
    const Exact parabola = [](double t) {
        return std::array{-4 + 2 * t, -4 + 10 * t - 9.81 / 2 * t * t};
    };
    ExpectSolution(thrown, parabola);
    ExpectSolution(gravity.analysis.SolveLaunch(-4, -4, 2, 10, -0.3, -5, 5, -5, 5), parabola);

    // A spring pulling to the origin: an ellipse, round in 2π, position and velocity alike.
    const TestField spring("NEG(x)", "-4 * y");
    const Trajectory ellipse = spring.analysis.SolveLaunch(2, 0, 0, 1, 20, -5, 5, -5, 5);
    EXPECT_EQ(ellipse.end, End::Closed);
    EXPECT_NEAR(ellipse.period, 2 * kPi, 1e-8);
    ExpectSolution(ellipse, [](double t) {
        return std::array{2 * std::cos(t), std::sin(2 * t) / 2};
    });
    // Passing through the start with another velocity is not closing: x = y = 0 every π/2 s.
    const Trajectory through = spring.analysis.SolveLaunch(0, 0, 1, 1, 4, -5, 5, -5, 5);
    EXPECT_EQ(through.end, End::TimeLimit);
    EXPECT_EQ(spring.analysis.SolveLaunch(0, 0, 0, 0, 4, -5, 5, -5, 5).end, End::Equilibrium);
    EXPECT_EQ(spring.analysis.SolveLaunch(0, 0, 1e-3, 0, 7, -5, 5, -5, 5).end, End::Closed);
}

// The continuous extension between steps and the events located on it, on y' = -y.
TEST(Solutions, SolverInterpolatesAndLocatesEvents)
{
    DormandPrince solver(
        1,
        [](const double* y, double* slope) {
            slope[0] = -y[0];
            return true;
        },
        1e-7, 1e-7);
    const double one = 1;
    ASSERT_TRUE(solver.Start(&one));
    const DormandPrince::EventFunction belowHalf = [](const double* y) { return 0.5 - y[0]; };
    bool found = false;
    int longSteps = 0; // where interpolating is more than reading off the ends
    while (solver.Time() < 5) {
        ASSERT_TRUE(solver.Step(5));
        longSteps += solver.Time() - solver.PreviousTime() > 0.1;
        for (int k = 0; k <= 10; ++k) {
            const double t =
                solver.PreviousTime() + (solver.Time() - solver.PreviousTime()) * k / 10;
            double y = 0;
            solver.Interpolate(t, &y);
            EXPECT_NEAR(y, std::exp(-t), 1e-7) << "t = " << t;
        }
        double at = 0;
        DormandPrince::State state{};
        if (solver.FindEvent(belowHalf, 4, at, state)) {
            EXPECT_FALSE(found);
            found = true;
            EXPECT_NEAR(at, std::log(2.0), 1e-6);
            EXPECT_NEAR(state[0], 0.5, 1e-15); // where the extension crosses, to the last bit
        }
    }
    EXPECT_TRUE(found);
    EXPECT_GT(longSteps, 10);
    EXPECT_EQ(solver.Time(), 5);

    // Where f fails ahead, steps shrink up to that point and then give up.
    DormandPrince failing(
        1,
        [](const double* y, double* slope) {
            slope[0] = 1;
            return y[0] <= 1;
        },
        1e-10, 1e-10);
    const double zero = 0;
    ASSERT_TRUE(failing.Start(&zero));
    while (failing.Step(10)) {
    }
    EXPECT_LT(failing.Time(), 1);
    EXPECT_NEAR(failing.Time(), 1, 1e-12);
}

} // namespace
