#pragma once

// Operators and small helpers on the engine's Interval, for the proofs of the equilibria search.
// Every operation rounds outward, so a result holds the exact result for every choice of
// operands inside the intervals.

#include "interval.h"

#include <algorithm>
#include <cmath>
#include <limits>

inline Interval operator+(const Interval& a, const Interval& b)
{
    return Add(a, b);
}

inline Interval operator-(const Interval& a, const Interval& b)
{
    return Subtract(a, b);
}

inline Interval operator*(const Interval& a, const Interval& b)
{
    return Multiply(a, b);
}

// The whole line, not nothing, where the divisor may be 0: callers test the divisor first when
// they need better.
inline Interval operator/(const Interval& a, const Interval& b)
{
    if (!(b.lo > 0 || b.hi < 0)) return kWholeLine;
    return Divide(a, b);
}

inline Interval operator-(const Interval& x)
{
    return {-x.hi, -x.lo};
}

inline Interval PointInterval(double value)
{
    return {value, value};
}

inline double Midpoint(const Interval& x)
{
    // Halves first: the sum of two large ends would overflow.
    const double middle = x.lo / 2 + x.hi / 2;
    return std::clamp(middle, x.lo, x.hi);
}

inline double Width(const Interval& x)
{
    return x.hi - x.lo;
}

// The largest magnitude in x, and the smallest (0 when x holds 0).
inline double Magnitude(const Interval& x)
{
    return std::max(std::fabs(x.lo), std::fabs(x.hi));
}

inline double Mignitude(const Interval& x)
{
    if (x.lo > 0) return x.lo;
    if (x.hi < 0) return -x.hi;
    return 0;
}

inline bool HoldsZero(const Interval& x)
{
    return x.lo <= 0 && 0 <= x.hi;
}

inline bool IsExactlyZero(const Interval& x)
{
    return x.lo == 0 && x.hi == 0;
}

inline bool IsFinite(const Interval& x)
{
    return std::isfinite(x.lo) && std::isfinite(x.hi);
}

inline Interval Intersection(const Interval& a, const Interval& b)
{
    return {std::max(a.lo, b.lo), std::min(a.hi, b.hi)};
}

// Whether every point of `inner` lies in `outer`.
inline bool IsWithin(const Interval& inner, const Interval& outer)
{
    return outer.lo <= inner.lo && inner.hi <= outer.hi;
}

// Whether `inner` keeps off both ends of `outer`; for an `outer` of one point, whether `inner`
// is that point (nothing lies strictly inside a point).
inline bool IsInterior(const Interval& inner, const Interval& outer)
{
    if (outer.lo == outer.hi) return inner.lo == outer.lo && inner.hi == outer.hi;
    return outer.lo < inner.lo && inner.hi < outer.hi;
}

// The square root of the non-negative part of x; empty when x holds no non-negative number.
// The library's square root is correctly rounded, so one step outward is enough.
inline Interval SquareRoot(const Interval& x)
{
    if (IsEmpty(x) || x.hi < 0) return kEmptyInterval;
    const double lo = std::sqrt(std::max(x.lo, 0.0));
    const double hi = std::sqrt(x.hi);
    return {lo > 0 ? std::nextafter(lo, 0.0) : 0.0,
            std::nextafter(hi, std::numeric_limits<double>::infinity())};
}

// A power of two near 1 / `magnitude`: multiplying by it is exact (but for underflow, which
// the interval product rounds outward), and brings numbers of that size near 1.
inline double ScaleFor(double magnitude)
{
    if (!(magnitude > 0) || !std::isfinite(magnitude)) return 1;
    int exponent = 0;
    std::frexp(magnitude, &exponent);
    // Within the normal numbers' exponents: 2^1074 would overflow.
    return std::ldexp(1.0, -std::clamp(exponent, -1020, 1020));
}
