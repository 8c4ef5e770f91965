#include "field_inputs.h"

#include "function_interpreter.h"

#include <algorithm>
#include <cstring>

FieldInputs InputsOf(const FunctionInterpreter& fx, const FunctionInterpreter& fy)
{
    FieldInputs inputs;
    // A formula's table lists its names as its tree first meets them, left to right: the order
    // they were typed in.
    for (const FunctionInterpreter* formula : {&fx, &fy}) {
        for (int i = 0; i < formula->VariableCount(); ++i) {
            const char* name = formula->VariableName(i);
            if (!name || !formula->ValueSlot(i)) continue;
            if (std::strcmp(name, "t") == 0) {
                inputs.usesTime = true;
            } else if (name[0] == 'P' &&
                       std::find(inputs.parameters.begin(), inputs.parameters.end(), name) ==
                           inputs.parameters.end()) {
                inputs.parameters.emplace_back(name);
            }
        }
    }
    return inputs;
}
