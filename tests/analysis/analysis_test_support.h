#pragma once

#include "field_analysis.h"
#include "field_formulas.h"

#include <cmath>

// A field typed as two formulas reading the caller's slots, as in the viewer, and its analysis
// built once everything is bound.
struct TestField : FieldFormulas
{
    using FieldFormulas::FieldFormulas;
    const FieldAnalysis analysis{fx, fy};
};

// `formula`, one of the field's two, at (x, y); NaN where it fails.
inline double ValueAt(TestField& field, const FunctionInterpreter& formula, double x, double y)
{
    field.x = x;
    field.y = y;
    try {
        return formula.Evaluate();
    } catch (const ParseErrorMsg&) {
        return std::nan("");
    }
}
