#pragma once

#include "parse_tables.h"
#include "parser.h"

#include <utility>

// The base of the two-operand operator nodes: owns both operands and implements adoption,
// printing, copying, comparing and the first step of simplification once for all of them.
class OperationParser : public Parser
{
public:
    // Adopts two built operands. A null operand raises kEmptyExpression and adopts nothing.
    OperationParser(Parser* left, Parser* right);
    // Parses the left text, then the right text; a failure deletes what was built.
    OperationParser(TextSpan& leftSpan, TextSpan& rightSpan);
    ~OperationParser() override;

    double Evaluate() const override;
    int16_t Precedence() const override;
    bool ReplaceChild(Parser* old, Parser* replacement) override;
    void Attach(FunctionInterpreter* owner) override;
    // The step every operator runs first: simplify both operands and fold constant ones.
    void Simplify() override;
    void PrintTo(std::string& out) const override;
    Parser* Clone() const override;
    bool ConstantWhen(ConstantTest isConstant) const override;
    bool SameWhen(const Parser* other, ConstantTest isConstant) const override;

    virtual int OperatorCode() const;
    // Replaces this node in its parent by `operand` (one of its own, or a new node); this node is
    // deleted when it answers true and must not be touched afterwards.
    virtual bool CollapseTo(Parser* operand);

    Parser* left = nullptr;
    Parser* right = nullptr;

protected:
    // Whether `operand` is constant and has the value `value` (evaluates it only when constant).
    static bool HasConstantValue(const Parser* operand, bool isConstant, double value);
    // Constant when both operands are, or when one of them is constant with a value that
    // `decides` the result alone (0 for a product, -1 for a bitwise or, ...).
    bool ConstantOrDecidedBy(ConstantTest isConstant, bool (*decides)(double)) const;
    // The same question once the operands are simplified: only a literal is constant then.
    static bool IsLiteralEqualTo(const Parser* operand, double value);
    bool OperandsSame() const;
    bool CollapseToValue(double value);
    // The whole rule set of a comparison: identical operands decide its value.
    void SimplifySameOperandsTo(double value);
    // combine(f', g'): the derivative of a sum, a difference or the branches of a conditional.
    // When an operand has no derivative the answer is no tree rather than an error.
    Parser* DerivativeTermByTerm(const char* wrt, const IndependentSet* independents,
                                 NodePtr (*combine)(NodePtr, NodePtr)) const;
    // f' * g and f * g', the two terms of the product and quotient rules.
    std::pair<NodePtr, NodePtr> ProductRuleTerms(const char* wrt,
                                                 const IndependentSet* independents) const;
};

class PlusOperator final : public OperationParser
{
public:
    using OperationParser::OperationParser;
    double Evaluate() const override;
    void Simplify() override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int OperatorCode() const override { return kOpPlus; }
};

class MinusOperator final : public OperationParser
{
public:
    using OperationParser::OperationParser;
    double Evaluate() const override;
    void Simplify() override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int OperatorCode() const override { return kOpMinus; }
};

class MultiplyOperator final : public OperationParser
{
public:
    using OperationParser::OperationParser;
    double Evaluate() const override;
    bool ConstantWhen(ConstantTest isConstant) const override;
    void Simplify() override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int OperatorCode() const override { return kOpMultiply; }
};

class DivideOperator final : public OperationParser
{
public:
    using OperationParser::OperationParser;
    double Evaluate() const override;
    bool ConstantWhen(ConstantTest isConstant) const override;
    void Simplify() override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int OperatorCode() const override { return kOpDivide; }
};

class ModulusOperator final : public OperationParser
{
public:
    using OperationParser::OperationParser;
    double Evaluate() const override;
    void Simplify() override;
    int OperatorCode() const override { return kOpModulus; }
};

class PowerOperator final : public OperationParser
{
public:
    using OperationParser::OperationParser;
    double Evaluate() const override;
    bool ConstantWhen(ConstantTest isConstant) const override;
    void Simplify() override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int OperatorCode() const override { return kOpPower; }
};

class IsLessThanOperator final : public OperationParser
{
public:
    using OperationParser::OperationParser;
    double Evaluate() const override;
    void Simplify() override { SimplifySameOperandsTo(0.0); }
    int OperatorCode() const override { return kOpLess; }
};

