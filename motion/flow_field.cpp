#include "flow_field.h"

#include <cmath>
#include <thread>

FlowField::FlowField(const FunctionInterpreter& fx, const FunctionInterpreter& fy, FieldKind kind,
                     const Region& region, std::uint64_t seed)
    : stepper(fx, fy, kind), restStepper(fx, fy, kind),
      canSplit(stepper.Independent() && std::thread::hardware_concurrency() > 1), region(region),
      state(seed)
{
}

// splitmix64: fast, small, and independent of the C runtime's generator that RAND draws from.
double FlowField::Uniform()
{
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return double(z >> 11) * 0x1.0p-53;
}

void FlowField::BringToLife(std::size_t i, bool atRandomAge)
{
    x[i] = previousX[i] = region.xMin + Uniform() * (region.xMax - region.xMin);
    y[i] = previousY[i] = region.yMin + Uniform() * (region.yMax - region.yMin);
    vx[i] = vy[i] = 0.0f;
    speed[i] = 0.0f;
    life[i] = kShortestLife + float(Uniform()) * (kLongestLife - kShortestLife);
    age[i] = atRandomAge ? float(Uniform()) * life[i] : 0.0f;
    born[i] = 1;
}

void FlowField::SetCount(std::size_t newCount)
{
    if (newCount > x.size()) {
        for (auto* column : {&x, &y, &previousX, &previousY})
            column->resize(newCount);
        for (auto* column : {&vx, &vy, &speed, &age, &life})
            column->resize(newCount);
        born.resize(newCount);
    }
    for (std::size_t i = count; i < newCount; ++i)
        BringToLife(i, true);
    count = newCount;
}

void FlowField::Retarget(const Region& newRegion)
{
    region = newRegion;
    const std::size_t kept = count;
    count = 0;
    SetCount(kept);
}

void FlowField::Step(double dt, int substeps, const double* startTime)
{
    // The particles do not interact, so each half steps exactly as it would with the rest.
    split = count;
    if (canSplit && count >= kLeastForTwoThreads) split = count / 2;
    const auto tick = [&](ParticleStepper& part, std::size_t from, std::size_t to) {
        if (startTime)
            part.Tick(to - from, x.data() + from, y.data() + from, vx.data() + from,
                      vy.data() + from, dt, substeps, *startTime);
        else
            part.Tick(to - from, x.data() + from, y.data() + from, vx.data() + from,
                      vy.data() + from, dt, substeps);
    };
    if (split == count) return tick(stepper, 0, count);
    if (!helper) helper = std::make_unique<HelperThread>();
    auto rest = [&] { tick(restStepper, split, count); };
    auto first = [&] { tick(stepper, 0, split); };
    helper->RunAlongside(rest, first);
}

void FlowField::Tick(double seconds, int substeps)
{
    Advance(seconds, substeps, nullptr);
}

void FlowField::Tick(double seconds, int substeps, double startTime)
{
    Advance(seconds, substeps, &startTime);
}

void FlowField::Advance(double seconds, int substeps, const double* startTime)
{
    if (count == 0) return;
    for (std::size_t i = 0; i < count; ++i) {
        previousX[i] = x[i];
        previousY[i] = y[i];
    }
    Step(seconds / substeps, substeps, startTime);
    const unsigned char* failedFirst = stepper.FailedInLastTick();
    const unsigned char* failedRest = restStepper.FailedInLastTick();
    const bool velocityField = stepper.Kind() == FieldKind::Velocity;
    const double perSecond = seconds > 0 ? 1.0 / seconds : 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        age[i] += float(seconds);
        const bool inside = region.Contains(x[i], y[i]);
        const bool failed = i < split ? failedFirst[i] : failedRest[i - split];
        if (failed || !inside || age[i] > life[i]) {
            BringToLife(i, false);
            continue;
        }
        born[i] = 0;
        speed[i] = velocityField
                       ? float(std::hypot(x[i] - previousX[i], y[i] - previousY[i]) * perSecond)
                       : float(std::hypot(vx[i], vy[i]));
    }
}
