// Simplification and symbolic derivatives of the operator nodes.
//
// Simplify works children first and may replace a node in its parent (CollapseTo), which deletes
// the node: every rule returns at once after collapsing, and every caller reads its child
// pointers again after a child's Simplify. After the first step every constant operand is a
// literal, so the rules test IsLiteral rather than walk the operands again with IsConstant.

#include "functions.h"
#include "operators.h"
#include "tree_building.h"

#include <new>
#include <typeinfo>

// ---- Constant subtrees -----------------------------------------------------------------------
// Each operand's constancy is asked once: asking twice per level would make a deep tree
// exponentially slow. A missing operand counts as constant.

namespace {

bool IsConstantOrMissing(const Parser* operand, Parser::ConstantTest isConstant)
{
    return !operand || isConstant(operand);
}

} // namespace

bool OperationParser::HasConstantValue(const Parser* operand, bool isConstant, double value)
{
    return operand && isConstant && operand->Evaluate() == value;
}

bool OperationParser::IsLiteralEqualTo(const Parser* operand, double value)
{
    return operand && operand->IsLiteral() && operand->Evaluate() == value;
}

bool OperationParser::ConstantWhen(ConstantTest isConstant) const
{
    return IsConstantOrMissing(left, isConstant) && IsConstantOrMissing(right, isConstant);
}

namespace {

bool IsZero(double value)
{
    return value == 0.0;
}

bool IsMinusOne(double value)
{
    return value == -1.0;
}

} // namespace

bool OperationParser::ConstantOrDecidedBy(ConstantTest isConstant, bool (*decides)(double)) const
{
    const bool leftConstant = IsConstantOrMissing(left, isConstant);
    const bool rightConstant = IsConstantOrMissing(right, isConstant);
    if (left && leftConstant && decides(left->Evaluate())) return true;
    if (right && rightConstant && decides(right->Evaluate())) return true;
    return leftConstant && rightConstant;
}

bool MultiplyOperator::ConstantWhen(ConstantTest isConstant) const
{
    return ConstantOrDecidedBy(isConstant, IsZero);
}

bool DivideOperator::ConstantWhen(ConstantTest isConstant) const
{
    const bool leftConstant = IsConstantOrMissing(left, isConstant);
    return HasConstantValue(left, leftConstant, 0.0) ||
           (leftConstant && IsConstantOrMissing(right, isConstant));
}

bool PowerOperator::ConstantWhen(ConstantTest isConstant) const
{
    const bool leftConstant = IsConstantOrMissing(left, isConstant);
    const bool rightConstant = IsConstantOrMissing(right, isConstant);
    if (left && leftConstant) {
        const double base = left->Evaluate();
        if (base == 1.0 || base == 0.0) return true;
    }
    return HasConstantValue(right, rightConstant, 0.0) || (leftConstant && rightConstant);
}

bool AndOperator::ConstantWhen(ConstantTest isConstant) const
{
    return ConstantOrDecidedBy(isConstant, IsZero);
}

bool OrOperator::ConstantWhen(ConstantTest isConstant) const
{
    return ConstantOrDecidedBy(isConstant, IsTrue);
}

bool BitwiseAndOperator::ConstantWhen(ConstantTest isConstant) const
{
    return ConstantOrDecidedBy(isConstant, IsZero);
}

bool BitwiseInclusiveOrOperator::ConstantWhen(ConstantTest isConstant) const
{
    return ConstantOrDecidedBy(isConstant, IsMinusOne);
}

bool ThenElseOperator::ConstantWhen(ConstantTest) const
{
    return false;
}

// ---- Replacing a node by one of its operands -------------------------------------------------

bool OperationParser::CollapseTo(Parser* operand)
{
    Parser** field = operand == left ? &left : operand == right ? &right : nullptr;
    if (field) *field = nullptr;
    if (parent && parent->ReplaceChild(this, operand)) return true; // `this` is gone now
    // Nobody holds this node: keep it whole.
    if (field)
        *field = operand;
    else
        delete operand;
    return false;
}

bool OperationParser::CollapseToValue(double value)
{
    return CollapseTo(new Constant(value));
}

bool OperationParser::OperandsSame() const
{
    return left->IsSameOnceSimplified(right);
}

void OperationParser::SimplifySameOperandsTo(double value)
{
    OperationParser::Simplify();
    if (parent && OperandsSame()) CollapseToValue(value);
}

// ---- Simplification --------------------------------------------------------------------------

namespace {

// Simplifies one operand of `node` and folds it into a Constant when it is constant.
void SimplifyOperand(Parser* node, Parser* const& operand)
{
    operand->Simplify(); // may replace the operand: `operand` reads the field again
    if (operand->IsLiteral() || !operand->IsConstantOnceSimplified()) return;
    const double value = operand->Evaluate();
    if (Parser* folded = new (std::nothrow) Constant(value)) node->ReplaceChild(operand, folded);
}

} // namespace

void OperationParser::Simplify()
{
    SimplifyOperand(this, left);
    SimplifyOperand(this, right);
}

