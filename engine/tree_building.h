#pragma once

// Building blocks for new trees (derivatives, copies, simplification). Each takes ownership of
// its operands: when building fails, every operand is deleted and the error passes on, so a
// failure part-way through a tree leaves nothing behind.

#include "leaves.h"
#include "parser.h"

#include <utility>

// A function node around `operand`; a null operand raises kEmptyExpression.
template <class Function> NodePtr BuildFunction(NodePtr operand)
{
    NodePtr node(new Function(operand.get())); // adopts nothing when it throws
    operand.release();
    return node;
}

// An operator node over two operands; a null operand raises kEmptyExpression.
template <class Operator> NodePtr BuildOperator(NodePtr left, NodePtr right)
{
    NodePtr node(new Operator(left.get(), right.get())); // adopts nothing when it throws
    left.release();
    right.release();
    return node;
}

inline NodePtr BuildConstant(double value)
{
    return NodePtr(new Constant(value));
}

// A copy of `node`, or null when there is nothing to copy.
inline NodePtr CopyOf(const Parser* node)
{
    return NodePtr(node ? node->Clone() : nullptr);
}
