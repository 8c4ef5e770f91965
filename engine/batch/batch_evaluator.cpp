#include "batch_evaluator.h"

#include "batch_kernels.h"
#include "batch_program.h"
#include "evaluation_order.h"
#include "function_interpreter.h"
#include "functions.h"
#include "leaves.h"
#include "node_math.h"
#include "operators.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <typeinfo>
#include <vector>

namespace batch {

namespace {

// ---- Translation -----------------------------------------------------------------------------

// An arm costing at most this much (about one unit per multiplication) is evaluated at every
// point of its block instead of gathering the points that take it.
constexpr int kSpeculationCost = 12;
// Constants that fused kernels read as blocks: at most this many per formula.
constexpr std::size_t kPoolSize = 32;

// The rough cost per point of an operator, in the units of FunctionKernel.
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
    explicit Translator(Machine& machine)
        : m(machine), checked(std::size_t(machine.variableCount), 0)
    {
    }

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

    class OperatorSteps;

    Translated Leaf(const Parser* node);
    Translated Function(const FunctionParser* node, int base, int level);
    Translated Random(const RandomFunction* node, int base, int level);
    Translated Operator(const OperationParser* node, int base, int level);
    Translated Arithmetic(int code, Translated& left, Translated& right, int base);
    bool TestDivisor(const Translated& divisor);
    Translated Quotient(int code, Translated& dividend, Translated& divisor, bool refuses,
                        int base);
    Translated Branching(Combine combine, const Parser* condition, const Parser* whenTrue,
                         const Parser* whenFalse, int base, int level);
    Translated Raising(int code);
    Translated Opaque(const Parser* node, int base);
    int Fuse(int outer, Translated& left, Translated& right, int base);
    int ExtendSum(int outer, Translated& left, Translated& right);
    bool IsPlainArithmetic(const Translated& operand) const;
    bool OnlyChecksAfter(int index, int except) const;
    bool ToPointer(Operand& operand);
    void Remove(int index);

    Machine& m;
    std::vector<char> checked; // per variable: its reads are checked on the current path
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
        return Raising(kUnknownVariable);
    }
    // Once a variable is checked, every later read on the same path finds each point failed
    // already if it is unbound: only the first read is checked.
    if (!checked[std::size_t(index)]) {
        Emit(&CheckBound, 0, {}, {}, index);
        checked[std::size_t(index)] = 1;
        t.readsVariables = true;
    }
    t.result = Operand{Operand::kVariable, index, 0.0};
    return t;
}

Translated Translator::Opaque(const Parser* node, int base)
{
    const int at = Emit(&ThroughTree, base);
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
    const Kernel kernel = RandomScaleKernel(scale.result.IsConstant());
    Translated t = InRegister(base, Emit(kernel, base, RegisterOperand(base), scale.result));
    t.Absorb(scale);
    t.draws = true;
    return t;
}

// EvaluateInOrder's path for the translation: each step emits the instructions that run it over
// a block. Operands take the registers from the operator's own upwards, in the order they come.
class Translator::OperatorSteps
{
public:
    OperatorSteps(Translator& translator, int code, int base, int level)
        : translator(translator), code(code), base(base), level(level), free(base)
    {
    }

    Translated Operand(const Parser* operand)
    {
        Translated t = translator.Translate(operand, free, level);
        free = Above(free, t);
        return t;
    }
    void TestDivisor(const Translated& divisor) { refuses = translator.TestDivisor(divisor); }
    Translated Arithmetic(Translated& left, Translated& right)
    {
        if (OrderOf(code) == OperandOrder::kDivisorFirst)
            return translator.Quotient(code, left, right, refuses, base);
        return translator.Arithmetic(code, left, right, base);
    }
    Translated Branch(Combine combine, const Parser* condition, const Parser* whenTrue,
                      const Parser* whenFalse)
    {
        return translator.Branching(combine, condition, whenTrue, whenFalse, base, level);
    }
    Translated Select(const Parser* condition, const ThenElseOperator& arms)
    {
        return translator.Branching(Combine::kSelect, condition, arms.left, arms.right, base,
                                    level);
    }
    Translated Raise(int error) { return translator.Raising(error); }

private:
    Translator& translator;
    const int code;
    const int base;
    const int level;
    int free;             // the first register the next operand may take
    bool refuses = false; // the divisor's test may fail
};

Translated Translator::Operator(const OperationParser* node, int base, int level)
{
    const int code = node->OperatorCode();
    const OperandOrder order = OrderOf(code);
    // Operators without kernels, and a conditional without its arms (which the tree cannot build
    // either), run through the tree.
    const bool translatable = order == OperandOrder::kLeftFirst
                                  ? OperatorKernel(code, Form::kRR) != nullptr
                              : order == OperandOrder::kSelect
                                  ? dynamic_cast<const ThenElseOperator*>(node->right) != nullptr
                                  : order != OperandOrder::kNone;
    if (!translatable) return Opaque(node, base);
    OperatorSteps steps(*this, code, base, level);
    return EvaluateInOrder(order, *node, steps);
}

// The form of a kernel for operands of which at most one is a constant.
Form FormOf(const Translated& left, const Translated& right)
{
    return left.result.IsConstant() ? Form::kCR : right.result.IsConstant() ? Form::kRC : Form::kRR;
}

