#include "equilibria.h"

#include "box_clusters.h"
#include "field_enclosure.h"
#include "interval_arithmetic.h"
#include "krawczyk.h"
#include "lyapunov.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

namespace {

// The first pass splits each side of the region into up to 2^kFirstLevel parts. The sets of
// boxes it leaves undecided are split further while they stay small (a zero that needs smaller
// boxes to be proven, zeros close together, a multiple zero), down to 2^kLastLevel parts.
constexpr int kFirstLevel = 8;
constexpr int kLastLevel = 44;
// A set of undecided boxes is split further while it has at most this many: a curve of zeros
// doubles its count with every level, a multiple zero keeps it about the same.
constexpr std::size_t kMostClusterBoxes = 256;
// A set of undecided boxes spanning more than this fraction of the region is a continuum,
// a smaller one a point: below a pixel of the window the difference does not show, and the
// rounding error blurs an expanded multiple zero over about 1e-5.
constexpr double kPointLike = 1e-3;
// Narrowing a proven zero's box stops after this many steps, or after two that gain little.
constexpr int kMostNarrowings = 60;
constexpr double kLittleGain = 0.75;
// A box whose test failed while J hardly varies over it is tried again this much larger,
// around what the test narrowed it to: that catches a zero on its edge, as on the lines where
// the region is halved.
constexpr double kInflation = 1.5;
// Entries closer in x than this fraction of the region sort by y.
constexpr double kSortFraction = 1e-6;
// Least-squares steps from a continuum's box towards a point of it.
constexpr int kMostSteps = 40;
// The clock is read every this many boxes.
constexpr long kBoxesPerClockReading = 16;

using Clock = std::chrono::steady_clock;

bool Excludes(const Interval& value)
{
    return IsEmpty(value) || !HoldsZero(value);
}

bool IsPoint(const Box& box)
{
    return box.x.lo == box.x.hi && box.y.lo == box.y.hi;
}

bool IsWithin(const Box& inner, const Box& outer)
{
    return IsWithin(inner.x, outer.x) && IsWithin(inner.y, outer.y);
}

Box HullOf(const Box& a, const Box& b)
{
    return {Hull(a.x, b.x), Hull(a.y, b.y)};
}

double Distance(double x, double y, double x0, double y0)
{
    return std::hypot(x - x0, y - y0);
}

// The half side of the square around `at` that covers `side`.
double Reach(double at, const Interval& side)
{
    return std::max(at - side.lo, side.hi - at);
}

// Counts what the search asks of the field and answers "cannot tell" once the budget is spent.
class Budgeted final : public FieldEnclosure
{
public:
    Budgeted(FieldEnclosure& field, long budget) : field(field), left(budget) {}

    void Value(const Box& box, Interval value[2], bool* mayFail) override
    {
        if (Spend()) return field.Value(box, value, mayFail);
        value[0] = value[1] = kWholeLine;
        if (mayFail) *mayFail = true;
    }
    bool Jacobian(const Box& box, IntervalMatrix2& jacobian) override
    {
        return Spend() && field.Jacobian(box, jacobian);
    }
    bool Derivatives(const Box& box, HigherDerivatives& derivatives) override
    {
        return Spend() && field.Derivatives(box, derivatives);
    }
    bool Exhausted() const { return left < 0; }

private:
    bool Spend() { return --left >= 0; }

    FieldEnclosure& field;
    long left;
};

// A box left undecided, and what is known of F and J over it.
struct Leaf
{
    Box box{};
    bool defined = false;         // F finite, no point failing
    bool jacobianDefined = false; // J too
    bool allZero = false;         // F is exactly 0 throughout
};

// A proven zero: the only one in `unique`, and inside `tight`.
struct ProvenZero
{
    Box unique;
    Box tight;
};

class Search
{
public:
    Search(FieldEnclosure& field, const Region& region, const SearchLimits& limits);
    EquilibriumSearch Run(FieldKind kind);

private:
    enum class Verdict
    {
        Free,      // no zero in the box
        Accounted, // its zeros are proven ones
        Undecided,
    };

