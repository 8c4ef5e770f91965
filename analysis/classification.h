#pragma once

#include "interval.h"

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

// A 2 × 2 matrix of intervals, laid out as Matrix2: every matrix with its entries inside them,
// such as the Jacobians over a box.
struct IntervalMatrix2
{
    Interval a;
    Interval b;
    Interval c;
    Interval d;

    // The matrix of the entries' midpoints.
    Matrix2 Midpoint() const;
};

// Enclosures of what the kinds depend on, for every matrix in an IntervalMatrix2. Each comes from
// a copy scaled by powers of two (the rows alone for the determinant, whose sign that keeps), so
// that no product overflows or underflows at any scale of the matrix: the signs are right for
// entries of 1e-200 as for entries of 1e200.
struct MatrixInvariants
{
    Interval determinant;
    Interval trace;
    Interval discriminant; // (a - d)² + 4bc = trace² - 4 determinant
};
MatrixInvariants InvariantsOf(const IntervalMatrix2& m);

// Eigenvalues that the arithmetic cannot tell from a purely imaginary pair: the determinant is
// positive, the discriminant negative and the trace's enclosure holds 0. The linear terms cannot
// decide such an equilibrium; the first Lyapunov coefficient can.
bool MayBePurelyImaginary(const IntervalMatrix2& jacobian);

// Relative tolerances for the eigenvalues shown and for IsSingular (the kinds use none): a
// determinant counts as zero when it is below kFlatness times the matrix's size squared;
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

// The kind of an equilibrium of the velocity field x' = F, decided by the signs of the enclosures
// of InvariantsOf(jacobian), where they are decided: Degenerate when the determinant's holds 0
// (an eigenvalue may be zero), Saddle when it is negative; otherwise a node or a spiral by the
// trace's sign, a node also when the discriminant's enclosure holds 0 (a degenerate or improper
// node). When the eigenvalues may be purely imaginary, `lyapunov` decides: an enclosure of the
// first Lyapunov coefficient (any positive multiple of it), a stable spiral when negative, an
// unstable one when positive, Centre when it holds 0 (third order cannot decide either). When the
// trace holds 0 but the rest is undecided too, Degenerate.
EquilibriumKind VelocityFieldKind(const IntervalMatrix2& jacobian,
                                  const Interval& lyapunov = kWholeLine);

// The kind of an equilibrium of the acceleration field x'' = F, from the enclosure of the
// Jacobian there. Small displacements oscillate about it and stay small (Stable) only when the
// eigenvalues are real, negative and J has two independent eigenvectors; a positive, a complex or
// a defective (repeated, one eigenvector) eigenvalue makes them grow (Unstable). Degenerate when
// an eigenvalue may be zero, and also when the arithmetic cannot tell: the trace's sign undecided
// with real eigenvalues, or a repeated eigenvalue that cannot be told from two close ones, from a
// complex pair or from a defective one.
EquilibriumKind AccelerationFieldKind(const IntervalMatrix2& jacobian);

// The kinds for a Jacobian known exactly, as a matrix of single points; a centre is a centre.
EquilibriumKind VelocityFieldKind(const Matrix2& jacobian);
EquilibriumKind AccelerationFieldKind(const Matrix2& jacobian);

// The names of VelocityFieldKind and AccelerationFieldKind.
const char* VelocityKind(const Matrix2& jacobian);
const char* AccelerationKind(const Matrix2& jacobian);

// The name of the one entry that stands for a whole curve or area of equilibria.
constexpr char kContinuumKind[] = "continuum";

// The step towards a zero of F from a point where F is `value` and its Jacobian `jacobian`: least
// squares with a touch of damping, (JᵀJ + μI) step = -JᵀF, so that a Jacobian of rank one (on a
// curve of zeros) gives the step across the curve. False when there is none (J = 0) or it is not
// finite.
bool LeastSquaresStep(const Matrix2& jacobian, const double value[2], double step[2]);

// A unit eigenvector of m for its real eigenvalue lambda, with a non-negative x (y > 0 when x is
// 0). Any unit vector, (1, 0), when m - lambda·I vanishes.
std::array<double, 2> Eigenvector(const Matrix2& m, double lambda);
