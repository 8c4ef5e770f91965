#include "nullclines.h"

#include "batch_evaluator.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace {

constexpr double kEpsilon = std::numeric_limits<double>::epsilon();
// At a true zero the values at the two neighbouring doubles around it are rounding noise, many
// orders of magnitude below those at the edge's ends; across a pole they grow, across a jump
// they stay. A crossing counts when they shrank at least this much.
constexpr double kShrunkAtZero = 0x1p-20;
// A saddle point of the formula is a crossing of two branches when the formula is 0 there to
// within this many units of rounding of its scale (a high percentile of |f| over the grid).
constexpr double kCrossingUlps = 16;
constexpr double kScalePercentile = 0.9;
// Iterations of the refinement of one crossing: regula falsi converges in a handful, and a
// bisection after every step that did not halve the bracket bounds the worst case at about
// twice the bits of a double's range.
constexpr int kMostRefinements = 200;
// Newton's method for a saddle point: iterations, and the difference step of the Hessian as a
// fraction of the cell.
constexpr int kMostSaddleSteps = 12;
constexpr double kHessianStep = 1e-4;
// The gradient turns less than this (a cosine, 20°) between the ends of a segment of a smooth
// curve a cell long; more, and a crossing may be near.
constexpr double kSharpTurn = 0.94;
// Grid points of the zero set this many cells around a crossing give way to it.
constexpr double kSwallowedInCells = 2;
// Saddle points looked for at most: where the formula is noise at the grid's scale (a huge
// region), most cells would ask, and the centre values do as well there.
constexpr int kMostSaddleSearches = 4096;
constexpr int kMostCells = 4000;

struct Point
{
    double x;
    double y;
};

// Evaluates formulas of x and y at batches of points given as two columns.
class Columns
{
public:
    explicit Columns(const FunctionInterpreter& formula) : batch(formula) {}

    // Values at the points; false marks a point where the formula fails or is not finite.
    void Evaluate(const std::vector<double>& xs, const std::vector<double>& ys,
                  std::vector<double>& values, std::vector<char>& defined)
    {
        const std::size_t n = xs.size();
        values.resize(n);
        defined.resize(n);
        errors.resize(n);
        if (n == 0) return;
        batch.BindColumn("x", xs.data());
        batch.BindColumn("y", ys.data());
        batch.Evaluate(n, values.data(), errors.data());
        for (std::size_t i = 0; i < n; ++i)
            defined[i] = errors[i] == -1 && std::isfinite(values[i]);
    }

    bool At(Point p, double& value)
    {
        x[0] = p.x;
        y[0] = p.y;
        batch.BindColumn("x", x);
        batch.BindColumn("y", y);
        int error = -1;
        batch.Evaluate(1, &value, &error);
        return error == -1 && std::isfinite(value);
    }

private:
    BatchEvaluator batch;
    std::vector<int> errors;
    double x[1] = {0};
    double y[1] = {0};
};

// A grid edge where the formula changes sign, being narrowed down to the zero on it.
struct Crossing
{
    bool horizontal; // y fixed, x varies; else x fixed
    double fixed;
    double low, high;             // the varying coordinate's bracket, low < high
    double lowValue, highValue;   // f there
    double lowWeight, highWeight; // regula falsi's values (halved by Illinois)
    double endValue;              // the larger |f| at the edge's two nodes
    int kept = 0;                 // which end stayed last time: -1 low, +1 high
    bool bisectNext = false;
    bool done = false;
    bool accepted = false;
    double trial = 0;
    bool trialBisects = false;
    Point at{0, 0};

    Point PointAt(double coordinate) const
    {
        return horizontal ? Point{coordinate, fixed} : Point{fixed, coordinate};
    }
};

// One segment of a zero set inside a cell, between two vertices.
struct Segment
{
    int from;
    int to;
    bool used = false;
};

