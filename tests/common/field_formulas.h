#pragma once

// Two formulas, Fx and Fy, whose variables read doubles owned by this object as the viewer's
// value slots are: x and y always have one, every other name starts at the value given or at 0.

#include "engine.h"

#include <map>
#include <string>

struct FieldFormulas
{
    FieldFormulas(const char* fxText, const char* fyText,
                  const std::map<std::string, double>& values = {})
        : fx(fxText), fy(fyText), slots(values)
    {
        for (FunctionInterpreter* formula : {&fx, &fy})
            for (int i = 0; i < formula->VariableCount(); ++i)
                formula->BindValueSlot(i,
                                       &slots.emplace(formula->VariableName(i), 0.0).first->second);
    }
    // The double behind a name: what the formulas read.
    double& Slot(const std::string& name) { return slots.at(name); }

    FunctionInterpreter fx;
    FunctionInterpreter fy;
    std::map<std::string, double> slots; // map nodes never move, so slots stay valid
    double& x = slots["x"];
    double& y = slots["y"];
};
