#include "interval_math.h"

#include "node_math.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

namespace interval_math {

// ---- Rounding --------------------------------------------------------------------------------
// The basic operations round to nearest, so an end is moved one step outward only when the
// exact result lies beyond the rounded one, which the error-free transformations (TwoSum and
// the fused multiply-add residuals) tell exactly. Results of the C library are widened by
// kLibraryUlps.

namespace {

// Doubles in their order as 64-bit integers: -0.0 and +0.0 both map to 0.
int64_t OrderedKey(double x)
{
    int64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits >= 0 ? bits : INT64_MIN - bits;
}

double FromOrderedKey(int64_t key)
{
    const int64_t bits = key >= 0 ? key : INT64_MIN - key;
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

constexpr int64_t kInfinityKey = 0x7FF0000000000000;

} // namespace

double StepUlps(double x, int64_t steps)
{
    if (std::isnan(x)) return x;
    const int64_t key = OrderedKey(x);
    if (steps > 0) return FromOrderedKey(key > kInfinityKey - steps ? kInfinityKey : key + steps);
    return FromOrderedKey(key < -kInfinityKey - steps ? -kInfinityKey : key + steps);
}

namespace {

double NextUp(double x)
{
    return StepUlps(x, 1);
}

double NextDown(double x)
{
    return StepUlps(x, -1);
}

double LibraryDown(double x)
{
    return StepUlps(x, -kLibraryUlps);
}

double LibraryUp(double x)
{
    return StepUlps(x, kLibraryUlps);
}

// Below this size the residuals of products, quotients and roots may themselves be rounded.
constexpr double kExactResidualFloor = 0x1p-960;

// A rounded result and where the exact one lies: below it (-1), on it (0), above it (1), or
// either side (2).
struct Rounded
{
    double value;
    int side;
};

// Overflow to an infinity from finite operands: the exact result is a finite number beyond
// the largest double.
Rounded Overflowed(double value)
{
    return {value, value > 0 ? -1 : 1};
}

int SideOf(double residual)
{
    return residual > 0 ? 1 : residual < 0 ? -1 : residual == 0 ? 0 : 2;
}

Rounded Sum(double a, double b)
{
    const double s = a + b;
    if (!std::isfinite(s))
        return std::isinf(a) || std::isinf(b) || std::isnan(s) ? Rounded{s, 0} : Overflowed(s);
    const double bPart = s - a;
    return {s, SideOf((a - (s - bPart)) + (b - bPart))};
}

Rounded Product(double a, double b)
{
    const double p = a * b;
    if (std::isnan(p) || a == 0 || b == 0) return {p, 0};
    if (std::isinf(p)) return std::isinf(a) || std::isinf(b) ? Rounded{p, 0} : Overflowed(p);
    if (std::fabs(p) < kExactResidualFloor) return {p, 2};
    return {p, SideOf(std::fma(a, b, -p))};
}

// `b` is not zero.
Rounded Quotient(double a, double b)
{
    const double q = a / b;
    if (std::isnan(q) || a == 0 || std::isinf(b)) return {q, 0};
    if (std::isinf(q)) return std::isinf(a) ? Rounded{q, 0} : Overflowed(q);
    if (std::fabs(q) < kExactResidualFloor || std::fabs(a) < kExactResidualFloor) return {q, 2};
    // a - q * b is exact; a / b lies above q when it has the sign of b.
    const double residual = std::fma(-q, b, a);
    if (residual == 0) return {q, 0};
    return {q, (residual > 0) == (b > 0) ? 1 : -1};
}

// `x` is not negative.
Rounded Root(double x)
{
    const double s = std::sqrt(x);
    if (x == 0 || std::isinf(x)) return {s, 0};
    if (x < kExactResidualFloor) return {s, 2};
    return {s, SideOf(std::fma(-s, s, x))};
}

double Lower(const Rounded& r)
{
    return r.side < 0 || r.side == 2 ? NextDown(r.value) : r.value;
}

double Upper(const Rounded& r)
{
    return r.side > 0 ? NextUp(r.value) : r.value;
}

bool HasInfinity(const Enclosure& x)
{
    return HasNumbers(x) && (x.lo == -kInfinity || x.hi == kInfinity);
}

// A number other than an infinity.
bool HasFinite(const Enclosure& x)
{
    return HasNumbers(x) && x.lo < kInfinity && x.hi > -kInfinity;
}

bool HasZero(const Enclosure& x)
{
    return x.lo <= 0 && x.hi >= 0;
}

Enclosure NaNOnly(bool nan)
{
    return Enclosure{kInfinity, -kInfinity, nan};
}

// Limits the ends to facts of the function (a sign, a bound it never passes) that the library's
// results keep as well, since the bounds are exact doubles.
Enclosure Clamp(const Enclosure& x, double lo, double hi)
{
    return Make(std::max(x.lo, lo), std::min(x.hi, hi), x.nan);
}

// An increasing function of the C library over [x.lo, x.hi].
template <class Function> Enclosure Increasing(const Enclosure& x, Function f)
{
    if (!HasNumbers(x)) return x;
    return Make(LibraryDown(f(x.lo)), LibraryUp(f(x.hi)), x.nan);
}

// An odd increasing function keeps the sign of its operand.
Enclosure KeepSign(const Enclosure& result, const Enclosure& operand)
{
    if (!HasNumbers(result)) return result;
    return Clamp(result, operand.lo >= 0 ? 0.0 : -kInfinity, operand.hi <= 0 ? 0.0 : kInfinity);
}

} // namespace

// ---- Construction and truth ------------------------------------------------------------------

Enclosure Make(double lo, double hi, bool nan)
{
    if (!(lo <= hi)) return NaNOnly(nan);
    return Enclosure{lo, hi, nan};
}

Enclosure Point(double value)
{
    if (std::isnan(value)) return NaNOnly(true);
    return Enclosure{value, value, false};
}

Enclosure FromBox(const Interval& box)
{
    if (std::isnan(box.lo) || std::isnan(box.hi)) return WholeLine();
    return Make(box.lo, box.hi);
}

bool MayBeTrue(const Enclosure& x)
{
    return x.nan || (HasNumbers(x) && (x.lo < 0 || x.hi > 0));
}

bool MayBeFalse(const Enclosure& x)
{
    return HasNumbers(x) && HasZero(x);
}

Enclosure Truth(bool mayBeFalse, bool mayBeTrue)
{
    return Make(mayBeFalse ? 0.0 : 1.0, mayBeTrue ? 1.0 : 0.0);
}

// ---- Integer views ---------------------------------------------------------------------------
// "%", "&", "|", "!&" and "~" work on IntegerView: truncation toward zero, with everything out
// of range (and NaN) becoming -2147483648.

namespace {

struct IntRange
{
    int64_t lo = 1;
    int64_t hi = 0; // empty while lo > hi