    // What the box holds; narrows the box to where its zeros can be when undecided.
    Verdict Examine(Box& box, Leaf& leaf);
    // Splits `box` until its sides are at most width × height, into the leaves left undecided.
    void Subdivide(const Box& box, double width, double height, std::vector<Leaf>& leaves);
    void Record(const Box& unique, const Box& narrowed);
    Box Narrow(Box box);
    Box Inflate(const Box& box) const;
    bool InKnownZero(const Box& box) const;
    bool InRegion(const Box& tight);
    bool OutOfTime();
    // The entry for one set of undecided leaves at the last level's resolution.
    void Settle(const std::vector<Leaf>& leaves, const std::vector<std::size_t>& set);
    void ListClusters();
    void PointOnContinuum(const std::vector<Leaf>& leaves, const std::vector<std::size_t>& set,
                          double& x, double& y);
    bool PointValue(double x, double y, double value[2], Matrix2* jacobian);
    Equilibrium Entry(double x, double y, EquilibriumKind kind, double radius);
    EquilibriumKind KindOf(const ProvenZero& zero);

    Budgeted field;
    const Region region;
    const SearchLimits limits;
    Box whole{};
    bool open[2];
    double size = 1;
    FieldKind kind = FieldKind::Velocity;
    Clock::time_point deadline;
    long boxesSeen = 0;
    bool stopped = false;
    bool undecidedLeft = false;
    std::vector<ProvenZero> zeros;
    std::vector<Box> uniqueBoxes; // of the proven zeros, and the boxes that found one again
    std::vector<Box> clusters;    // the hulls of the small sets settled
    std::vector<Equilibrium> entries;
};

Search::Search(FieldEnclosure& field, const Region& region, const SearchLimits& limits)
    : field(field, limits.maxEvaluations), region(region), limits(limits)
{
    // The region's bounds are doubles, and so is every point listed: a zero less than a unit in
    // the last place beyond the border (sin(2 * PI * x) at 5, with PI a little below pi) is on
    // it as far as doubles can tell. A side of one point stays one point.
    const double infinity = std::numeric_limits<double>::infinity();
    open[0] = region.xMax > region.xMin;
    open[1] = region.yMax > region.yMin;
    whole = {{region.xMin, region.xMax}, {region.yMin, region.yMax}};
    if (open[0])
        whole.x = {std::nextafter(region.xMin, -infinity), std::nextafter(region.xMax, infinity)};
    if (open[1])
        whole.y = {std::nextafter(region.yMin, -infinity), std::nextafter(region.yMax, infinity)};
    size = std::max(region.xMax - region.xMin, region.yMax - region.yMin);
    if (!(size > 0)) size = 1;
    deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                  std::chrono::duration<double>(std::max(limits.seconds, 0.0)));
}

bool Search::OutOfTime()
{
    if (stopped) return true;
    const bool cancelled = limits.cancelled && limits.cancelled->load(std::memory_order_relaxed);
    if (cancelled || field.Exhausted() ||
        (++boxesSeen % kBoxesPerClockReading == 0 && Clock::now() >= deadline))
        stopped = true;
    return stopped;
}

bool Search::InKnownZero(const Box& box) const
{
    for (const Box& unique : uniqueBoxes)
        if (IsWithin(box, unique)) return true;
    return false;
}

Box Search::Inflate(const Box& box) const
{
    Box wider = box;
    for (int axis = 0; axis < 2; ++axis) {
        if (!open[axis]) continue;
        Interval& side = axis == 0 ? wider.x : wider.y;
        const double middle = Midpoint(side);
        // Not 0 for a side narrowed to one point, and beyond the rounding at its place.
        const double floor = size * std::ldexp(1.0, -52) +
                             4 * std::fabs(std::nextafter(Magnitude(side), 0.0) - Magnitude(side));
        const double half = kInflation * Width(side) / 2 + floor;
        side = {middle - half, middle + half};
    }
    return wider;
}

Search::Verdict Search::Examine(Box& box, Leaf& leaf)
{
    if (InKnownZero(box)) return Verdict::Accounted;
    Interval value[2];
    bool fails = false;
    field.Value(box, value, &fails);
    if (Excludes(value[0]) || Excludes(value[1])) return Verdict::Free;
    leaf.defined = !fails && IsFinite(value[0]) && IsFinite(value[1]);
    if (!leaf.defined) return Verdict::Undecided;
    if (IsExactlyZero(value[0]) && IsExactlyZero(value[1]) && !IsPoint(box)) {
        leaf.allZero = true; // a segment or an area of zeros
        return Verdict::Undecided;
    }
    const KrawczykTest test = Krawczyk(field, box);
    leaf.jacobianDefined = test.jacobianKnown;
    if (test.result == KrawczykTest::NoZero) return Verdict::Free;
    if (test.result == KrawczykTest::OneZero) {
        Record(box, Narrow(test.narrowed));
        return Verdict::Accounted;
    }
    box = test.narrowed;
    if (InKnownZero(box)) return Verdict::Accounted;
    if (test.formed && test.contraction < 1) {
        // J hardly varies: at most one zero, which may lie on the edge.
        const Box wider = Inflate(box);
        const KrawczykTest again = Krawczyk(field, wider);
        if (again.result == KrawczykTest::NoZero) return Verdict::Free;
        if (again.result == KrawczykTest::OneZero) {
            Record(wider, Narrow(again.narrowed));
            return Verdict::Accounted;
        }
    }
    return Verdict::Undecided;
}

