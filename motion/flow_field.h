#pragma once

#include "field_kind.h"
#include "helper_thread.h"
#include "particle_stepper.h"
#include "region.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// The particles of the flow view: many of them spread at random over a region, streaming with
// the field. Each lives a random few seconds and is then born again at a random place, and so
// is one that leaves the region or stands where the field cannot be evaluated. In an
// acceleration field they are born at rest. Standard C++ only: drawing is the viewer's.
class FlowField
{
public:
    // The formulas must outlive the flow; `seed` makes the random places repeatable. The
    // region's grid counts play no part.
    FlowField(const FunctionInterpreter& fx, const FunctionInterpreter& fy, FieldKind kind,
              const Region& region, std::uint64_t seed = 1);

    // More particles are born at random places, at random points of their lives so that they
    // do not all die together; fewer keeps the first ones. Allocates only to grow beyond every
    // count before.
    void SetCount(std::size_t count);
    std::size_t Count() const { return count; }
    // Streams through `region` from now on: every particle is born again at a random place of it,
    // at a random point of its life.
    void Retarget(const Region& region);
    const Region& Bounds() const { return region; }

    // Advances every particle by `seconds` in `substeps` substeps, then ages them and brings
    // back to life those whose time is up, which left the region or failed. Many particles are
    // stepped on two threads, unless a formula draws random numbers. Allocates nothing, except
    // for starting the second thread the first time it is needed.
    void Tick(double seconds, int substeps);
    // The same in a field that changes with time, its t running from `startTime` on with the
    // substeps (see ParticleStepper).
    void Tick(double seconds, int substeps, double startTime);

    // After a Tick, particle i went from (PreviousX, PreviousY) to (X, Y), unless it was born
    // again in that tick (Born), when it simply stands at (X, Y).
    const double* X() const { return x.data(); }
    const double* Y() const { return y.data(); }
    const double* PreviousX() const { return previousX.data(); }
    const double* PreviousY() const { return previousY.data(); }
    const unsigned char* Born() const { return born.data(); }
    // Units per second over the last tick (0 for a particle born in it).
    const float* Speed() const { return speed.data(); }

    // Shortest and longest life, in seconds.
    static constexpr float kShortestLife = 2.0f;
    static constexpr float kLongestLife = 5.0f;
    // From this many particles on, handing half of them to a second thread pays.
    static constexpr std::size_t kLeastForTwoThreads = 2048;

private:
    void BringToLife(std::size_t i, bool atRandomAge);
    double Uniform(); // in [0, 1)
    // Moves the particles; those from `split` on went to the helper thread.
    void Step(double dt, int substeps, const double* startTime);
    void Advance(double seconds, int substeps, const double* startTime);

    ParticleStepper stepper;     // particles [0, split)
    ParticleStepper restStepper; // particles [split, count), on the helper thread
    std::unique_ptr<HelperThread> helper;
    bool canSplit; // the formulas allow it and the machine has a second core
    std::size_t split = 0;
    Region region;
    std::uint64_t state;
    std::size_t count = 0;
    std::vector<double> x, y, previousX, previousY;
    std::vector<float> vx, vy, speed, age, life;
    std::vector<unsigned char> born;
};
