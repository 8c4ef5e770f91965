#pragma once

// In which order an operator node evaluates its operands, and so which error a point reports
// where several could be raised: always the first one met on the way. The tree's operators and
// the batch evaluator's translation both run every operator through EvaluateInOrder, each with a
// path of its own (evaluating at one point, or emitting the program for a block of points), so
// that the two cannot drift apart.

#include "node_math.h"
#include "operators.h"
#include "parse_error.h"
#include "parse_tables.h"

#include <cstdint>

enum class OperandOrder : uint8_t
{
    kNone,         // a code of no two-operand operator
    kLeftFirst,    // left, then right, then the arithmetic (a refusal of it comes last)
    kDivisorFirst, // right, then its test for zero, then left, then the arithmetic
    kAndThen,      // left as the condition; right only where it is true
    kOrElse,       // left as the condition; right only where it is false
    kSelect,       // left as the condition; then only the arm of the right that it picks
    kArmsOnly      // the arms of ?: alone, outside their IfOperator: an error before anything
};

constexpr OperandOrder OrderOf(int operatorCode)
{
    switch (operatorCode) {
    case kOpPlus:
    case kOpMinus:
    case kOpMultiply:
    case kOpPower:
    case kOpLess:
    case kOpGreater:
    case kOpEqual:
    case kOpNotEqual:
    case kOpLessOrEqual:
    case kOpGreaterOrEqual:
    case kOpBitwiseAnd:
    case kOpBitwiseOr:
    case kOpBitwiseXor:
        return OperandOrder::kLeftFirst;
    // A zero divisor leaves nothing to divide: the dividend is not evaluated then.
    case kOpDivide:
    case kOpModulus:
        return OperandOrder::kDivisorFirst;
    case kOpAnd:
        return OperandOrder::kAndThen;
    case kOpOr:
        return OperandOrder::kOrElse;
    case kOpIf:
        return OperandOrder::kSelect;
    case kOpThenElse:
        return OperandOrder::kArmsOnly;
    default:
        return OperandOrder::kNone;
    }
}

// Runs `node` through `path` in the given order, which must be OrderOf(node's code) and not
// kNone. The path's steps, each answering the path's own kind of value:
//   Operand(const Parser*)                evaluates an operand;
//   TestDivisor(divisor)                  raises kDivisionByZero where the divisor is 0;
//   Arithmetic(left, right)               the operator's arithmetic, its own refusals included;
//   Branch(combine, condition, whenTrue, whenFalse)
//                                         for && and ||: evaluates the condition, then the arm
//                                         it picks (the null one is the constant side);
//   Select(condition, const ThenElseOperator& arms)
//                                         for ?:: the condition, then only the arm it picks;
//   Raise(code)                           the error, wherever the node is evaluated.
// An IfOperator's right operand must be its ThenElseOperator.
template <OperandOrder order, class Path>
auto EvaluateInOrder(const OperationParser& node, Path& path)
{
    using node_math::Combine;
    using node_math::HasArm;
    static_assert(order != OperandOrder::kNone, "no order for a code without an operator");
    if constexpr (order == OperandOrder::kLeftFirst) {
        auto left = path.Operand(node.left);
        auto right = path.Operand(node.right);
        return path.Arithmetic(left, right);
    } else if constexpr (order == OperandOrder::kDivisorFirst) {
        auto divisor = path.Operand(node.right);
        path.TestDivisor(divisor);
        auto dividend = path.Operand(node.left);
        return path.Arithmetic(dividend, divisor);
    } else if constexpr (order == OperandOrder::kAndThen || order == OperandOrder::kOrElse) {
        constexpr Combine combine = order == OperandOrder::kAndThen ? Combine::kAnd : Combine::kOr;
        return path.Branch(combine, node.left, HasArm(combine, true) ? node.right : nullptr,
                           HasArm(combine, false) ? node.right : nullptr);
    } else if constexpr (order == OperandOrder::kSelect) {
        return path.Select(node.left, static_cast<const ThenElseOperator&>(*node.right));
    } else {
        return path.Raise(kMissingQuestionMark);
    }
}

// The same with the order known only at run time.
template <class Path>
auto EvaluateInOrder(OperandOrder order, const OperationParser& node, Path& path)
{
    switch (order) {
    case OperandOrder::kDivisorFirst:
        return EvaluateInOrder<OperandOrder::kDivisorFirst>(node, path);
    case OperandOrder::kAndThen:
        return EvaluateInOrder<OperandOrder::kAndThen>(node, path);
    case OperandOrder::kOrElse:
        return EvaluateInOrder<OperandOrder::kOrElse>(node, path);
    case OperandOrder::kSelect:
        return EvaluateInOrder<OperandOrder::kSelect>(node, path);
    case OperandOrder::kArmsOnly:
        return EvaluateInOrder<OperandOrder::kArmsOnly>(node, path);
    default:
        return EvaluateInOrder<OperandOrder::kLeftFirst>(node, path);
    }
}
