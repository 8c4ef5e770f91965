#include "limit_cycles.h"

#include "ode_solver.h"
#include "solution_curves.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kPi = 3.141592653589793;

// Solver tolerances: scanning a section for sign changes, the looser run beside it that
// estimates the scan's error, Newton's iterations, and the cycle's last loop (whose difference
// from Newton's last one bounds the error of the multiplier).
constexpr double kScanTolerance = 1e-8;
constexpr double kLooseTolerance = 1e-6;
constexpr double kNewtonTolerance = 1e-10;
constexpr double kFinalTolerance = 1e-12;

// Rays tried around an equilibrium, and points along each where the flow must cross it the same
// way; points scanned along the chosen one.
constexpr int kRayDirections = 16;
constexpr int kRayLooks = 32;
constexpr int kScanPoints = 20;
// Starts on each side of the border, and turns an orbit from there makes before a section is
// put across it; that section's half-length as a fraction of the region's size.
constexpr int kBorderStartsPerSide = 3;
constexpr double kTurnsBeforeSection = 2;
constexpr double kBorderSectionFraction = 0.25;

constexpr long kMostReturnSteps = 5000;
constexpr long kMostWarmUpSteps = 3000;
constexpr int kMostRefinements = 40;
constexpr int kMostNewtonSteps = 15;
constexpr int kMostCycles = 20;

// Fractions of the region's size: Newton has converged once its step is below the first; a
// bracket this narrow in which no orbit returned holds no cycle that attracts (it is the edge of
// a basin); an orbit this close to a known cycle that attracts it goes there; two cycles this
// close with the same period are one; the fixed point must return this close to itself.
constexpr double kConvergedFraction = 1e-12;
constexpr double kNoReturnFraction = 1e-3;
constexpr double kNearKnownFraction = 1e-2;
constexpr double kSameCycleFraction = 1e-4;
constexpr double kFixedPointFraction = 1e-6;
constexpr double kSamePeriod = 1e-6;
// The return map's derivative from the variational equation and exp of the divergence's
// integral are the same number; their difference is the variational solution's error, bounded
// by the tolerance times the size of its terms.
constexpr double kDerivativeAgreement = 1e-6;
constexpr double kChordFraction = 1.0 / 400;
constexpr int kMostSamplesPerStep = 32;
constexpr int kLooksPerStep = 4;

struct Point
{
    double x;
    double y;
};

// A segment across the flow: points base + s·along for s in [lowest, highest], which the flow
// crosses in the direction of `across` (forward in time).
struct Section
{
    Point base;
    Point along;
    Point across;
    double lowest;
    double highest;
    bool fromEquilibrium; // base is an equilibrium, and orbits reaching it went inward
};

// Where the orbit from one point of a section came back to it, or why it did not.
struct Return
{
    enum class Kind
    {
        Returned,
        Outward, // left the region
        Inward,  // reached the equilibrium the section starts from
        Lost     // reached another equilibrium, failed or took too long
    } kind = Kind::Lost;
    double position = 0;      // s where it returned
    double derivative = 0;    // of the return map, from the variational equation
    double time = 0;          // the return time
    double logDerivative = 0; // the divergence integrated along the way
};

double Dot(Point p, Point q)
{
    return p.x * q.x + p.y * q.y;
}

double SegmentDistance(Point p, Point a, Point b)
{
    const Point ab{b.x - a.x, b.y - a.y}, ap{p.x - a.x, p.y - a.y};
    const double length = Dot(ab, ab);
    const double t = length > 0 ? std::clamp(Dot(ap, ab) / length, 0.0, 1.0) : 0.0;
    return std::hypot(ap.x - t * ab.x, ap.y - t * ab.y);
}

double Distance(Point p, const LimitCycle& cycle)
{
    double nearest = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i + 1 < cycle.x.size(); ++i)
        nearest = std::min(nearest, SegmentDistance(p, {cycle.x[i], cycle.y[i]},
                                                    {cycle.x[i + 1], cycle.y[i + 1]}));
    return nearest;
}

double Area(const LimitCycle& cycle)
{
    double twice = 0;
    for (std::size_t i = 0; i + 1 < cycle.x.size(); ++i)
        twice += cycle.x[i] * cycle.y[i + 1] - cycle.x[i + 1] * cycle.y[i];
    return std::fabs(twice) / 2;
}

