#include "functions.h"

#include "operators.h"
#include "tree_building.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <typeinfo>

int32_t IntegerView(double value)
{
    // Compared as doubles first, so that the conversion itself never overflows.
    if (!(value > -2147483649.0 && value < 2147483648.0)) return INT32_MIN;
    return static_cast<int32_t>(value);
}

namespace {

// "KEYWORD( operand )"; a missing operand leaves two blanks between the parentheses.
void PrintCall(std::string& out, const char* keyword, const Parser* operand)
{
    out += keyword;
    out += "( ";
    if (operand) operand->PrintTo(out);
    out += " )";
}

bool SameClass(const Parser* a, const Parser* b)
{
    return b && typeid(*a) == typeid(*b);
}

} // namespace

// ---- FunctionParser --------------------------------------------------------------------------

FunctionParser::FunctionParser(Parser* operand)
{
    if (!operand) RaiseError(kEmptyExpression, -1, -1);
    argument = operand;
    argument->parent = this;
}

FunctionParser::FunctionParser(TextSpan& span)
{
    Parser* parsed = nullptr; // Parse stores only a finished tree
    Parse(span, &parsed);
    argument = parsed;
    argument->parent = this;
}

FunctionParser::~FunctionParser()
{
    delete argument;
}

double FunctionParser::Evaluate() const
{
    return argument->Evaluate();
}

bool FunctionParser::ConstantWhen(ConstantTest isConstant) const
{
    return isConstant(argument);
}

int16_t FunctionParser::Precedence() const
{
    return kFunctionPrecedence;
}

bool FunctionParser::ReplaceChild(Parser* old, Parser* replacement)
{
    if (old != argument) return false;
    delete old;
    argument = replacement;
    replacement->parent = this;
    return true;
}

void FunctionParser::Attach(FunctionInterpreter* owner)
{
    argument->Attach(owner);
}

void FunctionParser::Simplify()
{
    argument->Simplify(); // may replace the operand: read it again below
    if (argument->IsLiteral() || !argument->IsConstantOnceSimplified()) return;
    const double value = argument->Evaluate();
    Parser* folded = new (std::nothrow) Constant(value);
    if (folded) ReplaceChild(argument, folded);
}

void FunctionParser::PrintTo(std::string& out) const
{
    PrintCall(out, kFunctionNames[FunctionCode()], argument);
}

Parser* FunctionParser::Clone() const
{
    NodePtr copy(argument->Clone());
    Parser* node = MakeFunction(FunctionCode(), copy.get());
    copy.release();
    return node;
}

bool FunctionParser::SameWhen(const Parser* other, ConstantTest isConstant) const
{
    if (!SameClass(this, other)) return false;
    const bool constant = isConstant(this);
    const bool otherConstant = isConstant(other);
    if (constant && otherConstant) return Evaluate() == other->Evaluate();
    if (constant || otherConstant) return false;
    return argument->SameWhen(static_cast<const FunctionParser*>(other)->argument, isConstant);
}

int FunctionParser::FunctionCode() const
{
    return kFnNone;
}

NodePtr FunctionParser::CopyOfArgument() const
{
    return NodePtr(argument->Clone());
}

NodePtr FunctionParser::DerivativeOfArgument(const char* wrt,
                                             const IndependentSet* independents) const
{
    return NodePtr(argument->Derivative(wrt, independents));
}

// ---- Values and domain tests -----------------------------------------------------------------

double LnFunction::Evaluate() const
{
    const double u = argument->Evaluate();
    if (u <= 0.0) RaiseError(kLnOfNegative, -1, -1);
    return std::log(u);
}

double LogFunction::Evaluate() const
{
    const double u = argument->Evaluate();
    if (u <= 0.0) RaiseError(kLogOfNegative, -1, -1);
    return std::log10(u);
}

double ExpFunction::Evaluate() const
{
    return std::exp(argument->Evaluate());
}

double AbsFunction::Evaluate() const
{
    return std::fabs(argument->Evaluate());
}

