// The display form of formulas: how typical fields, constants and structures read, where
// expansion stops, how the panel's numbers read; and that every form, read back by the engine,
// has the formula's values.

#include "analysis_test_support.h"
#include "readable_number.h"
#include "readable_text.h"
#include "test_support.h"

#include <array>
#include <cmath>
#include <memory>
#include <random>
#include <string>

namespace {

// Where formulas are compared: x and y from -3 to 3 in steps of 3/4, and the third name `a` at
// 3/4. At such points polynomial parts are exact in doubles however they are grouped.
constexpr double kLowest = -3;
constexpr double kStep = 0.75;
constexpr int kSteps = 8;
constexpr double kParameter = 0.75;

std::optional<double> ValueOrFailure(const std::function<double()>& evaluate)
{
    try {
        return evaluate();
    } catch (const ParseErrorMsg&) {
        return std::nullopt;
    }
}

// Equal up to rounding in the larger of the two values and of `scale`, or both failing. The
// display form collects terms that the formula computes in another order: their rounding is
// relative to the size of those terms, which `scale` is.
testing::AssertionResult SameValue(std::optional<double> original, std::optional<double> shown,
                                   double scale)
{
    if (!original || !shown) {
        if (!original && !shown) return testing::AssertionSuccess();
        return testing::AssertionFailure()
               << (original ? "only the display form fails" : "only the formula fails");
    }
    const double u = *original;
    const double v = *shown;
    // Expanding changes how an overflow shows: inf - inf in place of inf.
    if (u == v || (!std::isfinite(u) && !std::isfinite(v))) return testing::AssertionSuccess();
    if (std::fabs(u - v) <= 1e-12 * std::max({std::fabs(u), std::fabs(v), scale}))
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "formula " << u << ", display form " << v << ", terms of size " << scale;
}

// A formula in the engine's language, reading x, y and a.
std::unique_ptr<FieldFormulas> Compiled(const std::string& ascii)
{
    return std::make_unique<FieldFormulas>(ascii.c_str(), "0",
                                           std::map<std::string, double>{{"a", kParameter}});
}

// How large the rounding in the engine's value of a display form may be, to first order (over
// the unit roundoff): its value with every sum taken over the magnitudes of its terms, and
// products, powers and quotients over those of their parts; functions, names and the rest as
// the engine computes them. Expanding (a − b)⁴ makes terms far larger than the value.
class RoundingScale
{
public:
    explicit RoundingScale(const ReadableBox& box) : value(Compiled(FlatAscii(box)))
    {
        using Kind = ReadableBox::Kind;
        using Role = ReadableBox::Role;
        const ReadableBox* power = box.kind == Kind::Superscript ? &box.children[1] : nullptr;
        if (box.kind == Kind::Row && (box.precedence == 10 || box.precedence == 11)) {
            kind = box.precedence == 10 ? Sum : Product;
            for (const ReadableBox& part : box.children) {
                const bool mark =
                    part.kind == Kind::Text && part.role != Role::Number && part.role != Role::Name;
                if (!mark) parts.emplace_back(part);
            }
        } else if (box.kind == Kind::Fenced && box.children[0].ascii == "(") {
            kind = Sum;
            parts.emplace_back(box.children[1]);
        } else if (power && power->kind == Kind::Text &&
                   power->ascii.find_first_not_of("-0123456789") == std::string::npos) {
            kind = Power;
            exponent = std::abs(std::stoi(power->ascii));
            parts.emplace_back(box.children[0]);
        } else if (box.kind == Kind::Fraction) {
            kind = Quotient;
            parts.emplace_back(box.children[0]);
            parts.emplace_back(box.children[1]);
        }
    }

