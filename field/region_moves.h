#pragma once

#include "region.h"

// Regions other than the one a field started with: zoomed about a point, shifted, and checked
// for what the window can show. A region the window shows lies within these limits.

// Each side of a region spans at least this much and at most this much.
constexpr double kSmallestRegionSide = 1e-6;
constexpr double kLargestRegionSide = 1e6;
// No bound lies further from the origin than this many shorter sides: the view counts its
// scroll positions in whole pixels of a 32-bit integer, and the grid's points must stay apart.
constexpr double kFarthestBoundInSides = 1e5;

// Why the window cannot show `region`, in a few words ("xMin is not below xMax"), or null when
// it can: every bound finite, each minimum below its maximum, the sides and the distance from
// the origin within the limits above. The grid counts play no part.
const char* RegionProblem(const Region& region);

// `region` seen `factor` times closer (factor > 1 zooms in, below 1 out), the point (x, y) staying
// where it is relative to the region. The grid counts are kept.
Region ZoomedAbout(const Region& region, double x, double y, double factor);

// `region` moved by (dx, dy).
Region Shifted(const Region& region, double dx, double dy);

// The same bounds and grid.
bool SameRegion(const Region& a, const Region& b);
