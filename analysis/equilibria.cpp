#include "equilibria.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// A point is accepted when each component of F there is below this fraction of that
// component's typical size over the region.
constexpr double kAcceptance = 1e-8;
// Points closer than this fraction of the region's size are one equilibrium.
constexpr double kMergeFraction = 1e-6;
// Newton has converged once a step is shorter than this fraction of the region's size.
constexpr double kStepFraction = 1e-13;
// How far a point may lie outside the closed region and still count (it is then moved onto it).
constexpr double kBorderFraction = 1e-9;
// How far from a point with a singular Jacobian the search looks for further equilibria.
constexpr double kProbeFraction = 1e-4;
// The damping of the least-squares step, relative to the Jacobian's size squared.
constexpr double kDamping = 1e-10;
// Step halvings before a step is given up, and steps in a row that may fail to halve |F|²
// before a start is given up.
constexpr int kMaxHalvings = 30;
constexpr int kMaxWeakSteps = 5;
// Newton steps that shrink by a steady ratio in this range, in a direction that stays within
// kAligned (a cosine), are heading for a zero of higher multiplicity.
constexpr double kMinShrink = 0.3;
constexpr double kMaxShrink = 0.99;
constexpr double kAligned = 0.99;
constexpr int kMaxStartsPerSide = 2000;

struct Point
{
    double x;
    double y;
};

double Distance(Point p, Point q)
{
    return std::hypot(p.x - q.x, p.y - q.y);
}

struct Candidate
{
    Point at;
    Matrix2 jacobian;
};

class Search
{
public:
    Search(const PlanarField& field, const Region& region, const SearchLimits& limits);

    std::vector<Equilibrium> Run(FieldKind kind);

private:
    bool Value(Point p, double value[2]);
    bool Jacobian(Point p, Matrix2& jacobian);
    // Typical sizes of Fx and Fy over the grid of starts; false when F evaluates nowhere there.
    bool MeasureField(const std::vector<Point>& starts);
    double Merit(const double value[2]) const;
    bool Negligible(const double value[2]) const;
    bool Inside(Point p, double slack) const;
    // Newton's step for F at a point, or the least-squares step; false when there is none.
    bool Step(const Matrix2& jacobian, const double value[2], bool leastSquares, Point& step) const;
    // Moves `p` along `step`, halved until |F|² decreases; answers the length moved, 0 for no
    // move. `whole` (may be null) tells whether the step was taken as it was given.
    double LineSearch(Point& p, double value[2], double& merit, Point step, bool* whole);
    // Newton's method from `start`; true with the zero it reached and the Jacobian there.
    bool Solve(Point start, Candidate& found);
    // Whether zeros continue from `candidate` along the directions its Jacobian leaves free.
    bool OnContinuum(const Candidate& candidate);
    Equilibrium Describe(const Candidate& candidate, EquilibriumKind kind) const;

    const PlanarField& field;
    const Region region;
    const SearchLimits limits;
    double size;
    Point centre;
    double tolerance[2] = {0, 0}; // |Fx|, |Fy| below these is zero
    double weight[2] = {1, 1};    // scales Fx and Fy to comparable sizes
    long evaluations = 0;
};

Search::Search(const PlanarField& field, const Region& region, const SearchLimits& limits)
    : field(field), region(region), limits(limits)
{
    size = std::max(region.xMax - region.xMin, region.yMax - region.yMin);
    if (size == 0) size = 1; // a single point: any scale will do
    centre = {(region.xMin + region.xMax) / 2, (region.yMin + region.yMax) / 2};
}

bool Search::Value(Point p, double value[2])
{
    if (evaluations >= limits.maxEvaluations) return false;
    ++evaluations;
    return field.Value(p.x, p.y, value);
}

bool Search::Jacobian(Point p, Matrix2& jacobian)
{
    if (evaluations >= limits.maxEvaluations) return false;
    ++evaluations;
    return field.Jacobian(p.x, p.y, jacobian);
}