void PlusOperator::Simplify()
{
    OperationParser::Simplify();
    if (!parent) return;
    if (IsLiteralEqualTo(left, 0.0))
        CollapseTo(right);
    else if (IsLiteralEqualTo(right, 0.0))
        CollapseTo(left);
    else if (OperandsSame())
        CollapseTo(BuildOperator<MultiplyOperator>(BuildConstant(2), CopyOf(left)).release());
}

void MinusOperator::Simplify()
{
    OperationParser::Simplify();
    if (!parent) return;
    if (IsLiteralEqualTo(left, 0.0)) {
        Parser* subtrahend = right;
        right = nullptr;
        NegFunction* negation = new (std::nothrow) NegFunction(subtrahend);
        if (negation && parent->ReplaceChild(this, negation)) return; // `this` is gone now
        if (negation) negation->argument = nullptr;
        delete negation;
        right = subtrahend;
        right->parent = this;
    } else if (IsLiteralEqualTo(right, 0.0)) {
        CollapseTo(left);
    } else if (OperandsSame()) {
        CollapseToValue(0.0);
    }
}

void MultiplyOperator::Simplify()
{
    OperationParser::Simplify();
    if (!parent) return;
    if (IsLiteralEqualTo(left, 0.0))
        CollapseToValue(0.0);
    else if (IsLiteralEqualTo(left, 1.0))
        CollapseTo(right);
    else if (IsLiteralEqualTo(right, 0.0))
        CollapseToValue(0.0);
    else if (IsLiteralEqualTo(right, 1.0))
        CollapseTo(left);
    else if (OperandsSame())
        CollapseTo(BuildOperator<PowerOperator>(CopyOf(left), BuildConstant(2)).release());
}

void DivideOperator::Simplify()
{
    OperationParser::Simplify();
    if (!parent) return;
    if (IsLiteralEqualTo(left, 0.0))
        CollapseToValue(0.0);
    else if (OperandsSame())
        CollapseToValue(1.0);
}

void ModulusOperator::Simplify()
{
    SimplifySameOperandsTo(0.0);
}

void PowerOperator::Simplify()
{
    OperationParser::Simplify();
    if (!parent) return;
    if (IsLiteralEqualTo(left, 1.0) || IsLiteralEqualTo(left, 0.0))
        CollapseToValue(left->Evaluate()); // 0 ^ 0 is 0, as Evaluate says
    else if (IsLiteralEqualTo(right, 0.0))
        CollapseToValue(1.0);
    else if (IsLiteralEqualTo(right, 1.0))
        CollapseTo(left);
}

void AndOperator::Simplify()
{
    OperationParser::Simplify();
    if (!parent) return;
    if (left->IsLiteral()) {
        if (left->Evaluate() == 0.0)
            CollapseToValue(0.0);
        else if (right->IsLiteral())
            CollapseToValue(Evaluate());
    } else if (IsLiteralEqualTo(right, 0.0)) {
        CollapseToValue(0.0);
    }
}

void OrOperator::Simplify()
{
    OperationParser::Simplify();
    if (!parent) return;
    if (left->IsLiteral()) {
        if (IsTrue(left->Evaluate()))
            CollapseToValue(1.0);
        else if (right->IsLiteral())
            CollapseToValue(IsTrue(right->Evaluate()) ? 1.0 : 0.0);
    } else if (right->IsLiteral() && IsTrue(right->Evaluate())) {
        CollapseToValue(1.0);
    }
}

// The bitwise identities keep the surviving operand as it is, without its integer view.
void BitwiseAndOperator::Simplify()
{
    OperationParser::Simplify();
    if (!parent) return;
    if (OperandsSame())
        CollapseTo(right);
    else if (IsLiteralEqualTo(left, 0.0) || IsLiteralEqualTo(right, 0.0))
        CollapseToValue(0.0);
    else if (IsLiteralEqualTo(left, -1.0))
        CollapseTo(right);
    else if (IsLiteralEqualTo(right, -1.0))
        CollapseTo(left);
}

void BitwiseInclusiveOrOperator::Simplify()
{
    OperationParser::Simplify();
    if (!parent) return;
    if (IsLiteralEqualTo(left, -1.0) || IsLiteralEqualTo(right, -1.0))
        CollapseToValue(-1.0);
    else if (IsLiteralEqualTo(left, 0.0))
        CollapseTo(right);
    else if (IsLiteralEqualTo(right, 0.0))
        CollapseTo(left);
}

void BitwiseExclusiveOrOperator::Simplify()
{
    OperationParser::Simplify();
    if (!parent) return;
    if (IsLiteralEqualTo(left, 0.0))
        CollapseTo(right);
    else if (IsLiteralEqualTo(right, 0.0))
        CollapseTo(left);
}

void ThenElseOperator::Simplify()
{
    OperationParser::Simplify();
    if (!parent || typeid(*parent) != typeid(IfOperator)) RaiseError(kMissingQuestionMark, -1, -1);
}

bool ThenElseOperator::BranchesEqual() const
{
    return left->IsSameAs(right);
}

