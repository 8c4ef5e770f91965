// Regions other than the first: zoomed about a point, shifted, and what the window can show.

#include "region_moves.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

// Every reason a region is refused, and regions at the limits that are taken.
TEST(RegionMoves, Problems)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::pair<Region, const char*> cases[] = {
        {{-5, 5, -5, 5}, nullptr},
        {{-1e6 / 2, 1e6 / 2, 0, 1e6}, nullptr},
        {{0, 1e-6, -1e-6, 0}, nullptr},
        {{-1e5, 1e5, -1e5 + 1, 1e5 + 1}, nullptr},
        {{nan, 1, 0, 1}, "a bound is not a finite number"},
        {{0, 1, 0, inf}, "a bound is not a finite number"},
        {{1, 1, 0, 1}, "xMin is not below xMax"},
        {{2, 1, 0, 1}, "xMin is not below xMax"},
        {{0, 1, 3, -3}, "yMin is not below yMax"},
        {{0, 1, 0, 0.9e-6}, "a side is shorter than 1e-6"},
        {{0, 1.1e6, 0, 1}, "a side is longer than 1e6"},
        {{1e5, 1e5 + 0.9, 0, 1},
         "it lies more than 100,000 times its shorter side from the origin"},
    };
    for (const auto& [region, problem] : cases) {
        const char* found = RegionProblem(region);
        EXPECT_EQ(found ? std::string(found) : "", problem ? std::string(problem) : "")
            << region.xMin << " " << region.xMax << " " << region.yMin << " " << region.yMax;
    }
}

// Zooming keeps the point where it is relative to the region and the grid; zooming back and
// moving there and back returns the region (up to rounding).
TEST(RegionMoves, ZoomAndShift)
{
    Region region{-5, 5, -2, 6};
    region.xCount = 7;
    region.yCount = 9;
    const Region closer = ZoomedAbout(region, 1, 3, 4);
    EXPECT_DOUBLE_EQ(closer.Width(), 2.5);
    EXPECT_DOUBLE_EQ(closer.Height(), 2);
    EXPECT_DOUBLE_EQ((1 - closer.xMin) / closer.Width(), (1 - region.xMin) / region.Width());
    EXPECT_DOUBLE_EQ((3 - closer.yMin) / closer.Height(), (3 - region.yMin) / region.Height());
    EXPECT_EQ(closer.xCount, 7);
    EXPECT_EQ(closer.yCount, 9);
    const Region back = ZoomedAbout(closer, 1, 3, 0.25);
    for (const auto& [a, b] : {std::pair(back.xMin, region.xMin),
                               {back.xMax, region.xMax},
                               {back.yMin, region.yMin},
                               {back.yMax, region.yMax}})
        EXPECT_NEAR(a, b, 1e-14);

    const Region moved = Shifted(region, 0.25, -1.5);
    EXPECT_TRUE(SameRegion(moved, {-4.75, 5.25, -3.5, 4.5, 7, 9}));
    EXPECT_TRUE(SameRegion(Shifted(moved, -0.25, 1.5), region));
    EXPECT_FALSE(SameRegion(region, {-5, 5, -2, 6})); // the grid counts too
}
