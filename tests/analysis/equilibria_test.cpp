// Equilibria: where they are, how many, of which kind, proven in how small a box; curves of
// them; none; failing points; what the search promises when it says it is complete.

#include "analysis_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <sstream>
#include <string>
#include <tuple>

namespace {

constexpr double kPi = 3.141592653589793;

struct Expected
{
    double x, y;
    std::string kind;              // for x' = F
    double xTolerance = 1e-9;      // for entries not proven
    std::string acceleration = {}; // for x'' = F, where not "stable" for a stable node and so on
};

// The kind for x'' = F that the kind for x' = F implies when nothing else is said: stable only
// where x' = F has a stable node, which takes two eigenvectors.
std::string AccelerationKindOf(const Expected& e)
{
    if (!e.acceleration.empty()) return e.acceleration;
    if (e.kind == "degenerate" || e.kind == "continuum") return e.kind;
    return e.kind == "stable node" ? "stable" : "unstable";
}

// Whether the square of `e` holds (x, y), allowing for the rounding of expected values computed
// in doubles.
bool Holds(const Equilibrium& e, double x, double y)
{
    const double slack = 4e-16 * std::max({1.0, std::fabs(x), std::fabs(y)});
    return std::fabs(e.x - x) <= e.radius + slack && std::fabs(e.y - y) <= e.radius + slack;
}

std::string Listing(const std::vector<Equilibrium>& entries)
{
    std::ostringstream out;
    out.precision(17);
    for (const Equilibrium& e : entries)
        out << "(" << e.x << ", " << e.y << ") " << KindName(e.kind) << (e.proven ? "" : "?")
            << " ± " << e.radius << "\n";
    return out.str();
}

TEST(Equilibria, FoundWhereTheyAreWithTheirKinds)
{
    const double p = kPi / std::sqrt(3.0), q = kPi * std::sqrt(3.0) / 2, h = kPi / 2;
    std::vector<Expected> sine; // zeros every half unit, the border ones included
    for (int k = -10; k <= 10; ++k)
        sine.push_back({k / 2.0, 0, k % 2 == 0 ? "unstable node" : "saddle"});
    // Exactly these equilibria over -5 … 5, in this order; first linear fields of every kind.
    const std::tuple<const char*, const char*, std::vector<Expected>> cases[] = {
        {"y - 1", "1 - x", {{1, 1, "centre"}}},
        // One eigenvector only: x'' = F grows like t cos t about it.
        {"y - x", "0 - y", {{0, 0, "stable node", 1e-9, "unstable"}}},
        {"x - 2", "2 * y + 3", {{2, -1.5, "unstable node"}}},
        {"x + y", "y - x - 4", {{-2, 2, "unstable spiral"}}},
        // A pendulum (hanging down is a centre, standing up a saddle), two species competing.
        {"y", "NEG(sin(x))", {{-kPi, 0, "saddle"}, {0, 0, "centre"}, {kPi, 0, "saddle"}}},
        {"x * (3 - x - 2 * y)",
         "y * (2 - x - y)",
         {{0, 0, "unstable node"}, {0, 2, "stable node"}, {1, 1, "saddle"}, {3, 0, "stable node"}}},
        // Close zeros stay apart; a zero of multiplicity 8 is one.
        {"x * x - 0.00000025", "y", {{-0.0005, 0, "saddle"}, {0.0005, 0, "unstable node"}}},
        {"(x - 1) ^ 8", "y", {{1, 0, "degenerate"}}},
        // Rounding blurs an expanded triple zero over about 1e-5, and x^60 underflows below
        // 7e-6; each is still one.
        {"x ^ 3 - 3 * x ^ 2 + 3 * x - 1", "y", {{1, 0, "degenerate", 1e-4}}},
        {"x ^ 60", "y", {{0, 0, "degenerate", 1e-5}}},
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
            ASSERT_EQ(found.size(), expected.size()) << Listing(found);
            for (size_t i = 0; i < found.size(); ++i) {
                SCOPED_TRACE(testing::Message() << "entry " << i);
                const Expected& e = expected[i];
                EXPECT_EQ(KindName(found[i].kind),
                          accelerationField ? AccelerationKindOf(e) : e.kind);
                // Proven exactly where a simple zero is, and then in a box of a few units in the
                // last place.
                const bool simple = e.kind != "degenerate" && e.kind != "continuum";
                EXPECT_EQ(found[i].proven, simple);
                if (e.kind == "continuum") { // anywhere on its curve
                    double value[2];
                    ASSERT_TRUE(field.analysis.Value(found[i].x, found[i].y, value));
                    EXPECT_LE(std::hypot(value[0], value[1]), 1e-9);
                } else if (simple) {
                    EXPECT_TRUE(Holds(found[i], e.x, e.y)) << Listing(found);
                    EXPECT_LE(found[i].radius, 1e-14);
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

// One expected entry of a search: where, what kind, whether proven simple.
struct Entry
{
    double x, y;
    const char* kind;
    bool proven;
};

struct Case
{
    const char* fx;
    const char* fy;
    FieldKind kind;
    Region region;
    std::vector<Entry> entries;
    bool complete;
};

// The search as the analysis runs it, its entries against the expected ones: same kinds and
// order, each expected point inside its entry's square.
void ExpectSearch(const Case& c)
{
    const TestField field(c.fx, c.fy);
    const EquilibriumSearch search = field.analysis.FindEquilibria(c.region, c.kind);
    SCOPED_TRACE(std::string("F = (") + c.fx + ", " + c.fy + ")");
    EXPECT_EQ(search.complete, c.complete);
    ASSERT_EQ(search.entries.size(), c.entries.size()) << Listing(search.entries);
    for (std::size_t i = 0; i < c.entries.size(); ++i) {
        const Entry& e = c.entries[i];
        const Equilibrium& found = search.entries[i];
        EXPECT_STREQ(KindName(found.kind), e.kind) << "entry " << i;
        EXPECT_EQ(found.proven, e.proven) << "entry " << i;
        EXPECT_TRUE(Holds(found, e.x, e.y)) << Listing(search.entries);
        EXPECT_TRUE(c.region.Contains(found.x, found.y));
    }
}

const Region kSquare{-5, 5, -5, 5};

// The faults of the search that sampled the field on a grid and started Newton there, by class.
TEST(Equilibria, FaultsOfASampledSearch)
{
    const FieldKind v = FieldKind::Velocity;
    const Case cases[] = {
        // False zeros: a field with a large range, a minimum that is not quite zero.
        {"exp(20*x) - 1", "y", v, kSquare, {{0, 0, "unstable node", true}}, true},
        {"x*x + 1e-7", "y", v, kSquare, {}, true},
        // Kinds: a Jacobian exactly 0 (z², a double zero), badly scaled and huge linear fields,
        // a centre of the linear terms that the cubic ones make an unstable spiral.
        {"x*x - y*y", "2*x*y", v, kSquare, {{0, 0, "degenerate", false}}, true},
        {"x + 20000*y", "y", v, kSquare, {{0, 0, "unstable node", true}}, true},
        {"1e200*(x - 1)", "y", v, kSquare, {{1, 0, "unstable node", true}}, true},
        {"-y + x*(x^2 + y^2)",
         "x + y*(x^2 + y^2)",
         v,
         kSquare,
         {{0, 0, "unstable spiral", true}},
         true},
        // A repeated negative eigenvalue with one eigenvector: x'' = Jx grows like t cos t.
        {"-x + y", "-y", FieldKind::Acceleration, kSquare, {{0, 0, "unstable", true}}, true},
        // Counting: one continuum however its curves cross; a multiple zero once; a simple zero
        // beside a double one; 51 zeros 0.2 apart.
        {"x*y", "0", v, kSquare, {{0, 0, "continuum", false}}, true},
        {"x^3 - 3*x^2 + 3*x - 1", "y^3", v, kSquare, {{1, 0, "degenerate", false}}, true},
        {"x*x*(x - 0.01)",
         "y",
         v,
         kSquare,
         {{0, 0, "degenerate", false}, {0.01, 0, "unstable node", true}},
         true},
        // Jumps refused: a conditional without a comparison, a power of a base that is
        // negative somewhere; a zero where the Jacobian is infinite or 0/0 is not listed.
        {"y ? x : 0 - x", "y", v, kSquare, {}, false},
        {"x^2.5", "y", v, kSquare, {}, false},
        {"x^2.5", "y", v, {1, 5, -1, 1}, {}, true},
        {"sqrt(x)", "y", v, kSquare, {}, false},
        {"x + sqrt(y^4)", "y", v, kSquare, {}, false},
        // Poles of tan stay undecided (its enclosure there is the whole line); its zeros are
        // proven.
        {"tan(x)",
         "-y",
         v,
         kSquare,
         {{-kPi, 0, "saddle", true}, {0, 0, "saddle", true}, {kPi, 0, "saddle", true}},
         false},
        // A region of one point: a zero exactly there or none.
        {"x - 1e-10", "y", v, {0, 0, 0, 0}, {}, true},
        {"x - 1e-10", "y", v, {1e-10, 1e-10, 0, 0}, {{1e-10, 0, "unstable node", true}}, true},
    };
    for (const Case& c : cases)
        ExpectSearch(c);

    // sin(16 x): all 51 zeros, each proven.
    const TestField sine("sin(16*x)", "y");
    const EquilibriumSearch found = sine.analysis.FindEquilibria(kSquare, FieldKind::Velocity);
    EXPECT_TRUE(found.complete);
    ASSERT_EQ(found.entries.size(), 51u);
    for (int k = -25; k <= 25; ++k)
        EXPECT_TRUE(Holds(found.entries[std::size_t(k + 25)], k * kPi / 16, 0)) << k;
}

// Zeros placed at 1e-200 … 1e200 over regions of their size, and fields scaled as much, come
// out proven with boxes of a few units in the last place of their coordinates.
TEST(Equilibria, ZerosAtManyScales)
{
    for (double scale : {1e-200, 1e-100, 1e-8, 1.0, 1e8, 1e100, 1e200}) {
        std::ostringstream s, r;
        s.precision(17);
        r.precision(17);
        s << scale;
        r << 1 / scale;
        const std::string k = s.str(), inverse = r.str();
        // Two zeros of a quadratic, and a circle crossing a line, where their squares are
        // doubles; the same scaled back to F of order 1 everywhere.
        const bool squares = scale > 1e-150 && scale < 1e150;
        const std::tuple<std::string, std::string, std::vector<std::array<double, 2>>> fields[] = {
            {"x*x - 4*" + k + "*" + k, "y + " + k, {{-2 * scale, -scale}, {2 * scale, -scale}}},
            {"x*x + y*y - 9*" + k + "*" + k,
             "x - y",
             {{-3 * scale / std::sqrt(2.0), -3 * scale / std::sqrt(2.0)},
              {3 * scale / std::sqrt(2.0), 3 * scale / std::sqrt(2.0)}}},
            {"(x*" + inverse + " - 1) * (x*" + inverse + " + 1)",
             "y*" + inverse + " - 0.5",
             {{-scale, 0.5 * scale}, {scale, 0.5 * scale}}},
        };
        for (const auto& [fx, fy, zeros] : fields) {
            if (!squares && &fx != &std::get<0>(fields[2])) continue;
            SCOPED_TRACE(fx + ", " + fy);
            const TestField field(fx.c_str(), fy.c_str());
            const Region region{-5 * scale, 5 * scale, -5 * scale, 5 * scale};
            const EquilibriumSearch search =
                field.analysis.FindEquilibria(region, FieldKind::Velocity);
            EXPECT_TRUE(search.complete);
            ASSERT_EQ(search.entries.size(), zeros.size()) << Listing(search.entries);
            for (std::size_t i = 0; i < zeros.size(); ++i) {
                const Equilibrium& e = search.entries[i];
                EXPECT_TRUE(e.proven);
                EXPECT_TRUE(Holds(e, zeros[i][0], zeros[i][1])) << Listing(search.entries);
                EXPECT_LE(e.radius, 1e-14 * scale);
            }
        }
    }
}

// Linear fields of every kind, scaled by 1e-200 … 1e200: the kinds do not change, for x' = F
// and for x'' = F.
TEST(Equilibria, LinearKindsAtAnyScale)
{
    // Fx, Fy (of x and y, to be scaled) and the kinds.
    const std::tuple<const char*, const char*, const char*, const char*> fields[] = {
        {"x", "-y", "saddle", "unstable"},
        {"y", "-x", "centre", "unstable"},
        {"-x + y", "-y", "stable node", "unstable"}, // one eigenvector
        {"-2*x + y", "x - 2*y", "stable node", "stable"},
        {"-x", "-y", "stable node", "stable"},
        {"x + 20000*y", "y", "unstable node", "unstable"},
        {"-x + y", "-x - y", "stable spiral", "unstable"},
        {"x - 3*y", "3*x + y", "unstable spiral", "unstable"},
        {"x + y", "2*x + 2*y", "continuum", "continuum"},
        {"0.001*x", "1000*y", "unstable node", "unstable"},
    };
    for (double scale : {1e-200, 1e-100, 1e-10, 1.0, 1e10, 1e100, 1e200}) {
        for (const auto& [fx, fy, velocity, acceleration] : fields) {
            std::ostringstream sx, sy;
            sx.precision(17);
            sy.precision(17);
            sx << scale << " * (" << fx << ")";
            sy << scale << " * (" << fy << ")";
            SCOPED_TRACE(sx.str() + ", " + sy.str());
            const TestField field(sx.str().c_str(), sy.str().c_str());
            for (bool accelerationField : {false, true}) {
                const auto found = field.analysis.Equilibria(-5, 5, -5, 5, accelerationField);
                ASSERT_EQ(found.size(), 1u);
                EXPECT_STREQ(KindName(found[0].kind), accelerationField ? acceleration : velocity);
            }
        }
    }
}

// The quadratic form that the linear part x' = Jx (trace 0, determinant > 0) keeps constant:
// c x² - (a - d) x y - b y².
double LinearInvariant(const Matrix2& j, double x, double y)
{
    return j.c * x * x - (j.a - j.d) * x * y - j.b * y * y;
}

// Where the linear terms see a centre, the first Lyapunov coefficient decides, and the flow
// agrees: followed for a hundred turns from near the equilibrium, the linear part's invariant
// grows about an unstable spiral and shrinks about a stable one. Quadratic terms, cubic ones and
// a Jacobian that is not normal all take part.
TEST(Equilibria, WeakSpiralsAgreeWithTheFlow)
{
    const std::tuple<const char*, const char*, const char*> fields[] = {
        {"-y + x*(x^2 + y^2)", "x + y*(x^2 + y^2)", "unstable spiral"},
        {"-y - x^3", "x - y^3", "stable spiral"},
        {"y", "-x - x*x*y", "stable spiral"},
        {"y", "-x + x*x*y", "unstable spiral"},
        {"-y + x*x - x*y", "x + 0.5*x*y + y*y", "stable spiral"},
        {"-3*y + x*y - x*x*x", "x/3 + y*y*x", "stable spiral"},
        {"2*y - x*x + x*y", "-x/2 + 3*x*y + y*y*y", ""},
        {"y + x*y", "-4*x + x*x + 0.3*y*y*y", ""},
    };
    for (const auto& [fx, fy, kind] : fields) {
        SCOPED_TRACE(std::string(fx) + ", " + fy);
        const TestField field(fx, fy);
        const auto found = field.analysis.Equilibria(-1, 1, -1, 1, false);
        const auto origin = std::find_if(found.begin(), found.end(),
                                         [](const Equilibrium& e) { return e.x == 0 && e.y == 0; });
        ASSERT_NE(origin, found.end()) << Listing(found);
        const std::string name = KindName(origin->kind);
        if (*kind) {
            EXPECT_EQ(name, kind);
        }
        ASSERT_TRUE(name == "stable spiral" || name == "unstable spiral");
        const Matrix2& j = origin->jacobian;
        const double omega = std::sqrt(j.Determinant());
        const Trajectory t = field.analysis.Solve(0.05, 0, 100 * 2 * kPi / omega, -1, 1, -1, 1);
        ASSERT_TRUE(t.end == Trajectory::End::TimeLimit || t.end == Trajectory::End::LeftRegion);
        const double ratio =
            LinearInvariant(j, t.x.back(), t.y.back()) / LinearInvariant(j, t.x[0], t.y[0]);
        EXPECT_GT(name == "unstable spiral" ? ratio : 1 / ratio, 1.2) << ratio;
    }
    // Centres of the whole field (the pendulum, a Hamiltonian cubic) stay centres: third order
    // cannot tell them from weak spirals.
    for (const auto& [fx, fy] :
         {std::pair{"y", "-sin(x)"}, {"y", "-x - x^2"}, {"y - 1", "1 - x"}}) {
        const TestField field(fx, fy);
        const auto found = field.analysis.Equilibria(-0.5, 1.5, -0.5, 1.5, false);
        ASSERT_EQ(found.size(), 1u) << fx << ", " << fy;
        EXPECT_STREQ(KindName(found[0].kind), "centre") << fx << ", " << fy;
    }
}

// Complete means that every zero in the region lies in an entry's square: with continua and
// multiple zeros among the entries too. It is false only where time ran out, the list was cut,
// or some part of the region stayed undecided and unlisted.
TEST(Equilibria, CompleteOnlyWhenEveryZeroIsListed)
{
    // Fields with known zero sets, as curves over s in 0 … 1, sampled: each point must lie in an
    // entry's square.
    using Curve = std::array<double, 2> (*)(double);
    const Curve xAxis = [](double s) { return std::array{10 * s - 5, 0.0}; };
    const Curve yAxis = [](double s) { return std::array{0.0, 10 * s - 5}; };
    const Curve circle = [](double s) {
        return std::array{2 * std::cos(2 * kPi * s), 2 * std::sin(2 * kPi * s)};
    };
    const Curve one = [](double) { return std::array{1.0, 0.0}; };
    const Curve origin = [](double) { return std::array{0.0, 0.0}; };
    const std::tuple<const char*, const char*, Curve> known[] = {
        {"x*y", "0", xAxis},
        {"x*y", "0", yAxis},
        {"x*x + y*y - 4", "0", circle},
        {"(x - 1)^3", "y*y", one},
        {"x*x - y*y", "2*x*y", origin},
        {"sin(x) * cos(y)", "x*x*x - 3*x*y*y", yAxis},
    };
    for (const auto& [fx, fy, zeros] : known) {
        SCOPED_TRACE(std::string(fx) + ", " + fy);
        const TestField field(fx, fy);
        const EquilibriumSearch search =
            field.analysis.FindEquilibria(kSquare, FieldKind::Velocity);
        EXPECT_TRUE(search.complete);
        for (int i = 0; i <= 200; ++i) {
            const auto [x, y] = zeros(i / 200.0);
            EXPECT_TRUE(
                std::any_of(search.entries.begin(), search.entries.end(),
                            [x = x, y = y](const Equilibrium& e) { return Holds(e, x, y); }))
                << x << ", " << y << "\n"
                << Listing(search.entries);
        }
    }
}

// Counts what the search asks of the field.
struct Counting : FieldEnclosure
{
    explicit Counting(std::unique_ptr<FieldEnclosure> field) : field(std::move(field)) {}
    void Value(const Box& box, Interval value[2], bool* mayFail) override
    {
        ++calls;
        field->Value(box, value, mayFail);
    }
    bool Jacobian(const Box& box, IntervalMatrix2& jacobian) override
    {
        ++calls;
        return field->Jacobian(box, jacobian);
    }
    bool Derivatives(const Box& box, HigherDerivatives& derivatives) override
    {
        ++calls;
        return field->Derivatives(box, derivatives);
    }
    std::unique_ptr<FieldEnclosure> field;
    long calls = 0;
};

TEST(Equilibria, SearchKeepsToItsRegionAndLimits)
{
    const TestField grid("sin(2 * PI * x)", "sin(2 * PI * y)"); // 21 × 21 zeros
    const double nan = std::nan("");
    // Reversed: no point, so no zero, and that is all there is to know.
    using Gap = EquilibriumSearch::Gap;
    for (const Region& r : {Region{5, -5, -5, 5}, Region{-5, 5, 5, -5}}) {
        const EquilibriumSearch search = grid.analysis.FindEquilibria(r, FieldKind::Velocity);
        EXPECT_TRUE(search.entries.empty() && search.complete && search.gap == Gap::None);
    }
    // Not finite: not searched.
    for (const Region& r : {Region{nan, 5, -5, 5}, Region{-1e308, 1e308, 0, 1}}) {
        const EquilibriumSearch search = grid.analysis.FindEquilibria(r, FieldKind::Velocity);
        EXPECT_TRUE(search.entries.empty() && !search.complete && search.gap == Gap::NotSearched);
    }
    EXPECT_EQ(FindEquilibria(grid.analysis, {0, 0, 0, 0}, false).size(), 1u);
    EXPECT_EQ(FindEquilibria(grid.analysis, {0.25, 0.25, -1, 1}, false).size(), 0u);

    // A budget of evaluations is kept, and a search cut short says so.
    for (long budget : {0L, 1L, 100L, 5000L}) {
        Counting field(grid.analysis.Enclosure());
        SearchLimits limits;
        limits.maxEvaluations = budget;
        const EquilibriumSearch search =
            FindEquilibria(field, kSquare, FieldKind::Velocity, limits);
        EXPECT_FALSE(search.complete);
        EXPECT_LE(field.calls, budget + 1); // the one that finds the budget spent
        for (const Equilibrium& e : search.entries)
            EXPECT_TRUE(e.proven);
    }
    // So does one without time, or cancelled.
    SearchLimits noTime;
    noTime.seconds = 0;
    EXPECT_EQ(grid.analysis.FindEquilibria(kSquare, FieldKind::Velocity, noTime).gap, Gap::Stopped);
    std::atomic<bool> cancelled{true};
    SearchLimits cancelling;
    cancelling.cancelled = &cancelled;
    const EquilibriumSearch stopped =
        grid.analysis.FindEquilibria(kSquare, FieldKind::Velocity, cancelling);
    EXPECT_TRUE(!stopped.complete && stopped.gap == Gap::Stopped);

    // At most the entries allowed, those nearest the centre (100 fit in a radius of about 2.9);
    // the list is then not complete.
    const EquilibriumSearch cut = grid.analysis.FindEquilibria(kSquare, FieldKind::Velocity);
    EXPECT_EQ(cut.entries.size(), 100u);
    EXPECT_TRUE(!cut.complete && cut.gap == Gap::TooMany);
    for (const Equilibrium& e : cut.entries)
        EXPECT_LT(std::hypot(e.x, e.y), 3.2) << e.x << ", " << e.y;
    SearchLimits more;
    more.maxEntries = 441;
    const EquilibriumSearch all = grid.analysis.FindEquilibria(kSquare, FieldKind::Velocity, more);
    EXPECT_EQ(all.entries.size(), 441u);
    EXPECT_TRUE(all.complete);
    SearchLimits none;
    none.maxEntries = 0;
    EXPECT_TRUE(FindEquilibria(grid.analysis, {-5, 5, -5, 5}, false, none).empty());
}

} // namespace
