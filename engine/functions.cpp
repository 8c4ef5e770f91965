#include "functions.h"

#include "operators.h"
#include "tree_building.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <typeinfo>

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
// The arithmetic lives in node_math.h, shared with the batch evaluator.

namespace {

// The function's value at `u`, or its error when it refuses `u`.
template <class Function> double ValueOf(const Parser& node, double u)
{
    bool refused = false;
    const double value = Function::Value(u, refused);
    if (refused) node.RaiseError(Function::kRefusal, -1, -1);
    return value;
}

} // namespace

double LnFunction::Evaluate() const
{
    return ValueOf<node_math::Ln>(*this, argument->Evaluate());
}

double LogFunction::Evaluate() const
{
    return ValueOf<node_math::Log>(*this, argument->Evaluate());
}

double ExpFunction::Evaluate() const
{
    return ValueOf<node_math::Exp>(*this, argument->Evaluate());
}

double AbsFunction::Evaluate() const
{
    return ValueOf<node_math::Abs>(*this, argument->Evaluate());
}

double SqrtFunction::Evaluate() const
{
    return ValueOf<node_math::Sqrt>(*this, argument->Evaluate());
}

double NegFunction::Evaluate() const
{
    return ValueOf<node_math::Neg>(*this, argument->Evaluate());
}

double SinFunction::Evaluate() const
{
    return ValueOf<node_math::Sin>(*this, argument->Evaluate());
}

double CosFunction::Evaluate() const
{
    return ValueOf<node_math::Cos>(*this, argument->Evaluate());
}

double TanFunction::Evaluate() const
{
    return ValueOf<node_math::Tan>(*this, argument->Evaluate());
}

double SecFunction::Evaluate() const
{
    return ValueOf<node_math::Sec>(*this, argument->Evaluate());
}

double CscFunction::Evaluate() const
{
    return ValueOf<node_math::Csc>(*this, argument->Evaluate());
}

double CotFunction::Evaluate() const
{
    return ValueOf<node_math::Cot>(*this, argument->Evaluate());
}

double ArcSinFunction::Evaluate() const
{
    return ValueOf<node_math::ArcSin>(*this, argument->Evaluate());
}

double ArcCosFunction::Evaluate() const
{
    return ValueOf<node_math::ArcCos>(*this, argument->Evaluate());
}

double ArcTanFunction::Evaluate() const
{
    return ValueOf<node_math::ArcTan>(*this, argument->Evaluate());
}

double ArcSecFunction::Evaluate() const
{
    return ValueOf<node_math::ArcSec>(*this, argument->Evaluate());
}

double ArcCscFunction::Evaluate() const
{
    return ValueOf<node_math::ArcCsc>(*this, argument->Evaluate());
}

double ArcCotFunction::Evaluate() const
{
    return ValueOf<node_math::ArcCot>(*this, argument->Evaluate());
}

double HSinFunction::Evaluate() const
{
    return ValueOf<node_math::HSin>(*this, argument->Evaluate());
}

double HCosFunction::Evaluate() const
{
    return ValueOf<node_math::HCos>(*this, argument->Evaluate());
}

double HTanFunction::Evaluate() const
{
    return ValueOf<node_math::HTan>(*this, argument->Evaluate());
}

double HSecFunction::Evaluate() const
{
    return ValueOf<node_math::HSec>(*this, argument->Evaluate());
}

double HCscFunction::Evaluate() const
{
    return ValueOf<node_math::HCsc>(*this, argument->Evaluate());
}

double HCotFunction::Evaluate() const
{
    return ValueOf<node_math::HCot>(*this, argument->Evaluate());
}

double NotFunction::Evaluate() const
{
    return ValueOf<node_math::Not>(*this, argument->Evaluate());
}

double BitwiseCompliment::Evaluate() const
{
    return ValueOf<node_math::Complement>(*this, argument->Evaluate());
}

double CeilingFunction::Evaluate() const
{
    return ValueOf<node_math::Ceil>(*this, argument->Evaluate());
}

double FloorFunction::Evaluate() const
{
    return ValueOf<node_math::Floor>(*this, argument->Evaluate());
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
    // The draw comes first: an error in the operand still costs a draw.
    const int draw = node_math::RandomDraw();
    return node_math::RandomValue(draw, argument ? argument->Evaluate() : scale);
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