Box Search::Narrow(Box box)
{
    int small = 0;
    for (int step = 0; step < kMostNarrowings && small < 2; ++step) {
        const KrawczykTest test = Krawczyk(field, box);
        if (test.result == KrawczykTest::NoZero) break; // cannot be: keep what is proven
        const Box& next = test.narrowed;
        const bool gains = Width(next.x) < kLittleGain * Width(box.x) ||
                           Width(next.y) < kLittleGain * Width(box.y);
        small = gains ? 0 : small + 1;
        if (next.x.lo == box.x.lo && next.x.hi == box.x.hi && next.y.lo == box.y.lo &&
            next.y.hi == box.y.hi)
            break;
        box = next;
    }
    return box;
}

void Search::Record(const Box& unique, const Box& narrowed)
{
    uniqueBoxes.push_back(unique);
    for (const ProvenZero& zero : zeros)
        if (IsWithin(narrowed, zero.unique) || IsWithin(zero.tight, unique)) return; // found again
    zeros.push_back({unique, narrowed});
}

void Search::Subdivide(const Box& start, double width, double height, std::vector<Leaf>& leaves)
{
    std::vector<Box> pending{start};
    while (!pending.empty() && !OutOfTime()) {
        Box box = pending.back();
        pending.pop_back();
        Leaf leaf;
        if (Examine(box, leaf) != Verdict::Undecided) continue;
        leaf.box = box;
        const double across[2] = {width > 0 ? Width(box.x) / width : 0,
                                  height > 0 ? Width(box.y) / height : 0};
        const int axis = across[0] >= across[1] ? 0 : 1;
        const Interval& side = axis == 0 ? box.x : box.y;
        const double middle = Midpoint(side);
        if (leaf.allZero || across[axis] <= 1 || !(side.lo < middle && middle < side.hi)) {
            leaves.push_back(leaf);
            continue;
        }
        Box halves[2] = {box, box};
        (axis == 0 ? halves[0].x : halves[0].y).hi = middle;
        (axis == 0 ? halves[1].x : halves[1].y).lo = middle;
        pending.push_back(halves[1]);
        pending.push_back(halves[0]);
    }
}

bool Search::InRegion(const Box& tight)
{
    if (IsWithin(tight, whole)) return true;
    const Box inside{Intersection(tight.x, whole.x), Intersection(tight.y, whole.y)};
    if (IsEmpty(inside.x) || IsEmpty(inside.y)) return false;
    // Straddling it: outside only where the part inside is proven free.
    return Krawczyk(field, inside).result != KrawczykTest::NoZero;
}

bool Search::PointValue(double x, double y, double value[2], Matrix2* jacobian)
{
    Interval f[2];
    bool fails = false;
    field.Value(PointBox(x, y), f, &fails);
    if (fails || !IsFinite(f[0]) || !IsFinite(f[1])) return false;
    value[0] = Midpoint(f[0]);
    value[1] = Midpoint(f[1]);
    if (!jacobian) return true;
    IntervalMatrix2 j;
    if (!field.Jacobian(PointBox(x, y), j)) return false;
    *jacobian = j.Midpoint();
    return true;
}

Equilibrium Search::Entry(double x, double y, EquilibriumKind kind, double radius)
{
    Equilibrium e{x, y, kind, {}, {0, 0, 0, 0}};
    double value[2];
    if (PointValue(x, y, value, &e.jacobian)) {
        const auto eigenvalues = Eigenvalues(e.jacobian);
        for (int i = 0; i < 2; ++i) {
            e.eigenvalues[i] = eigenvalues[i];
            if (eigenvalues[i].imag() == 0)
                e.eigenvectors[i] = Eigenvector(e.jacobian, eigenvalues[i].real());
        }
    }
    e.radius = radius;
    return e;
}

EquilibriumKind Search::KindOf(const ProvenZero& zero)
{
    IntervalMatrix2 j;
    if (!field.Jacobian(zero.tight, j) && !field.Jacobian(zero.unique, j))
        return EquilibriumKind::Degenerate;
    if (kind == FieldKind::Acceleration) return AccelerationFieldKind(j);
    Interval lyapunov = kWholeLine;
    HigherDerivatives derivatives;
    if (MayBePurelyImaginary(j) && field.Derivatives(zero.tight, derivatives))
        lyapunov = FirstLyapunovCoefficient(j, derivatives);
    return VelocityFieldKind(j, lyapunov);
}

