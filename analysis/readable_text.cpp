#include "readable_text.h"

#include "engine.h"
#include "formula_algebra.h"
#include "readable_number.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <tuple>
#include <utility>

namespace {

using Box = ReadableBox;
using Kind = ReadableBox::Kind;
using Role = ReadableBox::Role;

const int kSum = kOperatorPrecedence[kOpPlus];
const int kProduct = kOperatorPrecedence[kOpMultiply];
const int kPower = kOperatorPrecedence[kOpPower];
const int kConditional = kOperatorPrecedence[kOpIf];

const char kMinusSign[] = "\u2212";
const char kThinDot[] = "\u00b7";

// Character classes of the C locale, as the engine reads formulas, whatever the process locale.
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// What a unary minus may stand before: a letter, a digit or a point.
bool OpensOperand(char c)
{
    return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '.';
}

Box Text(Role role, std::string text, std::string ascii)
{
    Box box;
    box.role = role;
    box.text = std::move(text);
    box.ascii = std::move(ascii);
    return box;
}

Box Composite(Kind kind, std::vector<Box> children, int precedence)
{
    Box box;
    box.kind = kind;
    box.children = std::move(children);
    box.precedence = precedence;
    return box;
}

// Children by moving: a braced list would copy them, and with them everything they hold.
std::vector<Box> Children(Box first)
{
    std::vector<Box> children;
    children.push_back(std::move(first));
    return children;
}

std::vector<Box> Children(Box first, Box second)
{
    std::vector<Box> children = Children(std::move(first));
    children.push_back(std::move(second));
    return children;
}

Box Fenced(Box content, const char* open, const char* close, const char* asciiOpen,
           const char* asciiClose)
{
    std::vector<Box> parts;
    parts.push_back(Text(Role::Delimiter, open, asciiOpen));
    parts.push_back(std::move(content));
    parts.push_back(Text(Role::Delimiter, close, asciiClose));
    return Composite(Kind::Fenced, std::move(parts), kLeafPrecedence);
}

Box Parenthesized(Box content)
{
    return Fenced(std::move(content), "(", ")", "(", ")");
}

// `box`, in parentheses when it binds more loosely than `precedence`.
Box AtLeast(Box box, int precedence)
{
    if (box.precedence >= precedence) return box;
    return Parenthesized(std::move(box));
}

const Box& FirstLeaf(const Box& box)
{
    if (box.kind == Kind::Text || box.kind == Kind::Radical || box.children.empty()) return box;
    return FirstLeaf(box.children.front());
}

const Box& LastLeaf(const Box& box)
{
    if (box.kind == Kind::Text || box.children.empty()) return box;
    return LastLeaf(box.children.back());
}

bool StartsWithDigit(const Box& box)
{
    const Box& leaf = FirstLeaf(box);
    return leaf.role == Role::Number && !leaf.text.empty() && IsDigit(leaf.text.front());
}

// A name of more than one character, which juxtaposition would run into its neighbour.
bool IsLongName(const Box& leaf)
{
    if (leaf.role != Role::Name) return false;
    const auto characters = std::count_if(leaf.text.begin(), leaf.text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80; // not a UTF-8 continuation byte
    });
    return characters > 1;
}

// A product of factors with separators between them (not, say, x mod 3).
bool IsProduct(const Box& box)
{
    return box.kind == Kind::Row && box.precedence == kProduct && box.children.size() > 1 &&
           box.children[1].role == Role::Separator;
}

