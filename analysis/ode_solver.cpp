#include "ode_solver.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The Butcher tableau of Dormand and Prince; the seventh stage is f at the new point, which is
// the first stage of the next step. The field does not depend on time, so the stages' nodes
// (1/5, 3/10, 4/5, 8/9, 1) are not needed.
constexpr double a21 = 1.0 / 5;
constexpr double a31 = 3.0 / 40, a32 = 9.0 / 40;
constexpr double a41 = 44.0 / 45, a42 = -56.0 / 15, a43 = 32.0 / 9;
constexpr double a51 = 19372.0 / 6561, a52 = -25360.0 / 2187, a53 = 64448.0 / 6561,
                 a54 = -212.0 / 729;
constexpr double a61 = 9017.0 / 3168, a62 = -355.0 / 33, a63 = 46732.0 / 5247, a64 = 49.0 / 176,
                 a65 = -5103.0 / 18656;
constexpr double a71 = 35.0 / 384, a73 = 500.0 / 1113, a74 = 125.0 / 192, a75 = -2187.0 / 6784,
                 a76 = 11.0 / 84;
// The difference between the fifth- and the fourth-order solutions.
constexpr double e1 = 71.0 / 57600, e3 = -71.0 / 16695, e4 = 71.0 / 1920, e5 = -17253.0 / 339200,
                 e6 = 22.0 / 525, e7 = -1.0 / 40;
// The continuous extension (Shampine's).
constexpr double d1 = -12715105075.0 / 11282082432, d3 = 87487479700.0 / 32700410799,
                 d4 = -10690763975.0 / 1880347072, d5 = 701980252875.0 / 199316789632,
                 d6 = -1453857185.0 / 822651844, d7 = 69997945.0 / 29380423;

// The step-size controller: a safety factor, bounds on how fast a step may shrink or grow, and
// the weight of the previous error (Gustafsson's stabilisation, as in Hairer's code).
constexpr double kSafety = 0.9;
constexpr double kLeastFactor = 0.2;
constexpr double kMostFactor = 10.0;
constexpr double kMemory = 0.04;
// How much a step shrinks after f failed inside it.
constexpr double kShrinkOnFailure = 0.25;
// Steps that advance the time or the state by less than this many units in the last place
// are not steps.
constexpr double kShortestInUlps = 64;

} // namespace

DormandPrince::DormandPrince(int dimension, RightHandSide f, double relativeTolerance,
                             double absoluteTolerance)
    : dimension(std::clamp(dimension, 1, kMaxDimension)), f(std::move(f)),
      relativeTolerance(relativeTolerance), absoluteTolerance(absoluteTolerance)
{
}

bool DormandPrince::Evaluate(const double* state, double* derivative)
{
    if (!f(state, derivative)) return false;
    for (int i = 0; i < dimension; ++i)
        if (!std::isfinite(derivative[i])) return false;
    return true;
}

bool DormandPrince::Start(const double* state, double startTime)
{
    for (int i = 0; i < dimension; ++i)
        current[i] = previous[i] = state[i];
    time = previousTime = startTime;
    lastLength = 0;
    previousError = 1e-4;
    rejected = false;
    steps = 0;
    if (!Evaluate(current.data(), slope.data())) return false;
    length = InitialStep();
    return true;
}

