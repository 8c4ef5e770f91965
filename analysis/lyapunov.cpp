#include "lyapunov.h"

#include "interval_arithmetic.h"

#include <algorithm>

namespace {

using Matrix = Interval[2][2];

// The second (third) derivative of row m by the variables p, q (and r), each 0 for x and 1 for
// y: only the count of y's matters.
const Interval& Second(const HigherDerivatives& d, int m, int p, int q)
{
    return d.second[m][p + q];
}

const Interval& Third(const HigherDerivatives& d, int m, int p, int q, int r)
{
    return d.third[m][p + q + r];
}

double LargestOf(const Interval* values, int count)
{
    double largest = 0;
    for (int i = 0; i < count; ++i)
        largest = std::max(largest, Magnitude(values[i]));
    return largest;
}

} // namespace

Interval FirstLyapunovCoefficient(const IntervalMatrix2& jacobian,
                                  const HigherDerivatives& derivatives)
{
    // Scaling time by a positive factor scales the coefficient by it, and so does scaling the
    // coordinates x = βu (second derivatives times β, third times β²): a copy with all of them
    // near 1 overflows nowhere and keeps the sign.
    const double time = ScaleFor(std::max({Magnitude(jacobian.a), Magnitude(jacobian.b),
                                           Magnitude(jacobian.c), Magnitude(jacobian.d)}));
    const Interval timeScale = PointInterval(time);
    HigherDerivatives d = derivatives;
    const double second = time * LargestOf(&d.second[0][0], 6);
    const double third = time * LargestOf(&d.third[0][0], 8);
    const double beta = std::min(ScaleFor(second), ScaleFor(std::sqrt(third)));
    for (auto& row : d.second)
        for (Interval& x : row)
            x = x * timeScale * PointInterval(beta);
    for (auto& row : d.third)
        for (Interval& x : row)
            x = x * timeScale * PointInterval(beta * beta);

    // The traceless part [[h, b], [c, -h]], whose eigenvalues are ±iω.
    const Interval h = (jacobian.a - jacobian.d) * timeScale * PointInterval(0.5);
    const Interval b = jacobian.b * timeScale;
    const Interval c = jacobian.c * timeScale;
    const Interval omegaSquared = -Square(h) - b * c;
    if (!(omegaSquared.lo > 0)) return kWholeLine;
    const Interval omega = SquareRoot(omegaSquared);
    const Interval zero = PointInterval(0);
    const Interval one = PointInterval(1);

    // Columns Im q, Re q of an eigenvector q for iω turn the linear part into [[0, -ω], [ω, 0]];
    // q from the row with the larger off-diagonal entry, which is then away from 0.
    Matrix t, inverse;
    if (Mignitude(b) >= Mignitude(c)) {
        if (!(Mignitude(b) > 0)) return kWholeLine;
        const Matrix m = {{zero, b}, {omega, -h}};
        const Matrix mi = {{h / (b * omega), one / omega}, {one / b, zero}};
        std::copy(&m[0][0], &m[0][0] + 4, &t[0][0]);
        std::copy(&mi[0][0], &mi[0][0] + 4, &inverse[0][0]);
    } else {
        const Matrix m = {{omega, h}, {zero, c}};
        const Matrix mi = {{one / omega, -h / (omega * c)}, {zero, one / c}};
        std::copy(&m[0][0], &m[0][0] + 4, &t[0][0]);
        std::copy(&mi[0][0], &mi[0][0] + 4, &inverse[0][0]);
    }

    // The derivatives of G(u) = T⁻¹ F(T u): g2[k][i][j] = Σ T⁻¹[k][m] F_m,pq T[p][i] T[q][j].
    Interval g2[2][2][2], g3[2][2][2][2];
    for (int k = 0; k < 2; ++k) {
        for (int i = 0; i < 2; ++i) {
            for (int j = 0; j < 2; ++j) {
                Interval sum2 = zero;
                for (int m = 0; m < 2; ++m)
                    for (int p = 0; p < 2; ++p)
                        for (int q = 0; q < 2; ++q)
                            sum2 = sum2 + inverse[k][m] * Second(d, m, p, q) * t[p][i] * t[q][j];
                g2[k][i][j] = sum2;
                for (int l = 0; l < 2; ++l) {
                    Interval sum3 = zero;
                    for (int m = 0; m < 2; ++m)
                        for (int p = 0; p < 2; ++p)
                            for (int q = 0; q < 2; ++q)
                                for (int r = 0; r < 2; ++r)
                                    sum3 = sum3 + inverse[k][m] * Third(d, m, p, q, r) * t[p][i] *
                                                      t[q][j] * t[r][l];
                    g3[k][i][j][l] = sum3;
                }
            }
        }
    }

    // For u' = -ωv + f, v' = ωu + g the coefficient is a positive multiple of
    // ω (f_uuu + f_uvv + g_uuv + g_vvv) + f_uv (f_uu + f_vv) - g_uv (g_uu + g_vv) - f_uu g_uu +
    // f_vv g_vv (Guckenheimer and Holmes, 3.4.11, times 16ω).
    const auto& f = g2[0];
    const auto& g = g2[1];
    const Interval cubic = g3[0][0][0][0] + g3[0][0][1][1] + g3[1][0][0][1] + g3[1][1][1][1];
    const Interval quadratic = f[0][1] * (f[0][0] + f[1][1]) - g[0][1] * (g[0][0] + g[1][1]) -
                               f[0][0] * g[0][0] + f[1][1] * g[1][1];
    return omega * cubic + quadratic;
}
