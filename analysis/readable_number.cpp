#include "readable_number.h"

#include "parse_tables.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numeric>

namespace {

// How close a double must be to an exact form to be shown as it: rounding in the engine's
// folding or in Newton's last step leaves an ulp or two, while a genuinely different number of
// the same size is almost never that close to a form with small parts.
constexpr double kUlpsAllowed = 2;

constexpr int64_t kLargestFractionDenominator = 100; // 1/3, 5/12, 1/64, 99/100
constexpr int64_t kLargestMultipleDenominator = 12;  // π/2, 2π/3, π/12
constexpr int64_t kLargestMultiple = 100;
constexpr int kLargestTypedDigits = 15; // every decimal of up to 15 digits survives a double
constexpr int kLargestSurdDenominator = 12;
constexpr int kLargestSurdMultiple = 12;
constexpr int kLargestRadicand = 50;
constexpr int64_t kLargestSurdOffset = 1000;
constexpr int kPanelDigits = 4;

const char kMinus[] = "\u2212";

// A number as the sum of two doubles, for checks far finer than an ulp.
struct DoubleDouble
{
    double high;
    double low;
};

// PI and E of the engine's table (indices 0 and 1), each with the rest of its true value.
constexpr int kPiIndex = 0;
constexpr int kEIndex = 1;
DoubleDouble NamedConstant(int index)
{
    const double rest = index == kPiIndex ? 1.2246467991473532e-16 : 1.4456468917292502e-16;
    return {kNamedConstantValues[index], rest};
}

double Ulp(double value)
{
    const double magnitude = std::fabs(value);
    return std::nextafter(magnitude, std::numeric_limits<double>::infinity()) - magnitude;
}

// scale * value - offset - multiple * constant, with an error far below an ulp of the value:
// the products are split exactly with fused multiply-adds and the parts summed with Neumaier's
// compensation.
double Residual(double value, int64_t scale, int64_t offset, int64_t multiple,
                DoubleDouble constant)
{
    const double scaled = value * static_cast<double>(scale);
    const double scaledError = std::fma(value, static_cast<double>(scale), -scaled);
    const double product = static_cast<double>(multiple) * constant.high;
    const double productError = std::fma(static_cast<double>(multiple), constant.high, -product);
    const double parts[] = {scaled,        -static_cast<double>(offset),
                            -product,      scaledError,
                            -productError, -static_cast<double>(multiple) * constant.low};
    double sum = 0;
    double compensation = 0;
    for (const double part : parts) {
        const double next = sum + part;
        compensation +=
            std::fabs(sum) >= std::fabs(part) ? (sum - next) + part : (part - next) + sum;
        sum = next;
    }
    return sum + compensation;
}

bool CloseEnough(double value, int64_t scale, int64_t offset, int64_t multiple,
                 DoubleDouble constant)
{
    const double residual = Residual(value, scale, offset, multiple, constant);
    return std::fabs(residual) <= kUlpsAllowed * static_cast<double>(scale) * Ulp(value);
}

bool InExactRange(double value)
{
    return std::fabs(value) <= static_cast<double>(kLargestExactPart);
}

std::optional<int64_t> NearbyInteger(double value)
{
    if (!InExactRange(value)) return std::nullopt;
    const auto integer = static_cast<int64_t>(std::llround(value));
    if (!CloseEnough(value, 1, integer, 0, {0, 0})) return std::nullopt;
    return integer;
}

struct Fraction
{
    int64_t numerator;
    int64_t denominator;
};

// The fraction with the smallest denominator from 2 to `largest` within two ulps, if any.
std::optional<Fraction> NearbyFraction(double value, int64_t largest)
{
    if (!InExactRange(value)) return std::nullopt;
    for (int64_t denominator = 2; denominator <= largest; ++denominator) {
        const auto numerator = static_cast<int64_t>(std::llround(value * denominator));
        if (std::gcd(numerator, denominator) != 1) continue;
        if (CloseEnough(value, denominator, numerator, 0, {0, 0}))
            return Fraction{numerator, denominator};
    }
    return std::nullopt;
}

// p/q times `constant`, smallest q first.
std::optional<Fraction> NearbyMultiple(double value, DoubleDouble constant)
{
    for (int64_t denominator = 1; denominator <= kLargestMultipleDenominator; ++denominator) {
        const double estimate = value * denominator / constant.high;
        if (!(std::fabs(estimate) <= kLargestMultiple)) return std::nullopt;
        const auto numerator = static_cast<int64_t>(std::llround(estimate));
        if (numerator == 0 || std::gcd(numerator, denominator) != 1) continue;
        if (CloseEnough(value, denominator, 0, numerator, constant))
            return Fraction{numerator, denominator};
    }
    return std::nullopt;
}

// (offset + multiple √radicand) / denominator.
struct Surd
{
    int64_t offset;
    int64_t multiple;
    int64_t radicand;
    int64_t denominator;
};

bool SquareFree(int n)
{
    for (int k = 2; k * k <= n; ++k)
        if (n % (k * k) == 0) return false;
    return true;
}

std::optional<Surd> NearbySurd(double value)
{
    if (!(std::fabs(value) <= kLargestSurdOffset)) return std::nullopt;
    for (int denominator = 1; denominator <= kLargestSurdDenominator; ++denominator) {
        for (int radicand = 2; radicand <= kLargestRadicand; ++radicand) {
            if (!SquareFree(radicand)) continue;
            const double high = std::sqrt(static_cast<double>(radicand));
            for (int size = 1; size <= kLargestSurdMultiple; ++size) {
                for (const int multiple : {size, -size}) {
                    const double rest = value * denominator - multiple * high;
                    const double offset = std::nearbyint(rest);
                    // Far off already in plain doubles: no need for the careful check.
                    if (std::fabs(rest - offset) > 1e-9 || std::fabs(offset) > kLargestSurdOffset)
                        continue;
                    const auto whole = static_cast<int64_t>(offset);
                    const DoubleDouble root{high, std::fma(-high, high, radicand) / (2 * high)};
                    if (std::gcd(std::gcd(whole, int64_t{multiple}), int64_t{denominator}) == 1 &&
                        CloseEnough(value, denominator, whole, multiple, root))
                        return Surd{whole, multiple, radicand, denominator};
                }
            }
        }
    }
    return std::nullopt;
}

// d.ddd × 10^exponent: at least one digit, no trailing zeros.
struct Digits
{
    std::string digits;
    int exponent = 0;
};

Digits Trimmed(Digits decimal)
{
    while (decimal.digits.size() > 1 && decimal.digits.back() == '0')
        decimal.digits.pop_back();
    return decimal;
}

// The digits of a positive double in scientific notation, with `precision` digits after the
// point, or the fewest that read back as the same double when there is no precision.
Digits ScientificDigits(double magnitude, std::optional<int> precision)
{
    char text[64];
    const auto written = precision ? std::to_chars(text, text + sizeof text, magnitude,
                                                   std::chars_format::scientific, *precision)
                                   : std::to_chars(text, text + sizeof text, magnitude,
                                                   std::chars_format::scientific);
    const std::string_view all(text, static_cast<std::size_t>(written.ptr - text));
    const std::size_t e = all.find('e');
    Digits result;
    for (const char c : all.substr(0, e))
        if (c != '.') result.digits += c;
    std::string_view exponentText = all.substr(e + 1);
    if (!exponentText.empty() && exponentText.front() == '+') exponentText.remove_prefix(1);
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(),
                    result.exponent);
    return Trimmed(result);
}

