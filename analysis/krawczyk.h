#pragma once

#include "field_enclosure.h"

// Krawczyk's test for the zeros of F in a box. With m the box's midpoint and Y an approximate
// inverse of the Jacobian there, K(X) = m - Y F(m) + (I - Y J(X)) (X - m) holds every zero of F in
// X; K(X) inside X's interior proves exactly one zero, and a simple one, in X (Krawczyk 1969,
// Moore's form); K(X) apart from X proves none. A side of one point (a segment or point box)
// takes the one-dimensional interval Newton test, or the values themselves.
struct KrawczykTest
{
    enum Result
    {
        NoZero,
        OneZero,   // exactly one zero, a simple one
        Undecided, // also when F or J may fail somewhere in the box, or J(X) is too wide
    } result = Undecided;
    Box image{};                // K(X) (when Krawczyk's operator could be formed)
    Box narrowed{};             // holds every zero of the box: K(X) ∩ X, else the box itself
    bool jacobianKnown = false; // J(X) was finite, with no point failing
    bool formed = false;
    // An upper bound of |I - Y J(X)| (maximum row sum): below 1, the box holds one zero at most.
    double contraction = 0;
};

KrawczykTest Krawczyk(FieldEnclosure& field, const Box& box);

// The box of one point (x, y).
inline Box PointBox(double x, double y)
{
    return {{x, x}, {y, y}};
}
