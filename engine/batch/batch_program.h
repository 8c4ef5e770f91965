#pragma once

// The batch evaluator's program and the state it runs on, shared by its translation and its
// kernels; not part of the engine's interface.
//
// How it works: the tree is translated into a flat program of instructions, each of which runs
// one node's arithmetic over a block of points (its "lanes") before the next instruction runs,
// so that the cost of dispatching is paid once per block rather than once per point. Values
// live in registers of one block each, allocated like a stack in the order the tree evaluates.
//
// Errors: every point carries the code of its first error (-1 while none). The program visits
// the nodes in exactly the order the tree evaluates them, so the first error a point records
// is the one the tree would raise. A point that has failed keeps being computed (its values are
// garbage, never trapped on) but records nothing more.
//
// Branches (?:, && and ||): only the points that take an arm may record its errors. An arm that
// is cheap and draws no random numbers is evaluated at every point of the block, with its
// errors kept apart and merged for the points that take it (speculation); any other arm runs
// over the points that take it only, gathered into a compact block of their own.

#include "node_math.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class FunctionInterpreter;
class Parser;

namespace batch {

// Points per block: enough to hide the dispatch, few enough that the registers stay in the
// first-level cache.
constexpr std::size_t kBlock = 256;
// Deep formulas get smaller blocks, so that their registers stay within this many doubles.
constexpr std::size_t kBufferBudget = std::size_t(1) << 17;
constexpr std::size_t kSmallestBlock = 16;
// The register that is the caller's values array; only the root's instruction writes it.
constexpr int kOutput = -1;
// Registers lie this many doubles apart beyond their block, so that a load and a store of the
// same lane in two registers never fall on addresses a multiple of 4 KiB apart.
constexpr std::size_t kRegisterPadding = 8;

struct Operand
{
    enum Kind : uint8_t
    {
        kRegister,
        kVariable,
        kConstant,
        kPooled // a constant in every lane of a block of the pool, for kernels without constants
    };
    Kind kind = kConstant;
    int index = 0;      // of the register, the variable or the pooled block
    double value = 0.0; // of a constant

    bool IsConstant() const { return kind == kConstant; }
    bool IsRegister() const { return kind == kRegister; }
};

inline Operand RegisterOperand(int index)
{
    return Operand{Operand::kRegister, index, 0.0};
}

inline Operand ConstantOperand(double value)
{
    return Operand{Operand::kConstant, 0, value};
}

// The points an instruction works on: `count` lanes, and where their errors are recorded.
struct Lanes
{
    std::size_t count;
    int* errors;
};

struct Machine;
struct Instruction;
using Kernel = void (*)(const Instruction&, Machine&, const Lanes&);

struct Instruction
{
    Kernel kernel = nullptr;
    int dst = 0;
    Operand a;
    Operand b;
    Operand c; // the third and fourth operands of fused arithmetic
    Operand d;
    int arithmetic = -1;          // for a + - * of a and b alone: kPlus, kMinus or kMultiply
    int terms = 0;                // for a sum of products: its terms, from chainTerms[code] on
    unsigned minus = 0;           // and which of them it subtracts, one bit each
    int code = 0;                 // error code, variable index or branch index
    int next = 0;                 // the instruction that follows (a branch skips its arms)
    const Parser* node = nullptr; // evaluated point by point (classes the translation lacks)
};

// One product a * b of a sum of products.
struct ChainTerm
{
    Operand a;
    Operand b;
};

using node_math::Combine;

// One side of a branch: the instructions [begin, end) leave its value in `result`. The
// constant sides of && and || have no instructions at all.
struct Arm
{
    int begin = 0;
    int end = 0;
    Operand result;
    bool present = false;
    bool dense = false;          // evaluated at every point of the block, kept where taken
    bool raises = false;         // may record an error besides an unbound variable's
    bool readsVariables = false; // may record an unbound variable's error
};

struct Branch
{
    Operand condition; // never a constant
    Arm arms[2];       // [0] where the condition is true, [1] where it is false
    int level = 0;     // nesting depth, which picks the branch's buffers
    bool blend = false;
};

inline void Mark(int* errors, std::size_t k, int code)
{
    if (errors[k] < 0) errors[k] = code;
}

// The run-time state: the program, the registers and the buffers of the branches. Nothing here
// is allocated while evaluating.
struct Machine
{
    const FunctionInterpreter* formula = nullptr;
    std::vector<Instruction> code;
    std::vector<Branch> branches;
    int registerCount = 0;
    int levelCount = 0;
    int variableCount = 0;
    std::size_t block = kBlock;