double SqrtFunction::Evaluate() const
{
    const double u = argument->Evaluate();
    if (u < 0.0) RaiseError(kSqrtOfNegative, -1, -1);
    return std::sqrt(u);
}

double NegFunction::Evaluate() const
{
    return -argument->Evaluate();
}

double SinFunction::Evaluate() const
{
    return std::sin(argument->Evaluate());
}

double CosFunction::Evaluate() const
{
    return std::cos(argument->Evaluate());
}

double TanFunction::Evaluate() const
{
    const double u = argument->Evaluate();
    if (std::cos(u) == 0.0) RaiseError(kTangentInfinite, -1, -1);
    return std::tan(u);
}

double SecFunction::Evaluate() const
{
    const double c = std::cos(argument->Evaluate());
    if (c == 0.0) RaiseError(kSecantInfinite, -1, -1);
    return 1.0 / c;
}

double CscFunction::Evaluate() const
{
    const double s = std::sin(argument->Evaluate());
    if (s == 0.0) RaiseError(kCosecantInfinite, -1, -1);
    return 1.0 / s;
}

double CotFunction::Evaluate() const
{
    const double u = argument->Evaluate();
    if (std::sin(u) == 0.0) RaiseError(kCotangentInfinite, -1, -1);
    return 1.0 / std::tan(u);
}

double ArcSinFunction::Evaluate() const
{
    const double u = argument->Evaluate();
    if (u > 1.0 || u < -1.0) RaiseError(kArcSineDomain, -1, -1);
    return std::asin(u);
}

double ArcCosFunction::Evaluate() const
{
    const double u = argument->Evaluate();
    if (u > 1.0 || u < -1.0) RaiseError(kArcCosineDomain, -1, -1);
    return std::acos(u);
}

double ArcTanFunction::Evaluate() const
{
    return std::atan(argument->Evaluate());
}

double ArcSecFunction::Evaluate() const
{
    const double u = argument->Evaluate();
    if (u >= -1.0 && u <= 1.0) RaiseError(kArcSecantDomain, -1, -1);
    return std::acos(1.0 / u);
}

double ArcCscFunction::Evaluate() const
{
    const double u = argument->Evaluate();
    if (u >= -1.0 && u <= 1.0) RaiseError(kArcCosecantDomain, -1, -1);
    return std::asin(1.0 / u);
}

double ArcCotFunction::Evaluate() const
{
    const double u = argument->Evaluate();
    if (u == 0.0) RaiseError(kArcCotangentOfZero, -1, -1);
    return std::atan(1.0 / u);
}

double HSinFunction::Evaluate() const
{
    return std::sinh(argument->Evaluate());
}

double HCosFunction::Evaluate() const
{
    return std::cosh(argument->Evaluate());
}

double HTanFunction::Evaluate() const
{
    return std::tanh(argument->Evaluate());
}

double HSecFunction::Evaluate() const
{
    return 1.0 / std::cosh(argument->Evaluate());
}

double HCscFunction::Evaluate() const
{
    const double s = std::sinh(argument->Evaluate());
    if (s == 0.0) RaiseError(kHyperbolicCosecantInfinite, -1, -1);
    return 1.0 / s;
}

double HCotFunction::Evaluate() const
{
    const double t = std::tanh(argument->Evaluate());
    if (t == 0.0) RaiseError(kHyperbolicCotangentInfinite, -1, -1);
    return 1.0 / t;
}

double NotFunction::Evaluate() const
{
    return argument->Evaluate() == 0.0 ? 1.0 : 0.0;
}

double BitwiseCompliment::Evaluate() const
{
    return static_cast<double>(~IntegerView(argument->Evaluate()));
}

double CeilingFunction::Evaluate() const
{
    return std::ceil(argument->Evaluate());
}

double FloorFunction::Evaluate() const
{
    return std::floor(argument->Evaluate());
}

// ---- Derivatives by the chain rule -----------------------------------------------------------
// u' is requested first, once; every other occurrence of u is a copy of its own.

Parser* LnFunction::Derivative(const char* wrt, const IndependentSet* independents) const
{
    NodePtr du = DerivativeOfArgument(wrt, independents);
    return BuildOperator<DivideOperator>(std::move(du), CopyOfArgument()).release();
}

