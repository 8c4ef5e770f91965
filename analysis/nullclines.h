#pragma once

#include "equilibria.h"

#include <utility>
#include <vector>

class FunctionInterpreter;

// Points (x, y) joined in order; a closed one ends with its first point again.
using Polyline = std::vector<std::pair<double, double>>;

// Grid cells along the longer side of the region: about four pixels of a 1280-pixel view.
constexpr int kZeroSetCells = 321;

// Where `formula` (of x and y; its other names read their value slots) is 0 over `region`, as
// polylines. Found by marching squares on a grid of `cells` cells along the longer side, square
// as far as the sides allow and odd in number both ways (so that the region's centre lines, where
// many formulas vanish exactly, run inside cells: a zero on a grid point can cut a corner off the
// curve), evaluated at once with the batch evaluator. Every crossing of a grid edge is refined on
// the true formula until its two ends are neighbouring doubles; a sign change across a pole or a
// jump is no crossing, as there the values do not shrink towards the change.
//
// A polyline ends on the region's border, where the formula fails (cells with a corner where it
// fails are left out), and at a point where the zero set crosses itself; a zero seen on a single
// grid edge between failing cells is a polyline of one point. With the formula's derivatives
// `byX` and `byY`, Newton's method finds its saddle points in the cells where two branches pass
// (diagonal corners of one sign, or a sharp turn of the gradient along a segment): the sign there
// decides how the branches join, and where the formula is 0 there to rounding, they cross and
// end at that point. Without the derivatives (null), the value at a cell's centre decides the
// joins and branches never cross. An empty or non-finite region gives none.
std::vector<Polyline> TraceZeroSet(const FunctionInterpreter& formula,
                                   const FunctionInterpreter* byX, const FunctionInterpreter* byY,
                                   const Region& region, int cells = kZeroSetCells);

// Where both components of F vanish along a curve, from their zero sets as TraceZeroSet gives
// them on the same grid (`zeros[0]` of Fx, `zeros[1]` of Fy): the runs of points of one zero set
// inside `box` where the other component is 0 too, exactly or because its own zero set passes
// through the same point to within `tolerance`. Fx's zero set is walked first, Fy's when that
// finds nothing (Fx may vanish throughout, and then has no zero set to trace).
std::vector<Polyline> CommonZeroSet(const std::vector<Polyline> zeros[2], const PlanarField& field,
                                    const Region& box, double tolerance);
