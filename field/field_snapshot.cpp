#include "field_snapshot.h"

#include "engine.h"
#include "field_model.h"

FieldSnapshot::FieldSnapshot(const FieldModel& field)
    : FieldSnapshot(field.Fx(), field.Fy(), field.Kind(), field.Bounds())
{
}

FieldSnapshot::FieldSnapshot(const FunctionInterpreter& fx, const FunctionInterpreter& fy,
                             FieldKind kind, const Region& region)
    : kind(kind), region(region)
{
    const FunctionInterpreter* const sources[2] = {&fx, &fy};
    for (int i = 0; i < 2; ++i) {
        const FunctionInterpreter& source = *sources[i];
        try {
            formulas[i] = std::make_unique<FunctionInterpreter>(
                source.Root() ? source.CopyTree() : static_cast<Parser*>(nullptr));
        } catch (const ParseErrorMsg&) {
            formulas[i] = std::make_unique<FunctionInterpreter>(static_cast<Parser*>(nullptr));
        }
        FunctionInterpreter& copy = *formulas[i];
        for (int v = 0; v < copy.VariableCount(); ++v) {
            const int index = source.FindVariable(copy.VariableName(v));
            const double* slot = index >= 0 ? source.ValueSlot(index) : nullptr;
            if (!slot) continue;
            values.push_back(*slot);
            copy.BindValueSlot(v, &values.back());
        }
    }
}

FieldSnapshot::~FieldSnapshot() = default;
