#include "formula_algebra.h"

#include "engine.h"
#include "readable_number.h"

#include <cmath>
#include <cstring>

namespace {

// An expansion may take this much text (in atoms and terms) before it is kept factored, unless
// it takes no more than its parts: nesting expansions must not multiply the text without end.
constexpr std::size_t kLargestWeight = 1000;

// A division by a rational whose numerator is larger reads better as it was written: x/3.14159
// rather than 100000x/314159.
constexpr int64_t kLargestInvertedNumerator = 100;

std::string CoefficientKey(const Coefficient& c)
{
    if (c.IsExact()) return std::to_string(c.Numerator()) + "/" + std::to_string(c.Denominator());
    uint64_t bits = 0;
    const double value = c.Value();
    std::memcpy(&bits, &value, sizeof bits);
    return "#" + std::to_string(bits);
}

// A text that two atoms share exactly when they are the same: their operands refer to atoms by
// index, and equal atoms have one index.
std::string KeyOf(const Atom& atom)
{
    std::string key = std::to_string(static_cast<int>(atom.kind)) + ":" +
                      std::to_string(atom.code) + ":" + atom.name + ":" +
                      CoefficientKey(Coefficient::Inexact(atom.value));
    for (const Polynomial& operand : atom.operands) {
        key += "[";
        for (const auto& [monomial, coefficient] : operand.TermsByMonomial()) {
            key += CoefficientKey(coefficient);
            for (const Factor& factor : monomial)
                key += "*" + std::to_string(factor.atom) + "^" + std::to_string(factor.exponent);
            key += ";";
        }
        key += "]";
    }
    return key;
}

bool IsWholeExponent(double value)
{
    return value == std::trunc(value) && value != 0 &&
           std::fabs(value) <= static_cast<double>(kLargestExponent);
}

} // namespace

FormulaAlgebra::FormulaAlgebra(const Parser* root)
{
    if (root) result = Convert(root, Shape::Expanded);
}

int FormulaAlgebra::Intern(Atom atom)
{
    std::string key = KeyOf(atom);
    if (atom.kind == Atom::Kind::Random) key += "@" + std::to_string(randomDraws++); // never equal
    const auto found = indexByKey.find(key);
    if (found != indexByKey.end()) return found->second;
    std::size_t weight = 1;
    for (const Polynomial& operand : atom.operands)
        weight += Weight(operand);
    atoms.push_back(std::move(atom));
    weights.push_back(weight);
    const int index = static_cast<int>(atoms.size()) - 1;
    indexByKey.emplace(std::move(key), index);
    return index;
}

Polynomial FormulaAlgebra::AtomPolynomial(Atom atom)
{
    return Polynomial::Atom(Intern(std::move(atom)));
}

std::size_t FormulaAlgebra::Weight(const Polynomial& polynomial) const
{
    std::size_t weight = 0;
    for (const auto& term : polynomial.TermsByMonomial()) {
        weight += 1;
        for (const Factor& factor : term.first)
            weight += weights[static_cast<std::size_t>(factor.atom)];
    }
    return weight;
}

bool FormulaAlgebra::Readable(const Polynomial& expanded, std::size_t partsWeight) const
{
    const std::size_t weight = Weight(expanded);
    return weight <= kLargestWeight || weight <= partsWeight;
}

