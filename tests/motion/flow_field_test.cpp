// The flow view's particles: where they are born, how long they live, and what sends them back.

#include "field_formulas.h"
#include "flow_field.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using Field = ParticleStepper::Field;
const FlowField::Region kRegion{-5, 5, -5, 5};

bool Inside(const FlowField& flow, std::size_t i)
{
    return flow.X()[i] >= kRegion.xMin && flow.X()[i] <= kRegion.xMax &&
           flow.Y()[i] >= kRegion.yMin && flow.Y()[i] <= kRegion.yMax;
}

TEST(FlowField, ParticlesFillTheRegionAndStayInIt)
{
    FieldFormulas f("3", "x");
    FlowField flow(f.fx, f.fy, Field::kVelocity, kRegion);
    flow.SetCount(4000);
    int quadrants[4] = {};
    for (std::size_t i = 0; i < flow.Count(); ++i) {
        ASSERT_TRUE(Inside(flow, i));
        ++quadrants[(flow.X()[i] > 0) + 2 * (flow.Y()[i] > 0)];
    }
    for (int q : quadrants)
        EXPECT_NEAR(q, 1000, 150); // spread evenly
    for (int tick = 0; tick < 200; ++tick) {
        flow.Tick(0.02, 10);
        for (std::size_t i = 0; i < flow.Count(); ++i)
            ASSERT_TRUE(Inside(flow, i)) << "tick " << tick; // leaving means being born again
    }
}

// Between births a particle moves with the field and its speed is |F|; each lives two to five
// seconds, and they do not all die at once.
TEST(FlowField, ParticlesLiveAFewSeconds)
{
    FieldFormulas f("0.3", "0.4");
    FlowField flow(f.fx, f.fy, Field::kVelocity, {-1e6, 1e6, -1e6, 1e6}); // too wide to leave
    flow.SetCount(1000);
    std::vector<double> lastBirth(flow.Count(), -1);
    std::vector<double> lives;
    int mostInOneTick = 0;
    for (int tick = 1; tick <= 700; ++tick) {
        flow.Tick(0.01, 10);
        int births = 0;
        for (std::size_t i = 0; i < flow.Count(); ++i) {
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
        mostInOneTick = std::max(mostInOneTick, births);
    }
    ASSERT_GT(lives.size(), 100u);
    for (double life : lives) {
        EXPECT_GE(life, FlowField::kShortestLife - 0.011);
        EXPECT_LE(life, FlowField::kLongestLife + 0.011);
    }
    EXPECT_LT(mostInOneTick, 30);
}

// Where a formula fails the particle is born again at once, so after every tick every particle
// at x < 0 of sqrt(x) has just been born there.
TEST(FlowField, FailingPlacesSendParticlesElsewhere)
{
    FieldFormulas f("sqrt(x)", "0");
    FlowField flow(f.fx, f.fy, Field::kVelocity, kRegion);
    flow.SetCount(2000);
    for (int tick = 0; tick < 20; ++tick) {
        flow.Tick(0.01, 10);
        for (std::size_t i = 0; i < flow.Count(); ++i)
            if (flow.X()[i] < 0) {
                ASSERT_TRUE(flow.Born()[i]);
            }
    }
}

// In an acceleration field particles are born at rest and gather speed.
TEST(FlowField, AccelerationFieldsStartFromRest)
{
    FieldFormulas f("0", "-2");
    FlowField flow(f.fx, f.fy, Field::kAcceleration, {-500, 500, -500, 500});
    flow.SetCount(50);
    flow.Tick(0.5, 10);
    for (std::size_t i = 0; i < flow.Count(); ++i) {
        if (flow.Born()[i]) continue; // its time was up
        EXPECT_NEAR(flow.Speed()[i], 1.0, 1e-6);
        // Semi-implicit Euler: the position moves with the speed after each substep.
        EXPECT_NEAR(flow.Y()[i] - flow.PreviousY()[i], -2 * 0.05 * 0.05 * 55, 1e-6);
    }
}

TEST(FlowField, SameSeedSamePlacesAndFewerKeepsTheFirst)
{
    FieldFormulas f("-y", "x");
    FlowField a(f.fx, f.fy, Field::kVelocity, kRegion, 7);
    FlowField b(f.fx, f.fy, Field::kVelocity, kRegion, 7);
    a.SetCount(300);
    b.SetCount(300);
    a.Tick(0.1, 10);
    b.Tick(0.1, 10);
    const double kept = a.X()[99];
    for (std::size_t i = 0; i < 300; ++i)
        ASSERT_EQ(a.X()[i], b.X()[i]);
    a.SetCount(100);
    EXPECT_EQ(a.Count(), 100u);
    EXPECT_EQ(a.X()[99], kept);
    a.SetCount(0);
    a.Tick(0.1, 10); // nothing to do
}

// Many particles are stepped in two halves on two threads: each must move exactly as stepping
// all of them together on one thread moves it, failures included.
TEST(FlowField, TwoThreadsStepAsOne)
{
    FieldFormulas f("sqrt(x + 3) - y", "x*y");
    FlowField flow(f.fx, f.fy, Field::kVelocity, {-4, 4, -4, 4});
    const std::size_t count = 3 * FlowField::kLeastForTwoThreads + 1;
    flow.SetCount(count);
    ParticleStepper alone(f.fx, f.fy, Field::kVelocity);
    for (int tick = 0; tick < 30; ++tick) {
        std::vector<double> x(flow.X(), flow.X() + count), y(flow.Y(), flow.Y() + count);
        alone.Tick(count, x.data(), y.data(), nullptr, nullptr, 0.005, 10);
        flow.Tick(0.05, 10);
        for (std::size_t i = 0; i < count; ++i) {
            if (alone.FailedInLastTick()[i]) {
                ASSERT_TRUE(flow.Born()[i]) << "tick " << tick << ", particle " << i;
            } else if (!flow.Born()[i]) {
                ASSERT_EQ(flow.X()[i], x[i]) << "tick " << tick << ", particle " << i;
                ASSERT_EQ(flow.Y()[i], y[i]) << "tick " << tick << ", particle " << i;
            }
        }
    }
}

} // namespace