bool Search::MeasureField(const std::vector<Point>& starts)
{
    std::vector<double> magnitudes[2];
    for (const Point& start : starts) {
        double value[2];
        if (!Value(start, value)) continue;
        magnitudes[0].push_back(std::fabs(value[0]));
        magnitudes[1].push_back(std::fabs(value[1]));
    }
    if (magnitudes[0].empty()) return false;
    double typical[2];
    for (int i = 0; i < 2; ++i) {
        // A high percentile: a singularity covers few samples and does not make every other
        // value look small, and a grid line of zeros does not make them look large.
        auto& m = magnitudes[i];
        auto high = m.begin() + static_cast<long>(m.size() * 9 / 10);
        std::nth_element(m.begin(), high, m.end());
        typical[i] = *high != 0 ? *high : *std::max_element(m.begin(), m.end());
        tolerance[i] = kAcceptance * typical[i];
    }
    for (int i = 0; i < 2; ++i) {
        const double scale = typical[i] != 0 ? typical[i] : typical[1 - i];
        weight[i] = scale != 0 ? 1 / scale : 1;
    }
    return true;
}

double Search::Merit(const double value[2]) const
{
    const double u = value[0] * weight[0];
    const double v = value[1] * weight[1];
    return u * u + v * v;
}

bool Search::Negligible(const double value[2]) const
{
    return std::fabs(value[0]) <= tolerance[0] && std::fabs(value[1]) <= tolerance[1];
}

bool Search::Inside(Point p, double slack) const
{
    return p.x >= region.xMin - slack && p.x <= region.xMax + slack && p.y >= region.yMin - slack &&
           p.y <= region.yMax + slack;
}

bool Search::Step(const Matrix2& jacobian, const double value[2], bool leastSquares,
                  Point& step) const
{
    // Solve with Fx and Fy scaled alike, so that the least-squares step weighs them alike too.
    const Matrix2 j{jacobian.a * weight[0], jacobian.b * weight[0], jacobian.c * weight[1],
                    jacobian.d * weight[1]};
    const double f0 = value[0] * weight[0];
    const double f1 = value[1] * weight[1];
    const double s = j.Size();
    if (!(s > 0)) return false; // a flat field: nowhere to go
    if (!leastSquares) {
        const double determinant = j.Determinant();
        if (determinant == 0) return false;
        step = {(-f0 * j.d + j.b * f1) / determinant, (-j.a * f1 + j.c * f0) / determinant};
    } else {
        // On a curve of zeros the Jacobian has rank one: (JᵀJ + μI) step = -Jᵀf moves across
        // the curve and not along it.
        const double mu = kDamping * s * s;
        const double m00 = j.a * j.a + j.c * j.c + mu;
        const double m01 = j.a * j.b + j.c * j.d;
        const double m11 = j.b * j.b + j.d * j.d + mu;
        const double r0 = -(j.a * f0 + j.c * f1);
        const double r1 = -(j.b * f0 + j.d * f1);
        const double determinant = m00 * m11 - m01 * m01;
        if (!(determinant > 0)) return false;
        step = {(r0 * m11 - m01 * r1) / determinant, (m00 * r1 - m01 * r0) / determinant};
    }
    return std::isfinite(step.x) && std::isfinite(step.y);
}

double Search::LineSearch(Point& p, double value[2], double& merit, Point step, bool* whole)
{
    double length = std::hypot(step.x, step.y);
    if (whole) *whole = length <= size;
    if (length > size) {
        step = {step.x * size / length, step.y * size / length};
        length = size;
    }
    double t = 1;
    for (int halving = 0; halving <= kMaxHalvings; ++halving, t /= 2) {
        const Point q{p.x + t * step.x, p.y + t * step.y};
        double next[2];
        if (!Value(q, next)) continue;
        const double nextMerit = Merit(next);
        if (!(nextMerit < merit)) continue;
        p = q;
        value[0] = next[0];
        value[1] = next[1];
        merit = nextMerit;
        if (whole) *whole = *whole && halving == 0;
        return std::max(t * length, std::numeric_limits<double>::denorm_min());
    }
    return 0;
}

