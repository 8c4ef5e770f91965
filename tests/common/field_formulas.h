#pragma once

// Fx and Fy reading values this object owns, as the viewer's slots: those given, else 0.

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
                formula->BindValueSlot(i, &slots[formula->VariableName(i)]);
    }
    double& Slot(const std::string& name) { return slots.at(name); }

    FunctionInterpreter fx, fy;
    std::map<std::string, double> slots; // map nodes never move, so the slots stay put
    double &x = slots["x"], &y = slots["y"];
};
