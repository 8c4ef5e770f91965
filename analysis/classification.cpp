#include "classification.h"

#include "interval_arithmetic.h"

#include <algorithm>
#include <cmath>
#include <limits>

double Matrix2::Size() const
{
    return std::max(std::max(std::fabs(a), std::fabs(b)), std::max(std::fabs(c), std::fabs(d)));
}

namespace {

// The matrix divided by its size, so that no product overflows: the kinds do not depend on the
// scale, and the eigenvalues scale with it.
Matrix2 Normalized(const Matrix2& m)
{
    const double size = m.Size();
    if (!(size > 0)) return {0, 0, 0, 0};
    return {m.a / size, m.b / size, m.c / size, m.d / size};
}

bool HasRealEigenvalues(const Matrix2& normalized)
{
    return normalized.Discriminant() >= -kRealness;
}

double Saturated(double value)
{
    const double largest = std::numeric_limits<double>::max();
    return std::clamp(value, -largest, largest);
}

} // namespace

bool IsSingular(const Matrix2& m)
{
    return !(std::fabs(Normalized(m).Determinant()) > kFlatness);
}

std::array<std::complex<double>, 2> Eigenvalues(const Matrix2& m)
{
    const double size = m.Size();
    const Matrix2 n = Normalized(m);
    const double half = n.Trace() / 2;
    const double discriminant = n.Discriminant();
    if (!HasRealEigenvalues(n)) {
        const double imaginary = Saturated(std::sqrt(-discriminant) / 2 * size);
        return {std::complex<double>(Saturated(half * size), imaginary),
                std::complex<double>(Saturated(half * size), -imaginary)};
    }
    const double root = std::sqrt(std::max(discriminant, 0.0)) / 2;
    // The eigenvalue of larger magnitude first, the other from the determinant: subtracting two
    // nearly equal numbers would lose the small one.
    const double large = half >= 0 ? half + root : half - root;
    const double small = large != 0 ? n.Determinant() / large : 0.0;
    const double first = Saturated(std::max(large, small) * size);
    const double second = Saturated(std::min(large, small) * size);
    return {std::complex<double>(first), std::complex<double>(second)};
}

const char* KindName(EquilibriumKind kind)
{
    switch (kind) {
    case EquilibriumKind::Saddle:
        return "saddle";
    case EquilibriumKind::Degenerate:
        return "degenerate";
    case EquilibriumKind::Centre:
        return "centre";
    case EquilibriumKind::StableNode:
        return "stable node";
    case EquilibriumKind::UnstableNode:
        return "unstable node";
    case EquilibriumKind::StableSpiral:
        return "stable spiral";
    case EquilibriumKind::UnstableSpiral:
        return "unstable spiral";
    case EquilibriumKind::Stable:
        return "stable";
    case EquilibriumKind::Unstable:
        return "unstable";
    case EquilibriumKind::Continuum:
        return kContinuumKind;
    }
    return "";
}

Matrix2 IntervalMatrix2::Midpoint() const
{
    return {::Midpoint(a), ::Midpoint(b), ::Midpoint(c), ::Midpoint(d)};
}

namespace {

Interval Scaled(const Interval& x, double scale)
{
    return x * PointInterval(scale);
}

bool IsPositive(const Interval& x)
{
    return x.lo > 0;
}

bool IsNegative(const Interval& x)
{
    return x.hi < 0;
}

IntervalMatrix2 PointMatrix(const Matrix2& m)
{
    return {PointInterval(m.a), PointInterval(m.b), PointInterval(m.c), PointInterval(m.d)};
}

} // namespace

MatrixInvariants InvariantsOf(const IntervalMatrix2& m)
{
    // Positive factors on the rows leave the determinant's sign alone; the trace needs no
    // products, and the discriminant one common factor.
    const double top = ScaleFor(std::max(Magnitude(m.a), Magnitude(m.b)));
    const double bottom = ScaleFor(std::max(Magnitude(m.c), Magnitude(m.d)));
    const Interval determinant =
        Scaled(m.a, top) * Scaled(m.d, bottom) - Scaled(m.b, top) * Scaled(m.c, bottom);
    const double all = std::min(top, bottom);
    const Interval difference = Scaled(m.a, all) - Scaled(m.d, all);
    const Interval discriminant =
        Square(difference) + PointInterval(4) * Scaled(m.b, all) * Scaled(m.c, all);
    return {determinant, m.a + m.d, discriminant};
}

bool MayBePurelyImaginary(const IntervalMatrix2& jacobian)
{
    const MatrixInvariants n = InvariantsOf(jacobian);
    return IsPositive(n.determinant) && IsNegative(n.discriminant) && HoldsZero(n.trace);
}

