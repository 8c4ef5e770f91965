#pragma once

#include <array>
#include <functional>

// The explicit Runge–Kutta pair of Dormand and Prince, orders 5 and 4, with step-size control
// and a continuous extension of order 4 over every step (as in Hairer, Nørsett and Wanner,
// Solving Ordinary Differential Equations I). For autonomous systems y' = f(y) of up to
// kMaxDimension equations. Time only runs forward: to integrate backward, negate f.
class DormandPrince
{
public:
    static constexpr int kMaxDimension = 6;
    using State = std::array<double, kMaxDimension>;
    // Writes f(state); false where f cannot be evaluated or is not finite.
    using RightHandSide = std::function<bool(const double* state, double* derivative)>;

    // Each step keeps its local error below absolute + relative · |y| in the root mean square
    // over the components.
    DormandPrince(int dimension, RightHandSide f, double relativeTolerance,
                  double absoluteTolerance);

    // Starts again at `state` and `time`; false when f fails there.
    bool Start(const double* state, double time = 0);

    // One accepted step, ending at `endTime` at the latest. Where f fails inside a step, the step
    // shrinks; false once it would have to become shorter than the time can resolve, or the
    // tolerance cannot be met: the solution has run into a point where f fails or blows up. The
    // state stays at the last accepted step then.
    bool Step(double endTime);

    int Dimension() const { return dimension; }
    double Time() const { return time; }
    const State& Current() const { return current; }
    // f at the current state.
    const State& Slope() const { return slope; }
    double PreviousTime() const { return previousTime; }
    const State& Previous() const { return previous; }
    // The continuous extension of the last step at `at`, between PreviousTime() and Time(); the
    // current state before the first step.
    void Interpolate(double at, double* state) const;
    long Steps() const { return steps; }

    // Hands `take` the time and state of points along the last step up to `until` (whose state
    // is `end`), the last of them `until` itself, so that the first two components move at most
    // `spacing` from one point to the next, with at most `most` points.
    void SampleStep(double until, const State& end, double spacing, int most,
                    const std::function<void(double time, const double* state)>& take) const;

    // g of a state; an event happens where g turns from negative to non-negative.
    using EventFunction = std::function<double(const double* state)>;
    // The earliest such turn within the last step: g is looked at on `looks` evenly spaced points
    // of the step (so that a brief turn inside a long step is seen too) and the turn between two
    // of them located on the continuous extension to the resolution of time. False when g is
    // non-negative at none of those points after being negative.
    bool FindEvent(const EventFunction& g, int looks, double& at, State& state) const;

private:
    bool Evaluate(const double* state, double* derivative);
    double InitialStep();
    // Whether `length` is too short a step at the current time.
    bool TooShort(double length) const;

    int dimension;
    RightHandSide f;
    double relativeTolerance;
    double absoluteTolerance;
    double time = 0;
    double previousTime = 0;
    double length = 0; // of the next step to try
    double lastLength = 0;
    double previousError = 1e-4; // the step-size controller's memory
    bool rejected = false;
    long steps = 0;
    State current{};
    State slope{};
    State previous{};
    State dense[5]{}; // the continuous extension's coefficients over the last step
};