void Search::PointOnContinuum(const std::vector<Leaf>& leaves, const std::vector<std::size_t>& set,
                              double& x, double& y)
{
    const double cx = Midpoint(whole.x), cy = Midpoint(whole.y);
    // The box nearest the centre; an area of zeros before any other.
    const Leaf* nearest = nullptr;
    double best = std::numeric_limits<double>::infinity();
    for (std::size_t i : set) {
        const Leaf& leaf = leaves[i];
        const double px = std::clamp(cx, leaf.box.x.lo, leaf.box.x.hi);
        const double py = std::clamp(cy, leaf.box.y.lo, leaf.box.y.hi);
        const double distance = Distance(px, py, cx, cy) - (leaf.allZero ? size * 4 : 0);
        if (distance < best) {
            best = distance;
            nearest = &leaf;
        }
    }
    // Its point nearest the centre, which an area of zeros needs no better.
    x = std::clamp(cx, nearest->box.x.lo, nearest->box.x.hi);
    y = std::clamp(cy, nearest->box.y.lo, nearest->box.y.hi);
    // Towards the zeros, across the curve, while |F| keeps falling.
    double value[2];
    Matrix2 j;
    if (!PointValue(x, y, value, &j)) return;
    double norm = std::hypot(value[0], value[1]);
    for (int step = 0; step < kMostSteps && norm > 0; ++step) {
        double move[2], next[2];
        if (!LeastSquaresStep(j, value, move)) return;
        const double nx = std::clamp(x + move[0], region.xMin, region.xMax);
        const double ny = std::clamp(y + move[1], region.yMin, region.yMax);
        Matrix2 nextJacobian;
        if (!PointValue(nx, ny, next, &nextJacobian)) return;
        const double nextNorm = std::hypot(next[0], next[1]);
        if (!(nextNorm < norm)) return;
        x = nx;
        y = ny;
        value[0] = next[0];
        value[1] = next[1];
        norm = nextNorm;
        j = nextJacobian;
    }
}

void Search::Settle(const std::vector<Leaf>& leaves, const std::vector<std::size_t>& set)
{
    Box hull = leaves[set.front()].box;
    bool anyAllZero = false, anyDefined = false, allDefined = true;
    for (std::size_t i : set) {
        const Leaf& leaf = leaves[i];
        hull = HullOf(hull, leaf.box);
        anyAllZero = anyAllZero || leaf.allZero;
        anyDefined = anyDefined || leaf.defined;
        allDefined = allDefined && leaf.defined && (leaf.allZero || leaf.jacobianDefined);
    }
    const double extent = std::max(Width(hull.x), Width(hull.y)) / size;
    double x, y;
    if (anyAllZero || extent > kPointLike) {
        if (!anyDefined) {
            undecidedLeft = true;
            return;
        }
        PointOnContinuum(leaves, set, x, y);
        entries.push_back(
            Entry(x, y, EquilibriumKind::Continuum, std::max(Reach(x, hull.x), Reach(y, hull.y))));
        return;
    }
    if (!allDefined) {
        undecidedLeft = true;
        return;
    }
    clusters.push_back(hull);
}

void Search::ListClusters()
{
    // Narrowed boxes at the edge of what rounding blurs can come apart from the rest (the
    // underflow of x^60 near 0): clusters as close as the larger is wide are one.
    for (bool merged = true; merged;) {
        merged = false;
        for (std::size_t i = 0; i < clusters.size() && !merged; ++i) {
            for (std::size_t j = i + 1; j < clusters.size() && !merged; ++j) {
                const Box& a = clusters[i];
                const Box& b = clusters[j];
                const double gap = std::max(
                    {b.x.lo - a.x.hi, a.x.lo - b.x.hi, b.y.lo - a.y.hi, a.y.lo - b.y.hi, 0.0});
                const double reach = std::max({Width(a.x), Width(a.y), Width(b.x), Width(b.y)});
                if (gap > reach / 2) continue;
                clusters[i] = HullOf(a, b);
                clusters.erase(clusters.begin() + static_cast<long>(j));
                merged = true;
            }
        }
    }
    for (const Box& hull : clusters) {
        const double x = std::clamp(Midpoint(hull.x), region.xMin, region.xMax);
        const double y = std::clamp(Midpoint(hull.y), region.yMin, region.yMax);
        entries.push_back(
            Entry(x, y, EquilibriumKind::Degenerate, std::max(Reach(x, hull.x), Reach(y, hull.y))));
    }
}