Parser* LogFunction::Derivative(const char* wrt, const IndependentSet* independents) const
{
    NodePtr du = DerivativeOfArgument(wrt, independents);
    NodePtr denominator =
        BuildOperator<MultiplyOperator>(CopyOfArgument(), BuildConstant(2.302585092994046));
    return BuildOperator<DivideOperator>(std::move(du), std::move(denominator)).release();
}

Parser* ExpFunction::Derivative(const char* wrt, const IndependentSet* independents) const
{
    NodePtr du = DerivativeOfArgument(wrt, independents);
    return BuildOperator<MultiplyOperator>(NodePtr(Clone()), std::move(du)).release();
}

Parser* SqrtFunction::Derivative(const char* wrt, const IndependentSet* independents) const
{
    NodePtr du = DerivativeOfArgument(wrt, independents);
    NodePtr twiceRoot = BuildOperator<MultiplyOperator>(
        BuildFunction<SqrtFunction>(CopyOfArgument()), BuildConstant(2));
    return BuildOperator<DivideOperator>(std::move(du), std::move(twiceRoot)).release();
}

Parser* NegFunction::Derivative(const char* wrt, const IndependentSet* independents) const
{
    return BuildFunction<NegFunction>(DerivativeOfArgument(wrt, independents)).release();
}

Parser* SinFunction::Derivative(const char* wrt, const IndependentSet* independents) const
{
    NodePtr du = DerivativeOfArgument(wrt, independents);
    return BuildOperator<MultiplyOperator>(std::move(du),
                                           BuildFunction<CosFunction>(CopyOfArgument()))
        .release();
}

Parser* CosFunction::Derivative(const char* wrt, const IndependentSet* independents) const
{
    NodePtr du = DerivativeOfArgument(wrt, independents);
    NodePtr minusSine = BuildFunction<NegFunction>(BuildFunction<SinFunction>(CopyOfArgument()));
    return BuildOperator<MultiplyOperator>(std::move(du), std::move(minusSine)).release();
}

Parser* TanFunction::Derivative(const char* wrt, const IndependentSet* independents) const
{
    NodePtr du = DerivativeOfArgument(wrt, independents);
    NodePtr secantSquared = BuildOperator<PowerOperator>(
        BuildFunction<SecFunction>(CopyOfArgument()), BuildConstant(2));
    return BuildOperator<MultiplyOperator>(std::move(du), std::move(secantSquared)).release();
}

Parser* SecFunction::Derivative(const char* wrt, const IndependentSet* independents) const
{
    NodePtr du = DerivativeOfArgument(wrt, independents);
    NodePtr first = BuildOperator<MultiplyOperator>(std::move(du),
                                                    BuildFunction<SecFunction>(CopyOfArgument()));
    return BuildOperator<MultiplyOperator>(std::move(first),
                                           BuildFunction<TanFunction>(CopyOfArgument()))
        .release();
}

Parser* CscFunction::Derivative(const char* wrt, const IndependentSet* independents) const
{
    NodePtr du = DerivativeOfArgument(wrt, independents);
    NodePtr first = BuildOperator<MultiplyOperator>(std::move(du),
                                                    BuildFunction<CscFunction>(CopyOfArgument()));
    NodePtr product = BuildOperator<MultiplyOperator>(std::move(first),
                                                      BuildFunction<CotFunction>(CopyOfArgument()));
    return BuildFunction<NegFunction>(std::move(product)).release();
}

Parser* CotFunction::Derivative(const char* wrt, const IndependentSet* independents) const
{
    NodePtr du = DerivativeOfArgument(wrt, independents);
    NodePtr cosecantSquared = BuildOperator<PowerOperator>(
        BuildFunction<CscFunction>(CopyOfArgument()), BuildConstant(2));
    NodePtr product = BuildOperator<MultiplyOperator>(std::move(du), std::move(cosecantSquared));
    return BuildFunction<NegFunction>(std::move(product)).release();
}

