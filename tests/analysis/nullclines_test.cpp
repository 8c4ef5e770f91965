// Nullclines: known zero sets to rounding, crossings, failing formulas, poles, no sign change on a
// grid without a curve through its zero.

#include "analysis_test_support.h"
#include "nullclines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <string>

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kEpsilon = std::numeric_limits<double>::epsilon();
using Lines = std::vector<Polyline>;
using Pair = std::pair<double, double>;

double SegmentDistance(Pair p, Pair a, Pair b)
{
    const double abx = b.first - a.first, aby = b.second - a.second;
    const double apx = p.first - a.first, apy = p.second - a.second;
    const double length = abx * abx + aby * aby;
    const double t = length > 0 ? std::clamp((apx * abx + apy * aby) / length, 0.0, 1.0) : 0.0;
    return std::hypot(apx - t * abx, apy - t * aby);
}

double Distance(Pair p, const Lines& lines)
{
    double nearest = std::numeric_limits<double>::infinity();
    for (const Polyline& line : lines)
        for (std::size_t i = 0; i < line.size(); ++i)
            nearest = std::min(nearest,
                               SegmentDistance(p, line[i], line[i + 1 < line.size() ? i + 1 : i]));
    return nearest;
}

// The largest finite |f| on a 101 × 101 grid over the region.
double ScaleOf(TestField& field, const FunctionInterpreter& f, const Region& r)
{
    double scale = 0;
    for (int i = 0; i <= 100; ++i)
        for (int k = 0; k <= 100; ++k) {
            const double v = ValueAt(field, f, r.xMin + (r.xMax - r.xMin) * i / 100,
                                     r.yMin + (r.yMax - r.yMin) * k / 100);
            if (std::isfinite(v)) scale = std::max(scale, std::fabs(v));
        }
    return scale;
}

// Every point is a zero of f to rounding of its scale. On a grid of the test's own, every sign
// change of f along an edge is bisected here: where it is a zero, a curve passes through it;
// where f jumps or has a pole, none comes near.
void ExpectZeroSet(TestField& field, const FunctionInterpreter& f, const Lines& lines,
                   const Region& r)
{
    const double scale = ScaleOf(field, f, r);
    for (const Polyline& line : lines)
        for (const auto& [x, y] : line) {
            const double v = ValueAt(field, f, x, y);
            EXPECT_LE(std::fabs(v), 16 * kEpsilon * scale) << "at " << x << ", " << y;
        }
    const int cells = 47; // its lines fall between the tracer's grid lines
    auto node = [&](int i, int k) {
        return Pair{r.xMin + (r.xMax - r.xMin) * (i + 0.37) / cells,
                    r.yMin + (r.yMax - r.yMin) * (k + 0.61) / cells};
    };
    int zeros = 0;
    for (int i = 0; i + 1 < cells; ++i) {
        for (int k = 0; k + 1 < cells; ++k) {
            for (const Pair& step : {Pair{1, 0}, Pair{0, 1}}) {
                Pair a = node(i, k), b = node(i + int(step.first), k + int(step.second));
                double fa = ValueAt(field, f, a.first, a.second);
                const double fb = ValueAt(field, f, b.first, b.second);
                if (!std::isfinite(fa) || !std::isfinite(fb) || (fa > 0) == (fb > 0)) continue;
                for (int n = 0; n < 60; ++n) {
                    const Pair m{(a.first + b.first) / 2, (a.second + b.second) / 2};
                    const double fm = ValueAt(field, f, m.first, m.second);
                    if (!std::isfinite(fm)) break;
                    ((fm > 0) == (fa > 0) ? a : b) = m;
                    if ((fm > 0) == (fa > 0)) fa = fm;
                }
                const bool zero = std::fabs(fa) <= 1e-8 * scale;
                const double distance = Distance(a, lines);
                if (zero) {
                    ++zeros;
                    EXPECT_LE(distance, 2e-3) << "no curve through " << a.first << ", " << a.second;
                } else {
                    EXPECT_GT(distance, 1e-2)
                        << "a curve at a jump " << a.first << ", " << a.second;
                }
            }
        }
    }
    if (!lines.empty()) {
        EXPECT_GT(zeros, 0);
    }
}

// A polyline of more than one point either ends on the region's border or at one of
// `crossings`, or closes.
void ExpectEnds(const Lines& lines, const Region& r, const std::vector<Pair>& crossings)
{
    auto onBorder = [&](Pair p) {
        return p.first == r.xMin || p.first == r.xMax || p.second == r.yMin || p.second == r.yMax;
    };
    auto atCrossing = [&](Pair p) {
        for (const Pair& c : crossings)
            if (std::hypot(p.first - c.first, p.second - c.second) <= 1e-12) return true;
        return false;
    };
    for (const Polyline& line : lines) {
        ASSERT_GE(line.size(), 2u);
        if (line.front() == line.back()) continue;
        for (const Pair& end : {line.front(), line.back()})
            EXPECT_TRUE(onBorder(end) || atCrossing(end)) << end.first << ", " << end.second;
    }
}