double ValueOf(const Digits& decimal)
{
    const int shift = decimal.exponent - static_cast<int>(decimal.digits.size()) + 1;
    const std::string text = decimal.digits + "e" + std::to_string(shift);
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// The fewest digits (up to `largest`) whose decimal is within two ulps of `magnitude`.
std::optional<Digits> ShortDigits(double magnitude, int largest)
{
    for (int count = 1; count <= largest; ++count) {
        Digits candidate = ScientificDigits(magnitude, count - 1);
        if (std::fabs(ValueOf(candidate) - magnitude) <= kUlpsAllowed * Ulp(magnitude))
            return candidate;
    }
    return std::nullopt;
}

} // namespace

std::string SuperscriptText(std::string_view text)
{
    static const char* const kDigits[] = {"\u2070", "\u00b9", "\u00b2", "\u00b3", "\u2074",
                                          "\u2075", "\u2076", "\u2077", "\u2078", "\u2079"};
    std::string result;
    for (const char c : text) {
        if (c >= '0' && c <= '9')
            result += kDigits[c - '0'];
        else if (c == '-')
            result += "\u207b";
        else
            result += c;
    }
    return result;
}

namespace {

// Positional while the exponent lies in [-5, largestPositional), else with a power of ten.
std::string DigitsText(const Digits& decimal, int largestPositional, Notation notation)
{
    const std::string& digits = decimal.digits;
    const int count = static_cast<int>(digits.size());
    if (decimal.exponent < -5 || decimal.exponent >= largestPositional) {
        std::string mantissa = digits.substr(0, 1);
        if (count > 1) mantissa += "." + digits.substr(1);
        const std::string power = std::to_string(decimal.exponent);
        if (notation == Notation::Ascii) return mantissa + "e" + power;
        return mantissa + "\u00d710" + SuperscriptText(power);
    }
    if (decimal.exponent < 0) return "0." + std::string(-decimal.exponent - 1, '0') + digits;
    const int whole = decimal.exponent + 1;
    if (count <= whole) return digits + std::string(whole - count, '0');
    return digits.substr(0, whole) + "." + digits.substr(whole);
}

constexpr int kLargestPositional = 16;

std::string Signed(bool negative, const std::string& magnitude, Notation notation)
{
    if (!negative) return magnitude;
    return (notation == Notation::Ascii ? "-" : kMinus) + magnitude;
}

std::string FractionText(Fraction f, Notation notation)
{
    return Signed(f.numerator < 0, IntegerText(std::llabs(f.numerator)), notation) + "/" +
           IntegerText(f.denominator);
}

// "π", "−2π/3"; "PI", "-2*PI/3".
std::string MultipleText(Fraction f, Notation notation)
{
    const bool ascii = notation == Notation::Ascii;
    const std::string name = ascii ? "PI" : "\u03c0";
    const int64_t size = std::llabs(f.numerator);
    std::string text = size == 1 ? name : IntegerText(size) + (ascii ? "*" : "") + name;
    if (f.denominator != 1) text += "/" + IntegerText(f.denominator);
    return Signed(f.numerator < 0, text, notation);
}

// "1 + √2", "(−1 + √5)/2", "−3√2/4"; "1 + SQRT(2)", "(-1 + SQRT(5))/2", "-3*SQRT(2)/4".
std::string SurdText(const Surd& s, Notation notation)
{
    const bool ascii = notation == Notation::Ascii;
    const std::string root =
        ascii ? "SQRT(" + IntegerText(s.radicand) + ")" : "\u221a" + IntegerText(s.radicand);
    const int64_t size = std::llabs(s.multiple);
    const std::string rootTerm = size == 1 ? root : IntegerText(size) + (ascii ? "*" : "") + root;
    std::string text;
    if (s.offset == 0) {
        text = Signed(s.multiple < 0, rootTerm, notation);
    } else {
        text = Signed(s.offset < 0, IntegerText(std::llabs(s.offset)), notation) +
               (s.multiple < 0 ? (ascii ? " - " : " \u2212 ") : " + ") + rootTerm;
        if (s.denominator != 1) text = "(" + text + ")";
    }
    if (s.denominator != 1) text += "/" + IntegerText(s.denominator);
    return text;
}

// An exact form other than a finite decimal, or an empty text.
std::string ExactForm(double value, Notation notation)
{
    if (const auto fraction = NearbyFraction(value, kLargestFractionDenominator))
        return FractionText(*fraction, notation);
    if (const auto multiple = NearbyMultiple(value, NamedConstant(kPiIndex)))
        return MultipleText(*multiple, notation);
    if (const auto surd = NearbySurd(value)) return SurdText(*surd, notation);
    return {};
}

// An integer or a short fraction with a finite decimal, written as that decimal.
std::optional<std::string> ExactDecimal(double value, Notation notation)
{
    if (value == 0) return std::string("0"); // -0 too
    if (const auto integer = NearbyInteger(value))
        return Signed(*integer < 0, IntegerText(std::llabs(*integer)), notation);
    const auto fraction = NearbyFraction(value, kLargestFractionDenominator);
    if (!fraction) return std::nullopt;
    const auto exact =
        Coefficient::Exact(fraction->numerator, fraction->denominator, Coefficient::Style::Decimal);
    if (!exact.Terminates()) return std::nullopt;
    return Signed(exact.IsNegative(), MagnitudeText(exact, notation), notation);
}

std::string NonFiniteText(double value, Notation notation)
{
    if (std::isnan(value)) return notation == Notation::Ascii ? "nan" : "NaN";
    return Signed(value < 0, notation == Notation::Ascii ? "inf" : "\u221e", notation);
}

} // namespace

