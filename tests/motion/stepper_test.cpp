// The stepper against stepping each particle alone through the tree, as the field window does:
// positions and velocities bit for bit, tick after tick, on fields that fail in places.

#include "engine.h"
#include "particle_stepper.h"
#include "reference_stepping.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using Field = ParticleStepper::Field;

// A grid over the region with random launch velocities, and the places where fields fail.
std::vector<Particle> StartingParticles(std::size_t count)
{
    std::vector<Particle> particles = {{0.0, 0.0, 0.0f, 0.0f},   {0.5, 0.0, 1.0f, 0.0f},
                                       {0.49, 0.3, 0.5f, 0.5f},  {-0.0, 1.0, 0.0f, -1.0f},
                                       {2.0, 2.0, -3.0f, 0.25f}, {1e-300, -1e-300, 0.0f, 0.0f}};
    std::mt19937 random(11);
    std::uniform_real_distribution<float> speed(-2.0f, 2.0f);
    const int side = int(std::ceil(std::sqrt(double(count))));
    for (std::size_t i = 0; particles.size() < count; ++i) {
        const double x = -3.0 + 6.0 * double(i % std::size_t(side)) / side;
        const double y = -3.0 + 6.0 * double(i / std::size_t(side)) / side;
        particles.push_back({x, y, speed(random), speed(random)});
    }
    particles.resize(count);
    return particles;
}

// Bit for bit, except that a NaN is any NaN: the payload of a NaN from two NaN operands depends
// on the order the compiler gave them (positions are never NaN, velocities can be).
bool SameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

bool SameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

struct Case
{
    const char* name;
    Field field;
    const char* fx;
    const char* fy;
    double dt;
    int substeps;
    bool fails; // some substeps put particles back
};

const Case kCases[] = {
    {"orbits", Field::kVelocity, "-y", "x", 0.001, 10, false},
    {"roots and reciprocals fail", Field::kVelocity, "sqrt(x)", "1/y", 0.01, 10, true},
    // Moving right, a particle fails each time it crosses x = 0.5 within a tick.
    {"fails mid-tick", Field::kVelocity, "1", "x > 0.5 ? sqrt(-1 - y*y) : 0.25", 0.02, 10, true},
    {"logarithms and poles", Field::kVelocity, "ln(x*y)", "x > 1 ? 1/(x-2) : -y", 0.05, 3, true},
    {"overflowing positions", Field::kVelocity, "x * 1e200", "y * 1e300", 1.0, 9, true},
    {"slot variable", Field::kVelocity, "t * y", "-t * x", 0.01, 1, false},
    // Remainders by divisors between -1 and 1 fail where their value would be finite.
    {"failures with finite values", Field::kVelocity, "0.5 + x % y", "1 + y % x", 0.01, 10, true},
    {"falling", Field::kAcceleration, "0", "-1", 0.001, 10, false},
    {"gravity of the origin", Field::kAcceleration, "-x/sqrt(x*x+y*y)^3", "-y/sqrt(x*x+y*y)^3",
     0.01, 10, true},
    // Accelerated to the right, a particle fails past x = 0.5 but keeps its speed.
    {"fails mid-tick keeping speed", Field::kAcceleration, "3", "x > 0.5 ? ln(-x) : 0", 0.02, 10,
     true},
    // float(Fy * dt) overflows: the velocity becomes infinite and every position after it fails.
    {"overflowing velocity", Field::kAcceleration, "x * 1e30", "y > 1 ? 1e300 : -y", 0.5, 10, true},
    {"failures with finite values", Field::kAcceleration, "y % x", "-1 + x % y", 0.01, 10, true},
    {"spiral with failures", Field::kAcceleration, "-y + 1/(x - 1)", "x - asin(y / 3)", 0.01, 10,
     true},
};

void CompareTicks(const Case& c, std::size_t count, int ticks)
{
    FieldFormulas formulas(c.fx, c.fy, {{"t", 2.0}});
    std::vector<Particle> expected = StartingParticles(count);
    std::vector<double> x(count), y(count);
    std::vector<float> vx(count), vy(count);
    for (std::size_t i = 0; i < count; ++i) {
        x[i] = expected[i].x;
        y[i] = expected[i].y;
        vx[i] = expected[i].vx;
        vy[i] = expected[i].vy;
    }
    ParticleStepper stepper(formulas.fx, formulas.fy, c.field);
    for (int tick = 0; tick < ticks; ++tick) {
        ReferenceTick(c.field, formulas, expected, c.dt, c.substeps);
        stepper.Tick(count, x.data(), y.data(), vx.data(), vy.data(), c.dt, c.substeps);
        for (std::size_t i = 0; i < count; ++i) {
            const Particle& e = expected[i];
            const bool same =
                SameBits(x[i], e.x) && SameBits(y[i], e.y) &&
                (c.field == Field::kVelocity || (SameBits(vx[i], e.vx) && SameBits(vy[i], e.vy))) &&
                bool(stepper.FailedInLastTick()[i]) == e.failed;
            ASSERT_TRUE(same) << c.name << ", tick " << tick << ", particle " << i << " of "
                              << count << ": stepper (" << x[i] << ", " << y[i] << " | " << vx[i]
                              << ", " << vy[i] << "), alone (" << e.x << ", " << e.y << " | "
                              << e.vx << ", " << e.vy << ")";
        }
    }
}

TEST(ParticleStepper, MovesEveryParticleAsSteppingItAlone)
{
    for (const Case& c : kCases)
        CompareTicks(c, 1500, 25);
}

TEST(ParticleStepper, AnyNumberOfParticles)
{
    for (std::size_t count : {1, 7, 256, 257, 10007})
        for (const Case& c : {kCases[2], kCases[8]})
            CompareTicks(c, count, 3);
}

// The cases above would pass with a stepper that never moves anything if the reference did not
// move particles either: make sure the fields really change them, and fail where meant to.
TEST(ParticleStepper, CasesMoveAndFail)
{
    for (const Case& c : kCases) {
        FieldFormulas formulas(c.fx, c.fy, {{"t", 2.0}});
        std::vector<Particle> particles = StartingParticles(1500);
        const std::vector<Particle> before = particles;
        const int failures = ReferenceTick(c.field, formulas, particles, c.dt, c.substeps);
        std::size_t changed = 0;
        for (std::size_t i = 0; i < particles.size(); ++i)
            changed += particles[i].x != before[i].x || particles[i].y != before[i].y ||
                       particles[i].vx != before[i].vx || particles[i].vy != before[i].vy;
        EXPECT_GT(changed, 100u) << c.name;
        EXPECT_EQ(failures > 0, c.fails) << c.name << ": " << failures << " failures";
    }
}

TEST(ParticleStepper, NothingToDo)
{
    FieldFormulas formulas("1", "1");
    ParticleStepper stepper(formulas.fx, formulas.fy, Field::kVelocity);
    double x = 0.5;
    double y = -0.5;
    stepper.Tick(1, &x, &y, nullptr, nullptr, 0.1, 0);
    stepper.Tick(0, &x, &y, nullptr, nullptr, 0.1, 10);
    EXPECT_EQ(x, 0.5);
    EXPECT_EQ(y, -0.5);
    stepper.Tick(1, &x, &y, nullptr, nullptr, 0.1, 10); // velocity fields need no velocities
    EXPECT_NEAR(x, 1.5, 1e-12);
    EXPECT_NEAR(y, 0.5, 1e-12);
}

} // namespace