class Tracer
{
public:
    Tracer(const FunctionInterpreter& formula, const FunctionInterpreter* byX,
           const FunctionInterpreter* byY, const Region& region, int cells);
    std::vector<Polyline> Run();

private:
    int Node(int i, int k) const { return k * (columns + 1) + i; }
    int Horizontal(int i, int k) const { return k * columns + i; }
    int Vertical(int i, int k) const { return columns * (rows + 1) + k * (columns + 1) + i; }
    double X(int i) const;
    double Y(int k) const;

    void EvaluateNodes();
    void MeasureScale();
    void FindCrossings();
    void AddCrossing(int edge, bool horizontal, int a, int b, double fixed, double low,
                     double high);
    void Refine();
    void Settle(Crossing& c);
    void Connect();
    void ConnectCell(int i, int k);
    // For a cell whose diagonal corners agree: whether the corners of positive sign join
    // through it.
    bool PositiveJoin(int i, int k);
    // A point where the formula's zero set crosses itself, near `seed`: a saddle point where
    // the formula is 0 to rounding.
    void LookForCrossing(Point seed);
    void AddCrossingPoint(Point p);
    // The cell's column and row of a point, clamped to the grid.
    int Column(double x) const;
    int Row(double y) const;
    bool FindSaddlePoint(Point centre, double halfWidth, double halfHeight, Point& saddle);
    bool Gradient(Point p, double g[2]);
    // Where the branches of a crossing meet a cell edge twice or leave the saddle pattern, the
    // cells join them wrongly: segments whose ends have gradients far apart point there.
    void FindSharpTurns();
    // Segments near each crossing go; the branches arriving there end at it.
    void JoinAtCrossings();
    void AddSegment(int edgeA, int edgeB);
    int AddVertex(Point p, bool terminal);
    std::vector<Polyline> Join();

    Columns values;
    std::unique_ptr<Columns> gradient[2];
    const Region region;
    int columns = 0;
    int rows = 0;
    double cellWidth = 0;
    double cellHeight = 0;
    double scale = 0;

    std::vector<double> nodeValue;
    std::vector<char> nodeDefined;
    std::vector<Crossing> crossings;
    std::vector<int> crossingOfEdge;

    std::vector<Point> vertices;
    std::vector<char> terminal;
    std::vector<int> vertexOfCrossing;
    std::vector<Segment> segments;
    std::vector<Point> crossingPoints;
    std::vector<char> crossingInCell; // by row and column, once there is a crossing
    int saddleSearches = 0;
};

Tracer::Tracer(const FunctionInterpreter& formula, const FunctionInterpreter* byX,
               const FunctionInterpreter* byY, const Region& region, int cells)
    : values(formula), region(region)
{
    if (byX && byY) {
        gradient[0] = std::make_unique<Columns>(*byX);
        gradient[1] = std::make_unique<Columns>(*byY);
    }
    cells = std::clamp(cells, 3, kMostCells) | 1;
    const double width = region.xMax - region.xMin;
    const double height = region.yMax - region.yMin;
    const double ratio = std::min(width, height) / std::max(width, height);
    const int shorter = std::max(3, static_cast<int>(std::lround(cells * ratio)) | 1);
    columns = width >= height ? cells : shorter;
    rows = width >= height ? shorter : cells;
    cellWidth = width / columns;
    cellHeight = height / rows;
}

double Tracer::X(int i) const
{
    return i == columns ? region.xMax : region.xMin + (region.xMax - region.xMin) * i / columns;
}

double Tracer::Y(int k) const
{
    return k == rows ? region.yMax : region.yMin + (region.yMax - region.yMin) * k / rows;
}

std::vector<Polyline> Tracer::Run()
{
    EvaluateNodes();
    MeasureScale();
    FindCrossings();
    Refine();
    Connect();
    FindSharpTurns();
    JoinAtCrossings();
    return Join();
}