std::string IntegerText(int64_t value)
{
    char text[24];
    const auto written = std::to_chars(text, text + sizeof text, value);
    return std::string(text, written.ptr);
}

NumberForms ReadableNumberForms(double value)
{
    if (!std::isfinite(value)) return {{}, NonFiniteText(value, Notation::Readable)};
    if (auto decimal = ExactDecimal(value, Notation::Readable)) return {{}, std::move(*decimal)};
    return {ExactForm(value, Notation::Readable),
            Signed(value < 0,
                   DigitsText(ScientificDigits(std::fabs(value), kPanelDigits - 1), kPanelDigits,
                              Notation::Readable),
                   Notation::Readable)};
}

std::string ReadableNumber(double value)
{
    const NumberForms forms = ReadableNumberForms(value);
    return forms.exact.empty() ? forms.decimal : forms.exact + " \u2248 " + forms.decimal;
}

std::string ReadableNumberAscii(double value)
{
    if (!std::isfinite(value)) return NonFiniteText(value, Notation::Ascii);
    if (const auto decimal = ExactDecimal(value, Notation::Ascii)) return *decimal;
    const std::string exact = ExactForm(value, Notation::Ascii);
    if (!exact.empty()) return exact;
    return Signed(value < 0,
                  DigitsText(ScientificDigits(std::fabs(value), std::nullopt), kLargestPositional,
                             Notation::Ascii),
                  Notation::Ascii);
}

