#pragma once

#include "classification.h"
#include "interval.h"

// Enclosures of the second and third partial derivatives of Fx (row 0) and Fy (row 1) at an
// equilibrium: second by xx, xy, yy; third by xxx, xxy, xyy, yyy.
struct HigherDerivatives
{
    Interval second[2][3];
    Interval third[2][4];
};

// An enclosure of a positive multiple of the first Lyapunov coefficient of x' = F at an
// equilibrium whose Jacobian (enclosed by `jacobian`) has a purely imaginary pair of eigenvalues:
// negative when the nonlinear terms draw nearby orbits in (a weakly stable spiral), positive when
// they push them out, 0 (or an enclosure holding 0) when third order cannot decide. The trace is
// taken as 0 (the caller asks only where its enclosure holds 0). The whole line when the
// enclosures are too wide to say anything, such as a determinant not proven positive.
Interval FirstLyapunovCoefficient(const IntervalMatrix2& jacobian,
                                  const HigherDerivatives& derivatives);
