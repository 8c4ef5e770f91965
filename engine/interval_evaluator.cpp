#include "interval_evaluator.h"

#include "function_interpreter.h"
#include "functions.h"
#include "interval_math.h"
#include "leaves.h"
#include "operators.h"
#include "parse_tables.h"

#include <typeinfo>
#include <vector>

using interval_math::Enclosure;

namespace {

enum class Op : uint8_t
{
    kVariable,
    kFail,  // raises at every point
    kWhole, // a node of a class the translation does not know
    kRandom,
    kLn,
    kLog,
    kExp,
    kAbs,
    kSqrt,
    kNeg,
    kSin,
    kCos,
    kTan,
    kSec,
    kCsc,
    kCot,
    kArcSin,
    kArcCos,
    kArcTan,
    kArcSec,
    kArcCsc,
    kArcCot,
    kHSin,
    kHCos,
    kHTan,
    kHSec,
    kHCsc,
    kHCot,
    kNot,
    kComplement,
    kCeil,
    kFloor,
    kSquare,
    kPlus,
    kMinus,
    kMultiply,
    kDivide,
    kRemainder,
    kPower,
    kLess,
    kGreater,
    kEqual,
    kNotEqual,
    kLessOrEqual,
    kGreaterOrEqual,
    kBitwiseAnd,
    kBitwiseOr,
    kBitwiseXor,
    // Branches: a skip jumps over an arm that cannot be taken; the joins read only the arms
    // that may have been.
    kSkipUnlessTrue,
    kSkipUnlessFalse,
    kChoose,
    kAnd,
    kOr
};

struct Step
{
    Op op;
    int out = 0; // the register written
    int a = 0;   // the registers read
    int b = 0;
    int c = 0;
    int variable = 0;
    int target = 0; // where a skip goes
};

// The class each function or operator code builds, and its operation.
struct NodeKind
{
    const std::type_info* type;
    Op op;
};

const NodeKind kFunctionKinds[kFunctionTableSize] = {
    {nullptr, Op::kWhole},
    {&typeid(LnFunction), Op::kLn},
    {&typeid(LogFunction), Op::kLog},
    {&typeid(ExpFunction), Op::kExp},
    {&typeid(AbsFunction), Op::kAbs},
    {&typeid(SqrtFunction), Op::kSqrt},
    {&typeid(NegFunction), Op::kNeg},
    {nullptr, Op::kWhole}, // RAND is no FunctionParser
    {&typeid(SinFunction), Op::kSin},
    {&typeid(CosFunction), Op::kCos},
    {&typeid(TanFunction), Op::kTan},
    {&typeid(SecFunction), Op::kSec},
    {&typeid(CscFunction), Op::kCsc},
    {&typeid(CotFunction), Op::kCot},
    {&typeid(ArcSinFunction), Op::kArcSin},
    {&typeid(ArcCosFunction), Op::kArcCos},
    {&typeid(ArcTanFunction), Op::kArcTan},
    {&typeid(ArcSecFunction), Op::kArcSec},
    {&typeid(ArcCscFunction), Op::kArcCsc},
    {&typeid(ArcCotFunction), Op::kArcCot},
    {&typeid(HSinFunction), Op::kHSin},
    {&typeid(HCosFunction), Op::kHCos},
    {&typeid(HTanFunction), Op::kHTan},
    {&typeid(HSecFunction), Op::kHSec},
    {&typeid(HCscFunction), Op::kHCsc},
    {&typeid(HCotFunction), Op::kHCot},
    {&typeid(NotFunction), Op::kNot},
    {&typeid(BitwiseCompliment), Op::kComplement},
    {&typeid(CeilingFunction), Op::kCeil},
    {&typeid(FloorFunction), Op::kFloor},
};

// The branching operators (&&, ||, ?:) are translated apart and have no entry here.
const NodeKind kOperatorKinds[kOperatorTableSize] = {
    {nullptr, Op::kWhole},
    {nullptr, Op::kWhole},
    {nullptr, Op::kWhole},
    {&typeid(PlusOperator), Op::kPlus},
    {&typeid(MinusOperator), Op::kMinus},
    {&typeid(MultiplyOperator), Op::kMultiply},
    {&typeid(DivideOperator), Op::kDivide},
    {&typeid(ModulusOperator), Op::kRemainder},
    {&typeid(PowerOperator), Op::kPower},
    {&typeid(IsLessThanOperator), Op::kLess},
    {&typeid(IsGreaterThanOperator), Op::kGreater},
    {&typeid(IsEqualToOperator), Op::kEqual},
    {&typeid(IsNotEqualToOperator), Op::kNotEqual},
    {&typeid(IsLessThanOrEqualToOperator), Op::kLessOrEqual},
    {&typeid(IsGreaterThanOrEqualToOperator), Op::kGreaterOrEqual},
    {nullptr, Op::kWhole},
    {nullptr, Op::kWhole},
    {nullptr, Op::kWhole},
    {&typeid(BitwiseAndOperator), Op::kBitwiseAnd},
    {&typeid(BitwiseInclusiveOrOperator), Op::kBitwiseOr},
    {&typeid(BitwiseExclusiveOrOperator), Op::kBitwiseXor},
    {nullptr, Op::kWhole},
    {nullptr, Op::kWhole},
    {nullptr, Op::kWhole},
    {nullptr, Op::kWhole},
};

// The operation of a node of class `type` that answers `code`, or null when the class is not
// the one the engine builds for that code. Indexing by code keeps the comparisons of classes,
// which may compare their names, to one per node.
template <std::size_t size>
const Op* KindOf(const NodeKind (&table)[size], int code, const std::type_info& type)
{
    if (code < 0 || code >= int(size)) return nullptr;
    const NodeKind& kind = table[code];
    return kind.type && *kind.type == type ? &kind.op : nullptr;
}

bool IsConstantEqualTo(const Parser* node, double value)
{
    const auto* constant = dynamic_cast<const Constant*>(node);
    return constant && constant->value == value;
}

// How a node is translated: the operands it has translated first, in the order the tree
// evaluates them, and the step it then emits.
struct Shape
{
    enum Kind : uint8_t
    {
        kStep,        // `op` over the operands' registers (a leaf when there are none)
        kConstant,    // `value` in a register of its own
        kRandomScale, // RAND with the constant scale `value`
        kConditional, // condition, the arm where it is true, the arm where it is false
        kLogical      // left, then right behind the skip `skip`; `op` joins them
    };
    Kind kind = kStep;
    Op op = Op::kWhole;
    Op skip = Op::kWhole;
    int count = 0;
    const Parser* operands[3] = {};
    int variable = 0;
    double value = 0;
};

Shape StepOf(Op op, const Parser* first = nullptr, const Parser* second = nullptr)
{
    Shape shape;
    shape.op = op;
    shape.operands[0] = first;
    shape.operands[1] = second;
    shape.count = second ? 2 : first ? 1 : 0;
    return shape;
}

// Operands are never null in a tree the engine builds; a null one counts as unknown.
Shape Classify(const Parser* node, int variableCount)
{
    Shape shape;
    if (!node) return StepOf(Op::kWhole);
    const std::type_info& type = typeid(*node);
    if (type == typeid(Constant)) {
        shape.kind = Shape::kConstant;
        shape.value = static_cast<const Constant*>(node)->value;
        return shape;
    }
    if (type == typeid(Variable)) {
        const int index = static_cast<const Variable*>(node)->Index();
        // Not attached to this formula's table: the tree finds no slot to read either.
        if (index < 0 || index >= variableCount) return StepOf(Op::kFail);
        shape = StepOf(Op::kVariable);
        shape.variable = index;
        return shape;
    }
    if (type == typeid(RandomFunction)) {
        const auto* random = static_cast<const RandomFunction*>(node);
        if (random->argument) return StepOf(Op::kRandom, random->argument);
        shape.kind = Shape::kRandomScale;
        shape.value = random->scale;
        return shape;
    }
    if (const auto* function = dynamic_cast<const FunctionParser*>(node)) {
        const Op* op = KindOf(kFunctionKinds, function->FunctionCode(), type);
        return op ? StepOf(*op, function->argument) : StepOf(Op::kWhole);
    }
    const auto* operation = dynamic_cast<const OperationParser*>(node);
    if (!operation) return StepOf(Op::kWhole);
    const int code = operation->OperatorCode();
    if (code == kOpIf && type == typeid(IfOperator)) {
        const Parser* right = operation->right;
        if (!right || typeid(*right) != typeid(ThenElseOperator)) return StepOf(Op::kWhole);
        const auto* arms = static_cast<const ThenElseOperator*>(right);
        shape.kind = Shape::kConditional;
        shape.count = 3;
        shape.operands[0] = operation->left;
        shape.operands[1] = arms->left;
        shape.operands[2] = arms->right;
        return shape;
    }
    // "&&" evaluates its right operand only where the left one is true, "||" only where it is
    // false.
    const bool isAnd = code == kOpAnd && type == typeid(AndOperator);
    if (isAnd || (code == kOpOr && type == typeid(OrOperator))) {
        shape = StepOf(isAnd ? Op::kAnd : Op::kOr, operation->left, operation->right);
        shape.kind = Shape::kLogical;
        shape.skip = isAnd ? Op::kSkipUnlessTrue : Op::kSkipUnlessFalse;
        shape.count = 2;
        return shape;
    }
    // Evaluated anywhere but under its IfOperator, it raises.
    if (code == kOpThenElse && type == typeid(ThenElseOperator)) return StepOf(Op::kFail);
    const Op* op = KindOf(kOperatorKinds, code, type);
    if (!op) return StepOf(Op::kWhole);
    // x ^ 2 is x * x for every x: a square, never negative.
    if (*op == Op::kPower && IsConstantEqualTo(operation->right, 2.0))
        return StepOf(Op::kSquare, operation->left);
    shape = StepOf(*op, operation->left, operation->right);
    shape.count = 2;
    return shape;
}

} // namespace

