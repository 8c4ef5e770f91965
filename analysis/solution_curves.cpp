#include "solution_curves.h"

#include "ode_solver.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kTolerance = 1e-10;
// Fractions of the region's size: the reach of an equilibrium, the margin, how close a curve
// must come back to its start to be closed, and the longest chord between two samples. A curve
// heading for a saddle along its stable branch misses it by about the square root of its error
// times its distance (it leaves along the unstable branch as fast as it arrived): the reach must
// be well beyond that, about 1e-5 of the region here, to see it arrive.
constexpr double kReachFraction = 1e-4;
constexpr double kMarginFraction = 0.05;
constexpr double kClosingFraction = 1e-6;
constexpr double kChordFraction = 1.0 / 400;
// Samples added inside one step at most, however long it is.
constexpr int kMostSamplesPerStep = 32;
// Points of a step where the events are looked for.
constexpr int kLooksPerStep = 4;
constexpr long kMostSteps = 100000;
// Newton's steps towards an equilibrium must shrink at least this much, and reduce |F| at least
// this much: towards a zero of multiplicity m they shrink by (m - 1) / m and reduce |F| by
// ((m - 1) / m)^m, never more than 1/e; near a minimum of |F| that is no zero they do neither.
constexpr double kShrinking = 0.9;
constexpr double kReducing = 0.5;

double SizeOf(const Region& region)
{
    const double size = std::max(region.xMax - region.xMin, region.yMax - region.yMin);
    return size > 0 ? size : 1;
}

bool ValidRegion(const Region& r)
{
    for (double bound : {r.xMin, r.xMax, r.yMin, r.yMax, r.xMax - r.xMin, r.yMax - r.yMin})
        if (!std::isfinite(bound)) return false;
    return r.xMin <= r.xMax && r.yMin <= r.yMax;
}

} // namespace

double EquilibriumReach(const Region& region)
{
    return kReachFraction * SizeOf(region);
}

double RegionMargin(const Region& region)
{
    return kMarginFraction * SizeOf(region);
}

double BeyondMargin(const Region& r, const double* point)
{
    const double margin = RegionMargin(r);
    return std::max(std::max(r.xMin - margin - point[0], point[0] - r.xMax - margin),
                    std::max(r.yMin - margin - point[1], point[1] - r.yMax - margin));
}

bool NearEquilibrium(const PlanarField& field, const Region& region, double x, double y,
                     const double value[2], double at[2])
{
    if (value[0] == 0 && value[1] == 0) {
        at[0] = x;
        at[1] = y;
        return true;
    }
    Matrix2 j;
    double step[2];
    if (!field.Jacobian(x, y, j) || !LeastSquaresStep(j, value, step)) return false;
    const double first = std::hypot(step[0], step[1]);
    if (!(first <= EquilibriumReach(region))) return false;
    // Where F is not in the Jacobian's range (near a minimum of |F| that is no zero) the least
    // squares step is short too, but it does not reduce F.
    const double px = x + step[0], py = y + step[1];
    double next[2], again[2] = {0, 0};
    if (!field.Value(px, py, next)) return false;
    if (!(std::hypot(next[0], next[1]) <= kReducing * std::hypot(value[0], value[1]))) return false;
    if (next[0] != 0 || next[1] != 0) {
        if (!field.Jacobian(px, py, j) || !LeastSquaresStep(j, next, again)) return false;
        if (!(std::hypot(again[0], again[1]) <= kShrinking * first)) return false;
    }
    at[0] = px + again[0];
    at[1] = py + again[1];
    return true;
}

namespace {

// One solution being traced: the solver, the events and the samples.
class Tracer
{
public:
    Tracer(const PlanarField& field, const CurveRequest& request);
    TracedCurve Run();

private:
    bool Slope(const double* state, double* slope) const;
    // Positive once the state has passed the plane through the start across the flow there.
    double PastStart(const double* state) const;
    bool BackAtStart(const double* state) const;
    void Sample(double time, const double* state);
    // Samples the last step up to `until`, finer where it moves far.
    void SampleStep(double until, const DormandPrince::State& end);
    TracedCurve Finish(Trajectory::End end, double period = 0);

