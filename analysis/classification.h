#pragma once

#include <array>
#include <complex>

// A 2 × 2 matrix by rows, [[a, b], [c, d]]. As a Jacobian, row 0 is Fx and row 1 is Fy, column 0
// the derivative by x and column 1 by y.
struct Matrix2
{
    double a;
    double b;
    double c;
    double d;

    double Trace() const { return a + d; }
    double Determinant() const { return a * d - b * c; }
    // (a - d)² + 4bc, which equals τ² - 4Δ without the cancellation between the two.
    double Discriminant() const { return (a - d) * (a - d) + 4 * b * c; }
    // The largest entry's magnitude: what "≈ 0" is measured against.
    double Size() const;
};

// Relative tolerances of the classification. A determinant counts as zero when it is below
// kFlatness times the matrix's size squared, a trace when it is below kFlatness times the size;
// eigenvalues count as real while the discriminant is above -kRealness times the size squared.
constexpr double kFlatness = 1e-8;
constexpr double kRealness = 1e-12;

// Whether one eigenvalue is zero within kFlatness (a zero matrix included).
bool IsSingular(const Matrix2& m);

// Both eigenvalues: two real ones with the larger first, or a complex pair with the positive
// imaginary part first. A discriminant within kRealness of zero gives a double real eigenvalue.
std::array<std::complex<double>, 2> Eigenvalues(const Matrix2& m);

// What an equilibrium is. The first seven are those of a velocity field x' = F, Stable, Unstable
// and Degenerate those of an acceleration field x'' = F; Continuum stands for a whole curve or
// area of equilibria.
enum class EquilibriumKind
{
    Saddle,
    Degenerate,
    Centre,
    StableNode,
    UnstableNode,
    StableSpiral,
    UnstableSpiral,
    Stable,
    Unstable,
    Continuum
};

// The kind's name as users read it: "saddle", "degenerate", "centre", "stable node",
// "unstable node", "stable spiral", "unstable spiral", "stable", "unstable", "continuum".
const char* KindName(EquilibriumKind kind);

// The kind of an equilibrium of the velocity field x' = F, from the Jacobian there: one of the
// first seven.
EquilibriumKind VelocityFieldKind(const Matrix2& jacobian);

// The kind of an equilibrium of the acceleration field x'' = F: Stable when both eigenvalues are
// real and negative (small oscillations about it), Degenerate when one is zero, otherwise
// Unstable.
EquilibriumKind AccelerationFieldKind(const Matrix2& jacobian);

// The names of VelocityFieldKind and AccelerationFieldKind.
const char* VelocityKind(const Matrix2& jacobian);
const char* AccelerationKind(const Matrix2& jacobian);

// The name of the one entry that stands for a whole curve or area of equilibria.
constexpr char kContinuumKind[] = "continuum";

// A unit eigenvector of m for its real eigenvalue lambda, with a non-negative x (y > 0 when x is
// 0). Any unit vector, (1, 0), when m - lambda·I vanishes.
std::array<double, 2> Eigenvector(const Matrix2& m, double lambda);
