// The animation tick runs a hundred times a second: once sized, it must not touch the heap.

#include "allocation_counter.h"
#include "engine.h"
#include "flow_field.h"
#include "particle_stepper.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(ParticleStepper, TicksAllocateNothingOnceSized)
{
    FunctionInterpreter fx("x > 0 ? sin(x)*cos(y) : ln(-x)");
    FunctionInterpreter fy("x*x*x - 3*x*y*y + rand(y)");
    const std::size_t count = 5000;
    std::vector<double> x(count, 0.5), y(count, -0.25);
    std::vector<float> vx(count, 1.0f), vy(count, 0.0f);
    for (auto field : {ParticleStepper::Field::kVelocity, ParticleStepper::Field::kAcceleration}) {
        ParticleStepper stepper(fx, fy, field);
        stepper.Tick(count, x.data(), y.data(), vx.data(), vy.data(), 0.001, 10);
        const long before = AllocationCount();
        for (int tick = 0; tick < 20; ++tick)
            stepper.Tick(count - std::size_t(tick) * 100, x.data(), y.data(), vx.data(), vy.data(),
                         0.001, 10);
        EXPECT_EQ(AllocationCount() - before, 0);
    }
}

// Births and deaths included: a flow of many particles, stepped on two threads, over a few lives.
TEST(FlowField, TicksAllocateNothingOnceSized)
{
    FunctionInterpreter fx("-y + sqrt(x + 4)");
    FunctionInterpreter fy("x");
    FlowField flow(fx, fy, ParticleStepper::Field::kVelocity, {-5, 5, -5, 5});
    flow.SetCount(3 * FlowField::kLeastForTwoThreads);
    flow.Tick(0.01, 10);
    const long before = AllocationCountEverywhere();
    for (int tick = 0; tick < 300; ++tick)
        flow.Tick(0.02, 10);
    flow.SetCount(1000);
    flow.Tick(0.02, 10);
    flow.SetCount(3 * FlowField::kLeastForTwoThreads);
    EXPECT_EQ(AllocationCountEverywhere() - before, 0);
}

} // namespace
