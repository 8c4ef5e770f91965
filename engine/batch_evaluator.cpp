#include "batch_evaluator.h"

#include "function_interpreter.h"
#include "functions.h"
#include "leaves.h"
#include "node_math.h"
#include "operators.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <typeinfo>
#include <utility>
#include <vector>

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

namespace {

// Points per block: enough to hide the dispatch, few enough that the registers stay in the
// first-level cache.
constexpr std::size_t kBlock = 256;
// Deep formulas get smaller blocks, so that their registers stay within this many doubles.
constexpr std::size_t kBufferBudget = std::size_t(1) << 17;
constexpr std::size_t kSmallestBlock = 16;
// The register that is the caller's values array; only the root's instruction writes it.
constexpr int kOutput = -1;
// An arm costing at most this much (about one unit per multiplication) is evaluated at every
// point of its block instead of gathering the points that take it.
constexpr int kSpeculationCost = 12;
// Constants that fused kernels read as blocks: at most this many per formula.
constexpr std::size_t kPoolSize = 32;

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

Operand RegisterOperand(int index)
{
    return Operand{Operand::kRegister, index, 0.0};
}

Operand ConstantOperand(double value)
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

enum class Combine : uint8_t
{
    kSelect, // c ? a : b
    kAnd,    // c && a, with the constant 0 as the other arm
    kOr      // c || b, with the constant 1 as the other arm
};

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
    // Where each variable's lanes are read for the lanes being evaluated now.
    std::vector<const double*> variables;
    std::vector<int> lists;                // per level: two lists of lane indices
    std::vector<int> scratch;              // per level: errors kept apart
    std::vector<double> gathered;          // per level: the compacted columns
    std::vector<const double*> savedLanes; // per level: the columns' lanes before compacting
    double* output = nullptr;