void Tracer::EvaluateNodes()
{
    const std::size_t count = static_cast<std::size_t>(columns + 1) * (rows + 1);
    std::vector<double> xs(count), ys(count);
    for (int k = 0; k <= rows; ++k) {
        for (int i = 0; i <= columns; ++i) {
            xs[Node(i, k)] = X(i);
            ys[Node(i, k)] = Y(k);
        }
    }
    values.Evaluate(xs, ys, nodeValue, nodeDefined);
}

void Tracer::MeasureScale()
{
    std::vector<double> magnitudes;
    magnitudes.reserve(nodeValue.size());
    for (std::size_t i = 0; i < nodeValue.size(); ++i)
        if (nodeDefined[i]) magnitudes.push_back(std::fabs(nodeValue[i]));
    if (magnitudes.empty()) return;
    auto high = magnitudes.begin() + static_cast<long>(magnitudes.size() * kScalePercentile);
    std::nth_element(magnitudes.begin(), high, magnitudes.end());
    scale = *high;
}

void Tracer::FindCrossings()
{
    crossingOfEdge.assign(static_cast<std::size_t>(Vertical(columns, rows - 1)) + 1, -1);
    for (int k = 0; k <= rows; ++k)
        for (int i = 0; i < columns; ++i)
            AddCrossing(Horizontal(i, k), true, Node(i, k), Node(i + 1, k), Y(k), X(i), X(i + 1));
    for (int k = 0; k < rows; ++k)
        for (int i = 0; i <= columns; ++i)
            AddCrossing(Vertical(i, k), false, Node(i, k), Node(i, k + 1), X(i), Y(k), Y(k + 1));
}

void Tracer::AddCrossing(int edge, bool horizontal, int a, int b, double fixed, double low,
                         double high)
{
    if (!nodeDefined[a] || !nodeDefined[b]) return;
    const double fa = nodeValue[a], fb = nodeValue[b];
    if ((fa > 0) == (fb > 0)) return;
    Crossing c{};
    c.horizontal = horizontal;
    c.fixed = fixed;
    c.low = low;
    c.high = high;
    c.lowValue = c.lowWeight = fa;
    c.highValue = c.highWeight = fb;
    c.endValue = std::max(std::fabs(fa), std::fabs(fb));
    crossingOfEdge[edge] = static_cast<int>(crossings.size());
    if (fa == 0 || fb == 0) Settle(c);
    crossings.push_back(c);
}

// Regula falsi with Illinois' halving, and a bisection every few rounds, on all crossings at
// once: each round evaluates every unfinished crossing's next point in one batch.
void Tracer::Refine()
{
    std::vector<int> open, active;
    for (int index = 0; index < static_cast<int>(crossings.size()); ++index)
        if (!crossings[index].done) open.push_back(index);
    std::vector<double> xs, ys, results;
    std::vector<char> defined;
    for (int round = 0; round < kMostRefinements && !open.empty(); ++round) {
        active.clear();
        xs.clear();
        ys.clear();
        for (int index : open) {
            Crossing& c = crossings[index];
            const double middle = c.low + (c.high - c.low) / 2;
            double trial = c.high - c.highWeight * (c.high - c.low) / (c.highWeight - c.lowWeight);
            c.trialBisects = c.bisectNext || !(trial > c.low && trial < c.high);
            if (c.trialBisects) trial = middle;
            if (!(trial > c.low && trial < c.high)) { // the ends are neighbouring doubles
                Settle(c);
                continue;
            }
            c.trial = trial;
            const Point p = c.PointAt(trial);
            active.push_back(index);
            xs.push_back(p.x);
            ys.push_back(p.y);
        }
        values.Evaluate(xs, ys, results, defined);
        for (std::size_t n = 0; n < active.size(); ++n) {
            Crossing& c = crossings[active[n]];
            if (!defined[n]) {
                // Failing between two ends that do not: try the middle, then give up the edge.
                if (c.trialBisects) c.done = true;
                c.bisectNext = true;
                continue;
            }
            const double width = c.high - c.low;
            const double value = results[n];
            if ((value > 0) == (c.highValue > 0)) {
                c.high = c.trial;
                c.highValue = c.highWeight = value;
                if (c.kept == -1) c.lowWeight /= 2;
                c.kept = -1;
            } else {
                c.low = c.trial;
                c.lowValue = c.lowWeight = value;
                if (c.kept == 1) c.highWeight /= 2;
                c.kept = 1;
            }
            // A step that did not halve the bracket is followed by a bisection.
            c.bisectNext = !c.trialBisects && c.high - c.low > width / 2;
            if (value == 0) Settle(c);
        }
        open.clear();
        for (int index : active)
            if (!crossings[index].done) open.push_back(index);
    }
    for (Crossing& c : crossings)
        if (!c.done) Settle(c);
}

