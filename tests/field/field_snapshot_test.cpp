// The field as it was at one moment: copies that read values of their own, for other threads.

#include "field_formulas.h"
#include "field_model.h"
#include "field_snapshot.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// The slot `formula` reads `name` from; null for none.
double* SlotOf(const FunctionInterpreter& formula, const char* name)
{
    const int index = formula.FindVariable(name);
    return index >= 0 ? formula.ValueSlot(index) : nullptr;
}

// `formula` with its own x and y set: the copy's slots, not the caller's.
double At(const FunctionInterpreter& formula, double x, double y)
{
    for (const auto& [name, value] : {std::pair{"x", x}, {"y", y}})
        if (double* slot = SlotOf(formula, name)) *slot = value;
    return formula.Evaluate();
}

std::string Printed(const FunctionInterpreter& formula)
{
    const PrintedText text(formula.Print());
    return text.get();
}

TEST(FieldSnapshot, CopiesReadTheValuesOfTheirMoment)
{
    FieldFormulas field("a*x + y", "P_1 - x*theta", {{"a", 2}, {"P_1", 3}, {"theta", 0.5}});
    const FieldModel model(field.fx, field.fy, FieldKind::Acceleration, {-1, 2, -3, 4, 5, 6});
    const FieldSnapshot snapshot(model);
    // A slider moves afterwards: the snapshot keeps the values it took.
    field.Slot("a") = 10;
    field.Slot("P_1") = -7;
    field.x = 100;
    EXPECT_EQ(At(snapshot.Fx(), 1, 4), 2 * 1 + 4);
    EXPECT_EQ(At(snapshot.Fy(), 2, 0), 3 - 2 * 0.5);
    // Its own trees, printed alike, and its own slots: the caller's x stays where it was put.
    EXPECT_NE(snapshot.Fx().Root(), field.fx.Root());
    EXPECT_EQ(Printed(snapshot.Fx()), Printed(field.fx));
    EXPECT_EQ(Printed(snapshot.Fy()), Printed(field.fy));
    EXPECT_EQ(field.x, 100);
    EXPECT_NE(SlotOf(snapshot.Fx(), "a"), &field.Slot("a"));
    EXPECT_EQ(snapshot.Kind(), FieldKind::Acceleration);
    EXPECT_EQ(snapshot.Bounds().xMax, 2);
    EXPECT_EQ(snapshot.Bounds().yCount, 6);
}

// A name bound to nothing stays so, and fails where it is read, as in the original.
TEST(FieldSnapshot, UnboundNamesStayUnbound)
{
    FunctionInterpreter fx("k * x");
    FunctionInterpreter fy("y");
    double y = 0;
    fy.BindValueSlotByName("y", &y);
    const FieldSnapshot snapshot(fx, fy, FieldKind::Velocity, {-5, 5, -5, 5});
    EXPECT_EQ(SlotOf(snapshot.Fx(), "k"), nullptr);
    EXPECT_THROW(snapshot.Fx().Evaluate(), ParseErrorMsg);
    EXPECT_EQ(At(snapshot.Fy(), 0, 1.5), 1.5);
    // Without a tree, a copy without a tree.
    const FunctionInterpreter empty(static_cast<Parser*>(nullptr));
    const FieldSnapshot hollow(empty, fy, FieldKind::Velocity, {-5, 5, -5, 5});
    EXPECT_EQ(hollow.Fx().Root(), nullptr);
}

} // namespace
