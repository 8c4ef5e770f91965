#pragma once

#include "engine.h"
#include "field_analysis.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

// A field typed as two formulas, their variables reading doubles owned by this object (as the
// viewer's value slots), and its analysis built once everything is bound.
class TestField
{
public:
    // Every name starts at the value `constants` gives it, or 0.
    TestField(const char* fx, const char* fy, const std::map<std::string, double>& constants = {});

    // The caller's double behind a name: what the formulas read. There is one for x and y even
    // when the formulas do not use them.
    double& Slot(const std::string& name) { return values.at(name); }
    // The formulas' own value at (x, y), through the caller's slots.
    double EvaluateAt(const FunctionInterpreter& formula, double x, double y);
    const FieldAnalysis& analysis() const { return *built; }
    // The equilibria over -5 … 5 on both axes.
    std::vector<Equilibrium> Equilibria(bool accelerationField = false) const;

    FunctionInterpreter fx;
    FunctionInterpreter fy;

private:
    std::map<std::string, double> values; // map nodes never move, so slots stay valid
    std::unique_ptr<FieldAnalysis> built;
};

// Where the field's value has this magnitude at most, it counts as zero in the tests.
bool VanishesAt(const FieldAnalysis& analysis, double x, double y, double tolerance = 1e-7);
