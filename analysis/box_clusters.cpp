#include "box_clusters.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <unordered_map>

namespace {

// Boxes spanning more cells than this on a side are compared with the others directly.
constexpr std::int64_t kLargeBox = 16;
// Cell indices are kept within this, whatever the boxes: far beyond any search's depth.
constexpr double kFarthestCell = 4.0e15;

struct CellRange
{
    std::int64_t x0, x1, y0, y1;

    bool Near(const CellRange& other) const
    {
        return x0 <= other.x1 + 1 && other.x0 <= x1 + 1 && y0 <= other.y1 + 1 && other.y0 <= y1 + 1;
    }
};

std::int64_t Clamped(double index)
{
    return static_cast<std::int64_t>(std::clamp(index, -kFarthestCell, kFarthestCell));
}

// The cells from lo to hi; an end on a cell's edge counts for the cell it closes, so that boxes
// of a grid touch their neighbours and no more.
void CellsOf(double lo, double hi, double origin, double side, std::int64_t& first,
             std::int64_t& last)
{
    if (!(side > 0)) {
        first = last = 0;
        return;
    }
    first = Clamped(std::floor((lo - origin) / side));
    last = std::max(first, Clamped(std::ceil((hi - origin) / side) - 1));
}

struct Cell
{
    std::int64_t x, y;
    bool operator==(const Cell& other) const { return x == other.x && y == other.y; }
};

struct CellHash
{
    std::size_t operator()(const Cell& cell) const
    {
        const auto x = static_cast<std::uint64_t>(cell.x);
        const auto y = static_cast<std::uint64_t>(cell.y);
        return std::hash<std::uint64_t>()(x * 0x9E3779B97F4A7C15ull ^ y);
    }
};

class DisjointSets
{
public:
    explicit DisjointSets(std::size_t count) : parent(count)
    {
        std::iota(parent.begin(), parent.end(), std::size_t{0});
    }
    std::size_t Find(std::size_t i)
    {
        while (parent[i] != i) {
            parent[i] = parent[parent[i]];
            i = parent[i];
        }
        return i;
    }
    void Join(std::size_t a, std::size_t b)
    {
        a = Find(a);
        b = Find(b);
        if (a != b) parent[std::max(a, b)] = std::min(a, b);
    }

private:
    std::vector<std::size_t> parent;
};

} // namespace

std::vector<std::vector<std::size_t>> ConnectedSets(const std::vector<Box>& boxes,
                                                    const CellGrid& grid)
{
    const std::size_t count = boxes.size();
    std::vector<CellRange> ranges(count);
    std::vector<std::size_t> large;
    for (std::size_t i = 0; i < count; ++i) {
        const Box& b = boxes[i];
        CellsOf(b.x.lo, b.x.hi, grid.originX, grid.width, ranges[i].x0, ranges[i].x1);
        CellsOf(b.y.lo, b.y.hi, grid.originY, grid.height, ranges[i].y0, ranges[i].y1);
        if (ranges[i].x1 - ranges[i].x0 > kLargeBox || ranges[i].y1 - ranges[i].y0 > kLargeBox)
            large.push_back(i);
    }
    auto isLarge = [&large](std::size_t i) {
        return std::binary_search(large.begin(), large.end(), i);
    };

    DisjointSets sets(count);
    std::unordered_map<Cell, std::size_t, CellHash> owners;
    // Boxes in the same cell first, then boxes in neighbouring ones.
    for (int widen = 0; widen <= 1; ++widen) {
        for (std::size_t i = 0; i < count; ++i) {
            if (isLarge(i)) continue;
            const CellRange& r = ranges[i];
            for (std::int64_t x = r.x0 - widen; x <= r.x1 + widen; ++x) {
                for (std::int64_t y = r.y0 - widen; y <= r.y1 + widen; ++y) {
                    if (widen == 0) {
                        const auto [at, added] = owners.try_emplace(Cell{x, y}, i);
                        if (!added) sets.Join(i, at->second);
                    } else if (const auto at = owners.find(Cell{x, y}); at != owners.end()) {
                        sets.Join(i, at->second);
                    }
                }
            }
        }
    }
    for (std::size_t l : large)
        for (std::size_t i = 0; i < count; ++i)
            if (i != l && ranges[l].Near(ranges[i])) sets.Join(l, i);

    std::vector<std::vector<std::size_t>> result;
    std::vector<std::size_t> setOfRoot(count, count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t root = sets.Find(i);
        if (setOfRoot[root] == count) {
            setOfRoot[root] = result.size();
            result.emplace_back();
        }
        result[setOfRoot[root]].push_back(i);
    }
    return result;
}