double DormandPrince::InitialStep()
{
    // Hairer's guess: a step over which the first and second derivatives change y by about
    // the tolerance.
    double normY = 0, normF = 0;
    for (int i = 0; i < dimension; ++i) {
        const double scale = absoluteTolerance + relativeTolerance * std::fabs(current[i]);
        normY += (current[i] / scale) * (current[i] / scale);
        normF += (slope[i] / scale) * (slope[i] / scale);
    }
    double first = normF <= 1e-10 || normY <= 1e-10 ? 1e-6 : std::sqrt(normY / normF) * 0.01;
    State trial{}, trialSlope{};
    for (int i = 0; i < dimension; ++i)
        trial[i] = current[i] + first * slope[i];
    if (!Evaluate(trial.data(), trialSlope.data())) return first;
    double second = 0;
    for (int i = 0; i < dimension; ++i) {
        const double scale = absoluteTolerance + relativeTolerance * std::fabs(current[i]);
        const double change = (trialSlope[i] - slope[i]) / scale;
        second += change * change;
    }
    const double curvature = std::max(std::sqrt(second) / first, std::sqrt(normF));
    const double guess =
        curvature <= 1e-15 ? std::max(1e-6, first * 1e-3) : std::pow(0.01 / curvature, 1.0 / 5);
    return std::min(100 * first, guess);
}

bool DormandPrince::TooShort(double step) const
{
    // Too short for the time to advance, or for the state to move beyond its rounding.
    const double infinity = std::numeric_limits<double>::infinity();
    if (!(step > kShortestInUlps * (std::nextafter(std::fabs(time), infinity) - std::fabs(time))))
        return true;
    for (int i = 0; i < dimension; ++i)
        if (std::fabs(step * slope[i]) >
            kShortestInUlps * std::numeric_limits<double>::epsilon() * std::fabs(current[i]))
            return false;
    return true;
}

bool DormandPrince::Step(double endTime)
{
    State k2{}, k3{}, k4{}, k5{}, k6{}, k7{}, stage{}, next{};
    const State& k1 = slope;
    const int n = dimension;
    for (;;) {
        const double remaining = endTime - time;
        if (!(remaining > 0)) return true;
        double h = std::min(length, remaining);
        // A last piece too short to be a step of its own joins this one.
        const bool last = h >= remaining || TooShort(remaining - h);
        if (last) h = remaining;
        if (TooShort(h) && !last) return false;

        bool failed = false;
        auto stageAt = [&](auto&& combine, State& k) {
            if (failed) return;
            for (int i = 0; i < n; ++i)
                stage[i] = current[i] + h * combine(i);
            failed = !Evaluate(stage.data(), k.data());
        };
        stageAt([&](int i) { return a21 * k1[i]; }, k2);
        stageAt([&](int i) { return a31 * k1[i] + a32 * k2[i]; }, k3);
        stageAt([&](int i) { return a41 * k1[i] + a42 * k2[i] + a43 * k3[i]; }, k4);
        stageAt([&](int i) { return a51 * k1[i] + a52 * k2[i] + a53 * k3[i] + a54 * k4[i]; }, k5);
        stageAt(
            [&](int i) {
                return a61 * k1[i] + a62 * k2[i] + a63 * k3[i] + a64 * k4[i] + a65 * k5[i];
            },
            k6);
        if (!failed) {
            for (int i = 0; i < n; ++i)
                next[i] = current[i] +
                          h * (a71 * k1[i] + a73 * k3[i] + a74 * k4[i] + a75 * k5[i] + a76 * k6[i]);
            failed = !Evaluate(next.data(), k7.data());
        }
        if (failed) {
            length = h * kShrinkOnFailure;
            rejected = true;
            if (TooShort(length)) return false;
            continue;
        }

        double error = 0;
        for (int i = 0; i < n; ++i) {
            const double estimate =
                h * (e1 * k1[i] + e3 * k3[i] + e4 * k4[i] + e5 * k5[i] + e6 * k6[i] + e7 * k7[i]);
            const double scale =
                absoluteTolerance +
                relativeTolerance * std::max(std::fabs(current[i]), std::fabs(next[i]));
            error += (estimate / scale) * (estimate / scale);
        }
        error = std::sqrt(error / n);
        if (!std::isfinite(error)) {
            length = h * kShrinkOnFailure;
            rejected = true;
            if (TooShort(length)) return false;
            continue;
        }
        const double grow = std::pow(error, 0.2 - kMemory * 0.75);
        if (error <= 1) {
            double factor = grow / std::pow(previousError, kMemory) / kSafety;
            factor = std::clamp(factor, 1 / kMostFactor, 1 / kLeastFactor);
            double nextLength = h / factor;
            if (rejected) nextLength = std::min(nextLength, h);
            previousError = std::max(error, 1e-4);
            rejected = false;

            for (int i = 0; i < n; ++i) {
                const double change = next[i] - current[i];
                const double firstOrder = h * k1[i] - change;
                dense[0][i] = current[i];
                dense[1][i] = change;
                dense[2][i] = firstOrder;
                dense[3][i] = change - h * k7[i] - firstOrder;
                dense[4][i] = h * (d1 * k1[i] + d3 * k3[i] + d4 * k4[i] + d5 * k5[i] + d6 * k6[i] +
                                   d7 * k7[i]);
            }
            previous = current;
            previousTime = time;
            current = next;
            slope = k7;
            time = last ? endTime : time + h;
            lastLength = time - previousTime;
            length = nextLength;
            ++steps;
            return true;
        }
        length = h / std::min(1 / kLeastFactor, grow / kSafety);
        rejected = true;
        if (TooShort(length)) return false;
    }
}

