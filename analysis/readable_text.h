#pragma once

// The display form of a formula: polynomial parts expanded and collected (terms by degree, then
// by variable; more than 40 terms stay factored), exact fractions where the constants are
// rational, everything else in structure with as few parentheses as precedence allows. The
// engine keeps only doubles: a typed 0.5 and a folded 1/2 are the same, and both read 0.5, as
// people type it; a folded 1/3 reads 1/3, and x/4 reads x/4. The engine's own printer is not
// involved.

#include <string>
#include <vector>

class FunctionInterpreter;

// A formula laid out for typesetting. A renderer draws Text runs in a row (their texts include
// the spaces around operators), raises a Superscript's second child over its first, stacks a
// Fraction's numerator over its denominator (or calls InlineFraction where width is short),
// draws the radical sign over a Radical's child, and may stretch a Fenced part's delimiters (its
// first and last children) to the height of what they enclose.
struct ReadableBox
{
    enum class Kind
    {
        Text,
        Row,
        Superscript, // base, exponent
        Fraction,    // numerator, denominator
        Radical,     // radicand
        Fenced       // opening delimiter, content, closing delimiter
    };
    // What a Text run is, for its font: names in italics, say.
    enum class Role
    {
        None,
        Number,
        Name,      // a variable, π or e
        Function,  // sin, exp, rand
        Operator,  // " + ", " ≤ ", with its spaces
        Sign,      // a leading −, ¬ or ~
        Separator, // between factors: nothing, a space or a thin dot
        Delimiter
    };

    Kind kind = Kind::Text;
    Role role = Role::None;
    std::string text;  // Text only: UTF-8, as shown
    std::string ascii; // Text only: the same in the formula language (may be empty)
    // How tightly the whole binds, on the engine's scale of operator precedences (15 for an
    // operand that never needs parentheses, 10 for a sum, 11 for a product or a fraction).
    int precedence = 15;
    std::vector<ReadableBox> children;
};

// The layout of the formula's display form; an empty Text for a formula without a tree.
ReadableBox ReadableLayout(const FunctionInterpreter& formula);

// What the panel shows, on one line without markup: "5 − 3x − 4y", "−2xy − 2", "exp(x/3)/3".
// Whole powers are superscripts (x², y⁻¹), fractions a/b, SQRT is √, other functions are
// lower case.
std::string ReadableText(const FunctionInterpreter& formula);
// The same formula in the program's own formula language, for the clipboard: compiled again it
// gives the formula's values up to rounding ("5 - 3*x - 4*y", "NEG(x^2) + y").
std::string ReadableAscii(const FunctionInterpreter& formula);

// The one-line texts of any part of a layout.
std::string FlatText(const ReadableBox& box);
std::string FlatAscii(const ReadableBox& box);
// A Fraction on one line: numerator, "/", denominator, each in parentheses where needed.
ReadableBox InlineFraction(const ReadableBox& fraction);
