#include "polynomial.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>

namespace {

bool FitsExactly(int64_t part)
{
    return part >= -kLargestExactPart && part <= kLargestExactPart;
}

Coefficient::Style Later(Coefficient::Style a, Coefficient::Style b)
{
    return std::max(a, b);
}

// a * b + c * d without overflow, or none.
std::optional<int64_t> CrossSum(int64_t a, int64_t b, int64_t c, int64_t d)
{
    int64_t ab = 0;
    int64_t cd = 0;
    int64_t sum = 0;
    if (__builtin_mul_overflow(a, b, &ab) || __builtin_mul_overflow(c, d, &cd) ||
        __builtin_add_overflow(ab, cd, &sum))
        return std::nullopt;
    return sum;
}

std::optional<int64_t> Times(int64_t a, int64_t b)
{
    int64_t product = 0;
    if (__builtin_mul_overflow(a, b, &product)) return std::nullopt;
    return product;
}

} // namespace

// ---- Coefficient -----------------------------------------------------------------------------

Coefficient::Coefficient(int64_t integer) : Coefficient(Exact(integer, 1, Style::Integer)) {}

Coefficient Coefficient::Exact(int64_t numerator, int64_t denominator, Style style)
{
    // Within 2^63 both parts are far from INT64_MIN, so negating them below is safe.
    if (!FitsExactly(numerator) || !FitsExactly(denominator))
        return Inexact(static_cast<double>(numerator) / static_cast<double>(denominator));
    if (denominator < 0) {
        numerator = -numerator;
        denominator = -denominator;
    }
    const int64_t divisor = std::gcd(numerator, denominator);
    Coefficient result;
    result.numerator = numerator / divisor;
    result.denominator = denominator / divisor;
    result.style = result.denominator == 1 ? Style::Integer : style;
    return result;
}

Coefficient Coefficient::Inexact(double value)
{
    Coefficient result;
    result.denominator = 0;
    result.value = value;
    result.style = Style::Decimal;
    return result;
}

double Coefficient::Value() const
{
    if (!IsExact()) return value;
    // Both parts are doubles exactly, so the quotient is the correctly rounded value.
    return static_cast<double>(numerator) / static_cast<double>(denominator);
}

bool Coefficient::Terminates() const
{
    if (!IsExact()) return false;
    int64_t rest = denominator;
    while (rest % 2 == 0)
        rest /= 2;
    while (rest % 5 == 0)
        rest /= 5;
    return rest == 1;
}

Coefficient Coefficient::operator-() const
{
    if (!IsExact()) return Inexact(-value);
    return Exact(-numerator, denominator, style);
}

Coefficient Coefficient::Reciprocal() const
{
    if (!IsExact()) return Inexact(1.0 / value);
    // A division reads as a fraction: x/4 rather than 0.25x.
    return Exact(denominator, numerator, Style::Fraction);
}

std::optional<Coefficient> Coefficient::Power(int64_t exponent) const
{
    if (exponent < 0) {
        if (IsZero()) return std::nullopt;
        return Reciprocal().Power(-exponent);
    }
    if (IsExact()) {
        Coefficient result(1);
        result.style = style;
        Coefficient square = *this;
        bool exact = true;
        for (int64_t rest = exponent; rest > 0 && exact; rest /= 2) {
            if (rest % 2 == 1) result = result * square;
            if (rest > 1) square = square * square;
            exact = result.IsExact() && square.IsExact();
        }
        if (exact) return result;
    }
    const double power = std::pow(Value(), static_cast<double>(exponent));
    if (!std::isfinite(power) || (power == 0 && !IsZero())) return std::nullopt;
    return Inexact(power);
}

Coefficient Coefficient::WithStyle(Style newStyle) const
{
    Coefficient result = *this;
    if (IsExact() && denominator != 1) result.style = newStyle;
    return result;
}

Coefficient operator+(const Coefficient& a, const Coefficient& b)
{
    if (a.IsExact() && b.IsExact()) {
        const int64_t divisor = std::gcd(a.denominator, b.denominator);
        const int64_t aScale = b.denominator / divisor;
        const int64_t bScale = a.denominator / divisor;
        const auto numerator = CrossSum(a.numerator, aScale, b.numerator, bScale);
        const auto denominator = Times(a.denominator, aScale);
        if (numerator && denominator)
            return Coefficient::Exact(*numerator, *denominator, Later(a.style, b.style));
    }
    return Coefficient::Inexact(a.Value() + b.Value());
}

