#include "krawczyk.h"

#include "interval_arithmetic.h"

#include <cmath>

namespace {

bool Excludes(const Interval& value)
{
    return IsEmpty(value) || !HoldsZero(value);
}

Interval& Side(Box& box, int axis)
{
    return axis == 0 ? box.x : box.y;
}

const Interval& Side(const Box& box, int axis)
{
    return axis == 0 ? box.x : box.y;
}

// An approximate inverse of m, from a copy with its rows scaled to about 1 (so that entries of
// any size neither overflow nor underflow); false when that copy is singular.
bool ApproximateInverse(const Matrix2& m, double inverse[2][2])
{
    const double top = ScaleFor(std::max(std::fabs(m.a), std::fabs(m.b)));
    const double bottom = ScaleFor(std::max(std::fabs(m.c), std::fabs(m.d)));
    const Matrix2 n{m.a * top, m.b * top, m.c * bottom, m.d * bottom};
    const double determinant = n.Determinant();
    if (determinant == 0 || !std::isfinite(determinant)) return false;
    // inv(m) = inv(diag(top, bottom) m) diag(top, bottom).
    inverse[0][0] = n.d / determinant * top;
    inverse[0][1] = -n.b / determinant * bottom;
    inverse[1][0] = -n.c / determinant * top;
    inverse[1][1] = n.a / determinant * bottom;
    for (const auto& row : {inverse[0], inverse[1]})
        if (!std::isfinite(row[0]) || !std::isfinite(row[1])) return false;
    return true;
}

// Krawczyk's operator on a box with two sides of some length.
void Krawczyk2(const Box& box, const double middle[2], const Interval value[2],
               const Interval jacobian[2][2], const Interval offset[2], KrawczykTest& test)
{
    double y[2][2];
    if (!ApproximateInverse({Midpoint(jacobian[0][0]), Midpoint(jacobian[0][1]),
                             Midpoint(jacobian[1][0]), Midpoint(jacobian[1][1])},
                            y))
        return;
    test.formed = true;
    test.contraction = 0;
    bool inside = true;
    for (int i = 0; i < 2; ++i) {
        const Interval yi[2] = {PointInterval(y[i][0]), PointInterval(y[i][1])};
        Interval k = PointInterval(middle[i]) - (yi[0] * value[0] + yi[1] * value[1]);
        double rowSum = 0;
        for (int j = 0; j < 2; ++j) {
            const Interval r = PointInterval(i == j ? 1.0 : 0.0) -
                               (yi[0] * jacobian[0][j] + yi[1] * jacobian[1][j]);
            rowSum += Magnitude(r);
            k = k + r * offset[j];
        }
        test.contraction = std::max(test.contraction, rowSum);
        Side(test.image, i) = k;
        const Interval narrowed = Intersection(k, Side(box, i));
        if (IsEmpty(narrowed)) {
            test.result = KrawczykTest::NoZero;
            return;
        }
        Side(test.narrowed, i) = narrowed;
        inside = inside && IsInterior(k, Side(box, i));
    }
    if (inside) test.result = KrawczykTest::OneZero;
}

// On a segment: interval Newton along it for a component whose derivative along it keeps off
// 0; its one zero there is a zero of F where the other component vanishes too.
void Newton1(FieldEnclosure& field, const Box& box, int along, const double middle[2],
             const Interval value[2], const Interval jacobian[2][2], KrawczykTest& test)
{
    const Interval& side = Side(box, along);
    for (int j = 0; j < 2; ++j) {
        const Interval& slope = jacobian[j][along];
        if (HoldsZero(slope)) continue;
        const Interval step = value[j] / slope;
        const Interval image = PointInterval(middle[along]) - step;
        test.formed = true;
        test.contraction = Magnitude(PointInterval(1) - slope / PointInterval(Midpoint(slope)));
        Side(test.image, along) = image;
        const Interval narrowed = Intersection(image, Side(test.narrowed, along));
        if (IsEmpty(narrowed)) {
            test.result = KrawczykTest::NoZero;
            return;
        }
        Side(test.narrowed, along) = narrowed;
        if (!IsInterior(image, side)) continue;
        Interval other[2];
        bool fails = false;
        field.Value(test.narrowed, other, &fails);
        if (Excludes(other[1 - j])) {
            test.result = KrawczykTest::NoZero;
        } else if (!fails && IsExactlyZero(other[1 - j])) {
            test.result = KrawczykTest::OneZero;
        }
        return;
    }
}

} // namespace

KrawczykTest Krawczyk(FieldEnclosure& field, const Box& box)
{
    KrawczykTest test;
    test.image = box;
    test.narrowed = box;
    const bool open[2] = {Width(box.x) > 0, Width(box.y) > 0};
    const double middle[2] = {Midpoint(box.x), Midpoint(box.y)};
    Interval value[2];
    bool fails = false;
    field.Value(PointBox(middle[0], middle[1]), value, &fails);
    if (!open[0] && !open[1]) { // the box is its midpoint
        if (Excludes(value[0]) || Excludes(value[1]))
            test.result = KrawczykTest::NoZero;
        else if (!fails && IsExactlyZero(value[0]) && IsExactlyZero(value[1]))
            test.result = KrawczykTest::OneZero;
        return test;
    }
    if (fails || !IsFinite(value[0]) || !IsFinite(value[1])) return test;
    IntervalMatrix2 j;
    if (!field.Jacobian(box, j)) return test;
    test.jacobianKnown = true;
    const Interval jacobian[2][2] = {{j.a, j.b}, {j.c, j.d}};
    const Interval offset[2] = {box.x - PointInterval(middle[0]), box.y - PointInterval(middle[1])};
    // The mean value form F(X) ⊆ F(m) + J(X) (X - m): tighter than the enclosure of F itself
    // where a formula repeats a variable, as an expanded polynomial does.
    for (int i = 0; i < 2; ++i) {
        if (Excludes(value[i] + jacobian[i][0] * offset[0] + jacobian[i][1] * offset[1])) {
            test.result = KrawczykTest::NoZero;
            return test;
        }
    }
    if (open[0] && open[1])
        Krawczyk2(box, middle, value, jacobian, offset, test);
    else
        Newton1(field, box, open[0] ? 0 : 1, middle, value, jacobian, test);
    return test;
}