struct IntervalEvaluator::Program
{
    const FunctionInterpreter* formula = nullptr;
    std::vector<Step> steps;
    // One register per step that yields a value, and one per constant, whose value stays.
    std::vector<Enclosure> registers;
    std::vector<const Interval*> boxes; // per variable; null reads the value slot
    int result = 0;

    void Load(const FunctionInterpreter& source);
    Enclosure Run(bool& fails);

private:
    // A node whose operands are being translated; `values` holds their registers.
    struct Visit
    {
        Shape shape;
        int done = 0;
        int values[3] = {};
        int skip = 0; // the step of a branch's pending skip
    };

    int Translate(const Parser* root);
    void BeforeOperand(Visit& visit);
    int Complete(const Visit& visit);
    int ConstantRegister(double value)
    {
        registers.push_back(interval_math::Point(value));
        return int(registers.size()) - 1;
    }
    // A step writing a new register, which it answers.
    int Emit(Op op, int a = 0, int b = 0, int c = 0)
    {
        Step step{op};
        step.out = int(registers.size());
        step.a = a;
        step.b = b;
        step.c = c;
        steps.push_back(step);
        registers.emplace_back();
        return step.out;
    }
    // A skip reading register `condition`; answers the step, whose target comes later.
    int EmitSkip(Op op, int condition)
    {
        Step step{op};
        step.a = condition;
        steps.push_back(step);
        return int(steps.size()) - 1;
    }
    void LandSkip(int skip) { steps[std::size_t(skip)].target = int(steps.size()); }
    Enclosure Read(int variable, bool& fails) const;
};