struct Case
{
    const char* formula;
    std::size_t lines;
    std::size_t closed;
    std::function<double(double, double)> off; // how far a point is from the zero set
    double tolerance;
    bool defined; // everywhere, so that curves end only on the border or at crossings
    std::vector<Pair> crossings;
};

TEST(Nullclines, KnownZeroSetsToRounding)
{
    const double h = kPi / 2;
    std::vector<Pair> grid; // where sin(x) cos(y) = 0 crosses itself
    for (double x : {-kPi, 0.0, kPi})
        for (double y : {-3 * h, -h, h, 3 * h})
            grid.push_back({x, y});
    const Case cases[] = {
        {"x - 1", 1, 0, [](double x, double) { return x - 1; }, 1e-15, true, {}},
        {"y - 0.3 * x - 0.1",
         1,
         0,
         [](double x, double y) { return y - 0.3 * x - 0.1; },
         4e-15,
         true,
         {}},
        {"x^2 + y^2 - 9",
         1,
         1,
         [](double x, double y) { return std::hypot(x, y) - 3; },
         1e-14,
         true,
         {}},
        // Two lines crossing inside a cell: four pieces that meet exactly there.
        {"(x - 0.3) * (y - 0.2)",
         4,
         0,
         [](double x, double y) { return std::min(std::fabs(x - 0.3), std::fabs(y - 0.2)); },
         1e-15,
         true,
         {{0.3, 0.2}}},
        // Crossing at slants, wherever in its cell.
        {"y * (2 - x - y)",
         4,
         0,
         [](double x, double y) { return std::min(std::fabs(y), std::fabs(2 - x - y)); },
         1e-15,
         true,
         {{2, 0}}},
        {"(y - 0.5 * x - 0.1) * (y + 2 * x - 0.3)",
         4,
         0,
         [](double x, double y) {
             return std::min(std::fabs(y - 0.5 * x - 0.1), std::fabs(y + 2 * x - 0.3));
         },
         4e-15,
         true,
         {{0.08, 0.14}}},
        {"sin(x) * cos(y)", 31, 0,
         [](double x, double y) {
             return std::min(std::fabs(std::sin(x)), std::fabs(std::cos(y)));
         },
         1e-15, true, grid},
        // Failing on half of the region, or on two quadrants.
        {"sqrt(x) - y",
         1,
         0,
         [](double x, double y) { return y - std::sqrt(x); },
         1e-15,
         false,
         {}},
        {"ln(x) - y", 1, 0, [](double x, double y) { return y - std::log(x); }, 1e-14, false, {}},
        {"sqrt(x * y) - 1", 2, 0, [](double x, double y) { return x * y - 1; }, 1e-14, false, {}},
        // Sign changes across the poles at ±π/2 are no zeros.
        {"tan(x)", 3, 0, [](double x, double) { return std::sin(x); }, 1e-15, true, {}},
        {"x * x + y * y + 1", 0, 0, nullptr, 0, true, {}},
        {"ln(-1 - x * x)", 0, 0, nullptr, 0, true, {}},
    };
    const Region region{-5, 5, -5, 5};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.formula);
        TestField field(c.formula, "x");
        const Lines lines = field.analysis.Nullcline(0, -5, 5, -5, 5);
        EXPECT_EQ(lines.size(), c.lines);
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const Polyline& l) { return l.front() == l.back(); }),
                  static_cast<long>(c.closed));
        for (const Polyline& line : lines)
            for (const auto& [x, y] : line)
                EXPECT_LE(std::fabs(c.off(x, y)), c.tolerance) << "at " << x << ", " << y;
        ExpectZeroSet(field, field.fx, lines, region);
        if (c.defined) ExpectEnds(lines, region, c.crossings);
    }
}