// Whether "-" written before the ASCII of `term` negates all of it. The engine's unary minus
// binds tighter than everything, "^" included, and may not stand before "(" or another prefix
// operator: only a first operand that is a number, a name or a call followed by "*" or "/" is
// safe.
bool SafeToNegate(const Box& term)
{
    switch (term.kind) {
    case Kind::Text:
        return !term.ascii.empty() && OpensOperand(term.ascii[0]);
    case Kind::Radical:
        return true;
    case Kind::Fenced:
        return term.children.front().ascii != "("; // ABS( and the like are calls
    case Kind::Fraction:
        return term.children[0].precedence >= kProduct && SafeToNegate(term.children[0]);
    case Kind::Row:
        if (term.precedence == kFunctionPrecedence) return term.children[0].role == Role::Function;
        return IsProduct(term) && term.children[0].precedence >= kFunctionPrecedence &&
               SafeToNegate(term.children[0]);
    case Kind::Superscript:
        return false;
    }
    return false;
}

// A call written without parentheses: sin x.
bool IsBareCall(const Box& box)
{
    return box.kind == Kind::Row && box.precedence == kFunctionPrecedence &&
           box.children.size() == 4 && box.children[1].role == Role::Separator;
}

// A bare call with its parentheses again: sin(x).
Box WithParentheses(Box call)
{
    if (!IsBareCall(call)) return call;
    std::vector<Box> row;
    row.push_back(std::move(call.children[0]));
    row.push_back(Parenthesized(std::move(call.children[2])));
    return Composite(Kind::Row, std::move(row), kFunctionPrecedence);
}

// Between two factors: juxtaposition (2x, xy, 2(x + 1)), a space before a function (x sin y), or
// a thin dot where juxtaposition would mislead (2·3ˣ, theta·x, sin x·y).
Box Separator(const Box& before, const Box& after)
{
    const bool functionAfter = FirstLeaf(after).role == Role::Function;
    const char* text = "";
    if (StartsWithDigit(after))
        text = kThinDot;
    else if (IsBareCall(before))
        text = functionAfter ? " " : kThinDot;
    else if (functionAfter)
        text = " ";
    else if (IsLongName(LastLeaf(before)) || IsLongName(FirstLeaf(after)))
        text = kThinDot;
    return Text(Role::Separator, text, "*");
}

// Adds `box` to the factors of a product, or its own factors when it is a product: 2xy/(x² + 1)
// rather than 2(xy)/(x² + 1).
void AppendFactors(std::vector<Box>& parts, Box box)
{
    if (!IsProduct(box)) {
        parts.push_back(std::move(box));
        return;
    }
    for (Box& part : box.children)
        if (part.role != Role::Separator) parts.push_back(std::move(part));
}

Box Product(std::vector<Box> parts)
{
    if (parts.empty()) return Text(Role::Number, "1", "1");
    if (parts.size() == 1) return std::move(parts.front());
    std::vector<Box> row;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) row.push_back(Separator(row.back(), parts[i]));
        row.push_back(AtLeast(std::move(parts[i]), kPower));
    }
    return Composite(Kind::Row, std::move(row), kProduct);
}

