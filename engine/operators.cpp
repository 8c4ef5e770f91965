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

// The arithmetic lives in node_math.h, shared with the batch evaluator. The left operand is
// evaluated first except where a divisor decides whether there is anything to divide.

namespace {

template <class Operator> double ValueOf(const Parser* left, const Parser* right)
{
    const double l = left->Evaluate();
    return Operator::Value(l, right->Evaluate());
}

} // namespace

double PlusOperator::Evaluate() const
{
    return ValueOf<node_math::Plus>(left, right);
}

double MinusOperator::Evaluate() const
{
    return ValueOf<node_math::Minus>(left, right);
}

double MultiplyOperator::Evaluate() const
{
    return ValueOf<node_math::Multiply>(left, right);
}

double DivideOperator::Evaluate() const
{
    const double divisor = right->Evaluate();
    if (node_math::DivisorRefused(divisor)) RaiseError(kDivisionByZero, -1, -1);
    return node_math::Divide::Value(left->Evaluate(), divisor);
}

double ModulusOperator::Evaluate() const
{
    const double divisor = right->Evaluate();
    if (node_math::DivisorRefused(divisor)) RaiseError(kDivisionByZero, -1, -1);
    bool refused = false;
    const double value = node_math::Remainder(left->Evaluate(), divisor, refused);
    if (refused) RaiseError(kDivisionByZero, -1, -1);
    return value;
}

double PowerOperator::Evaluate() const
{
    return ValueOf<node_math::Power>(left, right);
}

double IsLessThanOperator::Evaluate() const
{
    return ValueOf<node_math::Less>(left, right);
}

double IsGreaterThanOperator::Evaluate() const
{
    return ValueOf<node_math::Greater>(left, right);
}

double IsEqualToOperator::Evaluate() const
{
    return ValueOf<node_math::Equal>(left, right);
}

double IsNotEqualToOperator::Evaluate() const
{
    return ValueOf<node_math::NotEqual>(left, right);
}

double IsLessThanOrEqualToOperator::Evaluate() const
{
    return ValueOf<node_math::LessOrEqual>(left, right);
}

double IsGreaterThanOrEqualToOperator::Evaluate() const
{
    return ValueOf<node_math::GreaterOrEqual>(left, right);
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
    return ValueOf<node_math::BitwiseAnd>(left, right);
}

double BitwiseInclusiveOrOperator::Evaluate() const
{
    return ValueOf<node_math::BitwiseOr>(left, right);
}

double BitwiseExclusiveOrOperator::Evaluate() const
{
    return ValueOf<node_math::BitwiseXor>(left, right);
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
