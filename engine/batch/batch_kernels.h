#pragma once

// The kernels of the batch evaluator: each runs one operation of the program over the lanes of
// a block. The translation picks them here.

#include "batch_program.h"

namespace batch {

// The operations that fused kernels chain without storing what lies between them.
enum Arithmetic
{
    kPlus,
    kMinus,
    kMultiply,
    kArithmeticCount
};

// The most terms one sum of products adds up.
constexpr int kMaxTerms = 4;

enum class Form
{
    kRR, // both operands vary
    kRC, // the right operand is a constant
    kCR  // the left operand is a constant
};

// The kernel of a two-operand operator without branches, with its operands in `form`; null for
// && || ?: : and codes without an operator.
Kernel OperatorKernel(int code, Form form);

// A function's kernel, whether it refuses some operands, and its rough cost per point (about one
// unit per arithmetic instruction, twenty per call of the mathematical library).
struct FunctionEntry
{
    Kernel kernel;
    bool refuses;
    int cost;
};
FunctionEntry FunctionKernel(int code);

// (a inner b) outer c, c outer (a inner b), and (a inner b) outer (c second d), for + - *.
Kernel FusedLeftKernel(int inner, int outer);
Kernel FusedRightKernel(int inner, int outer);
Kernel FusedBothKernel(int inner, int outer, int second);
// in.a ± the products of `terms` chain terms, subtracting term t where bit t of `minus` is set.
Kernel SumOfProductsKernel(int terms, unsigned minus);
// Runs a branch (in.code indexes the machine's branches) and combines its arms.
Kernel BranchKernel(Combine combine);
// a % b for a constant b whose integer view is not 0 (it refuses nothing).
Kernel RemainderKernel(double wholeDivisor);
// RAND's value from the draws in a and the scale in b (a constant, or lanes).
Kernel RandomScaleKernel(bool constantScale);

// Kernels the translation emits by name.
void Square(const Instruction& in, Machine& m, const Lanes& lanes);       // a * a
void CheckDivisor(const Instruction& in, Machine& m, const Lanes& lanes); // a == 0 fails
void Raise(const Instruction& in, Machine& m, const Lanes& lanes);        // code everywhere
void CheckBound(const Instruction& in, Machine& m, const Lanes& lanes);   // variable code
void Fill(const Instruction& in, Machine& m, const Lanes& lanes);         // the constant a
void Copy(const Instruction& in, Machine& m, const Lanes& lanes);         // the lanes of a
void Draw(const Instruction& in, Machine& m, const Lanes& lanes);         // RAND's draws
void ThroughTree(const Instruction& in, Machine& m, const Lanes& lanes);  // in.node's Evaluate

} // namespace batch
