#include "operators.h"

#include "evaluation_order.h"
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

// The arithmetic lives in node_math.h and the order of the operands in evaluation_order.h, both
// shared with the batch evaluator.

namespace {

// EvaluateInOrder's path for the tree: evaluates `node` at the values in its variables' slots,
// with the arithmetic of `Operation` (none for the operators that branch). Knowing the node's
// final class, the compiler calls RaiseError directly and knows that it does not return.
template <class Node, class Operation> struct AtOnePoint
{
    const Node& node;

    static double Operand(const Parser* operand) { return operand->Evaluate(); }
    void TestDivisor(double divisor) const
    {
        if (node_math::DivisorRefused(divisor)) node.RaiseError(kDivisionByZero, -1, -1);
    }
    double Arithmetic(double left, double right) const
    {
        return Operation::Value(node, left, right);
    }
    static double Branch(node_math::Combine combine, const Parser* condition,
                         const Parser* whenTrue, const Parser* whenFalse)
    {
        const bool truth = IsTrue(condition->Evaluate());
        const Parser* arm = truth ? whenTrue : whenFalse;
        return node_math::BranchValue(combine, truth, arm ? arm->Evaluate() : 0.0);
    }
    static double Select(const Parser* condition, const ThenElseOperator& arms)
    {
        return arms.EvaluateBranch(IsTrue(condition->Evaluate()));
    }
    [[noreturn]] double Raise(int code) const { node.RaiseError(code, -1, -1); }
};

// The arithmetic of node_math, which refuses nothing.
template <class Arithmetic> struct Total
{
    template <class Node> static double Value(const Node&, double left, double right)
    {
        return Arithmetic::Value(left, right);
    }
};

// The remainder refuses a divisor whose integer view is 0 as well, after both operands.
struct RemainderOf
{
    static double Value(const ModulusOperator& node, double dividend, double divisor)
    {
        bool refused = false;
        const double value = node_math::Remainder(dividend, divisor, refused);
        if (refused) node.RaiseError(kDivisionByZero, -1, -1);
        return value;
    }
};

template <int code, class Operation = void, class Node> double ValueOf(const Node& node)
{
    AtOnePoint<Node, Operation> path{node};
    return EvaluateInOrder<OrderOf(code)>(node, path);
}

} // namespace

double PlusOperator::Evaluate() const
{
    return ValueOf<kOpPlus, Total<node_math::Plus>>(*this);
}

double MinusOperator::Evaluate() const
{
    return ValueOf<kOpMinus, Total<node_math::Minus>>(*this);
}

double MultiplyOperator::Evaluate() const
{
    return ValueOf<kOpMultiply, Total<node_math::Multiply>>(*this);
}

double DivideOperator::Evaluate() const
{
    return ValueOf<kOpDivide, Total<node_math::Divide>>(*this);
}

double ModulusOperator::Evaluate() const
{
    return ValueOf<kOpModulus, RemainderOf>(*this);
}

double PowerOperator::Evaluate() const
{
    return ValueOf<kOpPower, Total<node_math::Power>>(*this);
}

double IsLessThanOperator::Evaluate() const
{
    return ValueOf<kOpLess, Total<node_math::Less>>(*this);
}

double IsGreaterThanOperator::Evaluate() const
{
    return ValueOf<kOpGreater, Total<node_math::Greater>>(*this);
}

double IsEqualToOperator::Evaluate() const
{
    return ValueOf<kOpEqual, Total<node_math::Equal>>(*this);
}

double IsNotEqualToOperator::Evaluate() const
{
    return ValueOf<kOpNotEqual, Total<node_math::NotEqual>>(*this);
}

double IsLessThanOrEqualToOperator::Evaluate() const
{
    return ValueOf<kOpLessOrEqual, Total<node_math::LessOrEqual>>(*this);
}

double IsGreaterThanOrEqualToOperator::Evaluate() const
{
    return ValueOf<kOpGreaterOrEqual, Total<node_math::GreaterOrEqual>>(*this);
}

double AndOperator::Evaluate() const
{
    return ValueOf<kOpAnd>(*this);
}

double OrOperator::Evaluate() const
{
    return ValueOf<kOpOr>(*this);
}

double BitwiseAndOperator::Evaluate() const
{
    return ValueOf<kOpBitwiseAnd, Total<node_math::BitwiseAnd>>(*this);
}

double BitwiseInclusiveOrOperator::Evaluate() const
{
    return ValueOf<kOpBitwiseOr, Total<node_math::BitwiseOr>>(*this);
}

double BitwiseExclusiveOrOperator::Evaluate() const
{
    return ValueOf<kOpBitwiseXor, Total<node_math::BitwiseXor>>(*this);
}

double ThenElseOperator::Evaluate() const
{
    // Only the enclosing IfOperator may evaluate the branches.
    return ValueOf<kOpThenElse>(*this);
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
    return ValueOf<kOpIf>(*this);
}
