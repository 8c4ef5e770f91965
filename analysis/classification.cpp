#include "classification.h"

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

EquilibriumKind VelocityFieldKind(const Matrix2& jacobian)
{
    const Matrix2 n = Normalized(jacobian);
    const double determinant = n.Determinant();
    const double trace = n.Trace();
    if (determinant < -kFlatness) return EquilibriumKind::Saddle;
    if (IsSingular(jacobian)) return EquilibriumKind::Degenerate;
    if (std::fabs(trace) <= kFlatness) return EquilibriumKind::Centre;
    if (HasRealEigenvalues(n))
        return trace < 0 ? EquilibriumKind::StableNode : EquilibriumKind::UnstableNode;
    return trace < 0 ? EquilibriumKind::StableSpiral : EquilibriumKind::UnstableSpiral;
}

EquilibriumKind AccelerationFieldKind(const Matrix2& jacobian)
{
    if (IsSingular(jacobian)) return EquilibriumKind::Degenerate;
    // Real eigenvalues of one sign have a positive determinant; both negative, a negative trace.
    const Matrix2 n = Normalized(jacobian);
    const bool bothNegative = n.Determinant() > 0 && n.Trace() < 0;
    return HasRealEigenvalues(n) && bothNegative ? EquilibriumKind::Stable
                                                 : EquilibriumKind::Unstable;
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
