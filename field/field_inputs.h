#pragma once

#include <string>
#include <vector>

class FunctionInterpreter;

// What of a field the user may set besides x and y: its parameters (names beginning with "P")
// in the order Fx, then Fy, first uses them, and whether it reads the time t. Only names bound
// to a value slot count: one without a slot has no value to set.
struct FieldInputs
{
    std::vector<std::string> parameters;
    bool usesTime = false;

    bool empty() const { return parameters.empty() && !usesTime; }
};

FieldInputs InputsOf(const FunctionInterpreter& fx, const FunctionInterpreter& fy);