EquilibriumSearch Search::Run(FieldKind fieldKind)
{
    kind = fieldKind;
    const double width = region.xMax - region.xMin, height = region.yMax - region.yMin;
    int level = kFirstLevel;
    std::vector<Leaf> leaves;
    Subdivide(whole, std::ldexp(width, -level), std::ldexp(height, -level), leaves);
    while (!leaves.empty() && !stopped) {
        const double cellWidth = std::ldexp(width, -level), cellHeight = std::ldexp(height, -level);
        std::vector<Box> boxes;
        for (const Leaf& leaf : leaves)
            boxes.push_back(leaf.box);
        std::vector<Leaf> finer;
        for (const auto& set :
             ConnectedSets(boxes, {region.xMin, region.yMin, cellWidth, cellHeight})) {
            const bool anyAllZero = std::any_of(set.begin(), set.end(),
                                                [&](std::size_t i) { return leaves[i].allZero; });
            if (anyAllZero || set.size() > kMostClusterBoxes || level >= kLastLevel) {
                Settle(leaves, set);
                continue;
            }
            for (std::size_t i : set)
                Subdivide(leaves[i].box, cellWidth / 2, cellHeight / 2, finer);
        }
        leaves = std::move(finer);
        ++level;
    }
    ListClusters();

    for (const ProvenZero& zero : zeros) {
        if (stopped) break;
        if (!InRegion(zero.tight)) continue;
        const double x = std::clamp(Midpoint(zero.tight.x), region.xMin, region.xMax);
        const double y = std::clamp(Midpoint(zero.tight.y), region.yMin, region.yMax);
        Equilibrium e =
            Entry(x, y, KindOf(zero), std::max(Reach(x, zero.tight.x), Reach(y, zero.tight.y)));
        e.proven = true;
        entries.push_back(e);
    }

    EquilibriumSearch result;
    bool cut = false;
    const double cx = Midpoint(whole.x), cy = Midpoint(whole.y);
    const std::size_t room = static_cast<std::size_t>(std::max(0, limits.maxEntries));
    if (entries.size() > room) {
        std::partial_sort(entries.begin(), entries.begin() + static_cast<long>(room), entries.end(),
                          [&](const Equilibrium& p, const Equilibrium& q) {
                              return Distance(p.x, p.y, cx, cy) < Distance(q.x, q.y, cx, cy);
                          });
        entries.resize(room);
        cut = true;
    }
    using Gap = EquilibriumSearch::Gap;
    result.gap = stopped         ? Gap::Stopped
                 : cut           ? Gap::TooMany
                 : undecidedLeft ? Gap::Undecided
                                 : Gap::None;
    result.complete = result.gap == Gap::None;
    const double reach = kSortFraction * size;
    std::sort(entries.begin(), entries.end(), [reach](const Equilibrium& p, const Equilibrium& q) {
        const double px = std::round(p.x / reach);
        const double qx = std::round(q.x / reach);
        return px != qx ? px < qx : p.y < q.y;
    });
    result.entries = std::move(entries);
    return result;
}

bool IsSearchable(const Region& region)
{
    for (double bound : {region.xMin, region.xMax, region.yMin, region.yMax,
                         region.xMax - region.xMin, region.yMax - region.yMin})
        if (!std::isfinite(bound)) return false;
    return true;
}

} // namespace

EquilibriumSearch FindEquilibria(FieldEnclosure& field, const Region& region, FieldKind kind,
                                 const SearchLimits& limits)
{
    if (!IsSearchable(region)) return {};
    EquilibriumSearch empty;
    empty.complete = true; // a reversed region holds no point, so no zero
    empty.gap = EquilibriumSearch::Gap::None;
    if (region.xMin > region.xMax || region.yMin > region.yMax) return empty;
    return Search(field, region, limits).Run(kind);
}

std::vector<Equilibrium> FindEquilibria(const PlanarField& field, const Region& region,
                                        FieldKind kind, const SearchLimits& limits)
{
    const std::unique_ptr<FieldEnclosure> enclosure = field.Enclosure();
    if (!enclosure) return {};
    return FindEquilibria(*enclosure, region, kind, limits).entries;
}

std::vector<Equilibrium> FindEquilibria(const PlanarField& field, const Region& region,
                                        bool accelerationField, const SearchLimits& limits)
{
    return FindEquilibria(
        field, region, accelerationField ? FieldKind::Acceleration : FieldKind::Velocity, limits);
}
