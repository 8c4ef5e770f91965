#pragma once

#include "solution_curves.h"

#include <vector>

// The separatrices of every saddle among `equilibria` of x' = F over `region`: for each saddle
// in order, its two unstable branches (forward in time) and then its two stable ones (backward),
// each started twice EquilibriumReach away along the exact eigenvector and
// traced as TraceCurve does until it leaves the region, reaches an equilibrium or has run ten
// times the region's size. A branch that comes back to its own saddle (a homoclinic loop) ends
// Closed, with an infinite period. Saddles whose Jacobian cannot be evaluated are left out.
std::vector<Trajectory> TraceSeparatrices(const PlanarField& field,
                                          const std::vector<Equilibrium>& equilibria,
                                          const Region& region);
