#pragma once

#include "field_analysis.h"
#include "field_formulas.h"

// A field typed as two formulas reading the caller's slots, as in the viewer, and its analysis
// built once everything is bound.
struct TestField : FieldFormulas
{
    using FieldFormulas::FieldFormulas;
    const FieldAnalysis analysis{fx, fy};
};