void IntervalEvaluator::Program::Load(const FunctionInterpreter& source)
{
    formula = &source;
    boxes.assign(std::size_t(source.VariableCount()), nullptr);
    // The tree raises kEmptyExpression without a root.
    result = source.Root() ? Translate(source.Root()) : Emit(Op::kFail);
}

// Without recursion, with a stack of its own: derivatives are deeper than the formulas they
// come from, and searches evaluate them on threads with smaller stacks.
int IntervalEvaluator::Program::Translate(const Parser* root)
{
    const int variableCount = int(boxes.size());
    std::vector<Visit> pending;
    pending.push_back(Visit{Classify(root, variableCount)});
    for (;;) {
        Visit& visit = pending.back();
        if (visit.done < visit.shape.count) {
            BeforeOperand(visit);
            const Parser* operand = visit.shape.operands[visit.done];
            pending.push_back(Visit{Classify(operand, variableCount)});
            continue;
        }
        const int value = Complete(visit);
        pending.pop_back();
        if (pending.empty()) return value;
        Visit& parent = pending.back();
        parent.values[parent.done++] = value;
    }
}

// A branch guards each arm with a skip over it, for boxes where it cannot be taken.
void IntervalEvaluator::Program::BeforeOperand(Visit& visit)
{
    const int condition = visit.values[0];
    if (visit.shape.kind == Shape::kConditional && visit.done == 1) {
        visit.skip = EmitSkip(Op::kSkipUnlessTrue, condition);
    } else if (visit.shape.kind == Shape::kConditional && visit.done == 2) {
        const int skipFalse = EmitSkip(Op::kSkipUnlessFalse, condition);
        LandSkip(visit.skip);
        visit.skip = skipFalse;
    } else if (visit.shape.kind == Shape::kLogical && visit.done == 1) {
        visit.skip = EmitSkip(visit.shape.skip, condition);
    }
}

