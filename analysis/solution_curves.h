#pragma once

#include "equilibria.h"

#include <limits>
#include <vector>

// A solution of x' = F (or x'' = F) as samples of time and position, dense enough to draw as a
// polyline, and why it ended. Backward solutions have times that fall from 0.
struct Trajectory
{
    std::vector<double> t, x, y;
    enum class End
    {
        LeftRegion,  // went beyond the region and its margin: the last sample is on the margin
        Equilibrium, // came within EquilibriumReach of a zero of F
        Closed,      // came back to where it started: it is periodic, with `period`
        TimeLimit,   // the duration, or the work allowed, ran out
        Failed       // F cannot be evaluated ahead, or the input was not a valid start
    } end = End::Failed;
    double period = 0; // for Closed; 0 otherwise
};

// How close a solution comes to an equilibrium before it counts as having reached it, for a
// field over `region`: the one place to decide it.
double EquilibriumReach(const Region& region);

// How far beyond the region a solution still goes on.
double RegionMargin(const Region& region);

// How far `point` (x, y) lies beyond the region and its margin: negative inside.
double BeyondMargin(const Region& region, const double* point);

// Whether (x, y), where F is `value`, lies within EquilibriumReach of a zero of `field` (a curve
// of zeros included), by Newton's steps with the exact Jacobian that shrink as they should;
// `at` receives the zero. False where the Jacobian cannot be evaluated.
bool NearEquilibrium(const PlanarField& field, const Region& region, double x, double y,
                     const double value[2], double at[2]);

// What to integrate and when to stop.
struct CurveRequest
{
    double start[4] = {0, 0, 0, 0}; // x, y and, for x'' = F, the velocity
    bool acceleration = false;      // x'' = F instead of x' = F
    double duration = 0;            // < 0: backward
    Region region{0, 0, 0, 0};
    double longestPath = std::numeric_limits<double>::infinity(); // then TimeLimit
};

struct TracedCurve
{
    Trajectory trajectory;
    double equilibrium[2] = {0, 0}; // the zero reached, when it ended at an equilibrium
};

// The solution through the request's start with Dormand–Prince 5(4) at relative and absolute
// tolerance 1e-10, ended by the first of: leaving the region and its margin, reaching an
// equilibrium (x' = F only, and only where the Jacobian exists), coming back to the start
// (position, and for x'' = F velocity too, within a millionth of the region's size and of the
// speed), the duration, the path length, a hundred thousand steps, or F failing.
TracedCurve TraceCurve(const PlanarField& field, const CurveRequest& request);
