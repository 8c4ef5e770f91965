#pragma once

#include "field_analysis.h"
#include "field_formulas.h"

#include <cmath>
#include <vector>

// A field typed as two formulas reading the caller's slots, as in the viewer, and its analysis
// built once everything is bound.
class TestField : public FieldFormulas
{
public:
    TestField(const char* fx, const char* fy, const std::map<std::string, double>& constants = {})
        : FieldFormulas(fx, fy, constants), built(this->fx, this->fy)
    {
    }

    // The formula's own value at (x, y), through the caller's slots.
    double EvaluateAt(const FunctionInterpreter& formula, double atX, double atY)
    {
        x = atX;
        y = atY;
        return formula.Evaluate();
    }
    const FieldAnalysis& analysis() const { return built; }
    // The equilibria over -5 … 5 on both axes.
    std::vector<Equilibrium> Equilibria(bool accelerationField = false) const
    {
        return built.Equilibria(-5, 5, -5, 5, accelerationField);
    }

private:
    FieldAnalysis built;
};

// Where the field's value has this magnitude at most, it counts as zero in the tests.
inline bool VanishesAt(const FieldAnalysis& analysis, double x, double y, double tolerance = 1e-7)
{
    double value[2];
    return analysis.Value(x, y, value) && std::hypot(value[0], value[1]) <= tolerance;
}
