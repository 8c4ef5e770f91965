#include "batch_kernels.h"

#include "node_math.h"
#include "parse_error.h"
#include "parse_tables.h"
#include "parser.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

namespace batch {

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

// x ^ 2, which simplification makes of every x * x. The constant exponent lets the compiler keep
// only the power's rule for squares.
void Square(const Instruction& in, Machine& m, const Lanes& lanes)
{
    const double* a = m.In(in.a);
    double* r = m.Out(in.dst);
    const std::size_t n = lanes.count;
    VF_INDEPENDENT_LANES
    for (std::size_t k = 0; k < n; ++k)
        r[k] = node_math::Power::Value(a[k], 2.0);
}

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

template <unsigned minus, std::size_t... t>
double SumOfProducts(double sum, const double* const* a, const double* const* b, std::size_t k,
                     std::index_sequence<t...>)
{
    using node_math::Minus;
    using node_math::Multiply;
    using node_math::Plus;
    ((sum = (minus >> t) & 1u ? Minus::Value(sum, Multiply::Value(a[t][k], b[t][k]))
                              : Plus::Value(sum, Multiply::Value(a[t][k], b[t][k]))),
     ...);
    return sum;
}

template <int terms, unsigned minus>
void SumOfProductsLoop(const Instruction& in, Machine& m, const Lanes& lanes)
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
    return {&SumOfProductsLoop<terms, minus&((1u << terms) - 1)>...};
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

// The remainder by a constant whose integer view is not 0, which refuses nothing.
void RemainderByWhole(const Instruction& in, Machine& m, const Lanes& lanes)
{
    const double* a = m.In(in.a);
    const double divisor = in.b.value;
    double* r = m.Out(in.dst);
    for (std::size_t k = 0, n = lanes.count; k < n; ++k) {
        bool refused = false;
        r[k] = node_math::Remainder(a[k], divisor, refused);
    }
}

// The same, with a small divisor known to the compiler, which then divides by multiplying.
template <int divisor> void RemainderBySmall(const Instruction& in, Machine& m, const Lanes& lanes)
{
    const double* a = m.In(in.a);
    double* r = m.Out(in.dst);
    for (std::size_t k = 0, n = lanes.count; k < n; ++k) {
        bool refused = false;
        r[k] = node_math::Remainder(a[k], divisor, refused);
    }
}

template <int... divisor>
constexpr std::array<Kernel, sizeof...(divisor)>
SmallRemainders(std::integer_sequence<int, divisor...>)
{
    return {&RemainderBySmall<divisor>...};
}

constexpr int kSmallDivisors = 17;
// Indexed by the divisor; 0 and 1 are never used.
constexpr auto kRemainderBySmall =
    SmallRemainders(std::make_integer_sequence<int, kSmallDivisors>());

Kernel RemainderKernel(double wholeDivisor)
{
    const int32_t divisor = IntegerView(wholeDivisor);
    if (divisor >= 2 && divisor < kSmallDivisors) return kRemainderBySmall[std::size_t(divisor)];
    return &RemainderByWhole;
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
void ThroughTree(const Instruction& in, Machine& m, const Lanes& lanes)
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
    constexpr bool condition = side == 0;
    if constexpr (node_math::HasArm(combine, condition))
        return node_math::BranchValue(combine, condition, values[k]);
    else
        return node_math::BranchValue(combine, condition, 0.0);
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

Kernel FusedLeftKernel(int inner, int outer)
{
    return kFusedLeft[std::size_t(inner)][std::size_t(outer)];
}

Kernel FusedRightKernel(int inner, int outer)
{
    return kFusedRight[std::size_t(inner)][std::size_t(outer)];
}

Kernel FusedBothKernel(int inner, int outer, int second)
{
    return kFusedBoth[std::size_t(inner)][std::size_t(outer)][std::size_t(second)];
}

Kernel SumOfProductsKernel(int terms, unsigned minus)
{
    return kSumsOfProducts[std::size_t(terms - 1)][minus];
}

Kernel BranchKernel(Combine combine)
{
    return combine == Combine::kSelect ? &RunBranch<Combine::kSelect>
           : combine == Combine::kAnd  ? &RunBranch<Combine::kAnd>
                                       : &RunBranch<Combine::kOr>;
}

Kernel RandomScaleKernel(bool constantScale)
{
    return constantScale ? &RandomScale<true> : &RandomScale<false>;
}

} // namespace batch
