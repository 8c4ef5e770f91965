#include "analysis_test_support.h"

#include <cmath>

TestField::TestField(const char* fxText, const char* fyText,
                     const std::map<std::string, double>& constants)
    : fx(fxText), fy(fyText), values(constants)
{
    values.emplace("x", 0.0);
    values.emplace("y", 0.0);
    for (FunctionInterpreter* formula : {&fx, &fy}) {
        for (int i = 0; i < formula->VariableCount(); ++i) {
            const std::string name = formula->VariableName(i);
            formula->BindValueSlot(i, &values.emplace(name, 0.0).first->second);
        }
    }
    built = std::make_unique<FieldAnalysis>(fx, fy);
}

std::vector<Equilibrium> TestField::Equilibria(bool accelerationField) const
{
    return built->Equilibria(-5, 5, -5, 5, accelerationField);
}

bool VanishesAt(const FieldAnalysis& analysis, double x, double y, double tolerance)
{
    double value[2];
    return analysis.Value(x, y, value) && std::hypot(value[0], value[1]) <= tolerance;
}

double TestField::EvaluateAt(const FunctionInterpreter& formula, double x, double y)
{
    Slot("x") = x;
    Slot("y") = y;
    return formula.Evaluate();
}