TEST(Nullclines, EitherComponentOverAnyRectangle)
{
    // Fy's zero set, the circle, crosses a flat region in two arcs from its bottom to its top.
    TestField field("1", "x^2 + y^2 - 9");
    const Region flat{-4, 4, -1, 2};
    const Lines arcs = field.analysis.Nullcline(1, flat.xMin, flat.xMax, flat.yMin, flat.yMax);
    ASSERT_EQ(arcs.size(), 2u);
    ExpectZeroSet(field, field.fy, arcs, flat);
    for (const Polyline& arc : arcs) {
        EXPECT_EQ(std::min(arc.front().second, arc.back().second), -1);
        EXPECT_EQ(std::max(arc.front().second, arc.back().second), 2);
    }
    EXPECT_TRUE(field.analysis.Nullcline(0, -5, 5, -5, 5).empty()); // Fx = 1 is never 0
    const double nan = std::nan("");
    for (int component : {-1, 2})
        EXPECT_TRUE(field.analysis.Nullcline(component, -5, 5, -5, 5).empty());
    for (const Region& r : {Region{5, -5, -5, 5}, Region{-5, 5, 0, 0}, Region{nan, 5, -5, 5},
                            Region{-1e308, 1e308, -5, 5}})
        EXPECT_TRUE(field.analysis.Nullcline(1, r.xMin, r.xMax, r.yMin, r.yMax).empty());
}

// Two branches passing within a hundredth of a cell of each other join as the formula's saddle
// point says: each stays in its own quadrant around it.
TEST(Nullclines, CloseBranchesJoinTheRightWay)
{
    for (const char* formula :
         {"(x - 0.3) * (y - 0.2) - 0.000001", "(x - 0.3) * (y - 0.2) + 0.000001"}) {
        SCOPED_TRACE(formula);
        TestField field(formula, "x");
        const Lines lines = field.analysis.Nullcline(0, -5, 5, -5, 5);
        ASSERT_EQ(lines.size(), 2u);
        ExpectZeroSet(field, field.fx, lines, {-5, 5, -5, 5});
        for (const Polyline& line : lines) {
            const double side = (line.front().first - 0.3) * (line.back().first - 0.3);
            EXPECT_GT(side, 0) << "from one quadrant to another";
        }
    }
}

// Without derivatives there is no saddle point to find: the cell's centre joins the branches,
// which then turn away from each other instead of crossing.
TEST(Nullclines, CrossingsNeedTheDerivatives)
{
    TestField field("(x - 0.3) * (y - 0.2)", "abs(x)");
    ASSERT_FALSE(field.analysis.Differentiable());
    const Lines lines = field.analysis.Nullcline(0, -5, 5, -5, 5);
    EXPECT_EQ(lines.size(), 2u);
    ExpectZeroSet(field, field.fx, lines, {-5, 5, -5, 5});
    ExpectEnds(lines, {-5, 5, -5, 5}, {});
}

} // namespace

// Where F vanishes along a curve, the common part of the two zero sets is that curve, and
// only inside the box asked about; an isolated zero or two zero sets that merely cross have
// none. A component that vanishes everywhere has no zero set of its own: the other's is taken.
TEST(Nullclines, CommonZeroSetIsTheCurveWhereBothVanish)
{
    const struct
    {
        const char* fx;
        const char* fy;
        Region box;
        std::function<double(double, double)> off; // from the curve; null: none expected
    } cases[] = {
        {"x - y", "2*x - 2*y", {-5, 5, -5, 5}, [](double x, double y) { return x - y; }},
        {"x - y", "2*x - 2*y", {-1, 2, -1, 2}, [](double x, double y) { return x - y; }},
        {"x*x + y*y - 4",
         "(x*x + y*y - 4)*(x + 3)",
         {-5, 5, -5, 5},
         [](double x, double y) { return std::hypot(x, y) - 2; }},
        {"x", "0", {-5, 5, -5, 5}, [](double x, double) { return x; }},
        {"0", "y - 1", {-5, 5, -5, 5}, [](double, double y) { return y - 1; }},
        {"x", "y", {-5, 5, -5, 5}, nullptr},
        {"x*x + y*y - 4", "y", {-5, 5, -5, 5}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fx) + ", " + c.fy);
        TestField field(c.fx, c.fy);
        const Lines zeros[2] = {field.analysis.Nullcline(0, -5, 5, -5, 5),
                                field.analysis.Nullcline(1, -5, 5, -5, 5)};
        const Lines common = CommonZeroSet(zeros, field.analysis, c.box, 1e-9);
        if (!c.off) {
            EXPECT_TRUE(common.empty());
            continue;
        }
        ASSERT_FALSE(common.empty());
        std::size_t points = 0;
        for (const Polyline& line : common)
            for (const auto& [x, y] : line) {
                ++points;
                EXPECT_TRUE(c.box.Contains(x, y)) << x << ", " << y;
                EXPECT_LE(std::fabs(c.off(x, y)), 1e-12) << x << ", " << y;
            }
        // The curve is drawn through the box, not only at a few of its points.
        EXPECT_GT(points, 50u);
    }
}
