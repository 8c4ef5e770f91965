// Kinds and eigenvalues from a Jacobian, for velocity and acceleration fields.

#include "classification.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

// The tolerances are relative: every case keeps its kinds, and its eigenvalues scale, in any unit.
TEST(Classification, KindsAndEigenvaluesInAnyUnit)
{
    const struct
    {
        Matrix2 jacobian;
        const char* velocity;
        const char* acceleration;
        std::complex<double> eigenvalues[2];
    } cases[] = {
        {{1, 0, 0, -1}, "saddle", "unstable", {1.0, -1.0}},
        {{0, 1, -1, 0}, "centre", "unstable", {{0, 1}, {0, -1}}},
        {{0, 2, -0.5, 0}, "centre", "unstable", {{0, 1}, {0, -1}}},
        {{-1, 0, 0, -2}, "stable node", "stable", {-1.0, -2.0}},
        {{2, 0, 0, 1}, "unstable node", "unstable", {2.0, 1.0}},
        {{1, 0, 0, 1}, "unstable node", "unstable", {1.0, 1.0}}, // star: τ² = 4Δ
        {{-1, 1, 0, -1}, "stable node", "stable", {-1.0, -1.0}}, // one eigenvector only
        {{-1, 1, -1, -1}, "stable spiral", "unstable", {{-1, 1}, {-1, -1}}},
        {{1, 1, -1, 1}, "unstable spiral", "unstable", {{1, 1}, {1, -1}}},
        {{-2, 1, 1, -2}, "stable node", "stable", {-1.0, -3.0}}, // symmetric: oscillations
        {{1, 1, 1, 1}, "degenerate", "degenerate", {2.0, 0.0}},
        {{0, 0, 0, -1}, "degenerate", "degenerate", {0.0, -1.0}},
        {{0, 1, 0, 0}, "degenerate", "degenerate", {0.0, 0.0}},
        {{0, 0, 0, 0}, "degenerate", "degenerate", {0.0, 0.0}},
        {{1e-20, 0, 0, 1}, "degenerate", "degenerate", {1.0, 1e-20}}, // Δ ≈ 0 relative to the size
        {{1e-6, 0, 0, -1}, "saddle", "unstable", {1e-6, -1.0}},       // small, yet not ≈ 0
        // Eigenvalues of very different sizes: the small one keeps its precision.
        {{1e8, 0, 0, 1e-8}, "degenerate", "degenerate", {1e8, 1e-8}},
        {{-1e8, 1, 0, -1e-8}, "degenerate", "degenerate", {-1e-8, -1e8}},
    };
    for (const auto& c : cases) {
        for (double unit : {1.0, 1e-300, 1e-9, 1e9, 1e300}) {
            const Matrix2& m = c.jacobian;
            const Matrix2 scaled{m.a * unit, m.b * unit, m.c * unit, m.d * unit};
            SCOPED_TRACE(testing::Message() << "[[" << scaled.a << ", " << scaled.b << "], ["
                                            << scaled.c << ", " << scaled.d << "]]");
            EXPECT_STREQ(VelocityKind(scaled), c.velocity);
            EXPECT_STREQ(AccelerationKind(scaled), c.acceleration);
            const auto l = Eigenvalues(scaled);
            for (int i : {0, 1}) {
                const std::complex<double> expected = c.eigenvalues[i] * unit;
                EXPECT_LE(std::abs(l[i] - expected), 1e-12 * std::abs(expected)) << l[i];
            }
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

// Sum and product of the eigenvalues are trace and determinant; real ones come largest first,
// complex ones with the positive imaginary part first.
TEST(Classification, EigenvaluesOfRandomMatricesHaveTheirTraceAndDeterminant)
{
    std::mt19937 random(14);
    std::uniform_real_distribution<double> entry(-3, 3);
    for (int i = 0; i < 2000; ++i) {
        const Matrix2 m{entry(random), entry(random), entry(random), entry(random)};
        const auto l = Eigenvalues(m);
        EXPECT_LE(std::abs(l[0] + l[1] - m.Trace()), 1e-12);
        EXPECT_LE(std::abs(l[0] * l[1] - m.Determinant()), 1e-11);
        if (l[0].imag() == 0) {
            EXPECT_EQ(l[1].imag(), 0);
            EXPECT_GE(l[0].real(), l[1].real());
        } else {
            EXPECT_GT(l[0].imag(), 0);
            EXPECT_EQ(l[1], std::conj(l[0]));
        }
    }
}

} // namespace