// The arithmetic of an operator without branches or divisors, once both operands are there.
Translated Translator::Arithmetic(int code, Translated& left, Translated& right, int base)
{
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
        const Kernel kernel = square ? &Square : OperatorKernel(code, FormOf(left, right));
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
            fused.kernel = FusedBothKernel(l.arithmetic, outer, r.arithmetic);
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
                fused.kernel = SumOfProductsKernel(1, outer == kMinus ? 1u : 0u);
                fused.a = c;
                fused.code = int(m.chainTerms.size());
                fused.terms = 1;
                fused.minus = outer == kMinus ? 1u : 0u;
                m.chainTerms.push_back(ChainTerm{r.a, r.b});
                return last;
            }
            fused.kernel = FusedRightKernel(r.arithmetic, outer);
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
            fused.kernel = FusedLeftKernel(l.arithmetic, outer);
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
    grown.kernel = SumOfProductsKernel(grown.terms, grown.minus);
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

// The divisor of "/" or "%", tested before the dividend is translated; answers whether the test
// may fail.
bool Translator::TestDivisor(const Translated& divisor)
{
    if (!divisor.result.IsConstant()) {
        Emit(&CheckDivisor, 0, divisor.result);
        return true;
    }
    if (node_math::DivisorRefused(divisor.result.value)) {
        Emit(&Raise, 0, {}, {}, kDivisionByZero);
        return true;
    }
    return false;
}

Translated Translator::Quotient(int code, Translated& dividend, Translated& divisor, bool refuses,
                                int base)
{
    if (dividend.result.IsConstant() && divisor.result.IsConstant()) Materialize(dividend, base);
    // A remainder refuses a divisor between -1 and 1 as well.
    const bool wholeDivisor = divisor.result.IsConstant() && IntegerView(divisor.result.value) != 0;
    Kernel kernel = OperatorKernel(code, FormOf(dividend, divisor));
    if (code == kOpModulus && wholeDivisor && !dividend.result.IsConstant())
        kernel = RemainderKernel(divisor.result.value);
    Translated t = InRegister(base, Emit(kernel, base, dividend.result, divisor.result));
    t.Absorb(divisor);
    t.Absorb(dividend);
    t.cost += OperatorCost(code) + 1;
    t.raises |= refuses || (code == kOpModulus && !wholeDivisor);
    return t;
}

// An error wherever the program reaches this point.
Translated Translator::Raising(int code)
{
    Emit(&Raise, 0, {}, {}, code);
    Translated t;
    t.raises = true;
    return t;
}

Translated Translator::Branching(Combine combine, const Parser* condition, const Parser* whenTrue,
                                 const Parser* whenFalse, int base, int level)
{
    Translated test = Translate(condition, base, level);
    Materialize(test, base);
    const int branchIndex = int(m.branches.size());
    m.branches.emplace_back();
    const Kernel kernel = BranchKernel(combine);
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
        // What an arm checks is checked only where the arm is taken.
        const std::vector<char> checkedBefore = checked;
        Translated value = Translate(sides[side], armBase, level + 1);
        checked = checkedBefore;
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

} // namespace

void Machine::AllocateBuffers()
{
    const std::size_t demand =
        std::size_t(registerCount) + std::size_t(variableCount) + 2 * std::size_t(levelCount);
    block = kBlock;
    while (block > kSmallestBlock && demand * block > kBufferBudget)
        block /= 2;
    registers.assign(std::size_t(registerCount) * RegisterStride(), 0.0);
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

void Machine::Load(const FunctionInterpreter& source)
{
    formula = &source;
    variableCount = source.VariableCount();
    Translator translator(*this);
    if (const Parser* root = source.Root()) {
        Translated t = translator.Translate(root, 0, 0);
        independent = !t.draws;
        if (t.result.IsRegister()) {
            code[std::size_t(t.producer)].dst = kOutput;
        } else {
            Instruction in;
            in.kernel = t.result.IsConstant() ? &Fill : &Copy;
            in.dst = kOutput;
            in.a = t.result;
            in.next = int(code.size()) + 1;
            code.push_back(in);
        }
    } else {
        Instruction in; // the tree raises kEmptyExpression without a root
        in.kernel = &Raise;
        in.code = kEmptyExpression;
        in.next = 1;
        code.push_back(in);
    }
    AllocateBuffers();
    AllocateGatherBuffers();
}

void Machine::BindColumn(const char* name, const double* column)
{
    const int index = formula->FindVariable(name);
    if (index < 0 || index >= variableCount) return;
    columns[std::size_t(index)] = column;
    AllocateGatherBuffers();
}

void Machine::EvaluateAll(std::size_t n, double* values, int* errors)
{
    if (n == 0) return;
    PrepareVariables();
    const int end = int(code.size());
    for (std::size_t start = 0; start < n; start += block) {
        const std::size_t count = std::min(block, n - start);
        std::fill_n(errors + start, count, -1);
        for (int v : columnVariables)
            variables[std::size_t(v)] = columns[std::size_t(v)] + start;
        output = values + start;
        Run(0, end, Lanes{count, errors + start});
    }
}

} // namespace batch

struct BatchEvaluator::Program : batch::Machine
{
};

BatchEvaluator::BatchEvaluator(const FunctionInterpreter& formula) : program(new Program)
{
    program->Load(formula);
}

BatchEvaluator::~BatchEvaluator() = default;

void BatchEvaluator::BindColumn(const char* name, const double* column)
{
    program->BindColumn(name, column);
}

bool BatchEvaluator::Independent() const
{
    return program->independent;
}

void BatchEvaluator::Evaluate(std::size_t n, double* values, int* errors)
{
    program->EvaluateAll(n, values, errors);
}