Polynomial FormulaAlgebra::Convert(const Parser* node, Shape shape)
{
    if (const auto* constant = dynamic_cast<const Constant*>(node))
        return FromConstant(constant->value);
    if (const auto* variable = dynamic_cast<const Variable*>(node)) {
        Atom atom;
        atom.name = variable->Name() ? variable->Name() : "";
        return AtomPolynomial(std::move(atom));
    }
    if (const auto* random = dynamic_cast<const RandomFunction*>(node)) {
        Atom atom{Atom::Kind::Random};
        atom.operands.push_back(random->argument ? Convert(random->argument, Shape::Expanded)
                                                 : FromConstant(random->scale));
        return AtomPolynomial(std::move(atom));
    }
    if (const auto* function = dynamic_cast<const FunctionParser*>(node)) {
        const int code = function->FunctionCode();
        if (code == kFnNeg) return -Convert(function->argument, shape);
        const bool prefix = code == kFnNot || code == kFnComplement;
        Atom atom{prefix ? Atom::Kind::Prefix : Atom::Kind::Function, code};
        atom.operands.push_back(Convert(function->argument, Shape::Expanded));
        return AtomPolynomial(std::move(atom));
    }
    if (const auto* operation = dynamic_cast<const OperationParser*>(node)) {
        const Parser* left = operation->left;
        const Parser* right = operation->right;
        switch (operation->OperatorCode()) {
        case kOpPlus: {
            Polynomial sum = Convert(left, Shape::Expanded);
            sum += Convert(right, Shape::Expanded);
            return sum;
        }
        case kOpMinus: {
            Polynomial difference = Convert(left, Shape::Expanded);
            difference -= Convert(right, Shape::Expanded);
            return difference;
        }
        // Left first, so that atoms are numbered as they occur in the formula: the display
        // writes functions in that order (sin x cos y).
        case kOpMultiply: {
            const Polynomial multiplicand = Convert(left, shape);
            return Multiply(multiplicand, Convert(right, shape), shape);
        }
        case kOpDivide: {
            const Polynomial dividend = Convert(left, Shape::Expanded);
            return Divide(dividend, Convert(right, Shape::Factored));
        }
        case kOpPower:
            return Raise(Convert(left, shape), right, shape);
        case kOpIf:
            if (const auto* branches = dynamic_cast<const ThenElseOperator*>(right)) {
                Atom atom{Atom::Kind::Conditional};
                atom.operands.push_back(Convert(left, Shape::Expanded));
                atom.operands.push_back(Convert(branches->left, Shape::Expanded));
                atom.operands.push_back(Convert(branches->right, Shape::Expanded));
                return AtomPolynomial(std::move(atom));
            }
            break;
        default:
            break;
        }
        Atom atom{Atom::Kind::Binary, operation->OperatorCode()};
        atom.operands.push_back(Convert(left, Shape::Expanded));
        atom.operands.push_back(Convert(right, Shape::Expanded));
        return AtomPolynomial(std::move(atom));
    }
    // No other node exists; should one appear, it is shown as the engine prints it.
    Atom atom;
    const PrintedText printed(node->Print());
    atom.name = printed.get();
    return AtomPolynomial(std::move(atom));
}

Polynomial FormulaAlgebra::FromConstant(double value)
{
    if (!std::isfinite(value)) {
        Atom atom{Atom::Kind::NonFinite};
        atom.value = std::fabs(value);
        const Polynomial infinity = AtomPolynomial(std::move(atom));
        return value < 0 ? -infinity : infinity;
    }
    const auto reading = ReadConstant(value);
    const Polynomial coefficient = Polynomial::Constant(reading->coefficient);
    if (reading->namedConstant < 0) return coefficient;
    return AtomPolynomial(Atom{Atom::Kind::NamedConstant, reading->namedConstant})
        .Scaled(reading->coefficient);
}

Polynomial FormulaAlgebra::Grouped(const Polynomial& sum)
{
    if (sum.TermCount() <= 1) return sum;
    const Coefficient content = Content(sum);
    Atom atom{Atom::Kind::Group};
    atom.operands.push_back(sum.Scaled(content.Reciprocal()));
    return AtomPolynomial(std::move(atom)).Scaled(content);
}

Polynomial FormulaAlgebra::Multiply(const Polynomial& a, const Polynomial& b, Shape shape)
{
    if (const auto factor = a.ConstantValue()) return b.Scaled(*factor);
    if (const auto factor = b.ConstantValue()) return a.Scaled(*factor);
    const bool expand = shape == Shape::Expanded || (a.TermCount() == 1 && b.TermCount() == 1);
    if (expand) {
        auto product = Polynomial::Product(a, b, kExpansionLimit);
        if (product && Readable(*product, Weight(a) + Weight(b))) return std::move(*product);
    }
    if (auto product = Polynomial::Product(Grouped(a), Grouped(b), kExpansionLimit))
        return std::move(*product);
    // Exponents out of range even so: each side becomes one atom.
    const Polynomial left = Whole(a);
    return *Polynomial::Product(left, Whole(b), kExpansionLimit);
}

Polynomial FormulaAlgebra::Whole(const Polynomial& polynomial, int64_t exponent)
{
    Atom atom{Atom::Kind::Group};
    atom.operands.push_back(polynomial);
    return Polynomial::Atom(Intern(std::move(atom)), exponent);
}