void Tracer::Settle(Crossing& c)
{
    c.done = true;
    const bool lowCloser = std::fabs(c.lowValue) <= std::fabs(c.highValue);
    const double closest = lowCloser ? std::fabs(c.lowValue) : std::fabs(c.highValue);
    c.at = c.PointAt(lowCloser ? c.low : c.high);
    c.accepted = closest <= kShrunkAtZero * c.endValue;
}

void Tracer::Connect()
{
    vertexOfCrossing.assign(crossings.size(), -1);
    for (std::size_t i = 0; i < crossings.size(); ++i)
        if (crossings[i].accepted) vertexOfCrossing[i] = AddVertex(crossings[i].at, false);
    for (int k = 0; k < rows; ++k)
        for (int i = 0; i < columns; ++i)
            ConnectCell(i, k);
}

void Tracer::ConnectCell(int i, int k)
{
    const int corners[4] = {Node(i, k), Node(i + 1, k), Node(i + 1, k + 1), Node(i, k + 1)};
    int index = 0;
    for (int c = 0; c < 4; ++c) {
        if (!nodeDefined[corners[c]]) return;
        if (nodeValue[corners[c]] > 0) index |= 1 << c;
    }
    // Bottom, right, top and left edges.
    const int edges[4] = {Horizontal(i, k), Vertical(i + 1, k), Horizontal(i, k + 1),
                          Vertical(i, k)};
    // The edges each case joins (corner c is bit c; a case and its complement join alike).
    static const int kJoins[16][2] = {{-1, -1}, {3, 0}, {0, 1}, {3, 1},  {1, 2},   {-1, -1},
                                      {0, 2},   {3, 2}, {3, 2}, {0, 2},  {-1, -1}, {1, 2},
                                      {3, 1},   {0, 1}, {3, 0}, {-1, -1}};
    if (index != 5 && index != 10) {
        if (kJoins[index][0] >= 0) AddSegment(edges[kJoins[index][0]], edges[kJoins[index][1]]);
        return;
    }
    // Corners 0 and 2 join through the cell when they have the sign that joins; then the
    // branches cut off corners 1 and 3, else corners 0 and 2.
    if (PositiveJoin(i, k) == (index == 5)) {
        AddSegment(edges[0], edges[1]);
        AddSegment(edges[2], edges[3]);
    } else {
        AddSegment(edges[3], edges[0]);
        AddSegment(edges[1], edges[2]);
    }
}

bool Tracer::PositiveJoin(int i, int k)
{
    // The sign at the formula's saddle point in the cell decides; where the formula is 0 there,
    // the branches cross, and the segments near it go later anyway.
    const double halfWidth = cellWidth / 2, halfHeight = cellHeight / 2;
    const Point centre{X(i) + halfWidth, Y(k) + halfHeight};
    Point saddle = centre;
    double value = 0;
    if (FindSaddlePoint(centre, halfWidth, halfHeight, saddle) && values.At(saddle, value)) {
        if (std::fabs(value) <= kCrossingUlps * kEpsilon * scale) AddCrossingPoint(saddle);
        return value > 0;
    }
    return values.At(centre, value) && value > 0; // either way is as good a guess
}

