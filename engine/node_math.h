#pragma once

// The arithmetic of every node, in one place for the tree's own evaluation and for the batch
// evaluator: both call these, so they compute the same bits by construction. Nothing here
// raises; a function that refuses its operand says so through `refused`, and its caller raises
// (the tree) or marks the point (the batch).

#include "parse_error.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

// The 32-bit integer view of a double used by "%", "&", "|", "!&" and "~": truncation toward
// zero, with out-of-range values, infinities and NaN all becoming -2147483648.
inline int32_t IntegerView(double value)
{
    // Compared as doubles first, so that the conversion itself never overflows.
    if (!(value > -2147483649.0 && value < 2147483648.0)) return INT32_MIN;
    return static_cast<int32_t>(value);
}

// A value counts as true when it is not equal to zero (NaN is true, -0.0 is false).
constexpr bool IsTrue(double value)
{
    return value != 0.0;
}

namespace node_math {

// One-operand functions: Value(u, refused) answers the function's value at u and sets `refused`
// when the node raises kRefusal there instead. kCanRefuse is false for functions defined
// everywhere, whose Value never touches `refused`.
#define VF_TOTAL_FUNCTION(Name, expression)                                                        \
    struct Name                                                                                    \
    {                                                                                              \
        static constexpr bool kCanRefuse = false;                                                  \
        static constexpr int kRefusal = -1;                                                        \
        static double Value(double u, bool&) { return expression; }                                \
    }
#define VF_PARTIAL_FUNCTION(Name, code, inner, refusal, expression)                                \
    struct Name                                                                                    \
    {                                                                                              \
        static constexpr bool kCanRefuse = true;                                                   \
        static constexpr int kRefusal = code;                                                      \
        static double Value(double u, bool& refused)                                               \
        {                                                                                          \
            const double t = inner;                                                                \
            refused = refusal;                                                                     \
            return expression;                                                                     \
        }                                                                                          \
    }

VF_PARTIAL_FUNCTION(Ln, kLnOfNegative, u, t <= 0.0, std::log(t));
VF_PARTIAL_FUNCTION(Log, kLogOfNegative, u, t <= 0.0, std::log10(t));
VF_TOTAL_FUNCTION(Exp, std::exp(u));
VF_TOTAL_FUNCTION(Abs, std::fabs(u));
VF_PARTIAL_FUNCTION(Sqrt, kSqrtOfNegative, u, t < 0.0, std::sqrt(t));
VF_TOTAL_FUNCTION(Neg, -u);
VF_TOTAL_FUNCTION(Sin, std::sin(u));
VF_TOTAL_FUNCTION(Cos, std::cos(u));
// The tests are made on the library's own results, compared with zero exactly.
VF_PARTIAL_FUNCTION(Tan, kTangentInfinite, u, std::cos(t) == 0.0, std::tan(t));
VF_PARTIAL_FUNCTION(Sec, kSecantInfinite, std::cos(u), t == 0.0, 1.0 / t);
VF_PARTIAL_FUNCTION(Csc, kCosecantInfinite, std::sin(u), t == 0.0, 1.0 / t);
// 1 / tan u, not cos u / sin u.
VF_PARTIAL_FUNCTION(Cot, kCotangentInfinite, u, std::sin(t) == 0.0, 1.0 / std::tan(t));
VF_PARTIAL_FUNCTION(ArcSin, kArcSineDomain, u, t > 1.0 || t < -1.0, std::asin(t));
VF_PARTIAL_FUNCTION(ArcCos, kArcCosineDomain, u, t > 1.0 || t < -1.0, std::acos(t));
VF_TOTAL_FUNCTION(ArcTan, std::atan(u));
// -1 and 1 are refused too.
VF_PARTIAL_FUNCTION(ArcSec, kArcSecantDomain, u, t >= -1.0 && t <= 1.0, std::acos(1.0 / t));
VF_PARTIAL_FUNCTION(ArcCsc, kArcCosecantDomain, u, t >= -1.0 && t <= 1.0, std::asin(1.0 / t));
VF_PARTIAL_FUNCTION(ArcCot, kArcCotangentOfZero, u, t == 0.0, std::atan(1.0 / t));
VF_TOTAL_FUNCTION(HSin, std::sinh(u));
VF_TOTAL_FUNCTION(HCos, std::cosh(u));
VF_TOTAL_FUNCTION(HTan, std::tanh(u));
VF_TOTAL_FUNCTION(HSec, 1.0 / std::cosh(u));
VF_PARTIAL_FUNCTION(HCsc, kHyperbolicCosecantInfinite, std::sinh(u), t == 0.0, 1.0 / t);
VF_PARTIAL_FUNCTION(HCot, kHyperbolicCotangentInfinite, std::tanh(u), t == 0.0, 1.0 / t);
VF_TOTAL_FUNCTION(Not, u == 0.0 ? 1.0 : 0.0);
VF_TOTAL_FUNCTION(Complement, static_cast<double>(~IntegerView(u)));
VF_TOTAL_FUNCTION(Ceil, std::ceil(u));
VF_TOTAL_FUNCTION(Floor, std::floor(u));

#undef VF_TOTAL_FUNCTION
#undef VF_PARTIAL_FUNCTION

// Two-operand operators: Value(l, r) with the operands' values.
struct Plus
{
    static double Value(double l, double r) { return l + r; }
};
struct Minus
{
    static double Value(double l, double r) { return l - r; }
};
struct Multiply
{
    static double Value(double l, double r) { return l * r; }
};
// The divisor is tested (DivisorRefused) before the dividend is evaluated.
struct Divide
{
    static double Value(double l, double r) { return l / r; }
};
struct Less
{
    static double Value(double l, double r) { return l < r ? 1.0 : 0.0; }
};
struct Greater
{
    static double Value(double l, double r) { return l > r ? 1.0 : 0.0; }
};
struct Equal
{
    static double Value(double l, double r) { return l == r ? 1.0 : 0.0; }
};
struct NotEqual
{
    static double Value(double l, double r) { return l == r ? 0.0 : 1.0; }
};
struct LessOrEqual
{
    static double Value(double l, double r) { return l <= r ? 1.0 : 0.0; }
};
struct GreaterOrEqual
{
    static double Value(double l, double r) { return l >= r ? 1.0 : 0.0; }
};
struct BitwiseAnd
{
    static double Value(double l, double r)
    {
        return static_cast<double>(IntegerView(l) & IntegerView(r));
    }
};
struct BitwiseOr
{
    static double Value(double l, double r)
    {
        return static_cast<double>(IntegerView(l) | IntegerView(r));
    }
};
struct BitwiseXor
{
    static double Value(double l, double r)
    {
        return static_cast<double>(IntegerView(l) ^ IntegerView(r));
    }
};
struct Power
{
    static double Value(double base, double exponent)
    {
        // Simplification turns every x * x into x ^ 2, so squares are common: the product is the
        // correctly rounded square, and a fraction of the cost of pow.
        if (exponent == 2.0) return base * base;
        if (base > 0.0) return std::pow(base, exponent);
        if (base == 0.0) return 0.0;
        // A negative base gets an integral exponent, so that the result stays real.
        return std::pow(base, static_cast<double>(IntegerView(exponent)));
    }
};

// "/" and "%" raise kDivisionByZero for a zero divisor before they evaluate the dividend.
inline bool DivisorRefused(double divisor)
{
    return divisor == 0.0;
}

// The remainder of the integer views; `refused` when the divisor's view is 0 (a divisor between
// -1 and 1), which divides by zero as well. INT32_MIN % -1 would trap, so -1 answers 0 directly.
inline double Remainder(double dividend, double divisor, bool& refused)
{
    const int32_t integerDividend = IntegerView(dividend);
    const int32_t integerDivisor = IntegerView(divisor);
    refused = integerDivisor == 0;
    if (integerDivisor == 0 || integerDivisor == -1) return 0.0;
    return static_cast<double>(integerDividend % integerDivisor);
}

// The operators that evaluate only one of their sides: c ? a : b, c && a and c || b.
enum class Combine : uint8_t
{
    kSelect,
    kAnd, // 0 where the condition is false, without evaluating a
    kOr   // 1 where the condition is true, without evaluating b
};

// Whether the side of a branch taken where its condition is `condition` has an arm to evaluate.
constexpr bool HasArm(Combine combine, bool condition)
{
    return combine == Combine::kSelect || (combine == Combine::kAnd) == condition;
}

// A branch's value where its condition is `condition`, from the value of the arm taken there
// (not read where that side has no arm): the arm's value for ?:, its truth for && and ||.
constexpr double BranchValue(Combine combine, bool condition, double arm)
{
    if (combine == Combine::kSelect) return arm;
    if (!HasArm(combine, condition)) return combine == Combine::kAnd ? 0.0 : 1.0;
    return IsTrue(arm) ? 1.0 : 0.0;
}

// A draw of RAND: fifteen bits of the C runtime's generator, 0 to 32767 on every platform.
inline int RandomDraw()
{
    return std::rand() & 0x7FFF;
}

// RAND's value from its draw and its scale: the draw times the scale over 32767.
inline double RandomValue(double draw, double scale)
{
    return (draw * scale) * 3.051850947599719e-05;
}

} // namespace node_math
