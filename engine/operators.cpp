#include "operators.h"

#include "functions.h"
#include "tree_building.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <typeinfo>

// ---- OperationParser -------------------------------------------------------------------------

OperationParser::OperationParser(Parser* leftOperand, Parser* rightOperand)
{
    if (!leftOperand || !rightOperand) RaiseError(kEmptyExpression, -1, -1);
    left = leftOperand;
    right = rightOperand;
    left->parent = this;
    right->parent = this;
}

OperationParser::OperationParser(TextSpan& leftSpan, TextSpan& rightSpan)
{
    NodePtr leftTree;
    {
        Parser* parsed = nullptr; // Parse stores only a finished tree
        Parse(leftSpan, &parsed);
        leftTree.reset(parsed);
    }
    Parser* rightTree = nullptr;
    Parse(rightSpan, &rightTree); // a failure here deletes the left tree on the way out
    left = leftTree.release();
    right = rightTree;
    left->parent = this;
    right->parent = this;
}

OperationParser::~OperationParser()
{
    delete left;
    delete right;
    left = nullptr;
    right = nullptr;
}

double OperationParser::Evaluate() const
{
    return 0.0;
}

int16_t OperationParser::Precedence() const
{
    return kOperatorPrecedence[OperatorCode()];
}

bool OperationParser::ReplaceChild(Parser* old, Parser* replacement)
{
    Parser** field = old == left ? &left : old == right ? &right : nullptr;
    if (!field) return false;
    delete old;
    *field = replacement;
    if (replacement) replacement->parent = this;
    return true;
}

void OperationParser::Attach(FunctionInterpreter* owner)
{
    if (left) left->Attach(owner);
    if (right) right->Attach(owner);
}

namespace {

// An operand's text, in parentheses when it binds no more strongly than its operator.
void PrintOperand(std::string& out, const Parser* operand, int16_t operatorPrecedence)
{
    const bool wrap = operatorPrecedence >= operand->Precedence();
    if (wrap) out += "( ";
    operand->PrintTo(out);
    if (wrap) out += " )";
}

} // namespace

void OperationParser::PrintTo(std::string& out) const
{
    PrintOperand(out, left, Precedence());
    out += ' ';
    out += kOperatorText[OperatorCode()];
    out += ' ';
    PrintOperand(out, right, Precedence());
}

Parser* OperationParser::Clone() const
{
    NodePtr leftCopy = CopyOf(left);
    NodePtr rightCopy = CopyOf(right);
    Parser* node = MakeOperator(OperatorCode(), leftCopy.get(), rightCopy.get());
    leftCopy.release();
    rightCopy.release();
    return node;
}

bool OperationParser::SameWhen(const Parser* other, ConstantTest isConstant) const
{
    if (!other || typeid(*other) != typeid(*this)) return false;
    if (isConstant(this) && isConstant(other)) return Evaluate() == other->Evaluate();
    const auto* that = static_cast<const OperationParser*>(other);
    if ((left == nullptr) != (that->left == nullptr)) return false;
    if (left && !left->SameWhen(that->left, isConstant)) return false;
    if ((right == nullptr) != (that->right == nullptr)) return false;
    return !right || right->SameWhen(that->right, isConstant);
}

int OperationParser::OperatorCode() const
{
    return kOpNone;
}

// ---- Values ----------------------------------------------------------------------------------

double PlusOperator::Evaluate() const
{
    const double l = left->Evaluate();
    return l + right->Evaluate();
}

double MinusOperator::Evaluate() const
{
    const double l = left->Evaluate();
    return l - right->Evaluate();
}

double MultiplyOperator::Evaluate() const
{
    const double l = left->Evaluate();
    return l * right->Evaluate();
}

double DivideOperator::Evaluate() const
{
    const double divisor = right->Evaluate();
    if (divisor == 0.0) RaiseError(kDivisionByZero, -1, -1);
    return left->Evaluate() / divisor;
}