void Tracer::LookForCrossing(Point seed)
{
    const int i = Column(seed.x), k = Row(seed.y);
    for (int di = -2; di <= 2 && !crossingInCell.empty(); ++di)
        for (int dk = -2; dk <= 2; ++dk)
            if (i + di >= 0 && i + di < columns && k + dk >= 0 && k + dk < rows &&
                crossingInCell[(k + dk) * columns + i + di])
                return; // found from a neighbouring segment already
    Point saddle = seed;
    double value = 0;
    if (FindSaddlePoint(seed, 2 * cellWidth, 2 * cellHeight, saddle) && values.At(saddle, value) &&
        std::fabs(value) <= kCrossingUlps * kEpsilon * scale)
        AddCrossingPoint(saddle);
}

void Tracer::AddCrossingPoint(Point p)
{
    if (crossingInCell.empty()) crossingInCell.assign(static_cast<std::size_t>(columns) * rows, 0);
    crossingInCell[Row(p.y) * columns + Column(p.x)] = 1;
    crossingPoints.push_back(p);
}

int Tracer::Column(double x) const
{
    const double at = std::floor((x - region.xMin) / cellWidth);
    return static_cast<int>(std::clamp(at, 0.0, columns - 1.0));
}

int Tracer::Row(double y) const
{
    const double at = std::floor((y - region.yMin) / cellHeight);
    return static_cast<int>(std::clamp(at, 0.0, rows - 1.0));
}

bool Tracer::Gradient(Point p, double g[2])
{
    return gradient[0]->At(p, g[0]) && gradient[1]->At(p, g[1]);
}

bool Tracer::FindSaddlePoint(Point centre, double halfWidth, double halfHeight, Point& saddle)
{
    if (!gradient[0] || saddleSearches >= kMostSaddleSearches) return false;
    ++saddleSearches;
    Point p = centre;
    const double hx = kHessianStep * halfWidth, hy = kHessianStep * halfHeight;
    for (int iteration = 0; iteration < kMostSaddleSteps; ++iteration) {
        double g[2], left[2], right[2], below[2], above[2];
        if (!Gradient(p, g) || !Gradient({p.x - hx, p.y}, left) ||
            !Gradient({p.x + hx, p.y}, right) || !Gradient({p.x, p.y - hy}, below) ||
            !Gradient({p.x, p.y + hy}, above))
            return false;
        // The Hessian from central differences of the exact gradient: its error only slows
        // Newton down, the point it converges to has the exact gradient 0.
        const double hxx = (right[0] - left[0]) / (2 * hx);
        const double hyy = (above[1] - below[1]) / (2 * hy);
        const double hxy = ((right[1] - left[1]) / (2 * hx) + (above[0] - below[0]) / (2 * hy)) / 2;
        const double determinant = hxx * hyy - hxy * hxy;
        if (!(determinant < 0)) return false; // no saddle: an extremum or flat
        const double dx = -(hyy * g[0] - hxy * g[1]) / determinant;
        const double dy = -(hxx * g[1] - hxy * g[0]) / determinant;
        p = {p.x + dx, p.y + dy};
        if (!(std::fabs(p.x - centre.x) <= halfWidth && std::fabs(p.y - centre.y) <= halfHeight))
            return false;
        if (std::hypot(dx / halfWidth, dy / halfHeight) <= 1e-13) break;
    }
    saddle = p;
    return true;
}

