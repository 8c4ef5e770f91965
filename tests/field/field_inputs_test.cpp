// Which names of a field the user may set: parameters in the order they were typed, Fx first,
// and whether t is read.

#include "field_formulas.h"
#include "field_inputs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(FieldInputs, ParametersInOrderOfFirstUseAndTime)
{
    struct Case
    {
        const char *fx, *fy;
        std::vector<std::string> parameters;
        bool usesTime;
    };
    const Case cases[] = {
        {"-y", "x", {}, false},
        {"Pa*x - y", "x + Pa*y", {"Pa"}, false},
        {"Pb*x + Pa", "Pc - Pa*y", {"Pb", "Pa", "Pc"}, false},
        {"y", "-sin(x) - Pdamping*y", {"Pdamping"}, false},
        {"1", "t", {}, true},
        {"t*Pk", "Pk", {"Pk"}, true},
        {"x > Pc ? Pa : Pb", "sin(P)", {"Pc", "Pa", "Pb", "P"}, false},
        // Constants are no variables, whatever their case; lower-case p starts no parameter.
        {"PI*x + E", "Pi*y + pa", {}, false},
        // Names that contain P or t elsewhere are other names.
        {"xP + tt", "aPb + theta", {}, false},
    };
    for (const Case& c : cases) {
        FieldFormulas field(c.fx, c.fy);
        const FieldInputs inputs = InputsOf(field.fx, field.fy);
        EXPECT_EQ(inputs.parameters, c.parameters) << c.fx << ", " << c.fy;
        EXPECT_EQ(inputs.usesTime, c.usesTime) << c.fx << ", " << c.fy;
        EXPECT_EQ(inputs.empty(), c.parameters.empty() && !c.usesTime) << c.fx << ", " << c.fy;
    }
}

// A name bound to no slot cannot be set: it is no input.
TEST(FieldInputs, UnboundNamesAreLeftOut)
{
    FunctionInterpreter fx("Pa*x + t");
    FunctionInterpreter fy("Pb*y");
    double pb = 0;
    fy.BindValueSlotByName("Pb", &pb);
    const FieldInputs inputs = InputsOf(fx, fy);
    EXPECT_EQ(inputs.parameters, std::vector<std::string>{"Pb"});
    EXPECT_FALSE(inputs.usesTime);
}

} // namespace