Polynomial FormulaAlgebra::Divide(const Polynomial& numerator, const Polynomial& denominator)
{
    // 0 / d is 0 in the engine too, whatever d is.
    if (numerator.IsZero()) return numerator;
    if (const auto divisor = denominator.ConstantValue()) {
        if (divisor->IsExact() && !divisor->IsZero() &&
            std::llabs(divisor->Numerator()) <= kLargestInvertedNumerator)
            return numerator.Scaled(divisor->Reciprocal());
    } else if (denominator.TermCount() == 1) {
        // PI and E are never 0: x/π is x π⁻¹, shown as a fraction again.
        const auto& [monomial, coefficient] = *denominator.TermsByMonomial().begin();
        bool named = coefficient.IsExact() &&
                     std::llabs(coefficient.Numerator()) <= kLargestInvertedNumerator;
        for (const Factor& factor : monomial)
            named = named && AtomAt(factor.atom).kind == Atom::Kind::NamedConstant;
        if (named) {
            if (const auto inverse = Polynomial::Power(denominator, -1, kExpansionLimit))
                return Multiply(numerator, *inverse, Shape::Expanded);
        }
    }
    Polynomial reduced = numerator;
    Polynomial divisor = denominator;
    CancelRepeatedFactors(reduced, divisor);
    const Coefficient above = Content(reduced);
    // A constant divisor left to here stays as written.
    const Coefficient below = divisor.ConstantValue() ? Coefficient(1) : Content(divisor);
    Atom atom{Atom::Kind::Quotient};
    atom.operands.push_back(reduced.Scaled(above.Reciprocal()));
    atom.operands.push_back(divisor.Scaled(below.Reciprocal()));
    return AtomPolynomial(std::move(atom)).Scaled(above * below.Reciprocal());
}

void FormulaAlgebra::CancelRepeatedFactors(Polynomial& numerator, Polynomial& denominator) const
{
    if (denominator.TermCount() != 1) return;
    Monomial monomial = denominator.TermsByMonomial().begin()->first;
    const Coefficient coefficient = denominator.TermsByMonomial().begin()->second;
    bool cancelled = false;
    for (Factor& factor : monomial) {
        const Atom& atom = AtomAt(factor.atom);
        const Polynomial divisor =
            atom.kind == Atom::Kind::Group ? atom.operands[0] : Polynomial::Atom(factor.atom);
        while (factor.exponent > 1) {
            auto quotient = Polynomial::ExactQuotient(numerator, divisor);
            if (!quotient) break;
            numerator = std::move(*quotient);
            --factor.exponent;
            cancelled = true;
        }
    }
    if (!cancelled) return;
    Polynomial rebuilt = Polynomial::Constant(coefficient);
    for (const Factor& factor : monomial)
        rebuilt = *Polynomial::Product(rebuilt, Polynomial::Atom(factor.atom, factor.exponent),
                                       kExpansionLimit);
    denominator = std::move(rebuilt);
}

Polynomial FormulaAlgebra::Raise(const Polynomial& base, const Parser* exponent, Shape shape)
{
    const auto* literal = dynamic_cast<const Constant*>(exponent);
    if (literal && IsWholeExponent(literal->value)) {
        const auto power = static_cast<int64_t>(literal->value);
        // A single term distributes for every whole power: (2x)^-1 is x^-1/2 in the engine too,
        // 0 included, where both give 0.
        if (base.TermCount() <= 1 || (power > 0 && shape == Shape::Expanded)) {
            auto expanded = Polynomial::Power(base, power, kExpansionLimit);
            if (expanded && Readable(*expanded, Weight(base))) return std::move(*expanded);
        }
        if (base.TermCount() > 1) {
            // The rational factor comes out while its power stays exact: (2x + 2)⁵ is
            // 32(x + 1)⁵, but 2⁶⁰ would be rounded, and could overflow where the sum does not.
            auto factored = Polynomial::Power(Grouped(base), power, kExpansionLimit);
            if (factored && factored->TermsByMonomial().begin()->second.IsExact())
                return std::move(*factored);
            return Whole(base, power);
        }
    }
    Atom atom{Atom::Kind::Power};
    atom.operands.push_back(base);
    atom.operands.push_back(Convert(exponent, Shape::Expanded));
    return AtomPolynomial(std::move(atom));
}
