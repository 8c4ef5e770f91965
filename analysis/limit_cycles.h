#pragma once

#include "equilibria.h"

#include <vector>

// An isolated periodic orbit of x' = F.
struct LimitCycle
{
    std::vector<double> x,
        y; // the closed curve in the flow's direction, its first point again last
    double period = 0;
    bool stable = false;   // attracts the orbits near it
    double multiplier = 0; // of its return map: exp of the divergence integrated over one period
};

// The limit cycles of x' = F that lie in `region`, the innermost (by the area they enclose)
// first. Found by return maps on Poincaré sections: along a ray from each equilibrium among
// `equilibria` that a cycle can surround (not a saddle, not a continuum), where the return
// map's displacement changes sign, and through the orbits from points of the region's border
// that keep turning inside it. Each is refined by Newton's method on the return map, with its
// derivative from the variational equation, in the direction of time in which it attracts, until
// the period is accurate to 1e-8 relative. Only cycles proven hyperbolic count: the logarithm of
// the multiplier must exceed its error (taken from two tolerances of the solver), which is what
// tells an isolated cycle from one of a centre's closed orbits, and the return map's derivative
// must agree with the multiplier. A field whose Jacobian cannot be evaluated has none.
std::vector<LimitCycle> FindLimitCycles(const PlanarField& field,
                                        const std::vector<Equilibrium>& equilibria,
                                        const Region& region);
