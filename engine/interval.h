#pragma once

// A closed interval of doubles and the outward-rounded arithmetic on it.

#include <limits>

// Every number x with lo <= x <= hi; the ends may be infinite. An interval with lo > hi holds
// nothing; the functions here answer such an empty interval as {+inf, -inf}.
struct Interval
{
    double lo, hi;
};

inline constexpr Interval kEmptyInterval{std::numeric_limits<double>::infinity(),
                                         -std::numeric_limits<double>::infinity()};
inline constexpr Interval kWholeLine{-std::numeric_limits<double>::infinity(),
                                     std::numeric_limits<double>::infinity()};

// True for lo > hi, and for a NaN end.
inline bool IsEmpty(const Interval& x)
{
    return !(x.lo <= x.hi);
}

inline bool Contains(const Interval& x, double value)
{
    return x.lo <= value && value <= x.hi;
}

// The smallest interval holding both.
Interval Hull(const Interval& a, const Interval& b);

// Each answers an interval holding the exact result of the operation on every pair of numbers
// from its operands, with its ends rounded outward (so also the double a program would compute).
// Results that are not numbers (inf - inf, 0 * inf, inf / inf) are left out; a division leaves
// out a zero divisor, so that 1 / [0, 2] is [0.5, +inf] and 1 / [-1, 1] the whole line.
Interval Add(const Interval& a, const Interval& b);
Interval Subtract(const Interval& a, const Interval& b);
Interval Multiply(const Interval& a, const Interval& b);
Interval Divide(const Interval& a, const Interval& b);
// x * x for every x, so never negative: a tighter answer than Multiply(x, x).
Interval Square(const Interval& x);