Coefficient operator*(const Coefficient& a, const Coefficient& b)
{
    if (a.IsExact() && b.IsExact()) {
        // Cross-cancel first, so that products of reduced fractions overflow only when they must.
        const int64_t first = std::gcd(a.numerator, b.denominator);
        const int64_t second = std::gcd(b.numerator, a.denominator);
        const auto numerator = Times(a.numerator / first, b.numerator / second);
        const auto denominator = Times(a.denominator / second, b.denominator / first);
        if (numerator && denominator)
            return Coefficient::Exact(*numerator, *denominator, Later(a.style, b.style));
    }
    return Coefficient::Inexact(a.Value() * b.Value());
}

bool operator==(const Coefficient& a, const Coefficient& b)
{
    if (a.IsExact() && b.IsExact())
        return a.numerator == b.numerator && a.denominator == b.denominator;
    return a.Value() == b.Value();
}

// ---- Monomials and polynomials ---------------------------------------------------------------

std::optional<Monomial> MonomialProduct(const Monomial& a, const Monomial& b)
{
    Monomial product;
    product.reserve(a.size() + b.size());
    auto i = a.begin();
    auto j = b.begin();
    while (i != a.end() || j != b.end()) {
        if (j == b.end() || (i != a.end() && i->atom < j->atom)) {
            product.push_back(*i++);
        } else if (i == a.end() || j->atom < i->atom) {
            product.push_back(*j++);
        } else {
            const int64_t exponent = i->exponent + j->exponent; // both within 32 bits
            if (std::llabs(exponent) > kLargestExponent) return std::nullopt;
            if (exponent != 0) product.push_back({i->atom, exponent});
            ++i;
            ++j;
        }
    }
    return product;
}

Polynomial Polynomial::Constant(const Coefficient& value)
{
    Polynomial result;
    result.AddTerm({}, value);
    return result;
}

Polynomial Polynomial::Atom(int atom, int64_t exponent)
{
    Polynomial result;
    result.AddTerm({{atom, exponent}}, Coefficient(1));
    return result;
}

std::optional<Coefficient> Polynomial::ConstantValue() const
{
    if (terms.empty()) return Coefficient(0);
    if (terms.size() == 1 && terms.begin()->first.empty()) return terms.begin()->second;
    return std::nullopt;
}

void Polynomial::AddTerm(const Monomial& monomial, const Coefficient& coefficient)
{
    if (coefficient.IsZero()) return;
    const auto [place, added] = terms.emplace(monomial, coefficient);
    if (added) return;
    place->second = place->second + coefficient;
    if (place->second.IsZero()) terms.erase(place);
}

Polynomial& Polynomial::operator+=(const Polynomial& other)
{
    for (const auto& [monomial, coefficient] : other.terms)
        AddTerm(monomial, coefficient);
    return *this;
}

Polynomial& Polynomial::operator-=(const Polynomial& other)
{
    for (const auto& [monomial, coefficient] : other.terms)
        AddTerm(monomial, -coefficient);
    return *this;
}

Polynomial Polynomial::operator-() const
{
    return Scaled(Coefficient(-1));
}

Polynomial Polynomial::Scaled(const Coefficient& factor) const
{
    Polynomial result;
    for (const auto& [monomial, coefficient] : terms)
        result.AddTerm(monomial, coefficient * factor);
    return result;
}

std::optional<Polynomial> Polynomial::Product(const Polynomial& a, const Polynomial& b,
                                              std::size_t limit)
{
    const std::size_t larger = std::max(a.TermCount(), b.TermCount());
    const bool grows = a.TermCount() > 1 && b.TermCount() > 1;
    // Expanding far beyond the limit only to throw the result away is not worth the time.
    if (grows && a.TermCount() * b.TermCount() > 4 * limit * limit) return std::nullopt;
    Polynomial product;
    for (const auto& [left, leftCoefficient] : a.terms) {
        for (const auto& [right, rightCoefficient] : b.terms) {
            const auto monomial = MonomialProduct(left, right);
            if (!monomial) return std::nullopt;
            product.AddTerm(*monomial, leftCoefficient * rightCoefficient);
        }
    }
    if (grows && product.TermCount() > limit && product.TermCount() > larger) return std::nullopt;
    return product;
}

std::optional<Polynomial> Polynomial::Power(const Polynomial& base, int64_t exponent,
                                            std::size_t limit)
{
    if (base.TermCount() == 1) {
        const auto& [monomial, coefficient] = *base.terms.begin();
        const auto power = coefficient.Power(exponent);
        if (!power) return std::nullopt;
        Monomial raised = monomial;
        for (Factor& factor : raised) {
            const auto product = Times(factor.exponent, exponent);
            if (!product || std::llabs(*product) > kLargestExponent) return std::nullopt;
            factor.exponent = *product;
        }
        Polynomial result;
        result.AddTerm(raised, *power);
        return result;
    }
    if (base.IsZero()) return exponent > 0 ? std::optional<Polynomial>(base) : std::nullopt;
    // A sum of two or more terms to the n-th power has more than n terms.
    if (exponent < 1 || static_cast<uint64_t>(exponent) >= limit) return std::nullopt;
    Polynomial result = base;
    for (int64_t i = 1; i < exponent; ++i) {
        auto next = Product(result, base, limit);
        if (!next) return std::nullopt;
        result = std::move(*next);
    }
    return result;
}

