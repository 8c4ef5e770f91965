// The stepper agrees bit for bit with stepping each particle alone, on fields that fail in places.

#include "reference_stepping.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

struct Case
{
    FieldKind kind;
    const char *fx, *fy;
    double dt;
    int substeps;
};

const Case kCases[] = {
    {FieldKind::Velocity, "-y", "x", 0.001, 10},
    {FieldKind::Velocity, "sqrt(x)", "1/y", 0.01, 10},
    {FieldKind::Velocity, "1", "x > 0.5 ? sqrt(-1 - y*y) : 0.25", 0.02, 10}, // fails past x = 0.5
    {FieldKind::Velocity, "ln(x*y)", "x > 1 ? 1/(x-2) : -y", 0.05, 3},
    {FieldKind::Velocity, "x * 1e200", "y * 1e300", 1.0, 9}, // positions overflow
    {FieldKind::Velocity, "t * y", "-t * x", 0.01, 1},       // t reads its slot
    {FieldKind::Velocity, "cos(t) - x", "t > 0.6 ? sqrt(y - t) : x", 0.02, 10}, // fails late
    {FieldKind::Acceleration, "-x + sin(5*t)", "t*t - y", 0.01, 10},
    {FieldKind::Velocity, "0.5 + x % y", "1 + y % x", 0.01, 10}, // % fails for divisors in (-1, 1)
    {FieldKind::Acceleration, "0", "-1", 0.001, 10},
    {FieldKind::Acceleration, "-x/sqrt(x*x+y*y)^3", "-y/sqrt(x*x+y*y)^3", 0.01, 10},
    {FieldKind::Acceleration, "3", "x > 0.5 ? ln(-x) : 0", 0.02, 10}, // fails, keeps its speed
    {FieldKind::Acceleration, "x * 1e30", "y > 1 ? 1e300 : -y", 0.5,
     10}, // float(Fy * dt) overflows
    {FieldKind::Acceleration, "y % x", "-1 + x % y", 0.01, 10},
    {FieldKind::Acceleration, "-y + 1/(x - 1)", "x - asin(y / 3)", 0.01, 10},
};

// Where fields fail or switch: zeros of both signs, x = 0.5 and just below, x = 2, tiny values.
const Particle kOddPlaces[] = {{0.0, 0.0, 0.0f, 0.0f},   {0.5, 0.0, 1.0f, 0.0f},
                               {0.49, 0.3, 0.5f, 0.5f},  {-0.0, 1.0, 0.0f, -1.0f},
                               {2.0, 2.0, -3.0f, 0.25f}, {1e-300, -1e-300, 0.0f, 0.0f}};

// Bit for bit, but any NaN matches any: of two NaN operands, the compiler picks whose payload.
template <class T> bool SameBits(T a, T b)
{
    return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

// Counts the evaluator's blocks of 256 divide unevenly, and none; odd places, then a grid.
TEST(ParticleStepper, MovesEveryParticleAsSteppingItAlone)
{
    for (std::size_t count : {0, 1, 7, 256, 257, 1500})
        for (const Case& c : kCases) {
            std::vector<Particle> expected(std::begin(kOddPlaces), std::end(kOddPlaces));
            for (std::size_t i = 0; expected.size() < count; ++i)
                expected.push_back({-3 + 0.15 * double(i % 40), -3 + 0.15 * double(i / 40),
                                    float(i % 9) / 2 - 2, float(i % 7) - 3});
            expected.resize(count);
            std::vector<double> x(count), y(count);
            std::vector<float> vx(count), vy(count);
            for (std::size_t i = 0; i < count; ++i) {
                x[i] = expected[i].x;
                y[i] = expected[i].y;
                vx[i] = expected[i].vx;
                vy[i] = expected[i].vy;
            }
            FieldFormulas formulas(c.fx, c.fy, {{"t", 2.0}});
            ParticleStepper stepper(formulas.fx, formulas.fy, c.kind);
            const bool velocityField = c.kind == FieldKind::Velocity; // needs no velocities
            for (int tick = 0; tick < 25; ++tick) {
                // Ticks with the time of each substep and ticks reading t's slot take turns:
                // the stepper lets its t go back to the slot.
                const bool timed = tick % 3 == 1;
                const double start = 0.5 + tick * c.dt * c.substeps;
                formulas.Slot("t") = 2.0;
                ReferenceTick(c.kind, formulas, expected, c.dt, c.substeps,
                              timed ? &start : nullptr);
                formulas.Slot("t") = 2.0;
                if (timed)
                    stepper.Tick(count, x.data(), y.data(), velocityField ? nullptr : vx.data(),
                                 velocityField ? nullptr : vy.data(), c.dt, c.substeps, start);
                else
                    stepper.Tick(count, x.data(), y.data(), velocityField ? nullptr : vx.data(),
                                 velocityField ? nullptr : vy.data(), c.dt, c.substeps);
                for (std::size_t i = 0; i < count; ++i) {
                    const Particle& e = expected[i];
                    ASSERT_TRUE(
                        SameBits(x[i], e.x) && SameBits(y[i], e.y) &&
                        (velocityField || (SameBits(vx[i], e.vx) && SameBits(vy[i], e.vy))) &&
                        bool(stepper.FailedInLastTick()[i]) == e.failed)
                        << c.fx << " | " << c.fy << ", tick " << tick << ", " << i << " of "
                        << count;
                }
            }
        }
}

// In the velocity field (1, t) a particle's y is the sum of t over the substeps, Euler's
// approximation of the integral t^2 / 2: below it by exactly T*dt/2 after T seconds from t = 0.
TEST(ParticleStepper, TimeOfEverySubstepIntegrates)
{
    FieldFormulas formulas("1", "t", {{"t", 0.0}});
    ParticleStepper stepper(formulas.fx, formulas.fy, FieldKind::Velocity);
    double x = 0, y = 0;
    const double dt = 0.001;
    const int substeps = 10;
    for (int tick = 0; tick < 300; ++tick)
        stepper.Tick(1, &x, &y, nullptr, nullptr, dt, substeps, tick * dt * substeps);
    const double seconds = 300 * dt * substeps;
    EXPECT_NEAR(x, seconds, 1e-12);
    EXPECT_NEAR(y, seconds * seconds / 2 - seconds * dt / 2, 1e-12);
    EXPECT_EQ(formulas.Slot("t"), 0.0);
}