std::optional<ConstantReading> ReadConstant(double value)
{
    if (!std::isfinite(value)) return std::nullopt;
    if (value == 0) return ConstantReading{Coefficient(0)};
    if (const auto integer = NearbyInteger(value)) return ConstantReading{Coefficient(*integer)};
    if (const auto fraction = NearbyFraction(value, kLargestFractionDenominator)) {
        auto exact = Coefficient::Exact(fraction->numerator, fraction->denominator,
                                        Coefficient::Style::Decimal);
        if (!exact.Terminates()) exact = exact.WithStyle(Coefficient::Style::Fraction);
        return ConstantReading{exact};
    }
    if (const auto typed = ShortDigits(std::fabs(value), kLargestTypedDigits)) {
        const int places = static_cast<int>(typed->digits.size()) - 1 - typed->exponent;
        int64_t digits = 0;
        std::from_chars(typed->digits.data(), typed->digits.data() + typed->digits.size(), digits);
        if (value < 0) digits = -digits;
        // Up to 10^15 the denominator is exact; a larger one leaves the double as it is.
        if (places > 0 && places <= kLargestTypedDigits) {
            int64_t denominator = 1;
            for (int i = 0; i < places; ++i)
                denominator *= 10;
            return ConstantReading{
                Coefficient::Exact(digits, denominator, Coefficient::Style::Decimal)};
        }
    }
    for (const int index : {kPiIndex, kEIndex}) {
        if (const auto multiple = NearbyMultiple(value, NamedConstant(index)))
            return ConstantReading{Coefficient::Exact(multiple->numerator, multiple->denominator,
                                                      Coefficient::Style::Fraction),
                                   index};
    }
    return ConstantReading{Coefficient::Inexact(value)};
}

std::string MagnitudeText(const Coefficient& value, Notation notation)
{
    if (value.IsExact() && value.Terminates()) {
        // numerator × 10^k / denominator is an integer for the smallest k that clears 2 and 5.
        int64_t scale = 1;
        int places = 0;
        bool fits = true;
        while (fits && scale % value.Denominator() != 0) {
            fits = !__builtin_mul_overflow(scale, int64_t{10}, &scale);
            ++places;
        }
        int64_t digits = 0;
        if (fits && !__builtin_mul_overflow(std::llabs(value.Numerator()),
                                            scale / value.Denominator(), &digits)) {
            Digits decimal{IntegerText(digits), 0};
            decimal.exponent = static_cast<int>(decimal.digits.size()) - 1 - places;
            return DigitsText(Trimmed(decimal), kLargestPositional, notation);
        }
    }
    const double magnitude = std::fabs(value.Value());
    if (!std::isfinite(magnitude)) return NonFiniteText(magnitude, notation);
    if (magnitude == 0) return "0";
    const auto digits = ShortDigits(magnitude, std::numeric_limits<double>::max_digits10);
    return DigitsText(digits ? *digits : ScientificDigits(magnitude, std::nullopt),
                      kLargestPositional, notation);
}