std::string LowerCase(const char* name)
{
    std::string lower = name;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

// The engine reads "2e-1" as a number: a name ending in a digit and "e" goes in parentheses, so
// that a following "-" or "+" is an operator.
std::string AsciiName(const std::string& name)
{
    const std::size_t size = name.size();
    if (size >= 2 && (name[size - 1] == 'e' || name[size - 1] == 'E') && IsDigit(name[size - 2]))
        return "(" + name + ")";
    return name;
}

// How operators read where that differs from how the engine writes them.
struct Spelling
{
    int code;
    const char* text;
    const char* ascii;
};
constexpr Spelling kSpellings[] = {
    {kOpModulus, " mod ", " % "},
    {kOpEqual, " = ", " == "},
    {kOpNotEqual, " \u2260 ", " != "},
    {kOpLessOrEqual, " \u2264 ", " <= "},
    {kOpGreaterOrEqual, " \u2265 ", " >= "},
    {kOpAnd, " \u2227 ", " && "},
    {kOpOr, " \u2228 ", " || "},
    {kOpBitwiseXor, " \u22bb ", " !& "},
};

Box OperatorText(int code)
{
    for (const Spelling& spelling : kSpellings)
        if (spelling.code == code) return Text(Role::Operator, spelling.text, spelling.ascii);
    const std::string plain = std::string(" ") + kOperatorText[code] + " ";
    return Text(Role::Operator, plain, plain);
}

// Lays out the readable form of one formula.
class Layout
{
public:
    explicit Layout(const FormulaAlgebra& algebra) : algebra(algebra) {}

    Box Sum(const Polynomial& polynomial) const;

private:
    using OrderedTerm = std::pair<const Monomial*, const Coefficient*>;

    Box Term(const Monomial& monomial, const Coefficient& magnitude) const;
    Box FactorBox(const Factor& factor) const;
    Box AtomBox(int index, bool powerBase) const;
    Box Call(int code, const Polynomial& argument, bool powerBase) const;

    std::vector<OrderedTerm> OrderedTerms(const Polynomial& polynomial) const;
    int64_t Degree(const Monomial& monomial) const;
    // Terms are compared atom by atom in this order: x, y, other variables by name, the rest.
    std::tuple<int, std::string, int> TermOrderKey(int atom) const;
    // Factors of a term are written in this order: π, other variables, x, y, sums, the rest,
    // functions last (so that "sin x" ends the term).
    std::tuple<int, std::string, int> FactorOrderKey(int atom) const;

    const FormulaAlgebra& algebra;
};

std::tuple<int, std::string, int> Layout::TermOrderKey(int atom) const
{
    const Atom& a = algebra.AtomAt(atom);
    if (a.kind == Atom::Kind::Variable) {
        if (a.name == "x") return {0, {}, 0};
        if (a.name == "y") return {1, {}, 0};
        return {2, a.name, 0};
    }
    return {3, {}, atom};
}

std::tuple<int, std::string, int> Layout::FactorOrderKey(int atom) const
{
    const Atom& a = algebra.AtomAt(atom);
    switch (a.kind) {
    case Atom::Kind::NamedConstant:
    case Atom::Kind::NonFinite:
        return {0, {}, atom};
    case Atom::Kind::Variable:
        if (a.name == "x") return {2, {}, 0};
        if (a.name == "y") return {3, {}, 0};
        return {1, a.name, 0};
    case Atom::Kind::Group:
        return {4, {}, atom};
    case Atom::Kind::Function:
        return {6, {}, atom};
    default:
        return {5, {}, atom};
    }
}

// Degrees of powers of powers of sums outgrow any integer; only their order matters, so they
// stop at ±2^62.
int64_t Saturated(int64_t a, int64_t b, bool multiply)
{
    constexpr int64_t kLargest = int64_t{1} << 62;
    int64_t result = 0;
    const bool overflow =
        multiply ? __builtin_mul_overflow(a, b, &result) : __builtin_add_overflow(a, b, &result);
    const bool negative = multiply ? (a < 0) != (b < 0) : a < 0;
    if (overflow) return negative ? -kLargest : kLargest;
    return std::clamp(result, -kLargest, kLargest);
}

int64_t Layout::Degree(const Monomial& monomial) const
{
    int64_t degree = 0;
    for (const Factor& factor : monomial) {
        const Atom& atom = algebra.AtomAt(factor.atom);
        int64_t power = 0;
        if (atom.kind == Atom::Kind::Variable) {
            power = factor.exponent;
        } else if (atom.kind == Atom::Kind::Group) {
            int64_t highest = 0;
            for (const auto& term : atom.operands[0].TermsByMonomial())
                highest = std::max(highest, Degree(term.first));
            power = Saturated(highest, factor.exponent, true);
        }
        degree = Saturated(degree, power, false);
    }
    return degree;
}

std::vector<Layout::OrderedTerm> Layout::OrderedTerms(const Polynomial& polynomial) const
{
    struct Keyed
    {
        OrderedTerm term;
        int64_t degree;
        std::vector<std::pair<std::tuple<int, std::string, int>, int64_t>> exponents;
    };
    std::vector<Keyed> keyed;
    for (const auto& [monomial, coefficient] : polynomial.TermsByMonomial()) {
        Keyed entry{{&monomial, &coefficient}, Degree(monomial), {}};
        for (const Factor& factor : monomial)
            entry.exponents.emplace_back(TermOrderKey(factor.atom), factor.exponent);
        std::sort(entry.exponents.begin(), entry.exponents.end());
        keyed.push_back(std::move(entry));
    }
    // By degree, then by the first atom in which the exponents differ: the higher power first.
    auto before = [](const Keyed& a, const Keyed& b) {
        if (a.degree != b.degree) return a.degree > b.degree;
        auto i = a.exponents.begin();
        auto j = b.exponents.begin();
        for (; i != a.exponents.end() && j != b.exponents.end(); ++i, ++j) {
            if (i->first != j->first) return i->first < j->first ? i->second > 0 : j->second < 0;
            if (i->second != j->second) return i->second > j->second;
        }
        if (i != a.exponents.end()) return i->second > 0;
        return j != b.exponents.end() && j->second < 0;
    };
    std::sort(keyed.begin(), keyed.end(), before);
    // Rather than with a minus, a sum opens with a positive term of degree 0 or 1 where it has
    // one, as people write 5 − 3x − 4y and x − x³; −x³ + 1.5x² keeps its order.
    const auto positive = std::find_if(keyed.begin(), keyed.end(), [](const Keyed& k) {
        return !k.term.second->IsNegative() && k.degree <= 1;
    });
    if (!keyed.empty() && keyed.front().term.second->IsNegative() && positive != keyed.end())
        std::rotate(keyed.begin(), positive, positive + 1);
    std::vector<OrderedTerm> terms;
    for (const Keyed& k : keyed)
        terms.push_back(k.term);
    return terms;
}

// Whether a coefficient shows as p/q: 0.25 typed stays a decimal, 1/4 from x/4 does not.
bool ReadsAsFraction(const Coefficient& c)
{
    return c.IsExact() && !c.IsInteger() &&
           !(c.Terminates() && c.ReadsAs() == Coefficient::Style::Decimal);
}

// The denominator that every term of a sum shows, if they all show the same one.
std::optional<int64_t> SharedDenominator(const Polynomial& polynomial)
{
    if (polynomial.TermCount() < 2) return std::nullopt;
    std::optional<int64_t> shared;
    for (const auto& term : polynomial.TermsByMonomial()) {
        const Coefficient& c = term.second;
        if (!ReadsAsFraction(c) || (shared && *shared != c.Denominator())) return std::nullopt;
        shared = c.Denominator();
    }
    return shared;
}

// −term, written with "-" where the engine reads it so and with NEG( … ) elsewhere.
Box Negated(Box term)
{
    std::vector<Box> row;
    const bool plain = SafeToNegate(term);
    row.push_back(Text(Role::Sign, kMinusSign, plain ? "-" : "NEG("));
    row.push_back(std::move(term));
    if (!plain) row.push_back(Text(Role::Delimiter, "", ")"));
    return Composite(Kind::Row, std::move(row), kSum);
}

Box Layout::Sum(const Polynomial& polynomial) const
{
    if (polynomial.IsZero()) return Text(Role::Number, "0", "0");
    // x/4 + y/4 reads (x + y)/4, and −x/4 − y/4 reads −(x + y)/4.
    if (const auto denominator = SharedDenominator(polynomial)) {
        const bool negative = Content(polynomial).IsNegative();
        const Polynomial numerator =
            polynomial.Scaled(Coefficient(negative ? -*denominator : *denominator));
        const std::string below = IntegerText(*denominator);
        Box fraction = Composite(
            Kind::Fraction, Children(Sum(numerator), Text(Role::Number, below, below)), kProduct);
        return negative ? Negated(std::move(fraction)) : fraction;
    }
    const std::vector<OrderedTerm> terms = OrderedTerms(polynomial);
    std::vector<Box> row;
    for (const auto& [monomial, coefficient] : terms) {
        const bool negative = coefficient->IsNegative();
        Box term = Term(*monomial, negative ? -*coefficient : *coefficient);
        if (terms.size() == 1 && !negative) return term;
        term = AtLeast(std::move(term), kProduct);
        if (!row.empty()) {
            row.push_back(negative
                              ? Text(Role::Operator, std::string(" ") + kMinusSign + " ", " - ")
                              : Text(Role::Operator, " + ", " + "));
            row.push_back(std::move(term));
        } else if (!negative) {
            row.push_back(std::move(term));
        } else if (terms.size() == 1) {
            return Negated(std::move(term));
        } else {
            Box negated = Negated(std::move(term));
            for (Box& part : negated.children)
                row.push_back(std::move(part));
        }
    }
    return Composite(Kind::Row, std::move(row), kSum);
}

Box Layout::Term(const Monomial& monomial, const Coefficient& magnitude) const
{
    std::vector<Box> above;
    std::vector<Box> below;
    if (ReadsAsFraction(magnitude)) {
        if (magnitude.Numerator() != 1)
            above.push_back(Text(Role::Number, IntegerText(magnitude.Numerator()),
                                 IntegerText(magnitude.Numerator())));
        below.push_back(Text(Role::Number, IntegerText(magnitude.Denominator()),
                             IntegerText(magnitude.Denominator())));
    } else {
        // A double within two ulps of 1 reads 1, and goes like an exact 1.
        std::string ascii = MagnitudeText(magnitude, Notation::Ascii);
        if (ascii != "1" || monomial.empty())
            above.push_back(
                Text(Role::Number, MagnitudeText(magnitude, Notation::Readable), std::move(ascii)));
    }
    std::vector<Factor> factors = monomial;
    std::sort(factors.begin(), factors.end(), [this](const Factor& a, const Factor& b) {
        return FactorOrderKey(a.atom) < FactorOrderKey(b.atom);
    });
    for (const Factor& factor : factors) {
        const Atom& atom = algebra.AtomAt(factor.atom);
        if (atom.kind == Atom::Kind::NamedConstant && factor.exponent < 0) {
            below.push_back(FactorBox({factor.atom, -factor.exponent}));
        } else if (atom.kind == Atom::Kind::Quotient && factor.exponent == 1) {
            if (atom.operands[0].ConstantValue() != Coefficient(1))
                AppendFactors(above, Sum(atom.operands[0]));
            AppendFactors(below, Sum(atom.operands[1]));
        } else {
            above.push_back(FactorBox(factor));
        }
    }
    if (below.empty()) return Product(std::move(above));
    // On one line "sin x/x" could be sin(x/x).
    for (Box& part : above)
        part = WithParentheses(std::move(part));
    return Composite(Kind::Fraction, Children(Product(std::move(above)), Product(std::move(below))),
                     kProduct);
}

// A power's base in parentheses unless it is a name, a number, a call with its parentheses or
// something fenced already: (x + 1)², (√x)², sin(x)².
Box PowerBase(Box base)
{
    const bool plain = base.kind == Kind::Text || base.kind == Kind::Fenced ||
                       (base.kind == Kind::Row && base.precedence == kFunctionPrecedence &&
                        base.children[0].role == Role::Function && !IsBareCall(base));
    if (plain) return base;
    return Parenthesized(std::move(base));
}

Box Layout::FactorBox(const Factor& factor) const
{
    if (factor.exponent == 1) return AtomBox(factor.atom, false);
    const std::string exponent = IntegerText(factor.exponent);
    std::string shown = exponent;
    if (factor.exponent < 0) shown = kMinusSign + exponent.substr(1);
    return Composite(Kind::Superscript,
                     Children(PowerBase(AtomBox(factor.atom, true)),
                              Text(Role::Number, std::move(shown), exponent)),
                     kPower);
}

Box Layout::Call(int code, const Polynomial& argument, bool powerBase) const
{
    Box content = Sum(argument);
    switch (code) {
    case kFnAbs:
        return Fenced(std::move(content), "|", "|", "ABS(", ")");
    case kFnFloor:
        return Fenced(std::move(content), "\u230a", "\u230b", "FLOOR(", ")");
    case kFnCeil:
        return Fenced(std::move(content), "\u2308", "\u2309", "CEIL(", ")");
    case kFnSqrt:
        return Composite(Kind::Radical, Children(std::move(content)), kFunctionPrecedence);
    default:
        break;
    }
    std::vector<Box> row;
    row.push_back(Text(Role::Function, LowerCase(kFunctionNames[code]), kFunctionNames[code]));
    // sin x, but sin(2x), sin(x + y) and sin(x)²
    if (!powerBase && content.kind == Kind::Text) {
        row.push_back(Text(Role::Separator, " ", "("));
        row.push_back(std::move(content));
        row.push_back(Text(Role::Delimiter, "", ")"));
    } else {
        row.push_back(Parenthesized(std::move(content)));
    }
    return Composite(Kind::Row, std::move(row), kFunctionPrecedence);
}

Box Layout::AtomBox(int index, bool powerBase) const
{
    const Atom& atom = algebra.AtomAt(index);
    const auto& operands = atom.operands;
    switch (atom.kind) {
    case Atom::Kind::Variable:
        return Text(Role::Name, atom.name, AsciiName(atom.name));
    case Atom::Kind::NamedConstant: // PI is the first of the engine's named constants, E next
        return atom.code == 0 ? Text(Role::Name, "\u03c0", "PI") : Text(Role::Name, "e", "E");
    case Atom::Kind::NonFinite:
        return std::isnan(atom.value) ? Text(Role::Number, "NaN", "nan")
                                      : Text(Role::Number, "\u221e", "inf");
    case Atom::Kind::Function:
        return Call(atom.code, operands[0], powerBase);
    case Atom::Kind::Random: {
        std::vector<Box> row;
        row.push_back(Text(Role::Function, "rand", "RAND"));
        if (operands[0].ConstantValue() == Coefficient(1))
            row.push_back(Text(Role::Delimiter, "()", "()"));
        else
            row.push_back(Parenthesized(Sum(operands[0])));
        return Composite(Kind::Row, std::move(row), kFunctionPrecedence);
    }
    case Atom::Kind::Prefix: {
        const bool negation = atom.code == kFnNot;
        std::vector<Box> row;
        row.push_back(Text(Role::Sign, negation ? "\u00ac" : "~", negation ? "!" : "~"));
        // The engine refuses a prefix operator right after another one: !(!x), not !!x.
        Box operand = AtLeast(Sum(operands[0]), kFunctionPrecedence);
        if (FirstLeaf(operand).role == Role::Sign) operand = Parenthesized(std::move(operand));
        row.push_back(std::move(operand));
        return Composite(Kind::Row, std::move(row), kFunctionPrecedence);
    }
    case Atom::Kind::Binary: {
        const int precedence = kOperatorPrecedence[atom.code];
        std::vector<Box> row;
        row.push_back(AtLeast(Sum(operands[0]), precedence));
        row.push_back(OperatorText(atom.code));
        row.push_back(AtLeast(Sum(operands[1]), precedence + 1)); // operators group from the left
        return Composite(Kind::Row, std::move(row), precedence);
    }
    case Atom::Kind::Conditional: {
        // A condition or branch that is a conditional itself needs parentheses.
        std::vector<Box> row;
        row.push_back(AtLeast(Sum(operands[0]), kConditional + 1));
        row.push_back(Text(Role::Operator, " ? ", " ? "));
        row.push_back(AtLeast(Sum(operands[1]), kConditional + 2));
        row.push_back(Text(Role::Operator, " : ", " : "));
        row.push_back(AtLeast(Sum(operands[2]), kConditional + 2));
        return Composite(Kind::Row, std::move(row), kConditional);
    }
    case Atom::Kind::Quotient:
        return Composite(Kind::Fraction, Children(Sum(operands[0]), Sum(operands[1])), kProduct);
    case Atom::Kind::Power:
        return Composite(Kind::Superscript, Children(PowerBase(Sum(operands[0])), Sum(operands[1])),
                         kPower);
    case Atom::Kind::Group:
        return Parenthesized(Sum(operands[0]));
    }
    return Text(Role::Name, atom.name, atom.name);
}

bool IsIntegerText(const std::string& text)
{
    const std::size_t start = !text.empty() && text[0] == '-' ? 1 : 0;
    return text.size() > start &&
           std::all_of(text.begin() + static_cast<long>(start), text.end(), IsDigit);
}

void Flatten(const Box& box, Notation notation, std::string& out);

void FlattenWrapped(const Box& box, bool wrap, Notation notation, std::string& out)
{
    if (wrap) out += "(";
    Flatten(box, notation, out);
    if (wrap) out += ")";
}

// The text of `box`, in parentheses when it binds more loosely than `precedence`.
void FlattenAtLeast(const Box& box, int precedence, Notation notation, std::string& out)
{
    FlattenWrapped(box, box.precedence < precedence, notation, out);
}

void Flatten(const Box& box, Notation notation, std::string& out)
{
    const bool ascii = notation == Notation::Ascii;
    switch (box.kind) {
    case Kind::Text:
        out += ascii ? box.ascii : box.text;
        return;
    case Kind::Row:
    case Kind::Fenced:
        for (const Box& child : box.children)
            Flatten(child, notation, out);
        return;
    case Kind::Superscript: {
        Flatten(box.children[0], notation, out);
        const Box& exponent = box.children[1];
        const bool single = exponent.kind == Kind::Text;
        if (!ascii && single && exponent.role == Role::Number && IsIntegerText(exponent.ascii)) {
            out += SuperscriptText(exponent.ascii);
            return;
        }
        out += "^";
        FlattenWrapped(exponent, !single, notation, out);
        return;
    }
    case Kind::Fraction: // as InlineFraction lays it out
        FlattenAtLeast(box.children[0], kProduct, notation, out);
        out += "/";
        FlattenAtLeast(box.children[1], kPower, notation, out);
        return;
    case Kind::Radical: {
        out += ascii ? "SQRT" : "\u221a";
        FlattenWrapped(box.children[0], ascii || box.children[0].kind != Kind::Text, notation, out);
        return;
    }
    }
}

} // namespace

ReadableBox InlineFraction(const ReadableBox& fraction)
{
    std::vector<Box> row;
    row.push_back(AtLeast(fraction.children[0], kProduct));
    row.push_back(Text(Role::Operator, "/", "/"));
    row.push_back(AtLeast(fraction.children[1], kPower));
    return Composite(Kind::Row, std::move(row), kProduct);
}

std::string FlatText(const ReadableBox& box)
{
    std::string text;
    Flatten(box, Notation::Readable, text);
    return text;
}

std::string FlatAscii(const ReadableBox& box)
{
    std::string text;
    Flatten(box, Notation::Ascii, text);
    return text;
}

ReadableBox ReadableLayout(const FunctionInterpreter& formula)
{
    if (!formula.Root()) return Text(Role::None, "", "");
    const FormulaAlgebra algebra(formula.Root());
    return Layout(algebra).Sum(algebra.Result());
}

std::string ReadableText(const FunctionInterpreter& formula)
{
    return FlatText(ReadableLayout(formula));
}

std::string ReadableAscii(const FunctionInterpreter& formula)
{
    return FlatAscii(ReadableLayout(formula));
}
