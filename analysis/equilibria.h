#pragma once

#include "classification.h"
#include "field_kind.h"
#include "region.h"

#include <array>
#include <complex>
#include <vector>

// A point where the field vanishes, or (kind Continuum) one point of a curve or area where it
// vanishes throughout.
struct Equilibrium
{
    double x;
    double y;
    EquilibriumKind kind;
    std::complex<double> eigenvalues[2]; // of the Jacobian at the point, ordered as Eigenvalues
    Matrix2 jacobian = {0, 0, 0, 0};     // the one the kind and the eigenvalues come from
    // Unit eigenvectors for eigenvalues[0] and [1] where those are real, else (0, 0).
    std::array<double, 2> eigenvectors[2] = {{0, 0}, {0, 0}};
};

// What the search asks of a field. Both answer false where the value cannot be evaluated or is
// not finite; neither throws.
class PlanarField
{
public:
    virtual ~PlanarField() = default;
    virtual bool Value(double x, double y, double value[2]) const = 0;
    virtual bool Jacobian(double x, double y, Matrix2& jacobian) const = 0;
};

// How much work one search may do. The defaults are the program's; callers that must bound the
// time of one search tightly (the fuzz target) pass smaller ones.
struct SearchLimits
{
    int startsPerSide = 41;        // Newton starts on a grid, corners included: 40 cells each way
    int maxIterations = 100;       // Newton steps from one start
    int maxEntries = 100;          // equilibria answered at most, the continuum entry included
    long maxEvaluations = 2000000; // Value and Jacobian calls over the whole search
};

// Every point of `region` where `field` vanishes, found by damped Newton iteration with the
// field's Jacobian from a grid of starts; classified for a velocity or an acceleration field and
// sorted by x (x values closer than the merging distance count as equal), then y. Points closer
// than a millionth of the region's size are one point. Where the field vanishes along a curve or
// over an area, a single entry of kind Continuum stands for all of it. When there are more
// equilibria than `limits.maxEntries`, those nearest the region's centre are kept. An empty or
// non-finite region gives no equilibria. A search that runs out of `limits.maxEvaluations`
// answers what it found until then. The region's grid counts play no part.
std::vector<Equilibrium> FindEquilibria(const PlanarField& field, const Region& region,
                                        FieldKind kind, const SearchLimits& limits = {});
// The same, for an acceleration field when `accelerationField` is set.
std::vector<Equilibrium> FindEquilibria(const PlanarField& field, const Region& region,
                                        bool accelerationField, const SearchLimits& limits = {});