void Tracer::FindSharpTurns()
{
    if (!gradient[0] || segments.empty()) return;
    std::vector<double> xs(vertices.size()), ys(vertices.size());
    for (std::size_t v = 0; v < vertices.size(); ++v) {
        xs[v] = vertices[v].x;
        ys[v] = vertices[v].y;
    }
    std::vector<double> gx, gy;
    std::vector<char> definedX, definedY;
    gradient[0]->Evaluate(xs, ys, gx, definedX);
    gradient[1]->Evaluate(xs, ys, gy, definedY);
    for (const Segment& s : segments) {
        const int a = s.from, b = s.to;
        if (!definedX[a] || !definedY[a] || !definedX[b] || !definedY[b]) continue;
        const double lengths = std::hypot(gx[a], gy[a]) * std::hypot(gx[b], gy[b]);
        if (!(gx[a] * gx[b] + gy[a] * gy[b] < kSharpTurn * lengths)) continue;
        LookForCrossing({(vertices[a].x + vertices[b].x) / 2, (vertices[a].y + vertices[b].y) / 2});
    }
}

void Tracer::JoinAtCrossings()
{
    if (crossingPoints.empty()) return;
    const int firstCrossing = static_cast<int>(vertices.size());
    std::vector<int> swallowedBy(vertices.size(), -1);
    const int reach = static_cast<int>(std::ceil(kSwallowedInCells)) + 1;
    for (const Point& c : crossingPoints) {
        const int centre = AddVertex(c, true);
        auto swallow = [&](int edge) {
            const int crossing = crossingOfEdge[edge];
            const int v = crossing >= 0 ? vertexOfCrossing[crossing] : -1;
            if (v >= 0 && swallowedBy[v] < 0 &&
                std::hypot((vertices[v].x - c.x) / cellWidth, (vertices[v].y - c.y) / cellHeight) <=
                    kSwallowedInCells)
                swallowedBy[v] = centre;
        };
        const int ci = Column(c.x), ck = Row(c.y);
        for (int i = std::max(0, ci - reach); i <= std::min(columns, ci + reach); ++i) {
            for (int k = std::max(0, ck - reach); k <= std::min(rows, ck + reach); ++k) {
                if (i < columns) swallow(Horizontal(i, k));
                if (k < rows) swallow(Vertical(i, k));
            }
        }
    }
    std::vector<Segment> kept;
    for (const Segment& s : segments) {
        const int from = s.from < firstCrossing && swallowedBy[s.from] >= 0 ? -1 : s.from;
        const int to = s.to < firstCrossing && swallowedBy[s.to] >= 0 ? -1 : s.to;
        if (from >= 0 && to >= 0) kept.push_back(s);
        if (from >= 0 && to < 0) kept.push_back({from, swallowedBy[s.to]});
        if (from < 0 && to >= 0) kept.push_back({swallowedBy[s.from], to});
    }
    segments = std::move(kept);
    for (int v = 0; v < firstCrossing; ++v)
        if (swallowedBy[v] >= 0) terminal[v] = true; // no point of its own
}

int Tracer::AddVertex(Point p, bool isTerminal)
{
    vertices.push_back(p);
    terminal.push_back(isTerminal);
    return static_cast<int>(vertices.size()) - 1;
}

void Tracer::AddSegment(int edgeA, int edgeB)
{
    const int a = crossingOfEdge[edgeA], b = crossingOfEdge[edgeB];
    if (a < 0 || b < 0) return;
    const int from = vertexOfCrossing[a], to = vertexOfCrossing[b];
    if (from < 0 || to < 0) return; // a pole or a jump on one of the edges
    segments.push_back({from, to});
}