    bool IsEmpty() const { return lo > hi; }
    void Include(int64_t value)
    {
        if (IsEmpty()) {
            lo = hi = value;
        } else {
            lo = std::min(lo, value);
            hi = std::max(hi, value);
        }
    }
};

IntRange View(const Enclosure& x)
{
    IntRange range;
    if (HasNumbers(x)) {
        if (x.lo < 2147483648.0 && x.hi > -2147483649.0) {
            range.lo = static_cast<int64_t>(std::max(x.lo, -2147483648.0));
            range.hi = static_cast<int64_t>(std::min(x.hi, 2147483647.0));
        }
        if (x.lo <= -2147483649.0 || x.hi >= 2147483648.0) range.Include(INT32_MIN);
    }
    if (x.nan) range.Include(INT32_MIN);
    return range;
}

Enclosure FromIntegers(const IntRange& range)
{
    if (range.IsEmpty()) return Enclosure{};
    return Enclosure{static_cast<double>(range.lo), static_cast<double>(range.hi), false};
}

// Bounds of x op y over x in [a, b] and y in [c, d], unsigned (Warren, Hacker's Delight 4-3):
// from the highest bit down, the places where one bound may change a bit decide.

// Where one lower bound lacks a bit the other has, raises it to that bit with the bits below
// cleared, if it stays in its range. An OR gains nothing below the first such change; an XOR
// may gain at every place.
template <bool kOnce> void RaiseLowerBounds(uint32_t& a, uint32_t b, uint32_t& c, uint32_t d)
{
    for (uint32_t m = 0x80000000u; m != 0; m >>= 1) {
        uint32_t* raised = nullptr;
        uint32_t t = 0;
        if (~a & c & m) {
            t = (a | m) & (0u - m);
            if (t <= b) raised = &a;
        } else if (a & ~c & m) {
            t = (c | m) & (0u - m);
            if (t <= d) raised = &c;
        }
        if (raised) {
            *raised = t;
            if (kOnce) return;
        }
    }
}

// Where both upper bounds have a bit, clears it in one of them and sets every bit below, if it
// stays in its range.
template <bool kOnce> void LowerUpperBounds(uint32_t a, uint32_t& b, uint32_t c, uint32_t& d)
{
    for (uint32_t m = 0x80000000u; m != 0; m >>= 1) {
        if (!(b & d & m)) continue;
        uint32_t t = (b - m) | (m - 1);
        if (t >= a) {
            b = t;
        } else {
            t = (d - m) | (m - 1);
            if (t < c) continue;
            d = t;
        }
        if (kOnce) return;
    }
}

uint32_t MinOr(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    RaiseLowerBounds<true>(a, b, c, d);
    return a | c;
}

uint32_t MaxOr(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    LowerUpperBounds<true>(a, b, c, d);
    return b | d;
}

uint32_t MinXor(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    RaiseLowerBounds<false>(a, b, c, d);
    return a ^ c;
}

uint32_t MaxXor(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    LowerUpperBounds<false>(a, b, c, d);
    return b ^ d;
}

uint32_t MinAnd(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    for (uint32_t m = 0x80000000u; m != 0; m >>= 1) {
        if (~a & ~c & m) {
            uint32_t t = (a | m) & (0u - m);
            if (t <= b) {
                a = t;
                break;
            }
            t = (c | m) & (0u - m);
            if (t <= d) {
                c = t;
                break;
            }
        }
    }
    return a & c;
}

uint32_t MaxAnd(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    for (uint32_t m = 0x80000000u; m != 0; m >>= 1) {
        if (b & ~d & m) {
            const uint32_t t = (b & ~m) | (m - 1);
            if (t >= a) {
                b = t;
                break;
            }
        } else if (~b & d & m) {
            const uint32_t t = (d & ~m) | (m - 1);
            if (t >= c) {
                d = t;
                break;
            }
        }
    }
    return b & d;
}

// Signed ranges split at zero are unsigned ranges whose top bit is fixed, so the result of each
// pair of halves has a fixed top bit as well and converts back to signed in order.
IntRange CombineRanges(Bitwise operation, const IntRange& x, const IntRange& y)
{
    IntRange result;
    if (x.IsEmpty() || y.IsEmpty()) return result;
    const IntRange halves[2][2] = {
        {{x.lo, std::min<int64_t>(x.hi, -1)}, {std::max<int64_t>(x.lo, 0), x.hi}},
        {{y.lo, std::min<int64_t>(y.hi, -1)}, {std::max<int64_t>(y.lo, 0), y.hi}}};
    for (const IntRange& p : halves[0])
        for (const IntRange& q : halves[1]) {
            if (p.IsEmpty() || q.IsEmpty()) continue;
            const auto a = static_cast<uint32_t>(p.lo), b = static_cast<uint32_t>(p.hi);
            const auto c = static_cast<uint32_t>(q.lo), d = static_cast<uint32_t>(q.hi);
            uint32_t low = 0, high = 0;
            switch (operation) {
            case Bitwise::kAnd:
                low = MinAnd(a, b, c, d);
                high = MaxAnd(a, b, c, d);
                break;
            case Bitwise::kOr:
                low = MinOr(a, b, c, d);
                high = MaxOr(a, b, c, d);
                break;
            case Bitwise::kXor:
                low = MinXor(a, b, c, d);
                high = MaxXor(a, b, c, d);
                break;
            }
            result.Include(static_cast<int32_t>(low));
            result.Include(static_cast<int32_t>(high));
        }
    return result;
}

} // namespace

Enclosure Not(const Enclosure& x)
{
    return Truth(MayBeTrue(x), MayBeFalse(x));
}

Enclosure Complement(const Enclosure& x)
{
    const IntRange range = View(x);
    if (range.IsEmpty()) return Enclosure{};
    return FromIntegers(IntRange{-range.hi - 1, -range.lo - 1});
}

Enclosure Combine(Bitwise operation, const Enclosure& a, const Enclosure& b)
{
    return FromIntegers(CombineRanges(operation, View(a), View(b)));
}

Enclosure Remainder(const Enclosure& dividend, const Enclosure& divisor, bool& refuses)
{
    if (IsVoid(divisor) || IsVoid(dividend)) return Enclosure{};
    // A divisor between -1 and 1 has the integer view 0 and is refused like a zero divisor.
    const IntRange d = View(divisor);
    if (d.lo <= 0 && d.hi >= 0) refuses = true;
    const IntRange a = View(dividend);
    if (d.lo == 0 && d.hi == 0) return Enclosure{};
    // |r| < |d|, and r has the sign of the dividend; -1 answers 0 directly.
    const int64_t largest = std::max(-d.lo, d.hi);
    const int64_t bound = largest - 1;
    if (d.lo == d.hi && largest > 1 && a.lo / largest == a.hi / largest && (a.lo >= 0 || a.hi <= 0))
        return FromIntegers(IntRange{a.lo % largest, a.hi % largest});
    return FromIntegers(
        IntRange{a.lo >= 0 ? 0 : std::max(a.lo, -bound), a.hi <= 0 ? 0 : std::min(a.hi, bound)});
}

// ---- Sign, rounding to integers --------------------------------------------------------------

Enclosure Negate(const Enclosure& x)
{
    return Enclosure{-x.hi, -x.lo, x.nan};
}

Enclosure Abs(const Enclosure& x)
{
    if (!HasNumbers(x) || x.lo >= 0) return x;
    if (x.hi <= 0) return Negate(x);
    return Enclosure{0.0, std::max(-x.lo, x.hi), x.nan};
}

Enclosure Ceil(const Enclosure& x)
{
    return Enclosure{std::ceil(x.lo), std::ceil(x.hi), x.nan};
}

Enclosure Floor(const Enclosure& x)
{
    return Enclosure{std::floor(x.lo), std::floor(x.hi), x.nan};
}

// ---- Arithmetic ------------------------------------------------------------------------------

Enclosure Add(const Enclosure& a, const Enclosure& b)
{
    if (IsVoid(a) || IsVoid(b)) return Enclosure{};
    bool nan = a.nan || b.nan;
    if (!HasNumbers(a) || !HasNumbers(b)) return NaNOnly(nan);
    nan |= (a.hi == kInfinity && b.lo == -kInfinity) || (a.lo == -kInfinity && b.hi == kInfinity);
    double lo = Lower(Sum(a.lo, b.lo));
    double hi = Upper(Sum(a.hi, b.hi));
    // inf - inf at an end: one operand is that infinity alone, and so is every sum that is a
    // number.
    if (std::isnan(lo)) lo = kInfinity;
    if (std::isnan(hi)) hi = -kInfinity;
    return Make(lo, hi, nan);
}

Enclosure Subtract(const Enclosure& a, const Enclosure& b)
{
    return Add(a, Negate(b));
}

namespace {

// [x.lo * y.lo, x.hi * y.hi] rounded outward.
Enclosure Products(double lo1, double lo2, double hi1, double hi2, bool nan)
{
    return Make(Lower(Product(lo1, lo2)), Upper(Product(hi1, hi2)), nan);
}

} // namespace

Enclosure Multiply(const Enclosure& a, const Enclosure& b)
{
    if (IsVoid(a) || IsVoid(b)) return Enclosure{};
    bool nan = a.nan || b.nan;
    if (!HasNumbers(a) || !HasNumbers(b)) return NaNOnly(nan);
    if (!HasInfinity(a) && !HasInfinity(b)) {
        // Finite ends: their signs tell which two corners are the extremes (unless both
        // operands hold zero inside).
        if (a.lo >= 0) {
            if (b.lo >= 0) return Products(a.lo, b.lo, a.hi, b.hi, nan);
            if (b.hi <= 0) return Products(a.hi, b.lo, a.lo, b.hi, nan);
            return Products(a.hi, b.lo, a.hi, b.hi, nan);
        }
        if (a.hi <= 0) {
            if (b.lo >= 0) return Products(a.lo, b.hi, a.hi, b.lo, nan);
            if (b.hi <= 0) return Products(a.hi, b.hi, a.lo, b.lo, nan);
            return Products(a.lo, b.hi, a.lo, b.lo, nan);
        }
        if (b.lo >= 0) return Products(a.lo, b.hi, a.hi, b.hi, nan);
        if (b.hi <= 0) return Products(a.hi, b.lo, a.lo, b.lo, nan);
    }
    nan |= (HasZero(a) && HasInfinity(b)) || (HasZero(b) && HasInfinity(a));
    // The product is monotone in each operand, so the corners bound it; a corner 0 * inf is not
    // a number, and the zero it stands for next to finite numbers is added below.
    double lo = kInfinity, hi = -kInfinity;
    for (double x : {a.lo, a.hi})
        for (double y : {b.lo, b.hi}) {
            const Rounded p = Product(x, y);
            if (std::isnan(p.value)) continue;
            lo = std::min(lo, Lower(p));
            hi = std::max(hi, Upper(p));
        }
    if ((HasZero(a) && HasFinite(b)) || (HasZero(b) && HasFinite(a))) {
        lo = std::min(lo, 0.0);
        hi = std::max(hi, 0.0);
    }
    return Make(lo, hi, nan);
}

Enclosure Square(const Enclosure& x)
{
    if (!HasNumbers(x)) return x;
    const double small = x.lo >= 0 ? x.lo : x.hi <= 0 ? -x.hi : 0.0;
    const double large = std::max(-x.lo, x.hi);
    return Make(Lower(Product(small, small)), Upper(Product(large, large)), x.nan);
}

namespace {

// Quotients of x in [x1, x2] by d in [d1, d2] with 0 <= d1 and 0 < d2, into [lo, hi]. A zero d1
// stands for divisors just above zero, which the division by zero leaves.
void DividePositive(double x1, double x2, double d1, double d2, double& lo, double& hi)
{
    if (d1 > 0 && d2 < kInfinity && x1 > -kInfinity && x2 < kInfinity) {
        // Finite, with the divisor away from zero: the signs of the dividend's ends pick the
        // two corners.
        lo = std::min(lo, Lower(Quotient(x1, x1 >= 0 ? d2 : d1)));
        hi = std::max(hi, Upper(Quotient(x2, x2 >= 0 ? d1 : d2)));
        return;
    }
    for (double x : {x1, x2})
        for (double d : {d1, d2}) {
            if (d == 0) {
                const double limit = x == 0 ? 0.0 : x > 0 ? kInfinity : -kInfinity;
                lo = std::min(lo, limit);
                hi = std::max(hi, limit);
                continue;
            }
            const Rounded q = Quotient(x, d);
            if (std::isnan(q.value)) continue; // inf / inf
            lo = std::min(lo, Lower(q));
            hi = std::max(hi, Upper(q));
        }
    // Finite numbers over an infinite divisor: zero, which a corner inf / inf may have hidden.
    if (d2 == kInfinity && x1 < kInfinity && x2 > -kInfinity) {
        lo = std::min(lo, 0.0);
        hi = std::max(hi, 0.0);
    }
}

} // namespace

Enclosure Divide(const Enclosure& dividend, const Enclosure& divisor, bool& refuses)
{
    if (IsVoid(dividend) || IsVoid(divisor)) return Enclosure{};
    if (HasNumbers(divisor) && HasZero(divisor)) refuses = true;
    if (!divisor.nan && divisor.lo == 0 && divisor.hi == 0) return Enclosure{};
    bool nan = dividend.nan || divisor.nan;
    if (!HasNumbers(dividend) || !HasNumbers(divisor)) return NaNOnly(nan);
    nan |= HasInfinity(dividend) && HasInfinity(divisor);
    // Each sign of the divisor apart; x / d is (-x) / (-d) exactly.
    double lo = kInfinity, hi = -kInfinity;
    if (divisor.hi > 0)
        DividePositive(dividend.lo, dividend.hi, std::max(divisor.lo, 0.0), divisor.hi, lo, hi);
    if (divisor.lo < 0)
        DividePositive(-dividend.hi, -dividend.lo, std::max(-divisor.hi, 0.0), -divisor.lo, lo, hi);
    return Make(lo, hi, nan);
}

namespace {

// pow over base in [b1, b2] and exponent in [e1, e2], 0 <= b1: pow is monotone in each operand
// alone on this quarter (its IEEE values at 0 and the infinities are the limits there), so the
// corners bound it. A zero b1 stands for bases just above zero.
Enclosure PowerCorners(double b1, double b2, double e1, double e2)
{
    double lo = kInfinity, hi = -kInfinity;
    for (double b : {b1, b2})
        for (double e : {e1, e2}) {
            const double value = std::pow(b, e);
            lo = std::min(lo, value);
            hi = std::max(hi, value);
        }
    return Make(std::max(LibraryDown(lo), 0.0), LibraryUp(hi));
}

// max(x, 0) as +0.0 for any zero: pow(-0.0, -1) is -inf, while the limit from above is +inf.
double PositivePart(double x)
{
    return x > 0 ? x : 0.0;
}

} // namespace

// The scalar power: exponent 2 squares, a positive base goes to pow, a zero base gives 0, and
// any other base (negative or NaN) is raised to the integer view of the exponent.
Enclosure Power(const Enclosure& base, const Enclosure& exponent)
{
    if (IsVoid(base) || IsVoid(exponent)) return Enclosure{};
    if (!exponent.nan && exponent.lo == exponent.hi && exponent.lo >= 1 &&
        exponent.lo <= 2147483647.0 && exponent.lo == std::floor(exponent.lo) && HasNumbers(base)) {
        // A positive whole exponent: any base is raised to it, 0 too, so the power is monotone
        // in the base (odd) or in its size (even).
        const double k = exponent.lo;
        if (k == 2) return Square(base);
        if (std::fmod(k, 2.0) != 0)
            return Make(LibraryDown(std::pow(base.lo, k)), LibraryUp(std::pow(base.hi, k)),
                        base.nan);
        const Enclosure size = Abs(base);
        const double lo = std::max(LibraryDown(std::pow(size.lo, k)), 0.0);
        return Make(lo, LibraryUp(std::pow(size.hi, k)), base.nan);
    }
    Enclosure out;
    if (HasNumbers(exponent) && exponent.lo <= 2 && exponent.hi >= 2) out = Square(base);
    if (HasNumbers(base) && base.hi > 0) {
        const double b1 = PositivePart(base.lo);
        if (HasNumbers(exponent))
            out = Hull(out, PowerCorners(b1, base.hi, exponent.lo, exponent.hi));
        if (exponent.nan)
            out = Hull(out, Make(b1 <= 1 && base.hi >= 1 ? 1.0 : kInfinity, 1.0, true));
    }
    if (HasNumbers(base) && HasZero(base)) out = Hull(out, Point(0.0));
    const IntRange k = View(exponent);
    if (HasNumbers(base) && base.lo < 0) {
        // |base| in [a1, a2]; even powers keep the sign, odd ones make it negative.
        const double a1 = PositivePart(-base.hi), a2 = -base.lo;
        const int64_t evenLo = k.lo + (k.lo & 1), evenHi = k.hi - (k.hi & 1);
        const int64_t oddLo = k.lo + 1 - (k.lo & 1), oddHi = k.hi - 1 + (k.hi & 1);
        if (evenLo <= evenHi) out = Hull(out, PowerCorners(a1, a2, double(evenLo), double(evenHi)));
        if (oddLo <= oddHi)
            out = Hull(out, Negate(PowerCorners(a1, a2, double(oddLo), double(oddHi))));
    }
    // pow(NaN, 0) is 1; NaN to any other power, and squared, is NaN.
    if (base.nan) out = Hull(out, Make(k.lo <= 0 && k.hi >= 0 ? 1.0 : kInfinity, 1.0, true));
    return out;
}

// ---- Comparisons and branches ----------------------------------------------------------------

Enclosure Compare(Comparison comparison, const Enclosure& a, const Enclosure& b)
{
    if (IsVoid(a) || IsVoid(b)) return Enclosure{};
    const bool nan = a.nan || b.nan;
    const bool numbers = HasNumbers(a) && HasNumbers(b);
    const bool meet = numbers && a.lo <= b.hi && b.lo <= a.hi;
    const bool onePoint = numbers && a.lo == a.hi && b.lo == b.hi && a.lo == b.lo;
    // Every comparison with NaN is false: "!=" answers 1 for it, the others 0.
    switch (comparison) {
    case Comparison::kLess:
        return Truth(nan || (numbers && a.hi >= b.lo), numbers && a.lo < b.hi);
    case Comparison::kGreater:
        return Truth(nan || (numbers && a.lo <= b.hi), numbers && a.hi > b.lo);
    case Comparison::kLessOrEqual:
        return Truth(nan || (numbers && a.hi > b.lo), numbers && a.lo <= b.hi);
    case Comparison::kGreaterOrEqual:
        return Truth(nan || (numbers && a.lo < b.hi), numbers && a.hi >= b.lo);
    case Comparison::kEqual:
        return Truth(nan || (numbers && !onePoint), meet);
    case Comparison::kNotEqual:
        return Truth(meet, nan || (numbers && !onePoint));
    }
    return WholeLine();
}

Enclosure Choose(const Enclosure& condition, const Enclosure& whenTrue, const Enclosure& whenFalse)
{
    Enclosure out;
    if (MayBeTrue(condition)) out = Hull(out, whenTrue);
    if (MayBeFalse(condition)) out = Hull(out, whenFalse);
    return out;
}

Enclosure And(const Enclosure& left, const Enclosure& right)
{
    const bool rightRuns = MayBeTrue(left);
    return Truth(MayBeFalse(left) || (rightRuns && MayBeFalse(right)),
                 rightRuns && MayBeTrue(right));
}

Enclosure Or(const Enclosure& left, const Enclosure& right)
{
    const bool rightRuns = MayBeFalse(left);
    return Truth(rightRuns && MayBeFalse(right),
                 MayBeTrue(left) || (rightRuns && MayBeTrue(right)));
}

// ---- Exponentials and logarithms -------------------------------------------------------------

Enclosure Exp(const Enclosure& x)
{
    const Enclosure e = Increasing(x, [](double u) { return std::exp(u); });
    if (!HasNumbers(e)) return e;
    return Clamp(e, x.lo >= 0 ? 1.0 : 0.0, x.hi <= 0 ? 1.0 : kInfinity);
}

namespace {

// ln and log10: refused at and below zero, which reaches down to -inf from above.
template <class Function> Enclosure Logarithm(const Enclosure& x, bool& refuses, Function f)
{
    if (!HasNumbers(x)) return x;
    if (x.lo <= 0) refuses = true;
    if (x.hi <= 0) return NaNOnly(x.nan);
    const Enclosure e =
        Make(x.lo > 0 ? LibraryDown(f(x.lo)) : -kInfinity, LibraryUp(f(x.hi)), x.nan);
    return Clamp(e, x.lo >= 1 ? 0.0 : -kInfinity, x.hi <= 1 ? 0.0 : kInfinity);
}

} // namespace

Enclosure Ln(const Enclosure& x, bool& refuses)
{
    return Logarithm(x, refuses, [](double u) { return std::log(u); });
}

Enclosure Log(const Enclosure& x, bool& refuses)
{
    return Logarithm(x, refuses, [](double u) { return std::log10(u); });
}

Enclosure Sqrt(const Enclosure& x, bool& refuses)
{
    if (!HasNumbers(x)) return x;
    if (x.lo < 0) refuses = true; // -0.0 is not refused
    if (x.hi < 0) return NaNOnly(x.nan);
    return Make(std::max(Lower(Root(std::max(x.lo, 0.0))), 0.0), Upper(Root(x.hi)), x.nan);
}

// ---- Circular functions ----------------------------------------------------------------------

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = 1.5707963267948966; // below pi / 2, as kPi is below pi
// Beyond this size an interval's ends are too coarse to place the multiples of pi reliably.
constexpr double kTrigSpan = 1048576.0;

// Which of the points offset + k * pi lie in [a, b]: a superset, since the quotients may be
// off by about 1e-10 within kTrigSpan and points that close to an end count as inside.
struct Multiples
{
    bool any, even, odd;
};

Multiples MultiplesOfPi(double a, double b, double offset)
{
    constexpr double kMargin = 1e-8;
    const double first = std::ceil((a - offset) / kPi - kMargin);
    const double last = std::floor((b - offset) / kPi + kMargin);
    if (first > last) return {false, false, false};
    const bool several = last > first;
    const bool firstEven = std::fmod(first, 2.0) == 0;
    return {true, several || firstEven, several || !firstEven};
}

// The finite part of an operand of a periodic function: sin(inf) is NaN.
struct Finite
{
    double a, b;
    bool nan;
    bool empty() const { return a > b; }
    bool point() const { return a == b; }
    bool wide() const { return std::fabs(a) > kTrigSpan || std::fabs(b) > kTrigSpan; }
};

Finite FinitePart(const Enclosure& x)
{
    return {std::max(x.lo, -DBL_MAX), std::min(x.hi, DBL_MAX),
            x.nan || x.lo == -kInfinity || x.hi == kInfinity};
}

// sin (offset pi / 2) and cos (offset 0): maxima at the even multiples, minima at the odd ones.
template <class Function> Enclosure Wave(const Enclosure& x, double offset, Function f)
{
    if (!HasNumbers(x)) return x;
    const Finite u = FinitePart(x);
    if (u.empty()) return NaNOnly(true);
    if (!u.point() && u.wide()) return Make(-1, 1, u.nan);
    const double fa = f(u.a), fb = f(u.b);
    double lo = LibraryDown(std::min(fa, fb)), hi = LibraryUp(std::max(fa, fb));
    if (!u.point()) {
        const Multiples extrema = MultiplesOfPi(u.a, u.b, offset);
        if (extrema.even) hi = 1;
        if (extrema.odd) lo = -1;
    }
    return Make(std::max(lo, -1.0), std::min(hi, 1.0), u.nan);
}

// tan on a branch between poles, or the whole line when a pole (where cos is 0) may be inside.
Enclosure TanOf(const Finite& u, bool& refuses)
{
    if (!u.point() && (u.wide() || MultiplesOfPi(u.a, u.b, kHalfPi).any)) {
        refuses = true;
        return Make(-kInfinity, kInfinity, u.nan);
    }
    if (u.point() && std::cos(u.a) == 0.0) refuses = true;
    double lo = LibraryDown(std::tan(u.a)), hi = LibraryUp(std::tan(u.b));
    if (u.a >= 0 && u.b <= kHalfPi) lo = std::max(lo, 0.0);
    if (u.b <= 0 && u.a >= -kHalfPi) hi = std::min(hi, 0.0);
    return Make(lo, hi, u.nan);
}

Enclosure Reciprocal(const Enclosure& x, bool& refuses)
{
    return Divide(Point(1.0), x, refuses);
}

} // namespace

Enclosure Sin(const Enclosure& x)
{
    const Enclosure e = Wave(x, kHalfPi, [](double u) { return std::sin(u); });
    if (!HasNumbers(e)) return e;
    // Within [-pi, pi], sin keeps the sign of its operand.
    return Clamp(e, x.lo >= 0 && x.hi <= kPi ? 0.0 : -1.0, x.hi <= 0 && x.lo >= -kPi ? 0.0 : 1.0);
}

Enclosure Cos(const Enclosure& x)
{
    const Enclosure e = Wave(x, 0.0, [](double u) { return std::cos(u); });
    if (!HasNumbers(e)) return e;
    return x.lo >= -kHalfPi && x.hi <= kHalfPi ? Clamp(e, 0.0, 1.0) : e;
}

Enclosure Tan(const Enclosure& x, bool& refuses)
{
    if (!HasNumbers(x)) return x;
    const Finite u = FinitePart(x);
    if (u.empty()) return NaNOnly(true);
    return TanOf(u, refuses);
}

Enclosure Sec(const Enclosure& x, bool& refuses)
{
    return Reciprocal(Cos(x), refuses);
}

Enclosure Csc(const Enclosure& x, bool& refuses)
{
    return Reciprocal(Sin(x), refuses);
}

// 1 / tan u, refused where sin u is 0. Across a pole of tan the two branches' ends meet at 0.
Enclosure Cot(const Enclosure& x, bool& refuses)
{
    if (!HasNumbers(x)) return x;
    const Finite u = FinitePart(x);
    if (u.empty()) return NaNOnly(true);
    bool ignored = false;
    if (u.point()) {
        if (std::sin(u.a) != 0.0) return Reciprocal(TanOf(u, ignored), ignored);
        refuses = true;
        return NaNOnly(u.nan);
    }
    if (u.wide() || MultiplesOfPi(u.a, u.b, 0.0).any) refuses = true;
    if (u.wide()) return Make(-kInfinity, kInfinity, u.nan);
    const Multiples poles = MultiplesOfPi(u.a, u.b, kHalfPi);
    if (!poles.any) return Reciprocal(TanOf(u, ignored), ignored);
    if (poles.even && poles.odd) return Make(-kInfinity, kInfinity, u.nan);
    const Enclosure below = Make(LibraryDown(std::tan(u.a)), kInfinity);
    const Enclosure above = Make(-kInfinity, LibraryUp(std::tan(u.b)));
    Enclosure e = Hull(Reciprocal(below, ignored), Reciprocal(above, ignored));
    e.nan = u.nan;
    return e;
}

// ---- Inverse circular functions --------------------------------------------------------------

Enclosure ArcSin(const Enclosure& x, bool& refuses)
{
    if (!HasNumbers(x)) return x;
    if (x.lo < -1 || x.hi > 1) refuses = true;
    const Enclosure inside = Make(std::max(x.lo, -1.0), std::min(x.hi, 1.0), x.nan);
    return KeepSign(Increasing(inside, [](double u) { return std::asin(u); }), inside);
}

Enclosure ArcCos(const Enclosure& x, bool& refuses)
{
    if (!HasNumbers(x)) return x;
    if (x.lo < -1 || x.hi > 1) refuses = true;
    const double a = std::max(x.lo, -1.0), b = std::min(x.hi, 1.0);
    if (a > b) return NaNOnly(x.nan);
    return Make(std::max(LibraryDown(std::acos(b)), 0.0), LibraryUp(std::acos(a)), x.nan);
}

Enclosure ArcTan(const Enclosure& x)
{
    return KeepSign(Increasing(x, [](double u) { return std::atan(u); }), x);
}

namespace {

// f(1 / t) for |t| > 1, where f is asin or acos: refused on [-1, 1]. Each side of that gap
// apart, their reciprocals lie in [-1, 1] (rounding to nearest keeps them there).
template <class Outer> Enclosure OfReciprocalOutside(const Enclosure& x, bool& refuses, Outer outer)
{
    if (!HasNumbers(x)) return x;
    if (x.lo <= 1 && x.hi >= -1) refuses = true;
    Enclosure out = NaNOnly(x.nan);
    bool ignored = false;
    if (x.lo < -1) {
        const Enclosure r = Reciprocal(Make(x.lo, std::min(x.hi, -1.0)), ignored);
        out = Hull(out, outer(Clamp(r, -1.0, 1.0)));
    }
    if (x.hi > 1) {
        const Enclosure r = Reciprocal(Make(std::max(x.lo, 1.0), x.hi), ignored);
        out = Hull(out, outer(Clamp(r, -1.0, 1.0)));
    }
    return out;
}

} // namespace

Enclosure ArcSec(const Enclosure& x, bool& refuses)
{
    return OfReciprocalOutside(x, refuses, [](const Enclosure& r) {
        bool ignored = false;
        return ArcCos(r, ignored);
    });
}

Enclosure ArcCsc(const Enclosure& x, bool& refuses)
{
    return OfReciprocalOutside(x, refuses, [](const Enclosure& r) {
        bool ignored = false;
        return ArcSin(r, ignored);
    });
}

Enclosure ArcCot(const Enclosure& x, bool& refuses)
{
    return ArcTan(Reciprocal(x, refuses));
}

// ---- Hyperbolic functions --------------------------------------------------------------------

Enclosure HSin(const Enclosure& x)
{
    return KeepSign(Increasing(x, [](double u) { return std::sinh(u); }), x);
}

Enclosure HCos(const Enclosure& x)
{
    if (!HasNumbers(x)) return x;
    // Even, smallest at 0.
    const Enclosure magnitude = Abs(x);
    return Clamp(Increasing(magnitude, [](double u) { return std::cosh(u); }), 1.0, kInfinity);
}

Enclosure HTan(const Enclosure& x)
{
    const Enclosure e = KeepSign(Increasing(x, [](double u) { return std::tanh(u); }), x);
    if (!HasNumbers(e)) return e;
    return Clamp(e, -1.0, 1.0);
}

Enclosure HSec(const Enclosure& x)
{
    bool ignored = false; // cosh is at least 1
    return Reciprocal(HCos(x), ignored);
}

Enclosure HCsc(const Enclosure& x, bool& refuses)
{
    return Reciprocal(HSin(x), refuses);
}

Enclosure HCot(const Enclosure& x, bool& refuses)
{
    return Reciprocal(HTan(x), refuses);
}

// ---- RAND ------------------------------------------------------------------------------------

Enclosure Random(const Enclosure& scale)
{
    // RandomValue(draw, scale) is (draw * scale) * c; with draw and scale 1 it is c itself.
    static const double kStep = node_math::RandomValue(1.0, 1.0);
    return Multiply(Multiply(Make(0.0, 32767.0), scale), Point(kStep));
}

} // namespace interval_math