class IsGreaterThanOperator final : public OperationParser
{
public:
    using OperationParser::OperationParser;
    double Evaluate() const override;
    void Simplify() override { SimplifySameOperandsTo(0.0); }
    int OperatorCode() const override { return kOpGreater; }
};

class IsEqualToOperator final : public OperationParser
{
public:
    using OperationParser::OperationParser;
    double Evaluate() const override;
    void Simplify() override { SimplifySameOperandsTo(1.0); }
    int OperatorCode() const override { return kOpEqual; }
};

class IsNotEqualToOperator final : public OperationParser
{
public:
    using OperationParser::OperationParser;
    double Evaluate() const override;
    void Simplify() override { SimplifySameOperandsTo(0.0); }
    int OperatorCode() const override { return kOpNotEqual; }
};

class IsLessThanOrEqualToOperator final : public OperationParser
{
public:
    using OperationParser::OperationParser;
    double Evaluate() const override;
    void Simplify() override { SimplifySameOperandsTo(1.0); }
    int OperatorCode() const override { return kOpLessOrEqual; }
};

class IsGreaterThanOrEqualToOperator final : public OperationParser
{
public:
    using OperationParser::OperationParser;
    double Evaluate() const override;
    void Simplify() override { SimplifySameOperandsTo(1.0); }
    int OperatorCode() const override { return kOpGreaterOrEqual; }
};

class AndOperator final : public OperationParser
{
public:
    using OperationParser::OperationParser;
    double Evaluate() const override;
    bool ConstantWhen(ConstantTest isConstant) const override;
    void Simplify() override;
    int OperatorCode() const override { return kOpAnd; }
};

class OrOperator final : public OperationParser
{
public:
    using OperationParser::OperationParser;
    double Evaluate() const override;
    bool ConstantWhen(ConstantTest isConstant) const override;
    void Simplify() override;
    int OperatorCode() const override { return kOpOr; }
};

class BitwiseAndOperator final : public OperationParser
{
public:
    using OperationParser::OperationParser;
    double Evaluate() const override;
    bool ConstantWhen(ConstantTest isConstant) const override;
    void Simplify() override;
    int OperatorCode() const override { return kOpBitwiseAnd; }
};

class BitwiseInclusiveOrOperator final : public OperationParser
{
public:
    using OperationParser::OperationParser;
    double Evaluate() const override;
    bool ConstantWhen(ConstantTest isConstant) const override;
    void Simplify() override;
    int OperatorCode() const override { return kOpBitwiseOr; }
};

class BitwiseExclusiveOrOperator final : public OperationParser
{
public:
    using OperationParser::OperationParser;
    double Evaluate() const override;
    void Simplify() override;
    int OperatorCode() const override { return kOpBitwiseXor; }
};

// The two branches of a conditional: `left` when the condition is true, `right` otherwise. It
// exists only as the right operand of an IfOperator, which evaluates it through EvaluateBranch.
class ThenElseOperator final : public OperationParser
{
public:
    using OperationParser::OperationParser;
    double Evaluate() const override;
    bool ConstantWhen(ConstantTest isConstant) const override;
    void Simplify() override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int OperatorCode() const override { return kOpThenElse; }

    double EvaluateBranch(bool condition) const
    {
        return condition ? left->Evaluate() : right->Evaluate();
    }
    // Replaces the enclosing IfOperator in `grandparent` by the branch that `truth` selects; the
    // IfOperator and this node are deleted when it answers true.
    bool CollapseToBranch(Parser* grandparent, double truth);
    bool BranchesEqual() const;
};

// The conditional 'c ? a : b': the condition on the left, a ThenElseOperator on the right.
class IfOperator final : public OperationParser
{
public:
    // Both raise kMissingColon, deleting the operands, when `right` is not a ThenElseOperator.
    IfOperator(Parser* left, Parser* right);
    IfOperator(TextSpan& leftSpan, TextSpan& rightSpan);

    double Evaluate() const override;
    void Simplify() override;
    Parser* Derivative(const char* wrt, const IndependentSet* independents) const override;
    int OperatorCode() const override { return kOpIf; }
};