class CycleSearch
{
public:
    CycleSearch(const PlanarField& field, const std::vector<Equilibrium>& equilibria,
                const Region& region);
    std::vector<LimitCycle> Run();

private:
    // The orbit from base + s·along in the direction of time `direction` until it comes back
    // to the section; with `variational`, the return map's derivative and the divergence's
    // integral too; `orbit` (may be null) receives the points on the way.
    Return Map(const Section& section, double s, int direction, double tolerance, bool variational,
               std::vector<Point>* orbit) const;
    bool ChooseRay(const Equilibrium& equilibrium, Section& section) const;
    void ScanRay(const Equilibrium& equilibrium);
    // The cycle between low and high, where the return map in `direction` moves points up at
    // low and down at high (it attracts in that direction).
    void Refine(const Section& section, double low, double high, int direction);
    void FromBorder(Point start, int direction);
    // Newton's iterations from s on a section across an orbit that turns around a cycle.
    void Converge(const Section& section, int direction);
    // Traces the cycle through s once more, checks it and keeps it.
    void Finish(const Section& section, double s, int direction, double coarseLog);
    bool NearKnown(Point p, int direction) const;

    const PlanarField& field;
    const std::vector<Equilibrium>& equilibria;
    const Region region;
    double size;
    std::vector<LimitCycle> cycles;
};

CycleSearch::CycleSearch(const PlanarField& field, const std::vector<Equilibrium>& equilibria,
                         const Region& region)
    : field(field), equilibria(equilibria), region(region),
      size(std::max(region.xMax - region.xMin, region.yMax - region.yMin))
{
}

Return CycleSearch::Map(const Section& section, double s, int direction, double tolerance,
                        bool variational, std::vector<Point>* orbit) const
{
    Return result;
    const double sigma = direction;
    auto slope = [&](const double* state, double* d) {
        double value[2];
        if (!field.Value(state[0], state[1], value)) return false;
        d[0] = sigma * value[0];
        d[1] = sigma * value[1];
        if (variational) {
            Matrix2 j;
            if (!field.Jacobian(state[0], state[1], j)) return false;
            d[2] = sigma * (j.a * state[2] + j.b * state[3]);
            d[3] = sigma * (j.c * state[2] + j.d * state[3]);
            d[4] = sigma * (j.a + j.d);
        }
        return true;
    };
    DormandPrince solver(variational ? 5 : 2, slope, tolerance, tolerance);
    const Point& base = section.base;
    const double start[5] = {base.x + s * section.along.x, base.y + s * section.along.y,
                             section.along.x, section.along.y, 0};
    if (!solver.Start(start)) return result;
    // n·F: the flow must cross the section the right way where it starts.
    const Point startSlope{solver.Slope()[0], solver.Slope()[1]};
    if (!(sigma * Dot(section.across, startSlope) > 0)) return result;
    if (orbit) orbit->assign(1, {start[0], start[1]});

    // Positive once the orbit is past the section's line, in the direction it crossed at first;
    // measured from the start, so that it is exactly 0 there and not a rounding error below.
    const DormandPrince::EventFunction past = [&](const double* state) {
        return sigma * Dot(section.across, {state[0] - start[0], state[1] - start[1]});
    };
    const DormandPrince::EventFunction outside = [this](const double* state) {
        return BeyondMargin(region, state);
    };
    auto take = [orbit](double, const double* state) {
        if (orbit) orbit->push_back({state[0], state[1]});
    };
    const double infinity = std::numeric_limits<double>::infinity();
    while (solver.Steps() < kMostReturnSteps) {
        if (!solver.Step(infinity)) return result;
        double leftAt = 0, crossedAt = 0;
        DormandPrince::State leftState{}, crossedState{};
        bool left = solver.FindEvent(outside, kLooksPerStep, leftAt, leftState);
        if (!left && BeyondMargin(region, solver.Current().data()) > 0) {
            left = true;
            leftAt = solver.Time();
        }
        const bool crossed = solver.FindEvent(past, kLooksPerStep, crossedAt, crossedState);
        const double position =
            Dot(section.along, {crossedState[0] - base.x, crossedState[1] - base.y});
        if (crossed && position >= section.lowest && position <= section.highest &&
            (!left || crossedAt <= leftAt)) {
            solver.SampleStep(crossedAt, crossedState, kChordFraction * size, kMostSamplesPerStep,
                              take);
            result.kind = Return::Kind::Returned;
            result.position = position;
            result.time = crossedAt;
            if (variational) {
                // The orbit from a point moved along the section by ds returns at a time moved
                // by dT, which brings it back onto the section: P' = u·v - (u·F)(n·v)/(n·F).
                double value[2];
                if (!field.Value(crossedState[0], crossedState[1], value)) return Return{};
                const Point f{value[0], value[1]}, v{crossedState[2], crossedState[3]};
                result.derivative = Dot(section.along, v) - Dot(section.along, f) *
                                                                Dot(section.across, v) /
                                                                Dot(section.across, f);
                result.logDerivative = crossedState[4];
            }
            return result;
        }
        if (left) {
            result.kind = Return::Kind::Outward;
            return result;
        }
        solver.SampleStep(solver.Time(), solver.Current(), kChordFraction * size,
                          kMostSamplesPerStep, take);
        const auto& now = solver.Current();
        const double value[2] = {sigma * solver.Slope()[0], sigma * solver.Slope()[1]};
        double at[2];
        if (NearEquilibrium(field, region, now[0], now[1], value, at)) {
            const bool home =
                section.fromEquilibrium &&
                std::hypot(at[0] - base.x, at[1] - base.y) <= kFixedPointFraction * size;
            result.kind = home ? Return::Kind::Inward : Return::Kind::Lost;
            return result;
        }
    }
    return result;
}

