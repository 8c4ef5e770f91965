// Kinds and eigenvalues from a Jacobian, for velocity and acceleration fields.

#include "classification.h"
#include "lyapunov.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

namespace {

// Every case keeps its kinds, and its eigenvalues scale, in any unit. The kinds need no tolerance:
// they come from the signs of the exact determinant, trace and discriminant.
TEST(Classification, KindsAndEigenvaluesInAnyUnit)
{
    // A Jacobian, its kinds for x' = F and x'' = F, its eigenvalues.
    const std::tuple<Matrix2, const char*, const char*, std::complex<double>, std::complex<double>>
        cases[] = {
            {{0, 1, -1, 0}, "centre", "unstable", {0, 1}, {0, -1}},
            {{1, 0, 0, 1}, "unstable node", "unstable", 1.0, 1.0}, // star: τ² = 4Δ
            // One eigenvector only: x'' = Jx grows like t cos t (it was called "stable").
            {{-1, 1, 0, -1}, "stable node", "unstable", -1.0, -1.0},
            {{-1, 0, 0, -1}, "stable node", "stable", -1.0, -1.0}, // two: it oscillates
            {{-1, 1, -1, -1}, "stable spiral", "unstable", {-1, 1}, {-1, -1}},
            {{-2, 1, 1, -2}, "stable node", "stable", -1.0, -3.0}, // symmetric: oscillations
            {{1, 1, 1, 1}, "degenerate", "degenerate", 2.0, 0.0},
            {{0, 1, 0, 0}, "degenerate", "degenerate", 0.0, 0.0},
            {{0, 0, 0, 0}, "degenerate", "degenerate", 0.0, 0.0},
            // Small eigenvalues beside large ones are not 0: Δ > 0 exactly (these were called
            // "degenerate" while a tolerance relative to the largest entry decided).
            {{1e-20, 0, 0, 1}, "unstable node", "unstable", 1.0, 1e-20},
            {{1e-6, 0, 0, -1}, "saddle", "unstable", 1e-6, -1.0},
            // Eigenvalues of very different sizes: the small one keeps its precision.
            {{1e8, 0, 0, 1e-8}, "unstable node", "unstable", 1e8, 1e-8},
            {{-1e8, 1, 0, -1e-8}, "stable node", "stable", -1e-8, -1e8},
            {{1, 20000, 0, 1}, "unstable node", "unstable", 1.0, 1.0}, // improper: τ² = 4Δ
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

Interval Around(double value, double radius)
{
    return {value - radius, value + radius};
}

// That `found` is positive, negative or holds 0 as `sign` is.
void ExpectSign(const Interval& found, double sign)
{
    if (sign > 0) {
        EXPECT_GT(found.lo, 0);
    } else if (sign < 0) {
        EXPECT_LT(found.hi, 0);
    } else {
        EXPECT_TRUE(found.lo <= 0 && found.hi >= 0) << found.lo << " " << found.hi;
    }
}

// Kinds decided by the signs of enclosures, and only where those are decided. A Jacobian is
// known up to a box of width `w` here; the cases sit at the edges of what that decides.
TEST(Classification, KindsFromEnclosures)
{
    const double w = 1e-9;
    const Interval zero{0, 0}, one{1, 1}, minusOne{-1, -1};
    const Interval unknown = kWholeLine;
    const Interval negative{-2, -1}, positive{1, 2}, eitherSign{-1, 1};
    // A Jacobian enclosure, the first Lyapunov coefficient's, the kinds for x' = F and x'' = F.
    const std::tuple<IntervalMatrix2, Interval, const char*, const char*> cases[] = {
        // The determinant holds 0: an eigenvalue may be zero.
        {{Around(0, w), zero, zero, one}, unknown, "degenerate", "degenerate"},
        {{one, one, Around(1, w), one}, unknown, "degenerate", "degenerate"},
        // Its sign decided: a saddle however wide the rest.
        {{Around(1, 0.5), Around(0, 3), zero, Around(-1, 0.5)}, unknown, "saddle", "unstable"},
        // Trace decided, discriminant holding 0: a node, whichever side the truth is on; for
        // x'' = F it may be two negative eigenvalues, a defective one or a complex pair.
        {{minusOne, Around(0, w), one, minusOne}, unknown, "stable node", "degenerate"},
        {{one, Around(0, w), one, one}, unknown, "unstable node", "unstable"},
        // Trace holding 0 with a complex pair: the Lyapunov coefficient decides.
        {{Around(0, w), one, minusOne, Around(0, w)}, negative, "stable spiral", "unstable"},
        {{Around(0, w), one, minusOne, Around(0, w)}, positive, "unstable spiral", "unstable"},
        {{Around(0, w), one, minusOne, Around(0, w)}, eitherSign, "centre", "unstable"},
        {{Around(0, w), one, minusOne, Around(0, w)}, unknown, "centre", "unstable"},
        // Trace holding 0 and real eigenvalues of one sign: nothing decides.
        {{Around(0, 0.1), zero, zero, Around(1e-3, 0.1)}, unknown, "degenerate", "degenerate"},
        {{Around(0.05, 0.1), zero, zero, Around(0.5, 0.1)}, unknown, "degenerate", "degenerate"},
        // x'' = F with a repeated eigenvalue: λI exactly, defective exactly, or undecided.
        {{minusOne, zero, zero, minusOne}, unknown, "stable node", "stable"},
        {{minusOne, zero, one, minusOne}, unknown, "stable node", "unstable"},
        {{minusOne, zero, Around(0, w), minusOne}, unknown, "stable node", "degenerate"},
    };
    for (const auto& [m, lyapunov, velocity, acceleration] : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &m - &std::get<0>(cases[0]));
        EXPECT_STREQ(KindName(VelocityFieldKind(m, lyapunov)), velocity);
        EXPECT_STREQ(KindName(AccelerationFieldKind(m)), acceleration);
    }
}

// The signs of determinant, trace and discriminant at any scale: entries from 1e-300 to 1e300
// neither overflow nor underflow their products.
TEST(Classification, InvariantsKeepTheirSignsAtAnyScale)
{
    const Matrix2 matrices[] = {{2, 1, 1, 1}, {1, 20000, 0, 1}, {-1, 1, -1, -1}, {3, 1, 4, 1}};
    for (const Matrix2& m : matrices) {
        for (double unit : {1e-300, 1e-200, 1e-20, 1.0, 1e20, 1e200, 1e300}) {
            SCOPED_TRACE(testing::Message()
                         << m.a << " " << m.b << " " << m.c << " " << m.d << ", unit " << unit);
            const MatrixInvariants n = InvariantsOf({{m.a * unit, m.a * unit},
                                                     {m.b * unit, m.b * unit},
                                                     {m.c * unit, m.c * unit},
                                                     {m.d * unit, m.d * unit}});
            const double expected[3] = {m.Determinant(), m.Trace(), m.Discriminant()};
            const Interval found[3] = {n.determinant, n.trace, n.discriminant};
            for (int i = 0; i < 3; ++i) {
                SCOPED_TRACE(i);
                ExpectSign(found[i], expected[i]);
            }
        }
    }
}

// The Lyapunov coefficient of u' = -ωv + f, v' = ωu + g with cubic f and g is (f_uuu + f_uvv +
// g_uuv + g_vvv) / 16: for f = a u³ + b u v², g = c u² v + d v³ a positive multiple of
// 6a + 2b + 2c + 6d, at any scale.
TEST(Classification, LyapunovCoefficientOfCubicTerms)
{
    const std::tuple<double, double, double, double, double> cases[] = {
        {1, 1, 1, 1, 16},    // r' = r³: unstable
        {-1, 0, 0, -1, -12}, // stable
        {1, 0, 0, -1, 0},    // the two cancel: third order cannot decide
        {0, 3, -3, 0, 0},    {0, 0, 0, 0.5, 3},
    };
    for (const auto& [a, b, c, d, sign] : cases) {
        for (double scale : {1e-200, 1.0, 1e200}) {
            // J = [[0, -ω], [ω, 0]] with ω = scale, the derivatives scaled alike.
            const IntervalMatrix2 j{{0, 0}, {-scale, -scale}, {scale, scale}, {0, 0}};
            HigherDerivatives h{};
            h.third[0][0] = {6 * a * scale, 6 * a * scale}; // f_uuu
            h.third[0][2] = {2 * b * scale, 2 * b * scale}; // f_uvv
            h.third[1][1] = {2 * c * scale, 2 * c * scale}; // g_uuv
            h.third[1][3] = {6 * d * scale, 6 * d * scale}; // g_vvv
            const Interval l1 = FirstLyapunovCoefficient(j, h);
            SCOPED_TRACE(testing::Message()
                         << a << " " << b << " " << c << " " << d << " at " << scale);
            ExpectSign(l1, sign);
        }
    }
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
