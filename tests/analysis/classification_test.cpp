// Kinds and eigenvalues from a Jacobian, for velocity and acceleration fields.

#include "classification.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

namespace {

// The tolerances are relative: every case keeps its kinds, and its eigenvalues scale, in any unit.
TEST(Classification, KindsAndEigenvaluesInAnyUnit)
{
    // A Jacobian, its kinds for x' = F and x'' = F, its eigenvalues.
    const std::tuple<Matrix2, const char*, const char*, std::complex<double>, std::complex<double>>
        cases[] = {
            {{0, 1, -1, 0}, "centre", "unstable", {0, 1}, {0, -1}},
            {{1, 0, 0, 1}, "unstable node", "unstable", 1.0, 1.0}, // star: τ² = 4Δ
            {{-1, 1, 0, -1}, "stable node", "stable", -1.0, -1.0}, // one eigenvector only
            {{-1, 1, -1, -1}, "stable spiral", "unstable", {-1, 1}, {-1, -1}},
            {{-2, 1, 1, -2}, "stable node", "stable", -1.0, -3.0}, // symmetric: oscillations
            {{1, 1, 1, 1}, "degenerate", "degenerate", 2.0, 0.0},
            {{0, 1, 0, 0}, "degenerate", "degenerate", 0.0, 0.0},
            {{0, 0, 0, 0}, "degenerate", "degenerate", 0.0, 0.0},
            {{1e-20, 0, 0, 1}, "degenerate", "degenerate", 1.0, 1e-20}, // Δ ≈ 0 for its size
            {{1e-6, 0, 0, -1}, "saddle", "unstable", 1e-6, -1.0},       // small, yet not ≈ 0
            // Eigenvalues of very different sizes: the small one keeps its precision.
            {{1e8, 0, 0, 1e-8}, "degenerate", "degenerate", 1e8, 1e-8},
            {{-1e8, 1, 0, -1e-8}, "degenerate", "degenerate", -1e-8, -1e8},
        };
    for (const auto& c : cases) {
        const auto& [m, velocity, acceleration, first, second] = c;
        for (double unit : {1.0, 1e-300, 1e-9, 1e9, 1e300}) {
            const Matrix2 scaled{m.a * unit, m.b * unit, m.c * unit, m.d * unit};
            SCOPED_TRACE(testing::Message() << "case " << &c - cases << ", unit " << unit);
            EXPECT_STREQ(VelocityKind(scaled), velocity);
            EXPECT_STREQ(AccelerationKind(scaled), acceleration);
            const auto l = Eigenvalues(scaled);
            EXPECT_LE(std::abs(l[0] - first * unit), 1e-12 * std::abs(first * unit)) << l[0];
            EXPECT_LE(std::abs(l[1] - second * unit), 1e-12 * std::abs(second * unit)) << l[1];
        }
    }
}

// The names users read in the panel and beside the markers, one per kind.
TEST(Classification, KindNames)
{
    const std::pair<EquilibriumKind, const char*> names[] = {
        {EquilibriumKind::Saddle, "saddle"},
        {EquilibriumKind::Degenerate, "degenerate"},
        {EquilibriumKind::Centre, "centre"},
        {EquilibriumKind::StableNode, "stable node"},
        {EquilibriumKind::UnstableNode, "unstable node"},
        {EquilibriumKind::StableSpiral, "stable spiral"},
        {EquilibriumKind::UnstableSpiral, "unstable spiral"},
        {EquilibriumKind::Stable, "stable"},
        {EquilibriumKind::Unstable, "unstable"},
        {EquilibriumKind::Continuum, kContinuumKind},
    };
    for (const auto& [kind, name] : names)
        EXPECT_STREQ(KindName(kind), name);
    EXPECT_STREQ(kContinuumKind, "continuum");
}

// m v = λ v with |v| = 1, for matrices whose rows vanish in either order or altogether.
TEST(Classification, EigenvectorsSolveTheirEquation)
{
    const Matrix2 matrices[] = {
        {-2, 0, 0, 1}, {1, 2, 3, -4}, {0, 1, 1, 0}, {2, 0, 5, -3}, {0, 4, 0, -1}, {3, 0, 0, 3},
    };
    for (const Matrix2& m : matrices) {
        for (const auto& lambda : Eigenvalues(m)) {
            const auto v = Eigenvector(m, lambda.real());
            EXPECT_NEAR(std::hypot(v[0], v[1]), 1, 1e-12);
            const double rx = m.a * v[0] + m.b * v[1] - lambda.real() * v[0];
            const double ry = m.c * v[0] + m.d * v[1] - lambda.real() * v[1];
            EXPECT_LT(std::hypot(rx, ry), 1e-9) << m.a << " " << m.b << " " << m.c << " " << m.d;
        }
    }
}

// Eigenvalues beyond the largest double saturate instead of becoming infinite.
TEST(Classification, EigenvaluesSaturate)
{
    const double big = std::numeric_limits<double>::max();
    const auto l = Eigenvalues({big, big, big, big});
    EXPECT_EQ(l[0].real(), big);
    EXPECT_EQ(l[1].real(), 0);
    EXPECT_STREQ(VelocityKind({big, big, big, big}), "degenerate");
    EXPECT_STREQ(VelocityKind({big, -big, big, big}), "unstable spiral");
}

} // namespace