double ModulusOperator::Evaluate() const
{
    const double divisor = right->Evaluate();
    if (divisor == 0.0) RaiseError(kDivisionByZero, -1, -1);
    const int32_t dividend = IntegerView(left->Evaluate());
    const int32_t integerDivisor = IntegerView(divisor);
    // A divisor that truncates to 0 divides by zero as well; INT32_MIN % -1 would trap.
    if (integerDivisor == 0) RaiseError(kDivisionByZero, -1, -1);
    if (integerDivisor == -1) return 0.0;
    return static_cast<double>(dividend % integerDivisor);
}

double PowerOperator::Evaluate() const
{
    const double base = left->Evaluate();
    const double exponent = right->Evaluate();
    // Simplification turns every x * x into x ^ 2, so squares are common: the product is the
    // correctly rounded square, and a fraction of the cost of pow.
    if (exponent == 2.0) return base * base;
    if (base > 0.0) return std::pow(base, exponent);
    if (base == 0.0) return 0.0;
    // A negative base gets an integral exponent, so that the result stays real.
    return std::pow(base, static_cast<double>(IntegerView(exponent)));
}

double IsLessThanOperator::Evaluate() const
{
    const double l = left->Evaluate();
    return l < right->Evaluate() ? 1.0 : 0.0;
}

double IsGreaterThanOperator::Evaluate() const
{
    const double l = left->Evaluate();
    return l > right->Evaluate() ? 1.0 : 0.0;
}

double IsEqualToOperator::Evaluate() const
{
    const double l = left->Evaluate();
    return l == right->Evaluate() ? 1.0 : 0.0;
}

double IsNotEqualToOperator::Evaluate() const
{
    const double l = left->Evaluate();
    return l == right->Evaluate() ? 0.0 : 1.0;
}

double IsLessThanOrEqualToOperator::Evaluate() const
{
    const double l = left->Evaluate();
    return l <= right->Evaluate() ? 1.0 : 0.0;
}

double IsGreaterThanOrEqualToOperator::Evaluate() const
{
    const double l = left->Evaluate();
    return l >= right->Evaluate() ? 1.0 : 0.0;
}

double AndOperator::Evaluate() const
{
    if (left->Evaluate() == 0.0) return 0.0;
    return IsTrue(right->Evaluate()) ? 1.0 : 0.0;
}

double OrOperator::Evaluate() const
{
    if (IsTrue(left->Evaluate())) return 1.0;
    return IsTrue(right->Evaluate()) ? 1.0 : 0.0;
}

double BitwiseAndOperator::Evaluate() const
{
    const int32_t l = IntegerView(left->Evaluate());
    return static_cast<double>(l & IntegerView(right->Evaluate()));
}

double BitwiseInclusiveOrOperator::Evaluate() const
{
    const int32_t l = IntegerView(left->Evaluate());
    return static_cast<double>(l | IntegerView(right->Evaluate()));
}

double BitwiseExclusiveOrOperator::Evaluate() const
{
    const int32_t l = IntegerView(left->Evaluate());
    return static_cast<double>(l ^ IntegerView(right->Evaluate()));
}

double ThenElseOperator::Evaluate() const
{
    // Only the enclosing IfOperator may evaluate the branches, through EvaluateBranch.
    RaiseError(kMissingQuestionMark, -1, -1);
}

// ---- The conditional -------------------------------------------------------------------------

IfOperator::IfOperator(Parser* condition, Parser* branches) : OperationParser(condition, branches)
{
    // Throwing from here runs the base destructor, which deletes both adopted operands.
    if (typeid(*right) != typeid(ThenElseOperator)) RaiseError(kMissingColon, -1, -1);
}

IfOperator::IfOperator(TextSpan& leftSpan, TextSpan& rightSpan)
    : OperationParser(leftSpan, rightSpan)
{
    if (typeid(*right) != typeid(ThenElseOperator))
        RaiseError(kMissingColon, rightSpan.Offset(rightSpan.begin),
                   rightSpan.Offset(rightSpan.end));
}

double IfOperator::Evaluate() const
{
    const bool condition = IsTrue(left->Evaluate());
    return static_cast<const ThenElseOperator*>(right)->EvaluateBranch(condition);
}
