#include "separatrices.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// How far from the saddle a branch starts, in its reach: beyond it, not to have reached the
// saddle at once. The eigenvector's distance from the curved branch there (quadratic in it) dies
// away as the branch leaves the saddle.
constexpr double kStartInReaches = 2;
constexpr double kLongestPathInRegions = 10;

} // namespace

std::vector<Trajectory> TraceSeparatrices(const PlanarField& field,
                                          const std::vector<Equilibrium>& equilibria,
                                          const Region& region)
{
    std::vector<Trajectory> branches;
    const double size = std::max(region.xMax - region.xMin, region.yMax - region.yMin);
    const double offset = kStartInReaches * EquilibriumReach(region);
    const double infinity = std::numeric_limits<double>::infinity();
    for (const Equilibrium& saddle : equilibria) {
        if (saddle.kind != EquilibriumKind::Saddle) continue;
        Matrix2 jacobian;
        if (!field.Jacobian(saddle.x, saddle.y, jacobian)) continue;
        const auto eigenvalues = Eigenvalues(jacobian);
        // Unstable first (the larger eigenvalue), forward; then stable, backward.
        for (int which = 0; which < 2; ++which) {
            const auto direction = Eigenvector(jacobian, eigenvalues[which].real());
            for (double side : {1.0, -1.0}) {
                CurveRequest request;
                request.start[0] = saddle.x + side * offset * direction[0];
                request.start[1] = saddle.y + side * offset * direction[1];
                request.duration = which == 0 ? infinity : -infinity;
                request.region = region;
                request.longestPath = kLongestPathInRegions * size;
                TracedCurve branch = TraceCurve(field, request);
                Trajectory& t = branch.trajectory;
                const double missed =
                    std::hypot(branch.equilibrium[0] - saddle.x, branch.equilibrium[1] - saddle.y);
                // Back at its saddle, or past it and back where it started: either way the
                // branch is a homoclinic loop, which takes forever.
                if ((t.end == Trajectory::End::Equilibrium &&
                     missed <= 2 * EquilibriumReach(region)) ||
                    t.end == Trajectory::End::Closed) {
                    t.end = Trajectory::End::Closed;
                    t.period = infinity;
                }
                branches.push_back(std::move(t));
            }
        }
    }
    return branches;
}