bool CycleSearch::ChooseRay(const Equilibrium& e, Section& section) const
{
    // The ray along which the flow crosses the same way for the longest stretch from e.
    double best = 0;
    for (int d = 0; d < kRayDirections; ++d) {
        const double angle = 2 * kPi * d / kRayDirections;
        const Point u{std::cos(angle), std::sin(angle)};
        const double infinity = std::numeric_limits<double>::infinity();
        const double toX = u.x > 0   ? (region.xMax - e.x) / u.x
                           : u.x < 0 ? (region.xMin - e.x) / u.x
                                     : infinity;
        const double toY = u.y > 0   ? (region.yMax - e.y) / u.y
                           : u.y < 0 ? (region.yMin - e.y) / u.y
                                     : infinity;
        const double reach = std::min(toX, toY);
        if (!(reach > 0) || !std::isfinite(reach)) continue;
        int way = 0;
        double run = 0;
        for (int j = 1; j <= kRayLooks; ++j) {
            const double s = reach * j / kRayLooks;
            double value[2];
            if (!field.Value(e.x + s * u.x, e.y + s * u.y, value)) break;
            const double cross = u.x * value[1] - u.y * value[0];
            const int sign = cross > 0 ? 1 : cross < 0 ? -1 : 0;
            if (sign == 0 || (way != 0 && sign != way)) break;
            way = sign;
            run = s;
        }
        if (run > best) {
            best = run;
            section = {{e.x, e.y}, u, {-way * u.y, way * u.x}, 0, run, true};
        }
    }
    return best > 0;
}

void CycleSearch::ScanRay(const Equilibrium& e)
{
    Section section{};
    if (!ChooseRay(e, section)) return;
    struct Sign
    {
        double s;
        int sign; // of the forward displacement P(s) - s
    };
    std::vector<Sign> signs;
    // Close to a hyperbolic node or spiral, orbits all go in or all go out.
    const double first = e.eigenvalues[0].real(), second = e.eigenvalues[1].real();
    if (first < 0 && second < 0) signs.push_back({0, -1});
    if (first > 0 && second > 0) signs.push_back({0, 1});
    for (int k = 1; k <= kScanPoints; ++k) {
        const double s = section.highest * k / kScanPoints;
        const Return r = Map(section, s, 1, kScanTolerance, false, nullptr);
        int sign = 0;
        if (r.kind == Return::Kind::Outward) sign = 1;
        if (r.kind == Return::Kind::Inward) sign = -1;
        if (r.kind == Return::Kind::Returned) {
            // A displacement within its error has no sign: a centre's closed orbits give only
            // such, and no sign change between them is taken for a cycle.
            const double displacement = r.position - s;
            const Return loose = Map(section, s, 1, kLooseTolerance, false, nullptr);
            if (loose.kind == Return::Kind::Returned &&
                std::fabs(displacement) > std::fabs(loose.position - r.position))
                sign = displacement > 0 ? 1 : -1;
        }
        if (sign != 0) signs.push_back({s, sign});
    }
    for (std::size_t i = 1; i < signs.size(); ++i) {
        if (signs[i - 1].sign == signs[i].sign) continue;
        // Orbits moving out below and in above meet at a stable cycle; the other way round
        // the cycle repels, and attracts backward in time.
        Refine(section, signs[i - 1].s, signs[i].s, signs[i - 1].sign > 0 ? 1 : -1);
    }
}