void DormandPrince::Interpolate(double at, double* state) const
{
    if (!(lastLength > 0)) {
        for (int i = 0; i < dimension; ++i)
            state[i] = current[i];
        return;
    }
    const double theta = std::clamp((at - previousTime) / lastLength, 0.0, 1.0);
    const double rest = 1 - theta;
    for (int i = 0; i < dimension; ++i)
        state[i] = dense[0][i] +
                   theta * (dense[1][i] +
                            rest * (dense[2][i] + theta * (dense[3][i] + rest * dense[4][i])));
}

void DormandPrince::SampleStep(double until, const State& end, double spacing, int most,
                               const std::function<void(double, const double*)>& take) const
{
    const double chord = std::hypot(end[0] - previous[0], end[1] - previous[1]);
    const double wanted = spacing > 0 ? std::ceil(chord / spacing) : 1.0;
    const int pieces = static_cast<int>(std::clamp(wanted, 1.0, static_cast<double>(most)));
    State inside{};
    for (int k = 1; k < pieces; ++k) {
        const double at = previousTime + (until - previousTime) * k / pieces;
        Interpolate(at, inside.data());
        take(at, inside.data());
    }
    take(until, end.data());
}

bool DormandPrince::FindEvent(const EventFunction& g, int looks, double& at, State& state) const
{
    looks = std::max(looks, 1);
    State probe{};
    double before = g(previous.data());
    double beforeTime = previousTime;
    for (int k = 1; k <= looks; ++k) {
        const double afterTime =
            k == looks ? time : previousTime + (time - previousTime) * k / looks;
        Interpolate(afterTime, probe.data());
        if (k == looks) probe = current;
        const double after = g(probe.data());
        if (before < 0 && after >= 0) {
            // Illinois: regula falsi that halves the value kept twice in a row, so that both
            // ends move and the bracket shrinks superlinearly.
            double lowTime = beforeTime, highTime = afterTime;
            double low = before, high = after;
            int kept = 0;
            state = probe;
            for (int iteration = 0; iteration < 100; ++iteration) {
                double middle = highTime - high * (highTime - lowTime) / (high - low);
                if (!(middle > lowTime && middle < highTime))
                    middle = lowTime + (highTime - lowTime) / 2;
                if (!(middle > lowTime && middle < highTime)) break;
                Interpolate(middle, probe.data());
                const double value = g(probe.data());
                if (value >= 0) {
                    highTime = middle;
                    high = value;
                    state = probe;
                    low = kept == -1 ? low / 2 : low;
                    kept = -1;
                } else {
                    lowTime = middle;
                    low = value;
                    high = kept == 1 ? high / 2 : high;
                    kept = 1;
                }
            }
            at = highTime;
            return true;
        }
        before = after;
        beforeTime = afterTime;
    }
    return false;
}