    double* Out(int index)
    {
        return index == kOutput ? output : registers.data() + std::size_t(index) * (block + 8);
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

// ---- Kernels ---------------------------------------------------------------------------------

template <class Op> void BinaryRR(const Instruction& in, Machine& m, const Lanes& lanes)
{
    const double* a = m.In(in.a);
    const double* b = m.In(in.b);
    double* r = m.Out(in.dst);
    const std::size_t n = lanes.count;
    VF_INDEPENDENT_LANES
    for (std::size_t k = 0; k < n; ++k)
        r[k] = Op::Value(a[k], b[k]);
}

template <class Op> void BinaryRC(const Instruction& in, Machine& m, const Lanes& lanes)
{
    const double* a = m.In(in.a);
    const double c = in.b.value;
    double* r = m.Out(in.dst);
    const std::size_t n = lanes.count;
    VF_INDEPENDENT_LANES
    for (std::size_t k = 0; k < n; ++k)
        r[k] = Op::Value(a[k], c);
}

template <class Op> void BinaryCR(const Instruction& in, Machine& m, const Lanes& lanes)
{
    const double c = in.a.value;
    const double* b = m.In(in.b);
    double* r = m.Out(in.dst);
    const std::size_t n = lanes.count;
    VF_INDEPENDENT_LANES
    for (std::size_t k = 0; k < n; ++k)
        r[k] = Op::Value(c, b[k]);
}

// x ^ 2, which simplification makes of every x * x.
void Square(const Instruction& in, Machine& m, const Lanes& lanes)
{
    const double* a = m.In(in.a);
    double* r = m.Out(in.dst);
    const std::size_t n = lanes.count;
    VF_INDEPENDENT_LANES
    for (std::size_t k = 0; k < n; ++k)
        r[k] = a[k] * a[k];
}

// Fused + - *: two or three operations per lane, without storing what lies between them.
enum Arithmetic
{
    kPlus,
    kMinus,
    kMultiply,
    kArithmeticCount
};

template <int op> struct ArithmeticOf;
template <> struct ArithmeticOf<kPlus> : node_math::Plus
{
};
template <> struct ArithmeticOf<kMinus> : node_math::Minus
{
};
template <> struct ArithmeticOf<kMultiply> : node_math::Multiply
{
};

// (a inner b) outer c
template <int inner, int outer>
void FusedLeft(const Instruction& in, Machine& m, const Lanes& lanes)
{
    const double* a = m.In(in.a);
    const double* b = m.In(in.b);
    const double* c = m.In(in.c);
    double* r = m.Out(in.dst);
    const std::size_t n = lanes.count;
    VF_INDEPENDENT_LANES
    for (std::size_t k = 0; k < n; ++k)
        r[k] = ArithmeticOf<outer>::Value(ArithmeticOf<inner>::Value(a[k], b[k]), c[k]);
}

// c outer (a inner b)
template <int inner, int outer>
void FusedRight(const Instruction& in, Machine& m, const Lanes& lanes)
{
    const double* a = m.In(in.a);
    const double* b = m.In(in.b);
    const double* c = m.In(in.c);
    double* r = m.Out(in.dst);
    const std::size_t n = lanes.count;
    VF_INDEPENDENT_LANES
    for (std::size_t k = 0; k < n; ++k)
        r[k] = ArithmeticOf<outer>::Value(c[k], ArithmeticOf<inner>::Value(a[k], b[k]));
}

// (a inner b) outer (c second d)
template <int inner, int outer, int second>
void FusedBoth(const Instruction& in, Machine& m, const Lanes& lanes)
{
    const double* a = m.In(in.a);
    const double* b = m.In(in.b);
    const double* c = m.In(in.c);
    const double* d = m.In(in.d);
    double* r = m.Out(in.dst);
    const std::size_t n = lanes.count;
    VF_INDEPENDENT_LANES
    for (std::size_t k = 0; k < n; ++k) {
        const double l = ArithmeticOf<inner>::Value(a[k], b[k]);
        r[k] = ArithmeticOf<outer>::Value(l, ArithmeticOf<second>::Value(c[k], d[k]));
    }
}

// c ± a0 * b0 ± a1 * b1 ..., subtracting term t where bit t of `minus` is set: a sum of products
// accumulated in a register, in the tree's order.
constexpr int kMaxTerms = 4;

template <unsigned minus, std::size_t... t>
double SumOfProducts(double sum, const double* const* a, const double* const* b, std::size_t k,
                     std::index_sequence<t...>)
{
    ((sum = (minus >> t) & 1u ? sum - a[t][k] * b[t][k] : sum + a[t][k] * b[t][k]), ...);
    return sum;
}

template <int terms, unsigned minus>
void SumOfProductsKernel(const Instruction& in, Machine& m, const Lanes& lanes)
{
    const ChainTerm* list = m.chainTerms.data() + in.code;
    const double* a[terms];
    const double* b[terms];
    for (int t = 0; t < terms; ++t) {
        a[t] = m.In(list[t].a);
        b[t] = m.In(list[t].b);
    }
    const double* c = m.In(in.a);
    double* r = m.Out(in.dst);
    const std::size_t n = lanes.count;
    VF_INDEPENDENT_LANES
    for (std::size_t k = 0; k < n; ++k)
        r[k] = SumOfProducts<minus>(c[k], a, b, k, std::make_index_sequence<terms>());
}

using ChainRow = std::array<Kernel, std::size_t(1) << kMaxTerms>;

template <int terms, unsigned... minus>
constexpr ChainRow ChainKernels(std::integer_sequence<unsigned, minus...>)
{
    return {&SumOfProductsKernel<terms, minus&((1u << terms) - 1)>...};
}

constexpr auto kMinusMasks = std::make_integer_sequence<unsigned, 1u << kMaxTerms>();
// Indexed [terms - 1][minus].
constexpr std::array<ChainRow, kMaxTerms> kSumsOfProducts = {
    ChainKernels<1>(kMinusMasks), ChainKernels<2>(kMinusMasks), ChainKernels<3>(kMinusMasks),
    ChainKernels<4>(kMinusMasks)};

using KernelRow = std::array<Kernel, kArithmeticCount>;
using KernelTable = std::array<KernelRow, kArithmeticCount>;

template <int inner, int outer, int... second>
constexpr KernelRow BothRow(std::integer_sequence<int, second...>)
{
    return {&FusedBoth<inner, outer, second>...};
}

template <int inner, int... outer>
constexpr KernelTable BothTable(std::integer_sequence<int, outer...>)
{
    return {BothRow<inner, outer>(std::make_integer_sequence<int, kArithmeticCount>())...};
}

template <template <int, int> class Shape, int inner, int... outer>
constexpr KernelRow PairRow(std::integer_sequence<int, outer...>)
{
    return {Shape<inner, outer>::Run...};
}

template <int inner, int outer> struct LeftShape
{
    static constexpr Kernel Run = &FusedLeft<inner, outer>;
};
template <int inner, int outer> struct RightShape
{
    static constexpr Kernel Run = &FusedRight<inner, outer>;
};

constexpr auto kOuter = std::make_integer_sequence<int, kArithmeticCount>();
// Indexed [inner][outer], and [inner][outer][second] for `both`.
constexpr KernelTable kFusedLeft = {PairRow<LeftShape, kPlus>(kOuter),
                                    PairRow<LeftShape, kMinus>(kOuter),
                                    PairRow<LeftShape, kMultiply>(kOuter)};
constexpr KernelTable kFusedRight = {PairRow<RightShape, kPlus>(kOuter),
                                     PairRow<RightShape, kMinus>(kOuter),
                                     PairRow<RightShape, kMultiply>(kOuter)};
constexpr std::array<KernelTable, kArithmeticCount> kFusedBoth = {
    BothTable<kPlus>(kOuter), BothTable<kMinus>(kOuter), BothTable<kMultiply>(kOuter)};

// Refusals are noted per lane in `flags` by a pass without jumps, and turned into errors only in
// the rare blocks that have any.
void MarkFlagged(const double* flags, const Lanes& lanes, int code)
{
    if (CountLanes(lanes.count, [flags](std::size_t k) { return flags[k] != 0.0; }) == 0.0) return;
    for (std::size_t k = 0; k < lanes.count; ++k)
        if (flags[k] != 0.0) Mark(lanes.errors, k, code);
}

// The remainder, which refuses a divisor whose integer view is 0.
template <bool leftConstant, bool rightConstant>
void Remainder(const Instruction& in, Machine& m, const Lanes& lanes)
{
    const double* a = leftConstant ? nullptr : m.In(in.a);
    const double* b = rightConstant ? nullptr : m.In(in.b);
    double* r = m.Out(in.dst);
    double* flags = m.flags.data();
    for (std::size_t k = 0, n = lanes.count; k < n; ++k) {
        bool refused = false;
        r[k] = node_math::Remainder(leftConstant ? in.a.value : a[k],
                                    rightConstant ? in.b.value : b[k], refused);
        flags[k] = refused ? 1.0 : 0.0;
    }
    MarkFlagged(flags, lanes, kDivisionByZero);
}

template <class Function> void Unary(const Instruction& in, Machine& m, const Lanes& lanes)
{
    const double* a = m.In(in.a);
    double* r = m.Out(in.dst);
    const std::size_t n = lanes.count;
    if constexpr (!Function::kCanRefuse) {
        VF_INDEPENDENT_LANES
        for (std::size_t k = 0; k < n; ++k) {
            bool unused = false;
            r[k] = Function::Value(a[k], unused);
        }
    } else {
        // r may be a itself, so the refusals are noted before the values overwrite anything.
        double* flags = m.flags.data();
        VF_INDEPENDENT_LANES
        for (std::size_t k = 0; k < n; ++k) {
            bool refused = false;
            const double value = Function::Value(a[k], refused);
            flags[k] = refused ? 1.0 : 0.0;
            r[k] = value;
        }
        MarkFlagged(flags, lanes, Function::kRefusal);
    }
}

// The divisor of "/" or "%", tested before the dividend is evaluated.
void CheckDivisor(const Instruction& in, Machine& m, const Lanes& lanes)
{
    const double* a = m.In(in.a);
    const std::size_t n = lanes.count;
    if (CountLanes(n, [a](std::size_t k) { return node_math::DivisorRefused(a[k]); }) == 0.0)
        return;
    for (std::size_t k = 0; k < n; ++k)
        if (node_math::DivisorRefused(a[k])) Mark(lanes.errors, k, kDivisionByZero);
}

// An error at every point that reaches it.
void Raise(const Instruction& in, Machine&, const Lanes& lanes)
{
    for (std::size_t k = 0; k < lanes.count; ++k)
        Mark(lanes.errors, k, in.code);
}

// A read of a variable, which fails when it has neither a column nor a value slot.
void CheckBound(const Instruction& in, Machine& m, const Lanes& lanes)
{
    if (!m.unbound[std::size_t(in.code)]) return;
    for (std::size_t k = 0; k < lanes.count; ++k)
        Mark(lanes.errors, k, kUnknownVariable);
}

void Fill(const Instruction& in, Machine& m, const Lanes& lanes)
{
    std::fill_n(m.Out(in.dst), lanes.count, in.a.value);
}

void Copy(const Instruction& in, Machine& m, const Lanes& lanes)
{
    std::copy_n(m.In(in.a), lanes.count, m.Out(in.dst));
}

// RAND's draws, one per point that has not failed, as the tree draws before it evaluates the
// operand.
void Draw(const Instruction& in, Machine& m, const Lanes& lanes)
{
    double* r = m.Out(in.dst);
    for (std::size_t k = 0; k < lanes.count; ++k)
        if (lanes.errors[k] < 0) r[k] = node_math::RandomDraw();
}

template <bool constantScale>
void RandomScale(const Instruction& in, Machine& m, const Lanes& lanes)
{
    const double* draws = m.In(in.a);
    const double* scale = constantScale ? nullptr : m.In(in.b);
    double* r = m.Out(in.dst);
    for (std::size_t k = 0; k < lanes.count; ++k)
        r[k] = node_math::RandomValue(draws[k], constantScale ? in.b.value : scale[k]);
}

// A node of a class the translation does not know, evaluated through the tree point by point.
// Its variables read their value slots, not columns.
void Opaque(const Instruction& in, Machine& m, const Lanes& lanes)
{
    double* r = m.Out(in.dst);
    for (std::size_t k = 0; k < lanes.count; ++k) {
        if (lanes.errors[k] >= 0) continue;
        try {
            r[k] = in.node->Evaluate();
        } catch (const ParseErrorMsg& error) {
            lanes.errors[k] = error.code;
        }
    }
}

// ---- Branches --------------------------------------------------------------------------------

// The value a branch takes at lane k from the values of the arm it takes there. The constant
// sides of && and || read nothing.
template <Combine combine, int side> double Take(const double* values, std::size_t k)
{
    if constexpr (combine == Combine::kSelect)
        return values[k];
    else if constexpr ((combine == Combine::kAnd) == (side == 1))
        return combine == Combine::kAnd ? 0.0 : 1.0;
    else
        return IsTrue(values[k]) ? 1.0 : 0.0;
}

template <Combine combine, int side> void StoreAll(const double* values, double* r, std::size_t n)
{
    for (std::size_t k = 0; k < n; ++k)
        r[k] = Take<combine, side>(values, k);
}

// Runs an arm at every lane; answers its values.
const double* RunArm(Machine& m, const Arm& arm, const Lanes& lanes)
{
    m.Run(arm.begin, arm.end, lanes);
    return arm.present ? m.In(arm.result) : nullptr;
}

bool MayRecord(const Machine& m, const Arm& arm)
{
    return arm.raises || (arm.readsVariables && m.anyUnbound);
}

// Runs an arm at every lane with its errors kept in `scratch` when it may record any; answers
// its values, or null for a constant arm.
const double* RunArmApart(Machine& m, const Arm& arm, const Lanes& lanes, int* scratch,
                          bool& recorded)
{
    if (!arm.present) return nullptr;
    recorded = MayRecord(m, arm);
    if (recorded) std::fill_n(scratch, lanes.count, -1);
    return RunArm(m, arm, Lanes{lanes.count, recorded ? scratch : lanes.errors});
}

// Both arms are cheap: evaluate both at every lane and pick per lane.
template <Combine combine>
void Blend(const Branch& branch, const double* c, double* r, Machine& m, const Lanes& lanes)
{
    const std::size_t n = lanes.count;
    const double trues = CountLanes(n, [c](std::size_t k) { return IsTrue(c[k]); });
    // Every lane takes one arm (lanes that failed before do not care).
    if (trues == double(n)) {
        const double* values = RunArm(m, branch.arms[0], lanes);
        StoreAll<combine, 0>(values, r, n);
        return;
    }
    if (trues == 0.0) {
        const double* values = RunArm(m, branch.arms[1], lanes);
        StoreAll<combine, 1>(values, r, n);
        return;
    }
    int* scratch = m.Scratch(branch.level);
    int* errors = lanes.errors;
    bool recorded = false;
    const double* first = RunArmApart(m, branch.arms[0], lanes, scratch, recorded);
    if (recorded)
        for (std::size_t k = 0; k < n; ++k)
            if (scratch[k] >= 0 && IsTrue(c[k]) && errors[k] < 0) errors[k] = scratch[k];
    recorded = false;
    const double* second = RunArmApart(m, branch.arms[1], lanes, scratch, recorded);
    if (recorded)
        for (std::size_t k = 0; k < n; ++k)
            if (scratch[k] >= 0 && !IsTrue(c[k]) && errors[k] < 0) errors[k] = scratch[k];
    // r may be c itself: each lane reads its condition before it writes. Both values are read
    // whatever the condition, so that the choice needs no jump.
    VF_INDEPENDENT_LANES
    for (std::size_t k = 0; k < n; ++k) {
        const double whenTrue = Take<combine, 0>(first, k);
        const double whenFalse = Take<combine, 1>(second, k);
        r[k] = IsTrue(c[k]) ? whenTrue : whenFalse;
    }
}

// One arm for the lanes in `list` (which had no error before the branch).
template <Combine combine, int side>
void RunListed(const Branch& branch, const int* list, std::size_t size, double* r, Machine& m,
               const Lanes& lanes)
{
    const Arm& arm = branch.arms[side];
    int* errors = lanes.errors;
    if (!arm.present) {
        for (std::size_t j = 0; j < size; ++j)
            r[list[j]] = Take<combine, side>(nullptr, 0);
        return;
    }
    int* scratch = m.Scratch(branch.level);
    if (arm.dense) {
        bool recorded = false;
        const double* values = RunArmApart(m, arm, lanes, scratch, recorded);
        for (std::size_t j = 0; j < size; ++j)
            r[list[j]] = Take<combine, side>(values, std::size_t(list[j]));
        if (recorded)
            for (std::size_t j = 0; j < size; ++j)
                errors[list[j]] = scratch[list[j]];
        return;
    }
    // Gather the lanes of every column into a compact block and run the arm there.
    const std::size_t columns = m.columnVariables.size();
    double* gathered = m.gathered.data() + std::size_t(branch.level) * columns * m.block;
    const double** saved = m.savedLanes.data() + std::size_t(branch.level) * columns;
    for (std::size_t c = 0; c < columns; ++c) {
        const std::size_t variable = std::size_t(m.columnVariables[c]);
        saved[c] = m.variables[variable];
        double* to = gathered + c * m.block;
        for (std::size_t j = 0; j < size; ++j)
            to[j] = saved[c][list[j]];
        m.variables[variable] = to;
    }
    std::fill_n(scratch, size, -1);
    const double* values = RunArm(m, arm, Lanes{size, scratch});
    for (std::size_t j = 0; j < size; ++j) {
        r[list[j]] = Take<combine, side>(values, j);
        errors[list[j]] = scratch[j];
    }
    for (std::size_t c = 0; c < columns; ++c)
        m.variables[std::size_t(m.columnVariables[c])] = saved[c];
}

template <Combine combine> void RunBranch(const Instruction& in, Machine& m, const Lanes& lanes)
{
    const Branch& branch = m.branches[std::size_t(in.code)];
    const double* c = m.In(branch.condition);
    double* r = m.Out(in.dst);
    if (branch.blend) {
        Blend<combine>(branch, c, r, m, lanes);
        return;
    }
    const std::size_t n = lanes.count;
    int* trueList = m.List(branch.level, 0);
    int* falseList = m.List(branch.level, 1);
    std::size_t trues = 0;
    std::size_t falses = 0;
    for (std::size_t k = 0; k < n; ++k) {
        if (lanes.errors[k] >= 0) continue;
        if (IsTrue(c[k]))
            trueList[trues++] = int(k);
        else
            falseList[falses++] = int(k);
    }
    // When every lane that has not failed takes the same arm, it runs on the block as it is:
    // the failed lanes record nothing more and draw no random numbers.
    if (falses == 0) {
        if (trues > 0) StoreAll<combine, 0>(RunArm(m, branch.arms[0], lanes), r, n);
        return;
    }
    if (trues == 0) {
        StoreAll<combine, 1>(RunArm(m, branch.arms[1], lanes), r, n);
        return;
    }
    RunListed<combine, 0>(branch, trueList, trues, r, m, lanes);
    RunListed<combine, 1>(branch, falseList, falses, r, m, lanes);
}

// ---- Kernel tables ---------------------------------------------------------------------------

enum class Form
{
    kRR, // both operands vary
    kRC, // the right operand is a constant
    kCR  // the left operand is a constant
};

template <class Op> Kernel BinaryKernel(Form form)
{
    switch (form) {
    case Form::kRC:
        return &BinaryRC<Op>;
    case Form::kCR:
        return &BinaryCR<Op>;
    default:
        return &BinaryRR<Op>;
    }
}

// The kernel of a two-operand operator without branches or refusals; null for the others.
Kernel OperatorKernel(int code, Form form)
{
    using namespace node_math;
    switch (code) {
    case kOpPlus:
        return BinaryKernel<Plus>(form);
    case kOpMinus:
        return BinaryKernel<Minus>(form);
    case kOpMultiply:
        return BinaryKernel<Multiply>(form);
    case kOpDivide:
        return BinaryKernel<Divide>(form);
    case kOpPower:
        return BinaryKernel<Power>(form);
    case kOpLess:
        return BinaryKernel<Less>(form);
    case kOpGreater:
        return BinaryKernel<Greater>(form);
    case kOpEqual:
        return BinaryKernel<Equal>(form);
    case kOpNotEqual:
        return BinaryKernel<NotEqual>(form);
    case kOpLessOrEqual:
        return BinaryKernel<LessOrEqual>(form);
    case kOpGreaterOrEqual:
        return BinaryKernel<GreaterOrEqual>(form);
    case kOpBitwiseAnd:
        return BinaryKernel<BitwiseAnd>(form);
    case kOpBitwiseOr:
        return BinaryKernel<BitwiseOr>(form);
    case kOpBitwiseXor:
        return BinaryKernel<BitwiseXor>(form);
    case kOpModulus:
        return form == Form::kRC   ? &Remainder<false, true>
               : form == Form::kCR ? &Remainder<true, false>
                                   : &Remainder<false, false>;
    default:
        return nullptr;
    }
}

struct FunctionEntry
{
    Kernel kernel;
    bool refuses;
    int cost;
};

template <class Function> FunctionEntry EntryOf(int cost)
{
    return FunctionEntry{&Unary<Function>, Function::kCanRefuse, cost};
}

// Costs are rough: one unit for an arithmetic instruction, about twenty for a library call.
FunctionEntry FunctionKernel(int code)
{
    using namespace node_math;
    constexpr int kCall = 20;
    switch (code) {
    case kFnLn:
        return EntryOf<Ln>(kCall);
    case kFnLog:
        return EntryOf<Log>(kCall);
    case kFnExp:
        return EntryOf<Exp>(kCall);
    case kFnAbs:
        return EntryOf<Abs>(1);
    case kFnSqrt:
        return EntryOf<Sqrt>(4);
    case kFnNeg:
        return EntryOf<Neg>(1);
    case kFnSin:
        return EntryOf<Sin>(kCall);
    case kFnCos:
        return EntryOf<Cos>(kCall);
    case kFnTan:
        return EntryOf<Tan>(2 * kCall);
    case kFnSec:
        return EntryOf<Sec>(kCall);
    case kFnCsc:
        return EntryOf<Csc>(kCall);
    case kFnCot:
        return EntryOf<Cot>(2 * kCall);
    case kFnAsin:
        return EntryOf<ArcSin>(kCall);
    case kFnAcos:
        return EntryOf<ArcCos>(kCall);
    case kFnAtan:
        return EntryOf<ArcTan>(kCall);
    case kFnAsec:
        return EntryOf<ArcSec>(kCall);
    case kFnAcsc:
        return EntryOf<ArcCsc>(kCall);
    case kFnAcot:
        return EntryOf<ArcCot>(kCall);
    case kFnSinh:
        return EntryOf<HSin>(kCall);
    case kFnCosh:
        return EntryOf<HCos>(kCall);
    case kFnTanh:
        return EntryOf<HTan>(kCall);
    case kFnSech:
        return EntryOf<HSec>(kCall);
    case kFnCsch:
        return EntryOf<HCsc>(kCall);
    case kFnCoth:
        return EntryOf<HCot>(kCall);
    case kFnNot:
        return EntryOf<Not>(1);
    case kFnComplement:
        return EntryOf<Complement>(2);
    case kFnCeil:
        return EntryOf<Ceil>(4);
    case kFnFloor:
        return EntryOf<Floor>(4);
    default:
        return FunctionEntry{nullptr, true, 0};
    }
}

int OperatorCost(int code)
{
    switch (code) {
    case kOpDivide:
        return 4;
    case kOpModulus:
        return 8;
    case kOpPower:
        return 40;
    case kOpBitwiseAnd:
    case kOpBitwiseOr:
    case kOpBitwiseXor:
        return 3;
    default:
        return 1;
    }
}

// ---- Translation -----------------------------------------------------------------------------

// What translating a subtree produced.
struct Translated
{
    Operand result;
    int producer = -1;           // the instruction that writes a register result
    int cost = 0;                // per point, see FunctionKernel
    bool raises = false;         // may record an error besides an unbound variable's
    bool readsVariables = false; // may record an unbound variable's error
    bool draws = false;          // draws random numbers or runs through the tree

    void Absorb(const Translated& operand)
    {
        cost += operand.cost;
        raises |= operand.raises;
        readsVariables |= operand.readsVariables;
        draws |= operand.draws;
    }
};

class Translator
{
public:
    explicit Translator(Machine& machine) : m(machine) {}

    // Translates `node`, whose value lands in register `base` (or stays a variable or a
    // constant); registers from `base` up are free. `level` counts the enclosing branches.
    Translated Translate(const Parser* node, int base, int level);

private:
    int Emit(Kernel kernel, int dst, Operand a = {}, Operand b = {}, int code = 0)
    {
        Instruction in;
        in.kernel = kernel;
        in.dst = dst;
        in.a = a;
        in.b = b;
        in.code = code;
        in.next = int(m.code.size()) + 1;
        m.code.push_back(in);
        Use(dst);
        return int(m.code.size()) - 1;
    }
    void Use(int index) { m.registerCount = std::max(m.registerCount, index + 1); }
    // A register result written by instruction `at`.
    static Translated InRegister(int base, int at)
    {
        Translated t;
        t.result = RegisterOperand(base);
        t.producer = at;
        return t;
    }
    // Puts a constant operand into register `base`, for kernels that take no constants.
    void Materialize(Translated& operand, int base)
    {
        if (!operand.result.IsConstant()) return;
        operand.producer = Emit(&Fill, base, operand.result);
        operand.result = RegisterOperand(base);
    }
    static int Above(int base, const Translated& operand)
    {
        return operand.result.IsRegister() ? base + 1 : base;
    }

    Translated Leaf(const Parser* node);
    Translated Function(const FunctionParser* node, int base, int level);
    Translated Random(const RandomFunction* node, int base, int level);
    Translated Operator(const OperationParser* node, int base, int level);
    Translated Division(const OperationParser* node, int base, int level);
    Translated Branching(Combine combine, const Parser* condition, const Parser* whenTrue,
                         const Parser* whenFalse, int base, int level);
    Translated Opaque(const Parser* node, int base);
    int Fuse(int outer, Translated& left, Translated& right, int base);
    int ExtendSum(int outer, Translated& left, Translated& right);
    bool IsPlainArithmetic(const Translated& operand) const;
    bool OnlyChecksAfter(int index, int except) const;
    bool ToPointer(Operand& operand);
    void Remove(int index);

    Machine& m;
};

Translated Translator::Translate(const Parser* node, int base, int level)
{
    const std::type_info& type = typeid(*node);
    if (type == typeid(Constant) || type == typeid(Variable)) return Leaf(node);
    if (type == typeid(RandomFunction))
        return Random(static_cast<const RandomFunction*>(node), base, level);
    if (const auto* function = dynamic_cast<const FunctionParser*>(node))
        return Function(function, base, level);
    if (const auto* operation = dynamic_cast<const OperationParser*>(node))
        return Operator(operation, base, level);
    return Opaque(node, base);
}

Translated Translator::Leaf(const Parser* node)
{
    Translated t;
    if (const auto* constant = dynamic_cast<const Constant*>(node)) {
        t.result = ConstantOperand(constant->value);
        return t;
    }
    const int index = static_cast<const Variable*>(node)->Index();
    if (index < 0 || index >= m.variableCount) {
        // Not attached to this formula's table: the tree finds no slot to read either.
        Emit(&Raise, 0, {}, {}, kUnknownVariable);
        t.result = ConstantOperand(0.0);
        t.raises = true;
        return t;
    }
    Emit(&CheckBound, 0, {}, {}, index);
    t.result = Operand{Operand::kVariable, index, 0.0};
    t.readsVariables = true;
    return t;
}

Translated Translator::Opaque(const Parser* node, int base)
{
    const int at = Emit(&::Opaque, base);
    m.code[std::size_t(at)].node = node;
    Translated t = InRegister(base, at);
    t.raises = t.readsVariables = t.draws = true;
    return t;
}

Translated Translator::Function(const FunctionParser* node, int base, int level)
{
    const FunctionEntry entry = FunctionKernel(node->FunctionCode());
    if (!entry.kernel) return Opaque(node, base);
    Translated operand = Translate(node->argument, base, level);
    Materialize(operand, base);
    Translated t = InRegister(base, Emit(entry.kernel, base, operand.result));
    t.Absorb(operand);
    t.cost += entry.cost;
    t.raises |= entry.refuses;
    return t;
}

Translated Translator::Random(const RandomFunction* node, int base, int level)
{
    Emit(&Draw, base);
    Translated scale;
    scale.result = ConstantOperand(node->scale);
    if (node->argument) scale = Translate(node->argument, base + 1, level);
    const Kernel kernel = scale.result.IsConstant() ? &RandomScale<true> : &RandomScale<false>;
    Translated t = InRegister(base, Emit(kernel, base, RegisterOperand(base), scale.result));
    t.Absorb(scale);
    t.draws = true;
    return t;
}

Translated Translator::Operator(const OperationParser* node, int base, int level)
{
    const int code = node->OperatorCode();
    switch (code) {
    case kOpIf: {
        const auto* arms = dynamic_cast<const ThenElseOperator*>(node->right);
        if (!arms) break; // an IfOperator always holds its arms; anything else is unknown
        return Branching(Combine::kSelect, node->left, arms->left, arms->right, base, level);
    }
    case kOpAnd:
        return Branching(Combine::kAnd, node->left, node->right, nullptr, base, level);
    case kOpOr:
        return Branching(Combine::kOr, node->left, nullptr, node->right, base, level);
    case kOpThenElse: {
        // Evaluated anywhere but under its IfOperator, it raises at once.
        Emit(&Raise, 0, {}, {}, kMissingQuestionMark);
        Translated t;
        t.raises = true;
        return t;
    }
    case kOpDivide:
    case kOpModulus:
        return Division(node, base, level);
    default:
        break;
    }
    if (!OperatorKernel(code, Form::kRR)) return Opaque(node, base);

    Translated left = Translate(node->left, base, level);
    Translated right = Translate(node->right, Above(base, left), level);
    if (left.result.IsConstant() && right.result.IsConstant()) Materialize(left, base);
    const bool square = code == kOpPower && right.result.IsConstant() && right.result.value == 2.0;
    const int arithmetic = square                ? kMultiply
                           : code == kOpPlus     ? kPlus
                           : code == kOpMinus    ? kMinus
                           : code == kOpMultiply ? kMultiply
                                                 : -1;
    int at = arithmetic >= 0 && !square ? ExtendSum(arithmetic, left, right) : -1;
    if (at < 0 && arithmetic >= 0) at = Fuse(arithmetic, left, square ? left : right, base);
    if (at < 0) {
        const Kernel kernel = square
                                  ? &Square
                                  : OperatorKernel(code, left.result.IsConstant()    ? Form::kCR
                                                         : right.result.IsConstant() ? Form::kRC
                                                                                     : Form::kRR);
        at = Emit(kernel, base, left.result, square ? left.result : right.result);
        m.code[std::size_t(at)].arithmetic = arithmetic;
    }
    Translated t = InRegister(base, at);
    t.Absorb(left);
    t.Absorb(right);
    t.cost += arithmetic >= 0 ? 1 : OperatorCost(code);
    return t;
}

bool Translator::IsPlainArithmetic(const Translated& operand) const
{
    return operand.producer >= 0 && m.code[std::size_t(operand.producer)].arithmetic >= 0;
}

bool Translator::OnlyChecksAfter(int index, int except) const
{
    for (int i = index + 1; i < int(m.code.size()); ++i)
        if (i != except && m.code[std::size_t(i)].kernel != &CheckBound) return false;
    return true;
}

bool Translator::ToPointer(Operand& operand)
{
    if (!operand.IsConstant()) return true;
    std::vector<double>& values = m.poolValues;
    std::size_t i = 0;
    while (i < values.size() && std::memcmp(&values[i], &operand.value, sizeof(double)) != 0)
        ++i;
    if (i == values.size()) {
        if (values.size() == kPoolSize) return false;
        values.push_back(operand.value);
    }
    operand = Operand{Operand::kPooled, int(i), 0.0};
    return true;
}

// Folds the plain arithmetic that computed an operand into the instruction of `outer` applied to
// both operands, when that instruction is the last one or only variable checks follow it (a
// check does not care whether the arithmetic before it has run yet). Answers the fused
// instruction, or -1 when nothing could be fused.
int Translator::Fuse(int outer, Translated& left, Translated& right, int base)
{
    const int last = int(m.code.size()) - 1;
    const bool rightFusable = right.producer == last && IsPlainArithmetic(right) && &left != &right;
    const bool leftFusable = IsPlainArithmetic(left);
    if (leftFusable && rightFusable && OnlyChecksAfter(left.producer, right.producer)) {
        // (a op b) outer (c op d): the left arithmetic moves past the right operand's
        // instruction, which must not overwrite what it reads.
        Instruction l = m.code[std::size_t(left.producer)];
        Instruction r = m.code[std::size_t(right.producer)];
        const bool readsAbove =
            (l.a.IsRegister() && l.a.index > base) || (l.b.IsRegister() && l.b.index > base);
        if (!readsAbove && ToPointer(l.a) && ToPointer(l.b) && ToPointer(r.a) && ToPointer(r.b)) {
            Instruction& fused = m.code[std::size_t(right.producer)];
            fused.kernel = kFusedBoth[std::size_t(l.arithmetic)][std::size_t(outer)]
                                     [std::size_t(r.arithmetic)];
            fused.dst = base;
            fused.a = l.a;
            fused.b = l.b;
            fused.c = r.a;
            fused.d = r.b;
            fused.arithmetic = -1;
            Remove(left.producer);
            return last - 1;
        }
    }
    if (rightFusable) {
        Instruction r = m.code[std::size_t(right.producer)];
        Operand c = left.result;
        if (ToPointer(r.a) && ToPointer(r.b) && ToPointer(c)) {
            Instruction& fused = m.code[std::size_t(last)];
            fused.dst = base;
            fused.arithmetic = -1;
            if (r.arithmetic == kMultiply && outer != kMultiply) {
                // c ± a * b: a sum of products that later terms may join.
                fused.kernel = kSumsOfProducts[0][outer == kMinus ? 1 : 0];
                fused.a = c;
                fused.code = int(m.chainTerms.size());
                fused.terms = 1;
                fused.minus = outer == kMinus ? 1u : 0u;
                m.chainTerms.push_back(ChainTerm{r.a, r.b});
                return last;
            }
            fused.kernel = kFusedRight[std::size_t(r.arithmetic)][std::size_t(outer)];
            fused.a = r.a;
            fused.b = r.b;
            fused.c = c;
            return last;
        }
    }
    if (leftFusable && right.producer < 0 && OnlyChecksAfter(left.producer, -1)) {
        Instruction l = m.code[std::size_t(left.producer)];
        Operand c = right.result;
        if (ToPointer(l.a) && ToPointer(l.b) && ToPointer(c)) {
            Instruction& fused = m.code[std::size_t(left.producer)];
            fused.kernel = kFusedLeft[std::size_t(l.arithmetic)][std::size_t(outer)];
            fused.dst = base;
            fused.a = l.a;
            fused.b = l.b;
            fused.c = c;
            fused.arithmetic = -1;
            return left.producer;
        }
    }
    return -1;
}

// Adds `right` as one more term to the sum of products that computed `left`, when only variable
// checks follow that sum (and the product of two leaves that is `right`). A leaf joins as
// leaf * 1, which is the leaf itself for every value. Answers the sum's instruction, or -1.
int Translator::ExtendSum(int outer, Translated& left, Translated& right)
{
    if (left.producer < 0 || outer == kMultiply) return -1;
    const Instruction& sum = m.code[std::size_t(left.producer)];
    if (sum.terms < 1 || sum.terms >= kMaxTerms ||
        std::size_t(sum.code + sum.terms) != m.chainTerms.size())
        return -1;
    const int last = int(m.code.size()) - 1;
    ChainTerm term;
    if (right.producer < 0) {
        if (!OnlyChecksAfter(left.producer, -1)) return -1;
        term = ChainTerm{right.result, ConstantOperand(1.0)};
    } else {
        if (right.producer != last || !OnlyChecksAfter(left.producer, last)) return -1;
        const Instruction& product = m.code[std::size_t(last)];
        // Its operands must be there before the sum runs: leaves, not registers.
        if (product.arithmetic != kMultiply || product.a.IsRegister() || product.b.IsRegister())
            return -1;
        term = ChainTerm{product.a, product.b};
    }
    if (!ToPointer(term.a) || !ToPointer(term.b)) return -1;
    if (right.producer >= 0) Remove(last);
    Instruction& grown = m.code[std::size_t(left.producer)];
    if (outer == kMinus) grown.minus |= 1u << grown.terms;
    ++grown.terms;
    grown.kernel = kSumsOfProducts[std::size_t(grown.terms - 1)][grown.minus];
    m.chainTerms.push_back(term);
    return left.producer;
}

// Removes an instruction from the straight run at the end of the program.
void Translator::Remove(int index)
{
    m.code.erase(m.code.begin() + index);
    for (int i = index; i < int(m.code.size()); ++i)
        m.code[std::size_t(i)].next = i + 1;
}

// "/" and "%": the divisor first, tested, then the dividend.
Translated Translator::Division(const OperationParser* node, int base, int level)
{
    const int code = node->OperatorCode();
    Translated right = Translate(node->right, base, level);
    bool refuses = true;
    if (!right.result.IsConstant())
        Emit(&CheckDivisor, 0, right.result);
    else if (node_math::DivisorRefused(right.result.value))
        Emit(&Raise, 0, {}, {}, kDivisionByZero);
    else
        refuses = false;
    Translated left = Translate(node->left, Above(base, right), level);
    if (left.result.IsConstant() && right.result.IsConstant()) Materialize(left, base);
    const Kernel kernel = OperatorKernel(code, left.result.IsConstant()    ? Form::kCR
                                               : right.result.IsConstant() ? Form::kRC
                                                                           : Form::kRR);
    Translated t = InRegister(base, Emit(kernel, base, left.result, right.result));
    t.Absorb(right);
    t.Absorb(left);
    t.cost += OperatorCost(code) + 1;
    // A remainder refuses a divisor between -1 and 1 as well.
    const bool wholeDivisor = right.result.IsConstant() && IntegerView(right.result.value) != 0;
    t.raises |= refuses || (code == kOpModulus && !wholeDivisor);
    return t;
}

Translated Translator::Branching(Combine combine, const Parser* condition, const Parser* whenTrue,
                                 const Parser* whenFalse, int base, int level)
{
    Translated test = Translate(condition, base, level);
    Materialize(test, base);
    const int branchIndex = int(m.branches.size());
    m.branches.emplace_back();
    const Kernel kernel = combine == Combine::kSelect ? &RunBranch<Combine::kSelect>
                          : combine == Combine::kAnd  ? &RunBranch<Combine::kAnd>
                                                      : &RunBranch<Combine::kOr>;
    const int at = Emit(kernel, base, {}, {}, branchIndex);
    m.levelCount = std::max(m.levelCount, level + 1);

    Translated t = InRegister(base, at);
    t.Absorb(test);
    Arm arms[2];
    int armBase = base + 1;
    const Parser* sides[2] = {whenTrue, whenFalse};
    for (int side = 0; side < 2; ++side) {
        Arm& arm = arms[side];
        arm.begin = arm.end = int(m.code.size());
        if (!sides[side]) {
            arm.dense = true;
            continue;
        }
        Translated value = Translate(sides[side], armBase, level + 1);
        // A constant arm leaves its value in a register like any other.
        Materialize(value, armBase);
        arm.end = int(m.code.size());
        arm.present = true;
        arm.result = value.result;
        arm.raises = value.raises;
        arm.readsVariables = value.readsVariables;
        arm.dense = !value.draws && value.cost <= kSpeculationCost;
        t.Absorb(value);
        // Both arms of a blend keep their values until the end.
        armBase = Above(armBase, value);
        Use(armBase);
    }
    Branch& branch = m.branches[std::size_t(branchIndex)];
    branch.condition = test.result;
    branch.arms[0] = arms[0];
    branch.arms[1] = arms[1];
    branch.level = level;
    branch.blend = arms[0].dense && arms[1].dense;
    m.code[std::size_t(at)].next = int(m.code.size());
    t.cost += 2;
    return t;
}

void Machine::AllocateBuffers()
{
    const std::size_t demand =
        std::size_t(registerCount) + std::size_t(variableCount) + 2 * std::size_t(levelCount);
    block = kBlock;
    while (block > kSmallestBlock && demand * block > kBufferBudget)
        block /= 2;
    registers.assign(std::size_t(registerCount) * (block + 8), 0.0);
    flags.assign(block, 0.0);
    pool.resize(poolValues.size() * block);
    for (std::size_t i = 0; i < poolValues.size(); ++i)
        std::fill_n(pool.data() + i * block, block, poolValues[i]);
    uniform.assign(std::size_t(variableCount) * block, 0.0);
    unbound.assign(std::size_t(variableCount), 0);
    variables.assign(std::size_t(variableCount), nullptr);
    columns.assign(std::size_t(variableCount), nullptr);
    lists.assign(std::size_t(levelCount) * 2 * block, 0);
    scratch.assign(std::size_t(levelCount) * block, 0);
}

void Machine::AllocateGatherBuffers()
{
    columnVariables.clear();
    for (int v = 0; v < variableCount; ++v)
        if (columns[std::size_t(v)]) columnVariables.push_back(v);
    const std::size_t perLevel = columnVariables.size();
    gathered.assign(std::size_t(levelCount) * perLevel * block, 0.0);
    savedLanes.assign(std::size_t(levelCount) * perLevel, nullptr);
}

// Variables without a column read their slot once per call, into every lane.
void Machine::PrepareVariables()
{
    anyUnbound = false;
    for (int v = 0; v < variableCount; ++v) {
        const std::size_t i = std::size_t(v);
        unbound[i] = 0;
        if (columns[i]) continue;
        const double* slot = formula->ValueSlot(v);
        double* lanes = uniform.data() + i * block;
        std::fill_n(lanes, block, slot ? *slot : std::numeric_limits<double>::quiet_NaN());
        variables[i] = lanes;
        unbound[i] = slot ? 0 : 1;
        anyUnbound |= !slot;
    }
}

} // namespace

struct BatchEvaluator::Program : Machine
{
};

BatchEvaluator::BatchEvaluator(const FunctionInterpreter& formula) : program(new Program)
{
    Machine& m = *program;
    m.formula = &formula;
    m.variableCount = formula.VariableCount();
    Translator translator(m);
    if (const Parser* root = formula.Root()) {
        Translated t = translator.Translate(root, 0, 0);
        if (t.result.IsRegister()) {
            m.code[std::size_t(t.producer)].dst = kOutput;
        } else {
            Instruction in;
            in.kernel = t.result.IsConstant() ? &Fill : &Copy;
            in.dst = kOutput;
            in.a = t.result;
            in.next = int(m.code.size()) + 1;
            m.code.push_back(in);
        }
    } else {
        Instruction in; // the tree raises kEmptyExpression without a root
        in.kernel = &Raise;
        in.code = kEmptyExpression;
        in.next = 1;
        m.code.push_back(in);
    }
    m.AllocateBuffers();
    m.AllocateGatherBuffers();
}

BatchEvaluator::~BatchEvaluator() = default;

void BatchEvaluator::BindColumn(const char* name, const double* column)
{
    Machine& m = *program;
    const int index = m.formula->FindVariable(name);
    if (index < 0 || index >= m.variableCount) return;
    m.columns[std::size_t(index)] = column;
    m.AllocateGatherBuffers();
}

void BatchEvaluator::Evaluate(std::size_t n, double* values, int* errors)
{
    Machine& m = *program;
    if (n == 0) return;
    m.PrepareVariables();
    const int end = int(m.code.size());
    for (std::size_t start = 0; start < n; start += m.block) {
        const std::size_t count = std::min(m.block, n - start);
        std::fill_n(errors + start, count, -1);
        for (int v : m.columnVariables)
            m.variables[std::size_t(v)] = m.columns[std::size_t(v)] + start;
        m.output = values + start;
        m.Run(0, end, Lanes{count, errors + start});
    }
}
