// The flow view's particles: where they are born, how long they live, and what sends them back.

#include "field_formulas.h"
#include "flow_field.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

// Born spread evenly, the same for the same seed; moving at |F| between births; living two to
// five seconds, not all dying at once. Fewer particles keep the first ones.
TEST(FlowField, BirthsAndLives)
{
    FieldFormulas f("0.3", "0.4");
    FlowField flow(f.fx, f.fy, FieldKind::Velocity, {-1e6, 1e6, -1e6, 1e6}, 7); // too wide to leave
    FlowField twin(f.fx, f.fy, FieldKind::Velocity, {-1e6, 1e6, -1e6, 1e6}, 7);
    flow.SetCount(1000);
    twin.SetCount(1000);
    int quadrants[4] = {};
    for (std::size_t i = 0; i < 1000; ++i)
        ++quadrants[(flow.X()[i] > 0) + 2 * (flow.Y()[i] > 0)];
    for (int q : quadrants)
        EXPECT_NEAR(q, 250, 60);
    std::vector<double> lastBirth(1000, -1), lives;
    for (int tick = 1; tick <= 700; ++tick) {
        flow.Tick(0.01, 10);
        twin.Tick(0.01, 10);
        int births = 0;
        for (std::size_t i = 0; i < 1000; ++i) {
            if (flow.Born()[i]) {
                ++births;
                if (lastBirth[i] >= 0) lives.push_back(0.01 * tick - lastBirth[i]);
                lastBirth[i] = 0.01 * tick;
                EXPECT_EQ(flow.Speed()[i], 0.0f);
                continue;
            }
            EXPECT_NEAR(flow.X()[i] - flow.PreviousX()[i], 0.003, 1e-8);
            EXPECT_NEAR(flow.Y()[i] - flow.PreviousY()[i], 0.004, 1e-8);
            EXPECT_NEAR(flow.Speed()[i], 0.5, 1e-5);
        }
        EXPECT_LT(births, 30) << "tick " << tick;
    }
    ASSERT_GT(lives.size(), 100u);
    EXPECT_GE(*std::min_element(lives.begin(), lives.end()), 2 - 0.011);
    EXPECT_LE(*std::max_element(lives.begin(), lives.end()), 5 + 0.011);
    EXPECT_TRUE(std::equal(flow.X(), flow.X() + 1000, twin.X()));
    const double kept = flow.X()[99];
    flow.SetCount(100);
    EXPECT_EQ(flow.X()[99], kept);
}

// Two halves on two threads step exactly as one stepper, from rest at each birth in an
// acceleration field; a particle that fails or leaves the region is born inside it at once. In a
// field of t each half steps with the time of every substep, as the one stepper does.
TEST(FlowField, TwoThreadsStepAsOne)
{
    struct Case
    {
        const char *fx, *fy;
        bool timed;
    };
    const Case cases[] = {{"sqrt(x + 3) - y", "x*y", false},
                          {"sqrt(x + 3) - y*t", "x*y + sin(3*t)", true}};
    const std::size_t count = 3 * FlowField::kLeastForTwoThreads + 1;
    for (const Case& c : cases)
        for (FieldKind field : {FieldKind::Velocity, FieldKind::Acceleration}) {
            FieldFormulas f(c.fx, c.fy, {{"t", 0.0}});
            FlowField flow(f.fx, f.fy, field, {-4, 4, -4, 4});
            flow.SetCount(count);
            ParticleStepper alone(f.fx, f.fy, field);
            std::vector<float> vx(count), vy(count);
            for (int tick = 0; tick < 30; ++tick) {
                std::vector<double> x(flow.X(), flow.X() + count), y(flow.Y(), flow.Y() + count);
                const double start = 0.3 + 0.05 * tick;
                if (c.timed) {
                    alone.Tick(count, x.data(), y.data(), vx.data(), vy.data(), 0.005, 10, start);
                    flow.Tick(0.05, 10, start);
                } else {
                    alone.Tick(count, x.data(), y.data(), vx.data(), vy.data(), 0.005, 10);
                    flow.Tick(0.05, 10);
                }
                for (std::size_t i = 0; i < count; ++i) {
                    const bool born = flow.Born()[i];
                    const double fx = flow.X()[i], fy = flow.Y()[i];
                    ASSERT_TRUE(
                        std::abs(fx) <= 4 && std::abs(fy) <= 4 &&
                        (alone.FailedInLastTick()[i] ? born : born || (fx == x[i] && fy == y[i])))
                        << c.fx << ", tick " << tick << ", particle " << i;
                    if (field == FieldKind::Acceleration && !born) {
                        ASSERT_FLOAT_EQ(flow.Speed()[i], std::hypot(vx[i], vy[i]));
                    }
                    if (born) vx[i] = vy[i] = 0;
                }
            }
            EXPECT_EQ(f.Slot("t"), 0.0) << "the slot is the clock's, not the substeps'";
        }
}

// Retargeted, every particle is born again inside the new region, the count kept; they stream
// and are born again there from then on.
TEST(FlowField, RetargetRespawnsInTheNewRegion)
{
    FieldFormulas f("-y", "x");
    FlowField flow(f.fx, f.fy, FieldKind::Velocity, {-5, 5, -5, 5}, 3);
    flow.SetCount(600);
    flow.Tick(0.01, 10);
    const Region narrow{10, 10.5, -20, -19};
    flow.Retarget(narrow);
    EXPECT_EQ(flow.Count(), 600u);
    for (int tick = 0; tick < 100; ++tick) {
        for (std::size_t i = 0; i < flow.Count(); ++i)
            ASSERT_TRUE(narrow.Contains(flow.X()[i], flow.Y()[i])) << i << " at tick " << tick;
        flow.Tick(0.01, 10);
    }
}