bool Search::Solve(Point start, Candidate& found)
{
    Point p = start;
    double value[2];
    if (!Value(p, value)) return false;
    double merit = Merit(value);
    int weakSteps = 0;
    Point previous{0, 0}; // the last Newton step when it was taken whole, else zero
    for (int iteration = 0; iteration < limits.maxIterations && merit > 0; ++iteration) {
        Matrix2 jacobian;
        if (!Jacobian(p, jacobian)) return false;
        const double before = merit;
        Point step;
        double taken = 0;
        if (Step(jacobian, value, false, step)) {
            // Towards a zero of multiplicity m, Newton's whole steps shrink by (m - 1) / m each
            // time, and m times the step lands on it.
            const double length = std::hypot(step.x, step.y);
            const double previousLength = std::hypot(previous.x, previous.y);
            if (previousLength > 0 && length > 0) {
                const double ratio = length / previousLength;
                const double cosine =
                    (step.x * previous.x + step.y * previous.y) / (length * previousLength);
                if (ratio > kMinShrink && ratio < kMaxShrink && cosine > kAligned) {
                    const double m = 1 / (1 - ratio);
                    taken = LineSearch(p, value, merit, {step.x * m, step.y * m}, nullptr);
                }
            }
            bool whole = false;
            if (taken == 0) taken = LineSearch(p, value, merit, step, &whole);
            previous = whole ? step : Point{0, 0};
        }
        // Where Newton's step is impossible or does not reduce |F|², the least-squares one.
        if (taken == 0 && Step(jacobian, value, true, step)) {
            taken = LineSearch(p, value, merit, step, nullptr);
            previous = {0, 0};
        }
        if (taken == 0) break;
        // Near a minimum of |F| that is not a zero, progress dies away.
        weakSteps = merit > before / 2 ? weakSteps + 1 : 0;
        if (weakSteps >= kMaxWeakSteps) break;
        if (!Inside(p, size)) return false; // wandered far off: whatever it finds is elsewhere
        if (taken <= kStepFraction * size) break;
    }
    if (!Negligible(value) || !Inside(p, kBorderFraction * size)) return false;
    if (!Jacobian(p, found.jacobian)) return false;
    found.at = {std::clamp(p.x, region.xMin, region.xMax),
                std::clamp(p.y, region.yMin, region.yMax)};
    return true;
}

bool Search::OnContinuum(const Candidate& candidate)
{
    const Matrix2& j = candidate.jacobian;
    // The free direction is orthogonal to the Jacobian's longer (scaled) row; with no row at
    // all, every direction is free.
    const double r0 = std::hypot(j.a, j.b);
    const double r1 = std::hypot(j.c, j.d);
    Point directions[4] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    int count = 4;
    if (r0 * weight[0] >= r1 * weight[1] && r0 > 0) {
        directions[0] = {-j.b / r0, j.a / r0};
        count = 2;
    } else if (r1 > 0) {
        directions[0] = {-j.d / r1, j.c / r1};
        count = 2;
    }
    directions[1] = {-directions[0].x, -directions[0].y};
    const double reach = kProbeFraction * size;
    for (int i = 0; i < count; ++i) {
        const Point& direction = directions[i];
        const Point start{candidate.at.x + reach * direction.x,
                          candidate.at.y + reach * direction.y};
        Candidate other;
        // An isolated zero draws the probe back to itself; on a curve it stays about where it was.
        if (Solve(start, other) && Distance(other.at, candidate.at) > reach / 10) return true;
    }
    return false;
}

Equilibrium Search::Describe(const Candidate& candidate, EquilibriumKind kind) const
{
    const Matrix2& j = candidate.jacobian;
    const auto eigenvalues = Eigenvalues(j);
    Equilibrium e{candidate.at.x, candidate.at.y, kind, {eigenvalues[0], eigenvalues[1]}, j};
    for (int i = 0; i < 2; ++i)
        if (eigenvalues[i].imag() == 0) e.eigenvectors[i] = Eigenvector(j, eigenvalues[i].real());
    return e;
}

