#pragma once

#include "polynomial.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

class Parser;

// An indivisible factor of a formula's readable form: a variable, PI or E, or a part the algebra
// keeps whole (a function, a quotient, a power that is not a whole number, a comparison, a
// conditional, a sum kept factored) with its operands in readable form themselves.
struct Atom
{
    enum class Kind
    {
        Variable,      // `name`
        NamedConstant, // `code`: the index in kNamedConstantNames (PI or E)
        NonFinite,     // `value`: infinity or NaN
        Function,      // `code`: a function code; one operand
        Prefix,        // `code`: kFnNot or kFnComplement; one operand
        Binary,        // `code`: an operator code other than the arithmetic ones; two operands
        Conditional,   // condition, then, else
        Quotient,      // numerator, denominator: neither has a rational factor left
        Power,         // base, exponent: anything but a whole number
        Group,         // a sum kept factored; no rational factor left
        Random         // RAND; one operand, its scale
    };

    explicit Atom(Kind kind = Kind::Variable, int code = 0) : kind(kind), code(code) {}

    Kind kind;
    int code;
    std::string name;
    double value = 0;
    std::vector<Polynomial> operands;
};

// Beyond this many terms an expansion (a power of a sum, a product of sums) is kept factored.
constexpr std::size_t kExpansionLimit = 40;

// A formula tree in readable form: polynomial parts expanded and collected, constants exact
// where they are rational, everything else kept as atoms. Equal atoms are stored once, after the
// atoms they contain. Evaluated by the engine, the readable form gives the tree's value up to
// rounding, and fails where the tree fails, except where a factor cancels (x/x, like the
// engine's own rule) or a zero coefficient removes a term.
class FormulaAlgebra
{
public:
    // A null root gives the zero polynomial.
    explicit FormulaAlgebra(const Parser* root);

    const Polynomial& Result() const { return result; }
    const Atom& AtomAt(int index) const { return atoms[static_cast<std::size_t>(index)]; }
    int AtomCount() const { return static_cast<int>(atoms.size()); }

private:
    // Denominators keep products and powers of sums factored: (x + 1)² reads better there.
    enum class Shape
    {
        Expanded,
        Factored
    };

    Polynomial Convert(const Parser* node, Shape shape);
    Polynomial FromConstant(double value);
    Polynomial Multiply(const Polynomial& a, const Polynomial& b, Shape shape);
    Polynomial Divide(const Polynomial& numerator, const Polynomial& denominator);
    Polynomial Raise(const Polynomial& base, const Parser* exponent, Shape shape);
    // Divides the numerator by factors that the denominator (a single term) holds more than
    // once, as often as it divides and keeping one power of each below: the quotient still
    // fails wherever it failed, and (y + 1)²/(y + 1)⁴ reads 1/(y + 1)².
    void CancelRepeatedFactors(Polynomial& numerator, Polynomial& denominator) const;
    // A rational factor times the sum as one atom; a single term stays as it is.
    Polynomial Grouped(const Polynomial& sum);
    // The polynomial as one atom, as it is, to a power.
    Polynomial Whole(const Polynomial& polynomial, int64_t exponent = 1);
    // Whether an expanded result stays small enough to print, counting atoms by their size.
    bool Readable(const Polynomial& expanded, std::size_t partsWeight) const;
    std::size_t Weight(const Polynomial& polynomial) const;
    Polynomial AtomPolynomial(Atom atom);
    int Intern(Atom atom);

    std::vector<Atom> atoms;
    std::vector<std::size_t> weights; // per atom: how much text it will take, roughly
    std::map<std::string, int> indexByKey;
    int randomDraws = 0;
    Polynomial result;
};