std::vector<Polyline> Tracer::Join()
{
    // The segments at each vertex, all in one array.
    const int count = static_cast<int>(vertices.size());
    std::vector<int> first(count + 1, 0), at;
    for (const Segment& s : segments) {
        ++first[s.from + 1];
        ++first[s.to + 1];
    }
    for (int v = 0; v < count; ++v)
        first[v + 1] += first[v];
    at.resize(first[count]);
    std::vector<int> filled(first.begin(), first.end() - 1);
    for (int s = 0; s < static_cast<int>(segments.size()); ++s) {
        at[filled[segments[s].from]++] = s;
        at[filled[segments[s].to]++] = s;
    }
    auto degree = [&](int v) { return first[v + 1] - first[v]; };
    auto append = [](Polyline& line, Point p) {
        if (line.empty() || line.back() != std::pair{p.x, p.y}) line.emplace_back(p.x, p.y);
    };
    // Follows segments from `v` along `s` until a vertex where the line ends (or `v` again).
    auto follow = [&](int v, int s) {
        Polyline line;
        append(line, vertices[v]);
        for (;;) {
            segments[s].used = true;
            const int next = segments[s].from == v ? segments[s].to : segments[s].from;
            append(line, vertices[next]);
            v = next;
            if (terminal[v] || degree(v) != 2) break;
            int onward = -1;
            for (int k = first[v]; k < first[v + 1]; ++k)
                if (!segments[at[k]].used) onward = at[k];
            if (onward < 0) { // back where a loop began
                if (line.front() != line.back()) line.push_back(line.front());
                break;
            }
            s = onward;
        }
        return line;
    };
    std::vector<Polyline> lines;
    for (int v = 0; v < count; ++v) {
        const int d = degree(v);
        if (d == 0 && !terminal[v]) lines.push_back({{vertices[v].x, vertices[v].y}});
        if (!terminal[v] && d == 2) continue;
        for (int k = first[v]; k < first[v + 1]; ++k)
            if (!segments[at[k]].used) lines.push_back(follow(v, at[k]));
    }
    for (int s = 0; s < static_cast<int>(segments.size()); ++s)
        if (!segments[s].used) lines.push_back(follow(segments[s].from, s));
    return lines;
}

} // namespace

std::vector<Polyline> TraceZeroSet(const FunctionInterpreter& formula,
                                   const FunctionInterpreter* byX, const FunctionInterpreter* byY,
                                   const Region& region, int cells)
{
    for (double bound : {region.xMin, region.xMax, region.yMin, region.yMax,
                         region.xMax - region.xMin, region.yMax - region.yMin})
        if (!std::isfinite(bound)) return {};
    if (!(region.xMin < region.xMax && region.yMin < region.yMax)) return {};
    return Tracer(formula, byX, byY, region, cells).Run();
}

namespace {

// The runs of `walked`'s points in `box` where component `other` of F is 0 exactly, or where a
// point of `others` lies within `tolerance`.
std::vector<Polyline> CommonRuns(const std::vector<Polyline>& walked,
                                 const std::vector<Polyline>& others, int other,
                                 const PlanarField& field, const Region& box, double tolerance)
{
    std::vector<std::pair<double, double>> near;
    for (const Polyline& line : others)
        near.insert(near.end(), line.begin(), line.end());
    std::sort(near.begin(), near.end());
    const auto onOthers = [&](double x, double y) {
        auto at =
            std::lower_bound(near.begin(), near.end(), std::make_pair(x - tolerance, -HUGE_VAL));
        for (; at != near.end() && at->first <= x + tolerance; ++at)
            if (std::abs(at->second - y) <= tolerance) return true;
        return false;
    };
    std::vector<Polyline> runs;
    for (const Polyline& line : walked) {
        Polyline run;
        for (const auto& [x, y] : line) {
            double value[2];
            const bool common = box.Contains(x, y) &&
                                ((field.Value(x, y, value) && value[other] == 0) || onOthers(x, y));
            if (common) {
                run.emplace_back(x, y);
                continue;
            }
            if (run.size() > 1) runs.push_back(std::move(run));
            run.clear();
        }
        if (run.size() > 1) runs.push_back(std::move(run));
    }
    return runs;
}

} // namespace

std::vector<Polyline> CommonZeroSet(const std::vector<Polyline> zeros[2], const PlanarField& field,
                                    const Region& box, double tolerance)
{
    std::vector<Polyline> runs = CommonRuns(zeros[0], zeros[1], 1, field, box, tolerance);
    if (runs.empty()) runs = CommonRuns(zeros[1], zeros[0], 0, field, box, tolerance);
    return runs;
}