std::vector<Equilibrium> Search::Run(FieldKind kind)
{
    const int perSide = std::clamp(limits.startsPerSide, 1, kMaxStartsPerSide);
    std::vector<Point> starts;
    starts.reserve(static_cast<size_t>(perSide) * static_cast<size_t>(perSide));
    for (int i = 0; i < perSide; ++i) {
        for (int k = 0; k < perSide; ++k) {
            const double u = perSide > 1 ? static_cast<double>(i) / (perSide - 1) : 0.5;
            const double v = perSide > 1 ? static_cast<double>(k) / (perSide - 1) : 0.5;
            starts.push_back({region.xMin + u * (region.xMax - region.xMin),
                              region.yMin + v * (region.yMax - region.yMin)});
        }
    }
    if (!MeasureField(starts)) return {};

    std::vector<Candidate> found;
    for (const Point& start : starts) {
        Candidate candidate;
        if (Solve(start, candidate)) found.push_back(candidate);
    }

    // Merge: in order of x, a point joins an earlier one within reach, which lies among the
    // last kept points whose x is within reach too.
    const double reach = kMergeFraction * size;
    std::sort(found.begin(), found.end(),
              [](const Candidate& p, const Candidate& q) { return p.at.x < q.at.x; });
    std::vector<Candidate> distinct;
    for (const Candidate& candidate : found) {
        bool merged = false;
        for (auto kept = distinct.rbegin();
             kept != distinct.rend() && kept->at.x >= candidate.at.x - reach && !merged; ++kept)
            merged = Distance(kept->at, candidate.at) <= reach;
        if (!merged) distinct.push_back(candidate);
    }

    std::vector<Candidate> isolated;
    const Candidate* continuum = nullptr; // the continuum's point nearest the centre
    for (const Candidate& candidate : distinct) {
        if (IsSingular(candidate.jacobian) && OnContinuum(candidate)) {
            if (!continuum || Distance(candidate.at, centre) < Distance(continuum->at, centre))
                continuum = &candidate;
        } else {
            isolated.push_back(candidate);
        }
    }

    const size_t room = static_cast<size_t>(std::max(0, limits.maxEntries - (continuum ? 1 : 0)));
    if (isolated.size() > room) {
        std::partial_sort(isolated.begin(), isolated.begin() + static_cast<long>(room),
                          isolated.end(), [this](const Candidate& p, const Candidate& q) {
                              return Distance(p.at, centre) < Distance(q.at, centre);
                          });
        isolated.resize(room);
    }
    std::vector<Equilibrium> equilibria;
    for (const Candidate& candidate : isolated) {
        const Matrix2& j = candidate.jacobian;
        equilibria.push_back(Describe(candidate, kind == FieldKind::Acceleration
                                                     ? AccelerationFieldKind(j)
                                                     : VelocityFieldKind(j)));
    }
    if (continuum && limits.maxEntries > 0)
        equilibria.push_back(Describe(*continuum, EquilibriumKind::Continuum));
    // By x, then y; x values closer than the merging distance count as one, so that points
    // above each other come in the order of y despite rounding noise in x.
    std::sort(equilibria.begin(), equilibria.end(),
              [reach](const Equilibrium& p, const Equilibrium& q) {
                  const double px = std::round(p.x / reach);
                  const double qx = std::round(q.x / reach);
                  return px != qx ? px < qx : p.y < q.y;
              });
    return equilibria;
}

} // namespace

std::vector<Equilibrium> FindEquilibria(const PlanarField& field, const Region& region,
                                        bool accelerationField, const SearchLimits& limits)
{
    return FindEquilibria(
        field, region, accelerationField ? FieldKind::Acceleration : FieldKind::Velocity, limits);
}

std::vector<Equilibrium> FindEquilibria(const PlanarField& field, const Region& region,
                                        FieldKind kind, const SearchLimits& limits)
{
    const double bounds[] = {region.xMin,
                             region.xMax,
                             region.yMin,
                             region.yMax,
                             region.xMax - region.xMin,
                             region.yMax - region.yMin};
    for (double bound : bounds)
        if (!std::isfinite(bound)) return {};
    if (region.xMin > region.xMax || region.yMin > region.yMax) return {};
    return Search(field, region, limits).Run(kind);
}