// ---- The public arithmetic on Interval -------------------------------------------------------

namespace {

interval_math::Enclosure ToEnclosure(const Interval& x)
{
    if (IsEmpty(x)) return interval_math::Enclosure{};
    return interval_math::Enclosure{x.lo, x.hi, false};
}

Interval ToInterval(const interval_math::Enclosure& x)
{
    if (!interval_math::HasNumbers(x)) return kEmptyInterval;
    return Interval{x.lo, x.hi};
}

} // namespace

Interval Hull(const Interval& a, const Interval& b)
{
    return ToInterval(interval_math::Hull(ToEnclosure(a), ToEnclosure(b)));
}

Interval Add(const Interval& a, const Interval& b)
{
    return ToInterval(interval_math::Add(ToEnclosure(a), ToEnclosure(b)));
}

Interval Subtract(const Interval& a, const Interval& b)
{
    return ToInterval(interval_math::Subtract(ToEnclosure(a), ToEnclosure(b)));
}

Interval Multiply(const Interval& a, const Interval& b)
{
    return ToInterval(interval_math::Multiply(ToEnclosure(a), ToEnclosure(b)));
}

Interval Divide(const Interval& a, const Interval& b)
{
    bool ignored = false;
    return ToInterval(interval_math::Divide(ToEnclosure(a), ToEnclosure(b), ignored));
}

Interval Square(const Interval& x)
{
    return ToInterval(interval_math::Square(ToEnclosure(x)));
}