int IntervalEvaluator::Program::Complete(const Visit& visit)
{
    const Shape& shape = visit.shape;
    const int* v = visit.values;
    switch (shape.kind) {
    case Shape::kConstant:
        return ConstantRegister(shape.value);
    case Shape::kRandomScale:
        return Emit(Op::kRandom, ConstantRegister(shape.value));
    case Shape::kConditional:
        LandSkip(visit.skip);
        return Emit(Op::kChoose, v[0], v[1], v[2]);
    case Shape::kLogical:
        LandSkip(visit.skip);
        return Emit(shape.op, v[0], v[1]);
    case Shape::kStep:
        break;
    }
    const int value = Emit(shape.op, v[0], v[1]);
    steps.back().variable = shape.variable;
    return value;
}

Enclosure IntervalEvaluator::Program::Read(int variable, bool& fails) const
{
    if (const Interval* box = boxes[std::size_t(variable)]) return interval_math::FromBox(*box);
    const double* slot = formula->ValueSlot(variable);
    if (slot) return interval_math::Point(*slot);
    fails = true;
    return Enclosure{};
}

Enclosure IntervalEvaluator::Program::Run(bool& fails)
{
    using namespace interval_math;
    Enclosure* r = registers.data();
    const std::size_t count = steps.size();
    for (std::size_t i = 0; i < count; ++i) {
        const Step& s = steps[i];
        const Enclosure& a = r[s.a];
        const Enclosure& b = r[s.b];
        Enclosure& out = r[s.out];
        switch (s.op) {
        case Op::kVariable:
            out = Read(s.variable, fails);
            break;
        case Op::kFail:
            fails = true;
            out = Enclosure{};
            break;
        case Op::kWhole:
            fails = true;
            out = WholeLine();
            break;
        case Op::kRandom:
            out = Random(a);
            break;
        case Op::kLn:
            out = Ln(a, fails);
            break;
        case Op::kLog:
            out = Log(a, fails);
            break;
        case Op::kExp:
            out = Exp(a);
            break;
        case Op::kAbs:
            out = Abs(a);
            break;
        case Op::kSqrt:
            out = Sqrt(a, fails);
            break;
        case Op::kNeg:
            out = Negate(a);
            break;
        case Op::kSin:
            out = Sin(a);
            break;
        case Op::kCos:
            out = Cos(a);
            break;
        case Op::kTan:
            out = Tan(a, fails);
            break;
        case Op::kSec:
            out = Sec(a, fails);
            break;
        case Op::kCsc:
            out = Csc(a, fails);
            break;
        case Op::kCot:
            out = Cot(a, fails);
            break;
        case Op::kArcSin:
            out = ArcSin(a, fails);
            break;
        case Op::kArcCos:
            out = ArcCos(a, fails);
            break;
        case Op::kArcTan:
            out = ArcTan(a);
            break;
        case Op::kArcSec:
            out = ArcSec(a, fails);
            break;
        case Op::kArcCsc:
            out = ArcCsc(a, fails);
            break;
        case Op::kArcCot:
            out = ArcCot(a, fails);
            break;
        case Op::kHSin:
            out = HSin(a);
            break;
        case Op::kHCos:
            out = HCos(a);
            break;
        case Op::kHTan:
            out = HTan(a);
            break;
        case Op::kHSec:
            out = HSec(a);
            break;
        case Op::kHCsc:
            out = HCsc(a, fails);
            break;
        case Op::kHCot:
            out = HCot(a, fails);
            break;
        case Op::kNot:
            out = Not(a);
            break;
        case Op::kComplement:
            out = Complement(a);
            break;
        case Op::kCeil:
            out = Ceil(a);
            break;
        case Op::kFloor:
            out = Floor(a);
            break;
        case Op::kSquare:
            out = Square(a);
            break;
        case Op::kPlus:
            out = Add(a, b);
            break;
        case Op::kMinus:
            out = Subtract(a, b);
            break;
        case Op::kMultiply:
            out = Multiply(a, b);
            break;
        case Op::kDivide:
            out = Divide(a, b, fails);
            break;
        case Op::kRemainder:
            out = Remainder(a, b, fails);
            break;
        case Op::kPower:
            out = Power(a, b);
            break;
        case Op::kLess:
            out = Compare(Comparison::kLess, a, b);
            break;
        case Op::kGreater:
            out = Compare(Comparison::kGreater, a, b);
            break;
        case Op::kEqual:
            out = Compare(Comparison::kEqual, a, b);
            break;
        case Op::kNotEqual:
            out = Compare(Comparison::kNotEqual, a, b);
            break;
        case Op::kLessOrEqual:
            out = Compare(Comparison::kLessOrEqual, a, b);
            break;
        case Op::kGreaterOrEqual:
            out = Compare(Comparison::kGreaterOrEqual, a, b);
            break;
        case Op::kBitwiseAnd:
            out = Combine(Bitwise::kAnd, a, b);
            break;
        case Op::kBitwiseOr:
            out = Combine(Bitwise::kOr, a, b);
            break;
        case Op::kBitwiseXor:
            out = Combine(Bitwise::kXor, a, b);
            break;
        case Op::kSkipUnlessTrue:
            if (!MayBeTrue(a)) i = std::size_t(s.target) - 1;
            break;
        case Op::kSkipUnlessFalse:
            if (!MayBeFalse(a)) i = std::size_t(s.target) - 1;
            break;
        case Op::kChoose:
            out = Choose(a, b, r[s.c]);
            break;
        case Op::kAnd:
            out = And(a, b);
            break;
        case Op::kOr:
            out = Or(a, b);
            break;
        }
    }
    return r[result];
}

IntervalEvaluator::IntervalEvaluator(const FunctionInterpreter& formula) : program(new Program)
{
    program->Load(formula);
}

IntervalEvaluator::~IntervalEvaluator() = default;
IntervalEvaluator::IntervalEvaluator(IntervalEvaluator&&) noexcept = default;
IntervalEvaluator& IntervalEvaluator::operator=(IntervalEvaluator&&) noexcept = default;

void IntervalEvaluator::Bind(const char* name, const Interval* box)
{
    const int index = name ? program->formula->FindVariable(name) : -1;
    if (index >= 0 && index < int(program->boxes.size())) program->boxes[std::size_t(index)] = box;
}

Interval IntervalEvaluator::Evaluate(bool* mayFail)
{
    bool fails = false;
    const Enclosure value = program->Run(fails);
    if (mayFail) *mayFail = fails || value.nan;
    if (!interval_math::HasNumbers(value)) return kEmptyInterval;
    return Interval{value.lo, value.hi};
}