void CycleSearch::Refine(const Section& section, double low, double high, int direction)
{
    bool returned = false;
    double s = low + (high - low) / 2;
    for (int iteration = 0; iteration < kMostRefinements; ++iteration) {
        const Return r = Map(section, s, direction, kNewtonTolerance, true, nullptr);
        int sign = 0;
        double next = std::numeric_limits<double>::quiet_NaN();
        switch (r.kind) {
        case Return::Kind::Lost:
            return;
        case Return::Kind::Outward:
            sign = 1;
            break;
        case Return::Kind::Inward:
            sign = -1;
            break;
        case Return::Kind::Returned: {
            returned = true;
            const double displacement = r.position - s;
            sign = displacement > 0 ? 1 : displacement < 0 ? -1 : 0;
            const double slope = r.derivative - 1;
            if (slope < 0) { // Newton's step; otherwise bisection
                next = s - displacement / slope;
                if (std::fabs(next - s) <= kConvergedFraction * size) {
                    Finish(section, next, direction, r.logDerivative);
                    return;
                }
            }
            break;
        }
        }
        if (sign > 0) low = s;
        if (sign < 0) high = s;
        if (!returned && high - low < kNoReturnFraction * size) return;
        if (!(high - low > kConvergedFraction * size)) return;
        s = next > low && next < high ? next : low + (high - low) / 2;
    }
}

void CycleSearch::FromBorder(Point start, int direction)
{
    const double sigma = direction;
    DormandPrince solver(
        2,
        [&](const double* state, double* d) {
            if (!field.Value(state[0], state[1], d)) return false;
            d[0] *= sigma;
            d[1] *= sigma;
            return true;
        },
        kScanTolerance, kScanTolerance);
    const double state[2] = {start.x, start.y};
    if (!solver.Start(state)) return;
    const double infinity = std::numeric_limits<double>::infinity();
    double turned = 0;
    Point heading{solver.Slope()[0], solver.Slope()[1]};
    while (std::fabs(turned) < 2 * kPi * kTurnsBeforeSection) {
        if (solver.Steps() >= kMostWarmUpSteps || !solver.Step(infinity)) return;
        const auto& now = solver.Current();
        if (BeyondMargin(region, now.data()) > 0) return;
        const Point next{solver.Slope()[0], solver.Slope()[1]};
        turned += std::atan2(heading.x * next.y - heading.y * next.x, Dot(heading, next));
        heading = next;
        const double value[2] = {sigma * next.x, sigma * next.y};
        double at[2];
        if (NearEquilibrium(field, region, now[0], now[1], value, at)) return;
    }
    const Point p{solver.Current()[0], solver.Current()[1]};
    if (NearKnown(p, direction)) return;
    const double speed = std::hypot(heading.x, heading.y);
    if (!(speed > 0)) return;
    // Across the flow there, crossed forward in time in the direction of F.
    const Point across{sigma * heading.x / speed, sigma * heading.y / speed};
    const double half = kBorderSectionFraction * size;
    Converge({p, {-across.y, across.x}, across, -half, half, false}, direction);
}

void CycleSearch::Converge(const Section& section, int direction)
{
    double s = 0;
    for (int iteration = 0; iteration < kMostNewtonSteps; ++iteration) {
        const Return r = Map(section, s, direction, kNewtonTolerance, true, nullptr);
        if (r.kind != Return::Kind::Returned) return;
        const double slope = r.derivative - 1;
        if (iteration == 0) {
            // Around a centre the return map is the identity: its slope is 0 to within its
            // error, and there is no cycle to converge to.
            const Return loose = Map(section, s, direction, kLooseTolerance, true, nullptr);
            if (loose.kind != Return::Kind::Returned ||
                !(std::fabs(slope) > std::fabs(loose.derivative - r.derivative)))
                return;
        }
        if (!(slope < 0)) return; // does not attract in this direction
        const double next = s - (r.position - s) / slope;
        if (!(next >= section.lowest && next <= section.highest)) return;
        if (std::fabs(next - s) <= kConvergedFraction * size) {
            Finish(section, next, direction, r.logDerivative);
            return;
        }
        s = next;
    }
}