namespace {

// Lexicographic order of exponent vectors, atoms by number: an order that multiplication keeps,
// as division needs.
bool LexGreater(const Monomial& a, const Monomial& b)
{
    auto i = a.begin();
    auto j = b.begin();
    for (; i != a.end() && j != b.end(); ++i, ++j) {
        if (i->atom != j->atom) return i->atom < j->atom ? i->exponent > 0 : j->exponent < 0;
        if (i->exponent != j->exponent) return i->exponent > j->exponent;
    }
    if (i != a.end()) return i->exponent > 0;
    return j != b.end() && j->exponent < 0;
}

bool Divisible(const Polynomial& polynomial)
{
    for (const auto& [monomial, coefficient] : polynomial.TermsByMonomial()) {
        if (!coefficient.IsExact()) return false;
        for (const Factor& factor : monomial)
            if (factor.exponent < 0) return false;
    }
    return true;
}

Polynomial::Terms::const_iterator Leading(const Polynomial& polynomial)
{
    const auto& terms = polynomial.TermsByMonomial();
    auto leading = terms.begin();
    for (auto term = terms.begin(); term != terms.end(); ++term)
        if (LexGreater(term->first, leading->first)) leading = term;
    return leading;
}

// a / b when every exponent of b is at most a's.
std::optional<Monomial> MonomialQuotient(const Monomial& a, const Monomial& b)
{
    Monomial inverse = b;
    for (Factor& factor : inverse)
        factor.exponent = -factor.exponent;
    auto quotient = MonomialProduct(a, inverse);
    if (!quotient) return std::nullopt;
    for (const Factor& factor : *quotient)
        if (factor.exponent < 0) return std::nullopt;
    return quotient;
}

} // namespace

std::optional<Polynomial> Polynomial::ExactQuotient(const Polynomial& dividend,
                                                    const Polynomial& divisor)
{
    if (divisor.IsZero() || !Divisible(dividend) || !Divisible(divisor)) return std::nullopt;
    const auto [divisorMonomial, divisorCoefficient] = *Leading(divisor);
    const Coefficient inverse = divisorCoefficient.Reciprocal();
    Polynomial remainder = dividend;
    Polynomial quotient;
    // Each step takes the remainder's leading term into the quotient; a quotient of more terms
    // than this is not worth showing.
    constexpr int kLargestQuotient = 1000;
    for (int steps = 0; !remainder.IsZero(); ++steps) {
        if (steps == kLargestQuotient) return std::nullopt;
        const auto& [monomial, coefficient] = *Leading(remainder);
        const auto factor = MonomialQuotient(monomial, divisorMonomial);
        const Coefficient scale = coefficient * inverse;
        if (!factor || !scale.IsExact()) return std::nullopt;
        Polynomial term;
        term.AddTerm(*factor, scale);
        for (const auto& [divisorTerm, divisorTermCoefficient] : divisor.terms) {
            const auto product = MonomialProduct(*factor, divisorTerm);
            if (!product) return std::nullopt;
            remainder.AddTerm(*product, -(scale * divisorTermCoefficient));
        }
        quotient += term;
    }
    return quotient;
}

Coefficient Content(const Polynomial& polynomial)
{
    bool allNegative = !polynomial.IsZero();
    bool exact = true;
    int64_t divisor = 0;
    int64_t multiple = 1;
    Coefficient::Style style = Coefficient::Style::Integer;
    for (const auto& term : polynomial.TermsByMonomial()) {
        const Coefficient& coefficient = term.second;
        allNegative = allNegative && coefficient.IsNegative();
        if (!coefficient.IsExact()) {
            exact = false;
            continue;
        }
        style = Later(style, coefficient.ReadsAs());
        divisor = std::gcd(divisor, coefficient.Numerator());
        const auto product = Times(multiple / std::gcd(multiple, coefficient.Denominator()),
                                   coefficient.Denominator());
        if (!product || !FitsExactly(*product)) exact = false;
        if (product) multiple = *product;
    }
    const Coefficient sign(allNegative ? -1 : 1);
    if (!exact || divisor == 0) return sign;
    return Coefficient::Exact(allNegative ? -divisor : divisor, multiple, style);
}