    double At(double x, double y) const
    {
        const double size = std::fabs(ValueAt(x, y));
        switch (kind) {
        case Sum: {
            double total = 0;
            for (const RoundingScale& part : parts)
                total += part.At(x, y);
            return total;
        }
        case Product: {
            double total = 1;
            for (const RoundingScale& part : parts)
                total *= part.At(x, y);
            return total;
        }
        case Power: {
            const double base = std::fabs(parts[0].ValueAt(x, y));
            return base == 0 ? size : size * std::pow(parts[0].At(x, y) / base, exponent);
        }
        case Quotient: {
            const double below = std::fabs(parts[1].ValueAt(x, y));
            if (below == 0) return size;
            return (parts[0].At(x, y) + size * parts[1].At(x, y)) / below;
        }
        case Value:
            break;
        }
        return size;
    }

private:
    enum Kind
    {
        Sum,
        Product,
        Power,
        Quotient,
        Value
    };

    double ValueAt(double x, double y) const
    {
        value->x = x;
        value->y = y;
        return ValueOrFailure([&] { return value->fx.Evaluate(); }).value_or(0);
    }

    std::unique_ptr<FieldFormulas> value;
    Kind kind = Value;
    int exponent = 1;
    std::vector<RoundingScale> parts;
};

// The display form of `shown`, read back by the engine, against `original` at every point.
void ExpectReadsBack(const FunctionInterpreter& shown,
                     const std::function<std::optional<double>(double, double)>& original)
{
    const std::string ascii = ReadableAscii(shown);
    SCOPED_TRACE("read back from " + ascii + " (shown as " + ReadableText(shown) + ")");
    std::unique_ptr<FieldFormulas> back;
    std::unique_ptr<RoundingScale> scale;
    const auto error = ErrorFrom([&] {
        back = Compiled(ascii);
        scale = std::make_unique<RoundingScale>(ReadableLayout(shown));
    });
    ASSERT_FALSE(error) << "the engine refuses it with code " << error->code;
    for (int i = 0; i <= kSteps; ++i) {
        for (int j = 0; j <= kSteps; ++j) {
            back->x = kLowest + kStep * i;
            back->y = kLowest + kStep * j;
            const auto value = ValueOrFailure([&] { return back->fx.Evaluate(); });
            ASSERT_TRUE(SameValue(original(back->x, back->y), value, scale->At(back->x, back->y)))
                << "at (" << back->x << ", " << back->y << ")";
        }
    }
}

// A field's formulas, divergence and curl all read back as what they are.
void ExpectFieldReadsBack(TestField& field)
{
    auto at = [&field](const FunctionInterpreter& formula) {
        return [&field, &formula](double x, double y) {
            field.x = x;
            field.y = y;
            return ValueOrFailure([&] { return formula.Evaluate(); });
        };
    };
    ExpectReadsBack(field.fx, at(field.fx));
    ExpectReadsBack(field.fy, at(field.fy));
    const FieldAnalysis& analysis = field.analysis;
    if (!analysis.Differentiable()) return;
    ExpectReadsBack(*analysis.DivergenceExpression(), [&](double x, double y) {
        return ValueOrFailure([&] { return analysis.DivergenceAt(x, y); });
    });
    ExpectReadsBack(*analysis.CurlExpression(), [&](double x, double y) {
        return ValueOrFailure([&] { return analysis.CurlAt(x, y); });
    });
}

TEST(ReadableText, TypicalFieldsReadAsPeopleWriteThem)
{
    const char* cases[][5] = {
        // Fx, Fy, their display forms, then divergence; curl; the Jacobian by rows
        {"2*x + y", "x - 3*y", "2x + y", "x − 3y", "−1; 0; 2; 1; 1; −3"},
        {"x*(3 - x - 2*y)", "y*(2 - x - y)", "3x − x² − 2xy", "2y − xy − y²",
         "5 − 3x − 4y; 2x − y; 3 − 2x − 2y; −2x; −y; 2 − x − 2y"},
        {"y", "(1 - x^2)*y - x", "y", "y − x²y − x", "1 − x²; −2xy − 2; 0; 1; −2xy − 1; 1 − x²"},
        {"y", "-sin(x)", "y", "−sin x", "0; −cos x − 1; 0; 1; −cos x; 0"},
        {"x*(1 - x^2 - y^2) - y", "y*(1 - x^2 - y^2) + x", "x − x³ − xy² − y", "x − x²y − y³ + y",
         "2 − 4x² − 4y²; 2; 1 − 3x² − y²; −2xy − 1; 1 − 2xy; 1 − x² − 3y²"},
        {"EXP(x/3)", "y", "exp(x/3)", "y", "exp(x/3)/3 + 1; 0; exp(x/3)/3; 0; 0; 1"},
        {"sin(x)*cos(y)", "x*x*x - 3*x*y*y", "sin x cos y", "x³ − 3xy²",
         "cos x cos y − 6xy; 3x² − 3y² + sin x sin y; cos x cos y; −sin x sin y; 3x² − 3y²; "
         "−6xy"},
        // A quotient keeps its denominator factored and drops powers that cancel.
        {"x/(y + 1)^2", "a*y", "x/(y + 1)²", "ay",
         "a + 1/(y + 1)²; 2x/(y + 1)³; 1/(y + 1)²; −2x/(y + 1)³; 0; a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("F = (") + c[0] + ", " + c[1] + ")");
        TestField field(c[0], c[1], {{"a", kParameter}});
        EXPECT_EQ(ReadableText(field.fx), c[2]);
        EXPECT_EQ(ReadableText(field.fy), c[3]);
        ASSERT_TRUE(field.analysis.Differentiable());
        const FieldAnalysis& analysis = field.analysis;
        std::string texts = ReadableText(*analysis.DivergenceExpression()) + "; " +
                            ReadableText(*analysis.CurlExpression());
        for (int i = 0; i < 4; ++i)
            texts += "; " + ReadableText(*analysis.JacobianExpression(i / 2, i % 2));
        EXPECT_EQ(texts, c[4]);
        ExpectFieldReadsBack(field);
    }
}

// A formula alone, as the panel shows it and as the clipboard gets it.
TEST(ReadableText, ConstantsAndStructureWithTheFewestParentheses)
{
    const char* cases[][3] = {
        // Typed decimals stay, divisions show their divisor, folded thirds come back.
        {"0.5*x + 0.25", "0.5x + 0.25", "0.5*x + 0.25"},
        {"x/2 - 1/3", "x/2 − 1/3", "x/2 - 1/3"},
        {"2*x/3 + y/3", "(2x + y)/3", "(2*x + y)/3"},
        {"x*exp((x*x + y*y)/-4)", "x exp(−(x² + y²)/4)", "x*EXP(NEG((x^2 + y^2)/4))"},
        {"0.1*x + 0.2*x", "0.3x", "0.3*x"},
        {"x/0.7", "10x/7", "10*x/7"},
        {"x/3.14159", "x/3.14159", "x/3.14159"},
        {"2*PI*x + PI/2", "2πx + π/2", "2*PI*x + PI/2"},
        {"x/PI", "x/π", "x/PI"},
        {"E^x", "e^x", "E^x"},
        {"1e-20*x", "1×10⁻²⁰x", "1e-20*x"},
        // Products by juxtaposition, or a space or a thin dot where that would mislead.
        {"x*sin(y) + sin(x)*cos(y)", "x sin y + sin x cos y", "x*SIN(y) + SIN(x)*COS(y)"},
        {"theta*x*2", "2·theta·x", "2*theta*x"},
        {"2*3^x", "2·3^x", "2*3^x"},
        {"sin(2*x)^2 + sqrt(x + 1)", "sin(2x)² + √(x + 1)", "SIN(2*x)^2 + SQRT(x + 1)"},
        {"sqrt(x)*y", "y√x", "y*SQRT(x)"},
        {"sin(x)/x", "sin(x)/x", "SIN(x)/x"}, // not sin x/x
        {"abs(x - 1) + floor(y) - ceil(x)", "|x − 1| + ⌊y⌋ − ⌈x⌉",
         "ABS(x - 1) + FLOOR(y) - CEIL(x)"},
        // Powers: whole ones as superscripts, the rest as written; x⁻¹ has degree -1.
        {"x^-1 + x^0.5 + 2^(x + 1)", "x^0.5 + 2^(x + 1) + x⁻¹", "x^0.5 + 2^(x + 1) + x^-1"},
        {"(x + y)/(x - y)", "(x + y)/(x − y)", "(x + y)/(x - y)"},
        {"x/(2*y)", "x/(2y)", "x/(2*y)"},
        {"2*x*y/(1 + x^2)", "2xy/(x² + 1)", "2*x*y/(x^2 + 1)"},
        // A sum opens with a positive term of degree 0 or 1 rather than with a minus.
        {"x*(1 - x)*(x - 0.5)", "−x³ + 1.5x² − 0.5x", "NEG(x^3) + 1.5*x^2 - 0.5*x"},
        {"2*x - x^2 - 3", "2x − x² − 3", "2*x - x^2 - 3"},
        // The engine reads -x^2 as (-x)^2; a negated power needs NEG to read back.
        {"-x^2", "x²", "x^2"},
        {"NEG(x^2) + y", "y − x²", "y - x^2"},
        {"NEG(x^2)*y", "−x²y", "NEG(x^2*y)"},
        {"NEG(x*y) - 1", "−xy − 1", "-x*y - 1"},
        {"NEG(sin(x)^2)", "−sin(x)²", "NEG(SIN(x)^2)"},
        {"NEG((x + y)^50)", "−(x + y)⁵⁰", "NEG((x + y)^50)"},
        // Comparisons, logic and conditionals keep their structure.
        {"x < 3 ? x^2 : sqrt(x)", "x < 3 ? x² : √x", "x < 3 ? x^2 : SQRT(x)"},
        {"x <= y && y != 2", "x ≤ y ∧ y ≠ 2", "x <= y && y != 2"},
        {"!(x > 1) + x % 3", "¬(x > 1) + x mod 3", "!(x > 1) + x % 3"},
        // The engine refuses a prefix operator right after another one.
        {"!(!(x)) + ~(!(y))", "¬(¬x) + ~(¬y)", "!(!x) + ~(!y)"},
        {"2*(x > y)", "2(x > y)", "2*(x > y)"},
        {"(x > 0 ? 1 : 2) ? x : y", "(x > 0 ? 1 : 2) ? x : y", "(x > 0 ? 1 : 2) ? x : y"},
        // The engine reads "2e - 1" as a broken number: such a name goes in parentheses.
        {"(x2e) - 1", "x2e − 1", "(x2e) - 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c[0]);
        TestField field(c[0], "0", {{"a", kParameter}, {"theta", 0.5}, {"x2e", 1.5}});
        EXPECT_EQ(ReadableText(field.fx), c[1]);
        EXPECT_EQ(ReadableAscii(field.fx), c[2]);
    }
}

int TermCount(const std::string& ascii)
{
    int depth = 0;
    int terms = 1;
    for (std::size_t i = 0; i < ascii.size(); ++i) {
        depth += ascii[i] == '(' ? 1 : ascii[i] == ')' ? -1 : 0;
        if (depth == 0 && (ascii.compare(i, 3, " + ") == 0 || ascii.compare(i, 3, " - ") == 0))
            ++terms;
    }
    return terms;
}

TEST(ReadableText, ExpansionsBeyondFortyTermsStayFactored)
{
    const std::pair<const char*, int> cases[] = {
        {"(x + y)^39", 40},
        {"(x + y)^40", 1},
        {"(x - 1)^2*(x + 1)^2", 3},      // terms merge: x⁴ − 2x² + 1
        {"(x + y + a)^5", 21},           // 21 monomials of degree 5
        {"(x + y + a)^6", 28},           // 28
        {"(x + y + a + 1)^5", 1},        // 56
        {"(x+y+a+1+x^2+y^2+a^2)^2", 25}, // 25 of the 49 products differ
        {"(x+y+a+1+x^2+y^2+a^2)*(x^3+y^3+a^3+x*y+x*a+y*a+2)", 1},
        // A monomial times a long sum is no blow-up.
        {"x*(1+y+y^2+y^3+y^4+y^5+y^6+y^7+y^8+y^9+y^10+y^11+y^12+y^13+y^14+y^15+y^16+y^17+y^18+"
         "y^19+y^20+y^21+y^22+y^23+y^24+y^25+y^26+y^27+y^28+y^29+y^30+y^31+y^32+y^33+y^34+y^35+"
         "y^36+y^37+y^38+y^39+y^40+y^41+y^42+y^43+y^44)",
         45},
    };
    for (const auto& [formula, terms] : cases) {
        SCOPED_TRACE(formula);
        TestField field(formula, "0", {{"a", kParameter}});
        EXPECT_EQ(TermCount(ReadableAscii(field.fx)), terms) << ReadableText(field.fx);
        ExpectFieldReadsBack(field);
    }
    const TestField power("(x + y)^40", "0");
    EXPECT_EQ(ReadableText(power.fx), "(x + y)⁴⁰");
    const TestField square("(x + 1)^2", "0");
    EXPECT_EQ(ReadableText(square.fx), "x² + 2x + 1");
}

std::string Substituted(const std::string& form, const std::string& u, const std::string& v)
{
    std::string formula;
    for (const char c : form)
        formula += c == 'u' ? "(" + u + ")" : c == 'v' ? "(" + v + ")" : std::string(1, c);
    return formula;
}

int Pick(std::mt19937& random, int n)
{
    return static_cast<int>(random() % static_cast<unsigned>(n));
}

// A random polynomial over x, y and a with halves and quarters: exact at the comparison points
// in either form, so that the functions of it see the same operand.
std::string RandomPolynomial(std::mt19937& random, int depth)
{
    if (depth == 0 || Pick(random, 4) == 0)
        return std::array{"x", "y", "a", "2", "3", "0.5", "0.25", "x", "y"}[Pick(random, 9)];
    const char* forms[] = {"u + v",  "u - v", "u * v",       "u ^ 2",      "u ^ 3",
                           "NEG(u)", "u / 4", "(u + v) ^ 3", "u * (v - 2)"};
    return Substituted(forms[Pick(random, 9)], RandomPolynomial(random, depth - 1),
                       RandomPolynomial(random, depth - 1));
}

// Functions, quotients, powers, comparisons and conditionals of polynomials, combined by sums,
// products and powers that the display form expands.
std::string RandomFormula(std::mt19937& random, int depth)
{
    if (depth == 0 || Pick(random, 4) == 0) return RandomPolynomial(random, 2);
    if (Pick(random, 2) == 0) {
        const char* parts[] = {
            "sin(u)",  "cos(u)",         "exp(u / 4)",  "sqrt(u)",  "ln(u)",
            "atan(u)", "abs(u)",         "u ^ 0.5",     "u ^ -1",   "u ^ v",
            "u < v",   "u >= v ? u : v", "u % 3",       "floor(u)", "!u + ~v",
            "u && v",  "u / v",          "u / (v * v)", "PI * u",   "sinh(u / 8)",
        };
        return Substituted(parts[Pick(random, 20)], RandomPolynomial(random, 2),
                           RandomPolynomial(random, 2));
    }
    const char* sums[] = {"u + v",  "u - v",       "u * v",       "u ^ 2",    "(u + v) ^ 3",
                          "NEG(u)", "u * (u - v)", "(u - v) ^ 2", "u / 4 - v"};
    return Substituted(sums[Pick(random, 9)], RandomFormula(random, depth - 1),
                       RandomFormula(random, depth - 1));
}

TEST(ReadableText, RandomFormulasReadBackWithTheirValues)
{
    std::mt19937 random(2026);
    for (int round = 0; round < 200; ++round) {
        const std::string fx = RandomFormula(random, 4);
        const std::string fy = RandomFormula(random, 3);
        SCOPED_TRACE("F = (" + fx + ", " + fy + ")");
        std::unique_ptr<TestField> field;
        if (ErrorFrom([&] {
                field = std::make_unique<TestField>(
                    fx.c_str(), fy.c_str(), std::map<std::string, double>{{"a", kParameter}});
            }))
            continue; // a constant part that cannot be evaluated: no formula to show
        ExpectFieldReadsBack(*field);
        if (HasFailure()) return;
    }
}

// The panel draws superscripts, stacked fractions, radicals and stretched delimiters.
TEST(ReadableText, LayoutGivesThePanelItsStructure)
{
    using Kind = ReadableBox::Kind;
    const TestField field("exp(x/3)/3 + x^2", "abs(x + 1) * sqrt(y)");
    const ReadableBox sum = ReadableLayout(field.fx);
    ASSERT_EQ(sum.kind, Kind::Row);
    ASSERT_EQ(sum.children.size(), 3u);
    const ReadableBox& square = sum.children[0];
    ASSERT_EQ(square.kind, Kind::Superscript);
    EXPECT_EQ(FlatText(square.children[0]), "x");
    EXPECT_EQ(FlatText(square.children[1]), "2");
    EXPECT_EQ(sum.children[1].role, ReadableBox::Role::Operator);
    const ReadableBox& fraction = sum.children[2];
    ASSERT_EQ(fraction.kind, Kind::Fraction);
    EXPECT_EQ(FlatText(fraction.children[0]), "exp(x/3)");
    EXPECT_EQ(FlatText(fraction.children[1]), "3");
    EXPECT_EQ(FlatText(InlineFraction(fraction)), "exp(x/3)/3");

    const ReadableBox product = ReadableLayout(field.fy);
    ASSERT_EQ(product.kind, Kind::Row);
    ASSERT_EQ(product.children.size(), 3u);
    EXPECT_EQ(product.children[0].kind, Kind::Fenced);
    EXPECT_EQ(product.children[0].children[0].text, "|");
    EXPECT_EQ(product.children[2].kind, Kind::Radical);
    EXPECT_EQ(FlatText(product), "|x + 1|√y");
    EXPECT_EQ(FlatAscii(product), "ABS(x + 1)*SQRT(y)");

    // A stacked numerator needs no parentheses; on one line it does.
    const TestField quotient("(x + 1)/(2*y)", "0");
    const ReadableBox stacked = ReadableLayout(quotient.fx);
    ASSERT_EQ(stacked.kind, Kind::Fraction);
    EXPECT_EQ(FlatText(stacked.children[0]), "x + 1");
    EXPECT_EQ(FlatText(stacked.children[1]), "2y");
    EXPECT_EQ(FlatText(stacked), "(x + 1)/(2y)");
}

// Deep and long formulas come out whole, without exhausting the stack.
TEST(ReadableText, DeepAndLongFormulas)
{
    std::string nested = "x";
    for (int i = 0; i < 100; ++i)
        nested = "sin(" + nested + " + 1)";
    std::string sum = "x";
    for (int i = 0; i < 400; ++i)
        sum += " + y^" + std::to_string(i % 7);
    for (const std::string& formula : {nested, sum}) {
        TestField field(formula.c_str(), "0");
        ExpectFieldReadsBack(field);
    }
    const TestField collected(sum.c_str(), "0");
    EXPECT_EQ(ReadableText(collected.fx), "57y⁶ + 57y⁵ + 57y⁴ + 57y³ + 57y² + x + 57y + 58");
}

TEST(ReadableNumber, ExactFormsWithTheirDecimalsOrFourDigits)
{
    const double root2 = std::sqrt(2.0);
    const double root5 = std::sqrt(5.0);
    const double pi = 3.141592653589793;
    const std::tuple<double, const char*, const char*> cases[] = {
        {0.0, "0", "0"},
        {-0.0, "0", "0"},
        {2.0, "2", "2"},
        {-3.0, "−3", "-3"},
        {-0.25, "−0.25", "-0.25"},
        {0.375, "0.375", "0.375"},
        {1.0 / 3, "1/3 ≈ 0.3333", "1/3"},
        {-5.0 / 12, "−5/12 ≈ −0.4167", "-5/12"},
        {std::nextafter(2.0, 3.0), "2", "2"}, // an ulp from 2
        {1 + root2, "1 + √2 ≈ 2.414", "1 + SQRT(2)"},
        {(1 + root5) / 2, "(1 + √5)/2 ≈ 1.618", "(1 + SQRT(5))/2"},
        {(-1 - root5) / 2, "(−1 − √5)/2 ≈ −1.618", "(-1 - SQRT(5))/2"},
        {-std::sqrt(3.0) / 2, "−√3/2 ≈ −0.866", "-SQRT(3)/2"},
        {3 * root2, "3√2 ≈ 4.243", "3*SQRT(2)"},
        {pi, "π ≈ 3.142", "PI"},
        {-pi / 2, "−π/2 ≈ −1.571", "-PI/2"},
        {2 * pi / 3, "2π/3 ≈ 2.094", "2*PI/3"},
        // Nothing simple: four significant digits, and every digit for the clipboard.
        {0.123456, "0.1235", "0.123456"},
        {2.718281828459045, "2.718", "2.718281828459045"},
        {-1234567.0 / 1024, "−1206", "-1205.6318359375"},
        {1.5e-7, "1.5×10⁻⁷", "1.5e-7"},
        {6.02e23, "6.02×10²³", "6.02e23"},
        {std::numeric_limits<double>::infinity(), "∞", "inf"},
        {-std::numeric_limits<double>::infinity(), "−∞", "-inf"},
        {std::nan(""), "NaN", "nan"},
    };
    for (const auto& [value, text, ascii] : cases) {
        SCOPED_TRACE(value);
        EXPECT_EQ(ReadableNumber(value), text);
        EXPECT_EQ(ReadableNumberAscii(value), ascii);
    }
    // The halves, for a complex pair of eigenvalues.
    const NumberForms half = ReadableNumberForms(0.5);
    const NumberForms root = ReadableNumberForms(std::sqrt(3.0) / 2);
    EXPECT_EQ(half.exact + "|" + half.decimal, "|0.5");
    EXPECT_EQ(root.exact + "|" + root.decimal, "√3/2|0.866");
}

// An exact form is claimed only within two ulps, and what the clipboard gets reads back.
TEST(ReadableNumber, ExactOnlyWithinTwoUlpsAndReadsBack)
{
    const double third = 1.0 / 3;
    const double close = std::nextafter(std::nextafter(third, 1.0), 1.0);
    const double far = std::nextafter(close, 1.0);
    EXPECT_EQ(ReadableNumberAscii(close), "1/3");
    EXPECT_EQ(ReadableNumberAscii(far), "0.3333333333333335");
    EXPECT_EQ(ReadableNumber(far), "0.3333");
    // 3 - 2√2 computed in doubles is 8 ulps off: no claim.
    EXPECT_EQ(ReadableNumber(3 - 2 * std::sqrt(2.0)), "0.1716");

    std::mt19937 random(7);
    std::uniform_real_distribution<double> spread(-50, 50);
    for (int i = 0; i < 2000; ++i) {
        const double value =
            i % 2 == 0 ? spread(random)
                       : static_cast<double>(static_cast<int>(spread(random))) / (1 + i % 97);
        const std::string ascii = ReadableNumberAscii(value);
        SCOPED_TRACE(ascii);
        const FunctionInterpreter back(ascii.c_str());
        const double read = back.Evaluate();
        EXPECT_LE(std::fabs(read - value),
                  2 * (std::nextafter(std::fabs(value), 100.0) - std::fabs(value)));
        if (i % 2 == 0) {
            EXPECT_EQ(ReadableNumber(value).find("≈"), std::string::npos);
        }
    }
}

} // namespace