namespace {

// sqrt(1 - u^2), the denominator of the arcsine and arccosine derivatives.
NodePtr RootOfOneMinusSquare(NodePtr u)
{
    NodePtr square = BuildOperator<PowerOperator>(std::move(u), BuildConstant(2));
    return BuildFunction<SqrtFunction>(
        BuildOperator<MinusOperator>(BuildConstant(1), std::move(square)));
}

// u * sqrt(u^2 - 1), the denominator of the arcsecant and arccosecant derivatives.
NodePtr TimesRootOfSquareMinusOne(NodePtr u, NodePtr uAgain)
{
    NodePtr square = BuildOperator<PowerOperator>(std::move(uAgain), BuildConstant(2));
    NodePtr root = BuildFunction<SqrtFunction>(
        BuildOperator<MinusOperator>(std::move(square), BuildConstant(1)));
    return BuildOperator<MultiplyOperator>(std::move(u), std::move(root));
}

} // namespace

Parser* ArcSinFunction::Derivative(const char* wrt, const IndependentSet* independents) const
{
    NodePtr du = DerivativeOfArgument(wrt, independents);
    return BuildOperator<DivideOperator>(std::move(du), RootOfOneMinusSquare(CopyOfArgument()))
        .release();
}

Parser* ArcCosFunction::Derivative(const char* wrt, const IndependentSet* independents) const
{
    NodePtr minusDu = BuildFunction<NegFunction>(DerivativeOfArgument(wrt, independents));
    return BuildOperator<DivideOperator>(std::move(minusDu), RootOfOneMinusSquare(CopyOfArgument()))
        .release();
}

Parser* ArcTanFunction::Derivative(const char* wrt, const IndependentSet* independents) const
{
    NodePtr du = DerivativeOfArgument(wrt, independents);
    NodePtr square = BuildOperator<PowerOperator>(CopyOfArgument(), BuildConstant(2));
    NodePtr denominator = BuildOperator<PlusOperator>(BuildConstant(1), std::move(square));
    return BuildOperator<DivideOperator>(std::move(du), std::move(denominator)).release();
}

Parser* ArcSecFunction::Derivative(const char* wrt, const IndependentSet* independents) const
{
    NodePtr du = DerivativeOfArgument(wrt, independents);
    return BuildOperator<DivideOperator>(
               std::move(du), TimesRootOfSquareMinusOne(CopyOfArgument(), CopyOfArgument()))
        .release();
}

Parser* ArcCscFunction::Derivative(const char* wrt, const IndependentSet* independents) const
{
    NodePtr minusDu = BuildFunction<NegFunction>(DerivativeOfArgument(wrt, independents));
    return BuildOperator<DivideOperator>(
               std::move(minusDu), TimesRootOfSquareMinusOne(CopyOfArgument(), CopyOfArgument()))
        .release();
}

Parser* ArcCotFunction::Derivative(const char* wrt, const IndependentSet* independents) const
{
    NodePtr minusDu = BuildFunction<NegFunction>(DerivativeOfArgument(wrt, independents));
    NodePtr square = BuildOperator<PowerOperator>(CopyOfArgument(), BuildConstant(2));
    NodePtr denominator = BuildOperator<PlusOperator>(std::move(square), BuildConstant(1));
    return BuildOperator<DivideOperator>(std::move(minusDu), std::move(denominator)).release();
}

Parser* HSinFunction::Derivative(const char* wrt, const IndependentSet* independents) const
{
    NodePtr du = DerivativeOfArgument(wrt, independents);
    return BuildOperator<MultiplyOperator>(std::move(du),
                                           BuildFunction<HCosFunction>(CopyOfArgument()))
        .release();
}

Parser* HCosFunction::Derivative(const char* wrt, const IndependentSet* independents) const
{
    NodePtr du = DerivativeOfArgument(wrt, independents);
    return BuildOperator<MultiplyOperator>(std::move(du),
                                           BuildFunction<HSinFunction>(CopyOfArgument()))
        .release();
}

