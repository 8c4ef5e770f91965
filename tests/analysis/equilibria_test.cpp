// Equilibria: where they are, how many, of which kind; curves of them; none; failing points.

#include "analysis_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>

namespace {

constexpr double kPi = 3.141592653589793;

struct Expected
{
    double x, y;
    std::string kind; // for x' = F
    double xTolerance = 1e-9;
};

TEST(Equilibria, FoundWhereTheyAreWithTheirKinds)
{
    const double p = kPi / std::sqrt(3.0), q = kPi * std::sqrt(3.0) / 2, h = kPi / 2;
    std::vector<Expected> sine; // zeros every half unit, the border ones included
    for (int k = -10; k <= 10; ++k)
        sine.push_back({k / 2.0, 0, k % 2 == 0 ? "unstable node" : "saddle"});
    // Exactly these equilibria over -5 … 5, in this order; first linear fields of every kind.
    const std::tuple<const char*, const char*, std::vector<Expected>> cases[] = {
        {"x", "0 - y", {{0, 0, "saddle"}}},
        {"y - 1", "1 - x", {{1, 1, "centre"}}},
        {"y - x", "0 - y", {{0, 0, "stable node"}}},
        {"x - 2", "2 * y + 3", {{2, -1.5, "unstable node"}}},
        {"y - x", "0 - x - y", {{0, 0, "stable spiral"}}},
        {"x + y", "y - x - 4", {{-2, 2, "unstable spiral"}}},
        // A pendulum (hanging down is a centre, standing up a saddle), two species competing.
        {"y", "NEG(sin(x))", {{-kPi, 0, "saddle"}, {0, 0, "centre"}, {kPi, 0, "saddle"}}},
        {"x * (3 - x - 2 * y)",
         "y * (2 - x - y)",
         {{0, 0, "unstable node"}, {0, 2, "stable node"}, {1, 1, "saddle"}, {3, 0, "stable node"}}},
        // Close zeros stay apart; a zero of multiplicity 8 is one (Newton's steps shrink by 7/8).
        {"x * x - 0.00000025", "y", {{-0.0005, 0, "saddle"}, {0.0005, 0, "unstable node"}}},
        {"(x - 1) ^ 8", "y", {{1, 0, "degenerate"}}},
        // Rounding blurs an expanded triple zero over about 1e-5; it is still one.
        {"x ^ 3 - 3 * x ^ 2 + 3 * x - 1", "y", {{1, 0, "degenerate", 1e-4}}},
        {"x - 5", "y + 5", {{5, -5, "unstable node"}}}, // the region's corner belongs to it
        {"sin(2 * PI * x)", "y", sine},
        // Points where the field cannot be evaluated are skipped; nothing escapes the search.
        {"sqrt(x) - 1", "ln(y)", {{1, 1, "unstable node"}}},
        {"tan(x)", "-y", {{-kPi, 0, "saddle"}, {0, 0, "saddle"}, {kPi, 0, "saddle"}}},
        {"x + sqrt(y ^ 4)", "y", {}}, // F is 0 at 0, but its Jacobian is 0/0 where y = 0
        {"x * x + 1", "y", {}},       // a minimum of |F| that is not a zero
        {"1", "x", {}},
        {"exp(x)", "y", {}}, // a zero only at x → -∞
        {"x - 7", "y", {}},  // outside the region
        // A curve or an area of zeros gives one entry, anywhere on it.
        {"x * x + y * y - 4", "0", {{0, 0, "continuum"}}},
        {"x + y", "2 * x + 2 * y", {{0, 0, "continuum"}}},
        {"(x - 1) * (y + 2)", "0", {{0, 0, "continuum"}}},
        {"0", "0", {{0, 0, "continuum"}}},
        {"sin(x) * cos(y)", "(x - 1) ^ 2 * 0", {{0, 0, "continuum"}}},
        // Isolated equilibria are still listed beside a curve of them (here the line x = 0).
        {"sin(x) * cos(y)",
         "x * x * x - 3 * x * y * y",
         {{-kPi, -p, "saddle"},
          {-kPi, p, "unstable node"},
          {-q, -h, "stable node"},
          {-q, h, "saddle"},
          {0, 0, "continuum"},
          {q, -h, "saddle"},
          {q, h, "stable node"},
          {kPi, -p, "unstable node"},
          {kPi, p, "saddle"}}},
    };
    for (const auto& [fx, fy, expected] : cases) {
        const TestField field(fx, fy);
        for (bool accelerationField : {false, true}) {
            const auto found = field.analysis.Equilibria(-5, 5, -5, 5, accelerationField);
            SCOPED_TRACE(std::string(fx) + ", " + fy + (accelerationField ? " as x''" : " as x'"));
            EXPECT_EQ(found.size(), expected.size());
            for (size_t i = 0; i < std::min(found.size(), expected.size()); ++i) {
                SCOPED_TRACE(testing::Message() << "entry " << i);
                const Expected& e = expected[i];
                // For x'' = F there are fewer kinds: stable only where x' = F has a stable node.
                std::string kind = e.kind;
                if (accelerationField && kind != "degenerate" && kind != "continuum")
                    kind = kind == "stable node" ? "stable" : "unstable";
                EXPECT_EQ(KindName(found[i].kind), kind);
                if (e.kind == "continuum") { // anywhere on its curve
                    double value[2];
                    ASSERT_TRUE(field.analysis.Value(found[i].x, found[i].y, value));
                    EXPECT_LE(std::hypot(value[0], value[1]), 1e-9);
                } else {
                    EXPECT_NEAR(found[i].x, e.x, e.xTolerance);
                    EXPECT_NEAR(found[i].y, e.y, 1e-9);
                }
                Matrix2 j; // the eigenvalues given are those of the Jacobian there
                ASSERT_TRUE(field.analysis.Jacobian(found[i].x, found[i].y, j));
                const auto& l = found[i].eigenvalues;
                EXPECT_LE(std::abs(l[0] + l[1] - j.Trace()), 1e-9);
                EXPECT_LE(std::abs(l[0] * l[1] - j.Determinant()), 1e-9);
                // It comes with that Jacobian, and unit eigenvectors for real eigenvalues.
                const Matrix2& m = found[i].jacobian;
                EXPECT_LE(std::abs(m.a - j.a) + std::abs(m.b - j.b) + std::abs(m.c - j.c) +
                              std::abs(m.d - j.d),
                          1e-6);
                for (int k = 0; k < 2; ++k) {
                    const auto& v = found[i].eigenvectors[k];
                    if (l[k].imag() != 0) {
                        EXPECT_TRUE(v[0] == 0 && v[1] == 0);
                        continue;
                    }
                    const double lambda = l[k].real();
                    EXPECT_NEAR(std::hypot(v[0], v[1]), 1, 1e-12);
                    EXPECT_LE(std::hypot(m.a * v[0] + m.b * v[1] - lambda * v[0],
                                         m.c * v[0] + m.d * v[1] - lambda * v[1]),
                              1e-9 * std::max(1.0, m.Size()));
                }
            }
        }
    }
}

// Counts what the search asks of a field.
struct Counting : PlanarField
{
    explicit Counting(const PlanarField& field) : field(field) {}
    bool Value(double x, double y, double v[2]) const override
    {
        ++calls;
        return field.Value(x, y, v);
    }
    bool Jacobian(double x, double y, Matrix2& j) const override
    {
        ++calls;
        return field.Jacobian(x, y, j);
    }
    const PlanarField& field;
    mutable long calls = 0;
};

TEST(Equilibria, SearchKeepsToItsRegionAndLimits)
{
    const TestField grid("sin(2 * PI * x)", "sin(2 * PI * y)"); // 21 × 21 zeros
    const double nan = std::nan("");
    const Region notRectangles[] = {
        {5, -5, -5, 5}, {-5, 5, 5, -5}, {nan, 5, -5, 5}, {-1e308, 1e308, 0, 1}};
    for (const Region& r : notRectangles)
        EXPECT_TRUE(FindEquilibria(grid.analysis, r, false).empty());
    EXPECT_EQ(FindEquilibria(grid.analysis, {0, 0, 0, 0}, false).size(), 1u);

    // No zero anywhere: every start runs until it gives up.
    const TestField noZero("x * x + 1", "sin(3 * y)");
    for (long budget : {0L, 1L, 100L, 5000L, SearchLimits().maxEvaluations}) {
        const Counting field(noZero.analysis);
        SearchLimits limits;
        limits.maxEvaluations = budget;
        EXPECT_TRUE(FindEquilibria(field, {-5, 5, -5, 5}, false, limits).empty());
        EXPECT_LE(field.calls, budget);
    }
    // At most the entries allowed, those nearest the centre (100 fit in a radius of about 2.9).
    const auto found = grid.analysis.Equilibria(-5, 5, -5, 5, false);
    EXPECT_EQ(found.size(), 100u);
    for (const Equilibrium& e : found)
        EXPECT_LT(std::hypot(e.x, e.y), 3.2) << e.x << ", " << e.y;
    SearchLimits none;
    none.maxEntries = 0;
    EXPECT_TRUE(FindEquilibria(grid.analysis, {-5, 5, -5, 5}, false, none).empty());
}

} // namespace