    std::vector<const double*> columns; // per variable; null reads the value slot
    std::vector<int> columnVariables;   // the variables that have a column
    std::vector<double> registers;
    std::vector<double> flags;         // refusals noted by a kernel, one block
    std::vector<ChainTerm> chainTerms; // the products that sums of products add up
    std::vector<double> poolValues;    // the pooled constants
    std::vector<double> pool;          // each pooled constant in every lane of a block
    std::vector<double> uniform;       // per variable: its slot's value in every lane
    std::vector<char> unbound;         // per variable: neither a column nor a slot
    bool anyUnbound = false;
    bool independent = true; // draws no random numbers and runs nothing through the tree
    // Where each variable's lanes are read for the lanes being evaluated now.
    std::vector<const double*> variables;
    std::vector<int> lists;                // per level: two lists of lane indices
    std::vector<int> scratch;              // per level: errors kept apart
    std::vector<double> gathered;          // per level: the compacted columns
    std::vector<const double*> savedLanes; // per level: the columns' lanes before compacting
    double* output = nullptr;

    // Doubles from the start of one register to the start of the next.
    std::size_t RegisterStride() const { return block + kRegisterPadding; }
    double* Out(int index)
    {
        return index == kOutput ? output : registers.data() + std::size_t(index) * RegisterStride();
    }
    const double* In(const Operand& operand)
    {
        if (operand.kind == Operand::kRegister) return Out(operand.index);
        if (operand.kind == Operand::kVariable) return variables[std::size_t(operand.index)];
        return pool.data() + std::size_t(operand.index) * block;
    }
    int* List(int level, int side)
    {
        return lists.data() + (std::size_t(level) * 2 + side) * block;
    }
    int* Scratch(int level) { return scratch.data() + std::size_t(level) * block; }

    void Run(int begin, int end, const Lanes& lanes)
    {
        for (int i = begin; i < end;) {
            const Instruction& instruction = code[std::size_t(i)];
            instruction.kernel(instruction, *this, lanes);
            i = instruction.next;
        }
    }

    // Translates the formula's tree into the program and sizes every buffer.
    void Load(const FunctionInterpreter& source);
    void BindColumn(const char* name, const double* column);
    void EvaluateAll(std::size_t n, double* values, int* errors);

private:
    void AllocateBuffers();
    void AllocateGatherBuffers();
    void PrepareVariables();
};

// Lets the compiler vectorise loops whose output is either one of their inputs or apart from
// them: registers never overlap partly.
#if defined(__GNUC__) && !defined(__clang__)
#define VF_INDEPENDENT_LANES _Pragma("GCC ivdep") _Pragma("GCC unroll 4")
#else
#define VF_INDEPENDENT_LANES
#endif

// How many lanes k < n satisfy `test`. Counted in doubles, which the compiler vectorises, in
// eight partial sums, so that the additions need not wait for each other.
template <class Test> double CountLanes(std::size_t n, Test test)
{
    double partial[8] = {};
    std::size_t k = 0;
    for (; k + 8 <= n; k += 8)
        for (std::size_t j = 0; j < 8; ++j)
            partial[j] += test(k + j) ? 1.0 : 0.0;
    double count = 0.0;
    for (; k < n; ++k)
        count += test(k) ? 1.0 : 0.0;
    for (double sum : partial)
        count += sum;
    return count;
}

} // namespace batch