EquilibriumKind VelocityFieldKind(const IntervalMatrix2& jacobian, const Interval& lyapunov)
{
    const MatrixInvariants n = InvariantsOf(jacobian);
    if (IsNegative(n.determinant)) return EquilibriumKind::Saddle;
    if (!IsPositive(n.determinant)) return EquilibriumKind::Degenerate;
    if (IsNegative(n.trace) || IsPositive(n.trace)) {
        const bool stable = IsNegative(n.trace);
        if (IsNegative(n.discriminant))
            return stable ? EquilibriumKind::StableSpiral : EquilibriumKind::UnstableSpiral;
        return stable ? EquilibriumKind::StableNode : EquilibriumKind::UnstableNode;
    }
    if (!IsNegative(n.discriminant)) return EquilibriumKind::Degenerate;
    if (IsNegative(lyapunov)) return EquilibriumKind::StableSpiral;
    if (IsPositive(lyapunov)) return EquilibriumKind::UnstableSpiral;
    return EquilibriumKind::Centre;
}

EquilibriumKind AccelerationFieldKind(const IntervalMatrix2& j)
{
    const MatrixInvariants n = InvariantsOf(j);
    if (IsNegative(n.determinant)) return EquilibriumKind::Unstable; // one positive eigenvalue
    if (!IsPositive(n.determinant)) return EquilibriumKind::Degenerate;
    // Eigenvalues of one sign, or a complex pair.
    if (IsNegative(n.discriminant) || IsPositive(n.trace)) return EquilibriumKind::Unstable;
    if (!IsNegative(n.trace)) return EquilibriumKind::Degenerate;
    if (IsPositive(n.discriminant)) return EquilibriumKind::Stable; // two distinct, negative
    // A repeated eigenvalue, proven only where the discriminant is exactly 0. Then J has two
    // eigenvectors only when it is λI: b = c = 0 and a = d.
    if (!IsExactlyZero(n.discriminant)) return EquilibriumKind::Degenerate;
    const Interval difference = j.a - j.d;
    if (IsExactlyZero(j.b) && IsExactlyZero(j.c) && IsExactlyZero(difference))
        return EquilibriumKind::Stable;
    if (!HoldsZero(j.b) || !HoldsZero(j.c) || !HoldsZero(difference))
        return EquilibriumKind::Unstable;
    return EquilibriumKind::Degenerate;
}

EquilibriumKind VelocityFieldKind(const Matrix2& jacobian)
{
    // Exact entries: a trace of 0 is 0, and the linear field is a centre.
    return VelocityFieldKind(PointMatrix(jacobian), PointInterval(0));
}

EquilibriumKind AccelerationFieldKind(const Matrix2& jacobian)
{
    return AccelerationFieldKind(PointMatrix(jacobian));
}

const char* VelocityKind(const Matrix2& jacobian)
{
    return KindName(VelocityFieldKind(jacobian));
}

const char* AccelerationKind(const Matrix2& jacobian)
{
    return KindName(AccelerationFieldKind(jacobian));
}

std::array<double, 2> Eigenvector(const Matrix2& m, double lambda)
{
    // The eigenvector is orthogonal to both rows of m - λI; the longer row gives it with the
    // least cancellation. Scaled first, so that no square overflows or underflows.
    const double scale = std::max(m.Size(), std::fabs(lambda));
    if (!(scale > 0) || !std::isfinite(scale)) return {1, 0};
    const double rows[2][2] = {{(m.a - lambda) / scale, m.b / scale},
                               {m.c / scale, (m.d - lambda) / scale}};
    const double lengths[2] = {std::hypot(rows[0][0], rows[0][1]),
                               std::hypot(rows[1][0], rows[1][1])};
    const int longer = lengths[1] > lengths[0] ? 1 : 0;
    if (!(lengths[longer] > 0)) return {1, 0};
    double x = -rows[longer][1] / lengths[longer];
    double y = rows[longer][0] / lengths[longer];
    if (x < 0 || (x == 0 && y < 0)) {
        x = -x;
        y = -y;
    }
    return {x + 0.0, y}; // never -0
}

bool LeastSquaresStep(const Matrix2& j, const double f[2], double step[2])
{
    const double size = j.Size();
    if (!(size > 0)) return false;
    const double mu = 1e-14 * size * size;
    const double m00 = j.a * j.a + j.c * j.c + mu;
    const double m01 = j.a * j.b + j.c * j.d;
    const double m11 = j.b * j.b + j.d * j.d + mu;
    const double r0 = -(j.a * f[0] + j.c * f[1]);
    const double r1 = -(j.b * f[0] + j.d * f[1]);
    const double determinant = m00 * m11 - m01 * m01;
    if (!(determinant > 0)) return false;
    step[0] = (r0 * m11 - m01 * r1) / determinant;
    step[1] = (m00 * r1 - m01 * r0) / determinant;
    return std::isfinite(step[0]) && std::isfinite(step[1]);
}
