// Ticking a hundred times a second, the flow must not touch the heap once sized, on any thread:
// with a field of t stepped with the time of each substep too, also when the clock stops and
// starts again, and when the particles are redistributed over one thread and back.

#include "allocation_counter.h"
#include "engine.h"
#include "flow_field.h"

#include <gtest/gtest.h>

TEST(FlowField, TicksAllocateNothingOnceSized)
{
    double t = 0;
    for (const auto& [fxText, fyText] :
         {std::pair{"-y + sqrt(x + 4)", "x > 0 ? sin(x)*cos(y) : ln(-x)"},
          {"-y*t + sqrt(x + 4)", "x > t ? sin(x)*cos(y) : ln(-x)"}}) {
        FunctionInterpreter fx(fxText), fy(fyText);
        fx.BindValueSlotByName("t", &t);
        fy.BindValueSlotByName("t", &t);
        for (FieldKind field : {FieldKind::Velocity, FieldKind::Acceleration}) {
            SCOPED_TRACE(fxText);
            FlowField flow(fx, fy, field, {-5, 5, -5, 5});
            flow.SetCount(3 * FlowField::kLeastForTwoThreads);
            flow.Tick(0.01, 10, 0.0);
            flow.Tick(0.01, 10);
            const long before = AllocationCountEverywhere();
            for (int tick = 0; tick < 300; ++tick)
                flow.Tick(0.02, 10, 0.02 * tick);
            flow.Tick(0.02, 10);
            flow.Tick(0.02, 10, 6.0);
            flow.SetCount(1000); // one thread, each stepper given fewer than before
            flow.Tick(0.02, 10);
            flow.SetCount(3 * FlowField::kLeastForTwoThreads);
            flow.Tick(0.02, 10);
            EXPECT_EQ(AllocationCountEverywhere() - before, 0);
        }
    }
}