    const PlanarField& field;
    const CurveRequest& request;
    const int dimension;
    const double direction; // +1 forward, -1 backward
    const double size;
    DormandPrince solver;
    DormandPrince::State start{};
    DormandPrince::State startSlope{};
    double fastest = 0; // for x'' = F, the greatest speed so far
    double path = 0;
    TracedCurve curve;
};

Tracer::Tracer(const PlanarField& field, const CurveRequest& request)
    : field(field), request(request), dimension(request.acceleration ? 4 : 2),
      direction(request.duration < 0 ? -1.0 : 1.0), size(SizeOf(request.region)),
      solver(
          dimension, [this](const double* s, double* d) { return Slope(s, d); }, kTolerance,
          kTolerance)
{
}

bool Tracer::Slope(const double* state, double* slope) const
{
    double value[2];
    if (!field.Value(state[0], state[1], value)) return false;
    if (request.acceleration) {
        slope[0] = direction * state[2];
        slope[1] = direction * state[3];
        slope[2] = direction * value[0];
        slope[3] = direction * value[1];
    } else {
        slope[0] = direction * value[0];
        slope[1] = direction * value[1];
    }
    return true;
}

double Tracer::PastStart(const double* state) const
{
    double sum = 0;
    for (int i = 0; i < dimension; ++i)
        sum += (state[i] - start[i]) * startSlope[i];
    return sum;
}

bool Tracer::BackAtStart(const double* state) const
{
    if (std::hypot(state[0] - start[0], state[1] - start[1]) > kClosingFraction * size)
        return false;
    return !request.acceleration ||
           std::hypot(state[2] - start[2], state[3] - start[3]) <= kClosingFraction * fastest;
}

void Tracer::Sample(double time, const double* state)
{
    Trajectory& t = curve.trajectory;
    if (!t.x.empty()) path += std::hypot(state[0] - t.x.back(), state[1] - t.y.back());
    t.t.push_back(direction * time);
    t.x.push_back(state[0]);
    t.y.push_back(state[1]);
    if (request.acceleration) fastest = std::max(fastest, std::hypot(state[2], state[3]));
}

void Tracer::SampleStep(double until, const DormandPrince::State& end)
{
    solver.SampleStep(until, end, kChordFraction * size, kMostSamplesPerStep,
                      [this](double time, const double* state) { Sample(time, state); });
}

TracedCurve Tracer::Finish(Trajectory::End end, double period)
{
    curve.trajectory.end = end;
    curve.trajectory.period = period;
    return std::move(curve);
}

TracedCurve Tracer::Run()
{
    using End = Trajectory::End;
    if (!ValidRegion(request.region) || std::isnan(request.duration)) return Finish(End::Failed);
    for (int i = 0; i < dimension; ++i) {
        if (!std::isfinite(request.start[i])) return Finish(End::Failed);
        start[i] = request.start[i];
    }
    Sample(0, start.data());
    if (BeyondMargin(request.region, start.data()) > 0) return Finish(End::LeftRegion);
    if (!solver.Start(start.data())) return Finish(End::Failed);
    startSlope = solver.Slope();

    double value[2] = {startSlope[dimension - 2] * direction,
                       startSlope[dimension - 1] * direction};
    const bool atRest = !request.acceleration || (start[2] == 0 && start[3] == 0);
    if (atRest && ((value[0] == 0 && value[1] == 0) ||
                   (!request.acceleration && NearEquilibrium(field, request.region, start[0],
                                                             start[1], value, curve.equilibrium))))
        return Finish(End::Equilibrium);

    const double duration = std::fabs(request.duration);
    const DormandPrince::EventFunction outside = [this](const double* s) {
        return BeyondMargin(request.region, s);
    };
    const DormandPrince::EventFunction pastStart = [this](const double* s) { return PastStart(s); };
    while (solver.Time() < duration) {
        if (solver.Steps() >= kMostSteps) return Finish(End::TimeLimit);
        if (!solver.Step(duration)) return Finish(End::Failed);

        double leftAt = 0, closedAt = 0;
        DormandPrince::State leftState{}, closedState{};
        bool left = solver.FindEvent(outside, kLooksPerStep, leftAt, leftState);
        if (!left && BeyondMargin(request.region, solver.Current().data()) >
                         0) { // was on the margin at the start
            left = true;
            leftAt = solver.Time();
            leftState = solver.Current();
        }
        const bool closed = solver.FindEvent(pastStart, kLooksPerStep, closedAt, closedState) &&
                            BackAtStart(closedState.data());
        if (closed && (!left || closedAt <= leftAt)) {
            SampleStep(closedAt, closedState);
            return Finish(End::Closed, closedAt);
        }
        if (left) {
            SampleStep(leftAt, leftState);
            return Finish(End::LeftRegion);
        }
        SampleStep(solver.Time(), solver.Current());
        if (!request.acceleration) {
            value[0] = direction * solver.Slope()[0];
            value[1] = direction * solver.Slope()[1];
            const auto& now = solver.Current();
            if (NearEquilibrium(field, request.region, now[0], now[1], value, curve.equilibrium))
                return Finish(End::Equilibrium);
        }
        if (path > request.longestPath) return Finish(End::TimeLimit);
    }
    return Finish(End::TimeLimit);
}

} // namespace

TracedCurve TraceCurve(const PlanarField& field, const CurveRequest& request)
{
    return Tracer(field, request).Run();
}