void CycleSearch::Finish(const Section& section, double s, int direction, double coarseLog)
{
    if (cycles.size() >= static_cast<std::size_t>(kMostCycles)) return;
    std::vector<Point> orbit;
    Return r = Map(section, s, direction, kFinalTolerance, true, &orbit);
    if (r.kind != Return::Kind::Returned) return;
    // A weakly attracting cycle moves its fixed point by the error of the return map divided by
    // 1 - P': one more Newton step at this tolerance.
    const double correction = (r.position - s) / (1 - r.derivative);
    if (!std::isfinite(correction)) return;
    if (std::fabs(correction) > kConvergedFraction * size) {
        s += correction;
        r = Map(section, s, direction, kFinalTolerance, true, &orbit);
        if (r.kind != Return::Kind::Returned) return;
    }
    if (!(std::fabs(r.position - s) <= kFixedPointFraction * size)) return;
    // Hyperbolic beyond doubt, hence isolated: a centre's closed orbits have a logarithm of 0
    // within its error.
    const double log = r.logDerivative;
    if (!(std::fabs(log) > std::fabs(log - coarseLog))) return;
    const double multiplier = std::exp(log);
    if (!(std::fabs(r.derivative - multiplier) <= kDerivativeAgreement * (1 + multiplier))) return;
    for (const Point& p : orbit)
        if (p.x < region.xMin || p.x > region.xMax || p.y < region.yMin || p.y > region.yMax)
            return;

    LimitCycle cycle;
    if (direction < 0) std::reverse(orbit.begin(), orbit.end());
    orbit.back() = orbit.front();
    for (const Point& p : orbit) {
        cycle.x.push_back(p.x);
        cycle.y.push_back(p.y);
    }
    cycle.period = r.time;
    cycle.multiplier = std::exp(direction * log);
    cycle.stable = direction * log < 0;
    for (const LimitCycle& known : cycles)
        if (known.stable == cycle.stable &&
            std::fabs(known.period - cycle.period) <= kSamePeriod * cycle.period &&
            Distance(orbit.front(), known) <= kSameCycleFraction * size)
            return;
    cycles.push_back(std::move(cycle));
}

bool CycleSearch::NearKnown(Point p, int direction) const
{
    for (const LimitCycle& known : cycles)
        if (known.stable == (direction > 0) && Distance(p, known) <= kNearKnownFraction * size)
            return true;
    return false;
}

std::vector<LimitCycle> CycleSearch::Run()
{
    for (double bound : {region.xMin, region.xMax, region.yMin, region.yMax, size})
        if (!std::isfinite(bound)) return {};
    if (!(region.xMin < region.xMax && region.yMin < region.yMax)) return {};
    for (const Equilibrium& e : equilibria)
        if (e.kind != EquilibriumKind::Saddle && e.kind != EquilibriumKind::Continuum) ScanRay(e);
    for (int side = 0; side < 4; ++side) {
        for (int k = 0; k < kBorderStartsPerSide; ++k) {
            const double f = (2 * k + 1) / (2.0 * kBorderStartsPerSide);
            const double x = region.xMin + f * (region.xMax - region.xMin);
            const double y = region.yMin + f * (region.yMax - region.yMin);
            const Point starts[4] = {
                {x, region.yMin}, {region.xMax, y}, {x, region.yMax}, {region.xMin, y}};
            for (int direction : {1, -1})
                FromBorder(starts[side], direction);
        }
    }
    std::sort(cycles.begin(), cycles.end(),
              [](const LimitCycle& a, const LimitCycle& b) { return Area(a) < Area(b); });
    return std::move(cycles);
}

} // namespace

std::vector<LimitCycle> FindLimitCycles(const PlanarField& field,
                                        const std::vector<Equilibrium>& equilibria,
                                        const Region& region)
{
    return CycleSearch(field, equilibria, region).Run();
}
