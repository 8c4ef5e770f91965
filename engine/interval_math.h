#pragma once

// The enclosure of every node's arithmetic over intervals, for the interval evaluator; not part
// of the engine's interface. Each function mirrors the scalar arithmetic of node_math.h step by
// step, so that its answer holds the double that the scalar evaluation computes at any point of
// its operands, and also the exact value of the formula read as real arithmetic.
//
// What a node gives over a box is a set of numbers and possibly NaN: NaN is a value like any
// other inside a formula (a comparison with NaN is 0, NaN counts as true, its integer view is
// -2147483648), and only the formula's final NaN counts as a failure. A set with neither numbers
// nor NaN ("void") means that every point raised an error on the way.
//
// Functions that refuse some operands (division by zero, ln of a negative number, ...) set
// `refuses` when some point of the operand may be refused, and never clear it.

#include "interval.h"

#include <cstdint>
#include <limits>

namespace interval_math {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

struct Enclosure
{
    double lo = kInfinity;  // the numbers lie in [lo, hi]; none when lo > hi, which is then
    double hi = -kInfinity; // always {+inf, -inf} so that hulls need no special case
    bool nan = false;       // NaN may occur too
};

inline bool HasNumbers(const Enclosure& x)
{
    return x.lo <= x.hi;
}

// Every point raised an error before getting here.
inline bool IsVoid(const Enclosure& x)
{
    return !HasNumbers(x) && !x.nan;
}

inline Enclosure Hull(const Enclosure& a, const Enclosure& b)
{
    return {a.lo < b.lo ? a.lo : b.lo, a.hi > b.hi ? a.hi : b.hi, a.nan || b.nan};
}

// [lo, hi] with NaN as `nan` says; nothing when lo > hi.
Enclosure Make(double lo, double hi, bool nan = false);
// A value read from a slot: a point, or NaN alone.
Enclosure Point(double value);
// A box bound by the caller: a box with a NaN end may hold anything.
Enclosure FromBox(const Interval& box);
inline Enclosure WholeLine()
{
    return {-kInfinity, kInfinity, true};
}

// Truth values: NaN counts as true, -0.0 as false.
bool MayBeTrue(const Enclosure& x);
bool MayBeFalse(const Enclosure& x);
// {0}, {1} or {0, 1}; void when neither.
Enclosure Truth(bool mayBeFalse, bool mayBeTrue);

Enclosure Negate(const Enclosure& x);
Enclosure Abs(const Enclosure& x);
Enclosure Ceil(const Enclosure& x);
Enclosure Floor(const Enclosure& x);
Enclosure Not(const Enclosure& x);
Enclosure Complement(const Enclosure& x);

Enclosure Exp(const Enclosure& x);
Enclosure Ln(const Enclosure& x, bool& refuses);
Enclosure Log(const Enclosure& x, bool& refuses);
Enclosure Sqrt(const Enclosure& x, bool& refuses);
Enclosure Sin(const Enclosure& x);
Enclosure Cos(const Enclosure& x);
Enclosure Tan(const Enclosure& x, bool& refuses);
Enclosure Sec(const Enclosure& x, bool& refuses);
Enclosure Csc(const Enclosure& x, bool& refuses);
Enclosure Cot(const Enclosure& x, bool& refuses);
Enclosure ArcSin(const Enclosure& x, bool& refuses);
Enclosure ArcCos(const Enclosure& x, bool& refuses);
Enclosure ArcTan(const Enclosure& x);
Enclosure ArcSec(const Enclosure& x, bool& refuses);
Enclosure ArcCsc(const Enclosure& x, bool& refuses);
Enclosure ArcCot(const Enclosure& x, bool& refuses);
Enclosure HSin(const Enclosure& x);
Enclosure HCos(const Enclosure& x);
Enclosure HTan(const Enclosure& x);
Enclosure HSec(const Enclosure& x);
Enclosure HCsc(const Enclosure& x, bool& refuses);
Enclosure HCot(const Enclosure& x, bool& refuses);
// RAND with the given scale: every draw from 0 to 32767.
Enclosure Random(const Enclosure& scale);

Enclosure Add(const Enclosure& a, const Enclosure& b);
Enclosure Subtract(const Enclosure& a, const Enclosure& b);
Enclosure Multiply(const Enclosure& a, const Enclosure& b);
Enclosure Square(const Enclosure& x);
Enclosure Divide(const Enclosure& dividend, const Enclosure& divisor, bool& refuses);
Enclosure Remainder(const Enclosure& dividend, const Enclosure& divisor, bool& refuses);
Enclosure Power(const Enclosure& base, const Enclosure& exponent);

enum class Comparison : uint8_t
{
    kLess,
    kGreater,
    kEqual,
    kNotEqual,
    kLessOrEqual,
    kGreaterOrEqual
};
Enclosure Compare(Comparison comparison, const Enclosure& a, const Enclosure& b);

enum class Bitwise : uint8_t
{
    kAnd,
    kOr,
    kXor
};
Enclosure Combine(Bitwise operation, const Enclosure& a, const Enclosure& b);

// `c ? whenTrue : whenFalse`, `l && r` and `l || r`, given the arms that were evaluated: an arm
// that cannot be taken is not read.
Enclosure Choose(const Enclosure& condition, const Enclosure& whenTrue, const Enclosure& whenFalse);
Enclosure And(const Enclosure& left, const Enclosure& right);
Enclosure Or(const Enclosure& left, const Enclosure& right);

// ---- Pieces exposed for the tests ------------------------------------------------------------

// The double `steps` units in the last place above (below, for a negative count) `x`, stopping
// at the infinities.
double StepUlps(double x, int64_t steps);

// Results of the C library's transcendental functions are widened by this many units in the
// last place each way. glibc's table of known maximal errors lists at most 2 ulps for every
// double function called here; the true value at an end may lie 2 ulps one way from the
// library's result there, and the library's result at an inner point 2 ulps the other way
// from the true value there.
constexpr int kLibraryUlps = 4;

} // namespace interval_math
