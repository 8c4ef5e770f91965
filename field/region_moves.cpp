#include "region_moves.h"

#include <algorithm>
#include <cmath>

const char* RegionProblem(const Region& region)
{
    for (const double bound : {region.xMin, region.xMax, region.yMin, region.yMax})
        if (!std::isfinite(bound)) return "a bound is not a finite number";
    if (!(region.xMin < region.xMax)) return "xMin is not below xMax";
    if (!(region.yMin < region.yMax)) return "yMin is not below yMax";
    const double shorter = std::min(region.Width(), region.Height());
    const double longer = std::max(region.Width(), region.Height());
    if (shorter < kSmallestRegionSide) return "a side is shorter than 1e-6";
    if (!(longer <= kLargestRegionSide)) return "a side is longer than 1e6";
    const double farthest = std::max({std::abs(region.xMin), std::abs(region.xMax),
                                      std::abs(region.yMin), std::abs(region.yMax)});
    if (farthest > kFarthestBoundInSides * shorter)
        return "it lies more than 100,000 times its shorter side from the origin";
    return nullptr;
}

Region ZoomedAbout(const Region& region, double x, double y, double factor)
{
    Region zoomed = region;
    zoomed.xMin = x + (region.xMin - x) / factor;
    zoomed.xMax = x + (region.xMax - x) / factor;
    zoomed.yMin = y + (region.yMin - y) / factor;
    zoomed.yMax = y + (region.yMax - y) / factor;
    return zoomed;
}

Region Shifted(const Region& region, double dx, double dy)
{
    Region shifted = region;
    shifted.xMin += dx;
    shifted.xMax += dx;
    shifted.yMin += dy;
    shifted.yMax += dy;
    return shifted;
}

bool SameRegion(const Region& a, const Region& b)
{
    return a.xMin == b.xMin && a.xMax == b.xMax && a.yMin == b.yMin && a.yMax == b.yMax &&
           a.xCount == b.xCount && a.yCount == b.yCount;
}