Parser* HTanFunction::Derivative(const char* wrt, const IndependentSet* independents) const
{
    NodePtr du = DerivativeOfArgument(wrt, independents);
    NodePtr secantSquared = BuildOperator<PowerOperator>(
        BuildFunction<HSecFunction>(CopyOfArgument()), BuildConstant(2));
    return BuildOperator<MultiplyOperator>(std::move(du), std::move(secantSquared)).release();
}

Parser* HSecFunction::Derivative(const char* wrt, const IndependentSet* independents) const
{
    NodePtr du = DerivativeOfArgument(wrt, independents);
    NodePtr first = BuildOperator<MultiplyOperator>(std::move(du),
                                                    BuildFunction<HSecFunction>(CopyOfArgument()));
    NodePtr product = BuildOperator<MultiplyOperator>(
        std::move(first), BuildFunction<HTanFunction>(CopyOfArgument()));
    return BuildFunction<NegFunction>(std::move(product)).release();
}

Parser* HCscFunction::Derivative(const char* wrt, const IndependentSet* independents) const
{
    NodePtr du = DerivativeOfArgument(wrt, independents);
    NodePtr first = BuildOperator<MultiplyOperator>(std::move(du),
                                                    BuildFunction<HCscFunction>(CopyOfArgument()));
    NodePtr product = BuildOperator<MultiplyOperator>(
        std::move(first), BuildFunction<HCotFunction>(CopyOfArgument()));
    return BuildFunction<NegFunction>(std::move(product)).release();
}

Parser* HCotFunction::Derivative(const char* wrt, const IndependentSet* independents) const
{
    NodePtr minusDu = BuildFunction<NegFunction>(DerivativeOfArgument(wrt, independents));
    NodePtr cosecantSquared = BuildOperator<PowerOperator>(
        BuildFunction<HCscFunction>(CopyOfArgument()), BuildConstant(2));
    return BuildOperator<MultiplyOperator>(std::move(minusDu), std::move(cosecantSquared))
        .release();
}

// ---- RandomFunction --------------------------------------------------------------------------

RandomFunction::RandomFunction(Parser* operand)
{
    if (operand) AdoptOrFold(operand);
}

RandomFunction::RandomFunction(TextSpan& span)
{
    StripParentheses(span);
    if (span.IsEmpty()) return; // RAND(): a draw from [0, 1]
    Parser* parsed = nullptr;
    Parse(span, &parsed);
    NodePtr operand(parsed);
    AdoptOrFold(operand.get());
    operand.release();
}

RandomFunction::~RandomFunction()
{
    delete argument;
}

void RandomFunction::AdoptOrFold(Parser* operand)
{
    if (operand->IsConstant()) {
        scale = operand->Evaluate(); // a failure here leaves the operand with the caller
        delete operand;
        return;
    }
    argument = operand;
    argument->parent = this;
}

double RandomFunction::Evaluate() const
{
    // Fifteen bits of the C runtime's generator: draws from 0 to 32767 on every platform.
    const int draw = std::rand() & 0x7FFF;
    const double s = argument ? argument->Evaluate() : scale;
    return (draw * s) * 3.051850947599719e-05;
}

bool RandomFunction::ConstantWhen(ConstantTest) const
{
    return false;
}

int16_t RandomFunction::Precedence() const
{
    return kFunctionPrecedence;
}

bool RandomFunction::ReplaceChild(Parser* old, Parser* replacement)
{
    if (!argument || old != argument) return false;
    delete old;
    argument = replacement;
    replacement->parent = this;
    return true;
}

void RandomFunction::Attach(FunctionInterpreter* owner)
{
    if (argument) argument->Attach(owner);
}

void RandomFunction::PrintTo(std::string& out) const
{
    PrintCall(out, kFunctionNames[kFnRand], argument);
}

Parser* RandomFunction::Clone() const
{
    NodePtr operand = argument ? CopyOf(argument) : BuildConstant(scale);
    return BuildFunction<RandomFunction>(std::move(operand)).release();
}

// Two draws are never the same, so a RAND node differs even from itself.
bool RandomFunction::SameWhen(const Parser*, ConstantTest) const
{
    return false;
}
