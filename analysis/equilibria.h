#pragma once

#include "classification.h"
#include "field_enclosure.h"
#include "field_kind.h"
#include "region.h"

#include <array>
#include <atomic>
#include <complex>
#include <memory>
#include <vector>

// A point where the field vanishes, or (kind Continuum) one point of a curve or area where it
// vanishes throughout.
struct Equilibrium
{
    double x;
    double y;
    EquilibriumKind kind;
    std::complex<double> eigenvalues[2]; // of the Jacobian at the point, ordered as Eigenvalues
    Matrix2 jacobian = {0, 0, 0, 0};     // at the point, where the eigenvalues come from
    // Unit eigenvectors for eigenvalues[0] and [1] where those are real, else (0, 0).
    std::array<double, 2> eigenvectors[2] = {{0, 0}, {0, 0}};
    // Proven: exactly one zero of F, a simple one, lies in the square (x, y) ± radius. Otherwise
    // the square holds what the search could not resolve (a multiple zero, or zeros closer than
    // it can tell apart; kind Degenerate), or the curve or area of zeros (kind Continuum).
    bool proven = false;
    double radius = 0;
};

// What a search found.
struct EquilibriumSearch
{
    std::vector<Equilibrium> entries;
    // Every zero of F in the region lies in some entry's square, the continua's included: the
    // rest of the region is proven free of zeros. False when time ran out or the search was
    // cancelled (the entries are then what was proven until then), when there were more entries
    // than allowed, or when some part of the region could be decided neither way (where F or its
    // Jacobian cannot be evaluated or is not finite) and lies in no entry.
    bool complete = false;
    // Why not complete, the first that applies.
    enum class Gap
    {
        None,
        NotSearched, // the region is not finite, or the field cannot be bounded or differentiated
        Stopped,     // time or the work allowed ran out, or the search was cancelled
        TooMany,     // more entries than allowed: those nearest the centre are kept
        Undecided,   // parts of the region stayed undecided and unlisted
    } gap = Gap::NotSearched;
};

// What the solution curves ask of a field. Both answer false where the value cannot be
// evaluated or is not finite; neither throws.
class PlanarField
{
public:
    virtual ~PlanarField() = default;
    virtual bool Value(double x, double y, double value[2]) const = 0;
    virtual bool Jacobian(double x, double y, Matrix2& jacobian) const = 0;
    // Enclosures of the field over boxes for a search of its own, on one thread; null when the
    // field cannot bound itself, and then no equilibrium can be proven.
    virtual std::unique_ptr<FieldEnclosure> Enclosure() const { return nullptr; }
};

// How much one search may do. The defaults are the program's; callers that must bound the time
// of one search tightly (the fuzz target) pass smaller ones.
struct SearchLimits
{
    int maxEntries = 100;            // entries answered at most, those nearest the centre
    double seconds = 1.0;            // of the clock, for the whole search
    long maxEvaluations = 100000000; // enclosures of F or of its Jacobian over a box
    // Polled while searching: once it is true, the search ends as if its time had run out.
    const std::atomic<bool>* cancelled = nullptr;
};

// Every zero of `field` in `region`, proven: the region is split into boxes, a box whose
// enclosure of Fx or Fy keeps off 0 has none, and Krawczyk's test with the enclosure of the
// exact Jacobian proves exactly one simple zero in a box, which is then narrowed to about the
// precision of doubles. Zeros on the region's border count (one within the rounding of its box
// from the border counts as on it). Boxes that stay undecided down to the search's finest
// resolution are grouped where they touch: a set of them spanning more than a thousandth of the
// region is one Continuum entry (F may vanish along a curve or over an area there), a smaller
// one a single Degenerate entry, not proven, that covers it; both only where F is finite, a
// cluster only where its Jacobian is too. Each zero's kind is decided by its Jacobian's
// enclosure (VelocityFieldKind, AccelerationFieldKind), with the first Lyapunov coefficient
// where the eigenvalues may be purely imaginary.
//
// Entries are sorted by x (values closer than a millionth of the region count as equal), then
// y. More than `limits.maxEntries` leaves those nearest the region's centre. A reversed region
// holds no zero (complete); a region with a bound or a side that is not finite is not searched
// (not complete). A region of one point or one segment gets a zero only where F is proven to
// vanish there.
EquilibriumSearch FindEquilibria(FieldEnclosure& field, const Region& region, FieldKind kind,
                                 const SearchLimits& limits = {});

// The entries of that search on the field's own enclosures; none when it has none.
std::vector<Equilibrium> FindEquilibria(const PlanarField& field, const Region& region,
                                        FieldKind kind, const SearchLimits& limits = {});
// The same, for an acceleration field when `accelerationField` is set.
std::vector<Equilibrium> FindEquilibria(const PlanarField& field, const Region& region,
                                        bool accelerationField, const SearchLimits& limits = {});
