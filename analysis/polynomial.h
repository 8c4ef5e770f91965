#pragma once

// The algebra behind the readable form of a formula: exact rational coefficients where the
// constants allow it, and sums of terms over indivisible factors (atoms) that the caller numbers.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

// A number in a sum: an exact fraction p/q while numerator and denominator stay within 2^53
// (so that both print and read back exactly), otherwise a double. An exact value remembers how
// it reads best: 0.25 typed as a decimal stays a decimal, x/4 shows its 4.
class Coefficient
{
public:
    // Ordered: combining two values keeps the later style (a fraction wins over a decimal).
    enum class Style
    {
        Integer,
        Decimal,
        Fraction
    };

    Coefficient() = default;
    explicit Coefficient(int64_t integer);
    // Reduced to lowest terms; a double when either part is too large. `denominator` is not 0.
    static Coefficient Exact(int64_t numerator, int64_t denominator, Style style);
    static Coefficient Inexact(double value);

    bool IsExact() const { return denominator != 0; }
    // Exact values only.
    int64_t Numerator() const { return numerator; }
    int64_t Denominator() const { return denominator; }
    Style ReadsAs() const { return style; }
    double Value() const;

    bool IsZero() const { return IsExact() ? numerator == 0 : value == 0; }
    bool IsOne() const { return IsExact() && numerator == 1 && denominator == 1; }
    bool IsNegative() const { return IsExact() ? numerator < 0 : value < 0; }
    bool IsInteger() const { return IsExact() && denominator == 1; }
    // Whether the exact value has a finite decimal expansion (its denominator is 2^a 5^b).
    bool Terminates() const;

    Coefficient operator-() const;
    Coefficient Reciprocal() const; // of a value that is not 0
    // The value to an integer power; none when a double result is not finite or vanishes.
    std::optional<Coefficient> Power(int64_t exponent) const;
    Coefficient WithStyle(Style newStyle) const;

    friend Coefficient operator+(const Coefficient& a, const Coefficient& b);
    friend Coefficient operator*(const Coefficient& a, const Coefficient& b);
    // Equal values, whatever their style.
    friend bool operator==(const Coefficient& a, const Coefficient& b);
    friend bool operator!=(const Coefficient& a, const Coefficient& b) { return !(a == b); }

private:
    int64_t numerator = 0;
    int64_t denominator = 1; // 0 marks a double in `value`
    double value = 0;
    Style style = Style::Integer;
};

// The largest numerator or denominator an exact coefficient keeps: every integer up to it is a
// double.
constexpr int64_t kLargestExactPart = int64_t{1} << 53;

// An atom to a power other than 0. Exponents stay within what the engine's "^" reads as an
// integer for a negative base (32 bits), so that x^n means the same when printed and read back.
struct Factor
{
    int atom;
    int64_t exponent;

    friend bool operator<(const Factor& a, const Factor& b)
    {
        return a.atom != b.atom ? a.atom < b.atom : a.exponent < b.exponent;
    }
    friend bool operator==(const Factor& a, const Factor& b)
    {
        return a.atom == b.atom && a.exponent == b.exponent;
    }
};

constexpr int64_t kLargestExponent = 2147483647;

// Factors sorted by atom, each atom once; empty for the constant term.
using Monomial = std::vector<Factor>;

// A sum of coefficients times monomials, like terms merged, no zero coefficient.
class Polynomial
{
public:
    using Terms = std::map<Monomial, Coefficient>;

    Polynomial() = default; // zero
    static Polynomial Constant(const Coefficient& value);
    static Polynomial Atom(int atom, int64_t exponent = 1);

    const Terms& TermsByMonomial() const { return terms; }
    std::size_t TermCount() const { return terms.size(); }
    bool IsZero() const { return terms.empty(); }
    // The value when there is no atom at all (0 for the zero polynomial).
    std::optional<Coefficient> ConstantValue() const;

    Polynomial& operator+=(const Polynomial& other);
    Polynomial& operator-=(const Polynomial& other);
    Polynomial operator-() const;
    Polynomial Scaled(const Coefficient& factor) const;

    // The product, expanded. None when an exponent would leave its range, or when the result
    // would have more than `limit` terms and more than either operand (a monomial times a long
    // sum is always fine, a power of a long sum is not).
    static std::optional<Polynomial> Product(const Polynomial& a, const Polynomial& b,
                                             std::size_t limit);
    // `base` to a power, expanded under the same rule; `exponent` is at least 1, or any integer
    // for a single term.
    static std::optional<Polynomial> Power(const Polynomial& base, int64_t exponent,
                                           std::size_t limit);

    // `dividend` / `divisor` when the division leaves no remainder, with exact coefficients and
    // no negative exponent anywhere; none otherwise.
    static std::optional<Polynomial> ExactQuotient(const Polynomial& dividend,
                                                   const Polynomial& divisor);

    friend bool operator==(const Polynomial& a, const Polynomial& b) { return a.terms == b.terms; }

private:
    void AddTerm(const Monomial& monomial, const Coefficient& coefficient);

    Terms terms;
};

// The product of two monomials; none when an exponent would leave its range.
std::optional<Monomial> MonomialProduct(const Monomial& a, const Monomial& b);

// The positive rational that divides every coefficient into integers without common factor,
// negated when every coefficient is negative; 1 (or -1) when a coefficient is a double.
Coefficient Content(const Polynomial& polynomial);
