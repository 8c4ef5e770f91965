#pragma once

// Numbers as people write them: exact forms (1/3, π/2, 1 + √2) where a double is within two
// units in the last place of one with small parts, decimals otherwise. Locale-independent.

#include "polynomial.h"

#include <optional>
#include <string>
#include <string_view>

// How a text is written: for reading (UTF-8 with the minus sign −, √, π, ×10ⁿ), or in the
// program's own formula language, which the engine reads back as the same value.
enum class Notation
{
    Readable,
    Ascii
};

// An equilibrium's coordinate or an eigenvalue's part for the panel: the exact form with the
// decimal beside it ("1/3 ≈ 0.3333", "1 + √2 ≈ 2.414", "−π/2 ≈ −1.571"), an exact decimal alone
// ("2", "−0.25"), or 4 significant digits ("0.3183", "1.235×10⁶"). Exact forms are integers,
// fractions with denominators up to 100, rational multiples of π and (a + b√d)/c with small a,
// b, c and square-free d up to 50; each is claimed only within two ulps of the double.
std::string ReadableNumber(double value);
// The two halves of ReadableNumber, for texts that combine numbers (a complex pair of
// eigenvalues: "1/2 ± (√3/2)i ≈ 0.5 ± 0.866i"): the exact form, empty when there is none or
// when it is a decimal, and the decimal (exact, or to 4 significant digits).
struct NumberForms
{
    std::string exact;
    std::string decimal;
};
NumberForms ReadableNumberForms(double value);
// The same for the clipboard: the exact form in the formula language ("1 + SQRT(2)", "PI/2"),
// else the shortest decimal that reads back as the same double.
std::string ReadableNumberAscii(double value);

// A formula's constant as it was most likely written: a coefficient, times PI or E when
// `namedConstant` is that constant's index in kNamedConstantNames (-1 for none). Typed decimals
// come back as exact decimals (0.1 is 1/10 shown as 0.1); a constant the engine folded is
// recovered as a fraction when it is within two ulps of p/q with q up to 100 and no finite
// decimal (1/3), so a folded 1/2 and a typed 0.5 both read 0.5. Anything else stays a double.
// None for infinities and NaN.
struct ConstantReading
{
    Coefficient coefficient;
    int namedConstant = -1;
};
std::optional<ConstantReading> ReadConstant(double value);

// The magnitude of an integer, of an exact decimal that reads as one, or of a double (the
// shortest decimal within two ulps); "1.5×10²⁰" or "1.5e20" when very large or small.
std::string MagnitudeText(const Coefficient& value, Notation notation);
// The decimal digits of a non-negative integer.
std::string IntegerText(int64_t value);
// An integer's text ("-12") in superscript digits ("⁻¹²"); other characters stay as they are.
std::string SuperscriptText(std::string_view integer);