bool ThenElseOperator::CollapseToBranch(Parser* grandparent, double truth)
{
    Parser** field = IsTrue(truth) ? &left : &right;
    Parser* branch = *field;
    *field = nullptr;
    bool replaced = false;
    try {
        replaced = grandparent && grandparent->ReplaceChild(parent, branch);
    } catch (const ParseErrorMsg&) {
        replaced = false;
    }
    if (replaced) return true; // the IfOperator and this node are gone now
    *field = branch;
    return false;
}

void IfOperator::Simplify()
{
    OperationParser::Simplify();
    if (!parent || typeid(*right) != typeid(ThenElseOperator)) return;
    auto* branches = static_cast<ThenElseOperator*>(right);
    if (left->IsLiteral())
        branches->CollapseToBranch(parent, IsTrue(left->Evaluate()) ? 1.0 : 0.0);
    else if (branches->left->IsSameOnceSimplified(branches->right))
        branches->CollapseToBranch(parent, 1.0);
}

// ---- Derivatives -----------------------------------------------------------------------------
// f' and g' are requested first, once each, left first; every other f and g is a fresh copy.

Parser* OperationParser::DerivativeTermByTerm(const char* wrt, const IndependentSet* independents,
                                              NodePtr (*combine)(NodePtr, NodePtr)) const
{
    try {
        NodePtr df(left->Derivative(wrt, independents));
        NodePtr dg(right->Derivative(wrt, independents));
        return combine(std::move(df), std::move(dg)).release();
    } catch (const ParseErrorMsg&) {
        return nullptr; // no derivative: the caller decides what that means
    }
}

std::pair<NodePtr, NodePtr>
OperationParser::ProductRuleTerms(const char* wrt, const IndependentSet* independents) const
{
    NodePtr df(left->Derivative(wrt, independents));
    NodePtr dg(right->Derivative(wrt, independents));
    NodePtr first = BuildOperator<MultiplyOperator>(std::move(df), CopyOf(right));
    NodePtr second = BuildOperator<MultiplyOperator>(CopyOf(left), std::move(dg));
    return {std::move(first), std::move(second)};
}

Parser* PlusOperator::Derivative(const char* wrt, const IndependentSet* independents) const
{
    return DerivativeTermByTerm(wrt, independents, &BuildOperator<PlusOperator>);
}

Parser* MinusOperator::Derivative(const char* wrt, const IndependentSet* independents) const
{
    return DerivativeTermByTerm(wrt, independents, &BuildOperator<MinusOperator>);
}

Parser* MultiplyOperator::Derivative(const char* wrt, const IndependentSet* independents) const
{
    auto [first, second] = ProductRuleTerms(wrt, independents);
    return BuildOperator<PlusOperator>(std::move(first), std::move(second)).release();
}

Parser* DivideOperator::Derivative(const char* wrt, const IndependentSet* independents) const
{
    auto [first, second] = ProductRuleTerms(wrt, independents);
    NodePtr numerator = BuildOperator<MinusOperator>(std::move(first), std::move(second));
    NodePtr denominator = BuildOperator<PowerOperator>(CopyOf(right), BuildConstant(2));
    return BuildOperator<DivideOperator>(std::move(numerator), std::move(denominator)).release();
}

Parser* PowerOperator::Derivative(const char* wrt, const IndependentSet* independents) const
{
    NodePtr df(left->Derivative(wrt, independents));
    NodePtr dg(right->Derivative(wrt, independents));
    // f' * (g * f ^ (g - 1))
    NodePtr exponentLessOne = BuildOperator<MinusOperator>(CopyOf(right), BuildConstant(1));
    NodePtr lowered = BuildOperator<PowerOperator>(CopyOf(left), std::move(exponentLessOne));
    NodePtr scaled = BuildOperator<MultiplyOperator>(CopyOf(right), std::move(lowered));
    NodePtr first = BuildOperator<MultiplyOperator>(std::move(df), std::move(scaled));
    // f ^ g * (g' * ln f)
    NodePtr power = BuildOperator<PowerOperator>(CopyOf(left), CopyOf(right));
    NodePtr logTerm =
        BuildOperator<MultiplyOperator>(std::move(dg), BuildFunction<LnFunction>(CopyOf(left)));
    NodePtr second = BuildOperator<MultiplyOperator>(std::move(power), std::move(logTerm));
    return BuildOperator<PlusOperator>(std::move(first), std::move(second)).release();
}

Parser* ThenElseOperator::Derivative(const char* wrt, const IndependentSet* independents) const
{
    return DerivativeTermByTerm(wrt, independents, &BuildOperator<ThenElseOperator>);
}

// The condition is copied, not differentiated: c ? a' : b'.
Parser* IfOperator::Derivative(const char* wrt, const IndependentSet* independents) const
{
    try {
        NodePtr branches(right->Derivative(wrt, independents));
        const Parser* derived = branches.get(); // typeid(*unique_ptr) would evaluate a call
        if (!derived || typeid(*derived) != typeid(ThenElseOperator)) return nullptr;
        return BuildOperator<IfOperator>(CopyOf(left), std::move(branches)).release();
    } catch (const ParseErrorMsg&) {
        return nullptr;
    }
}
