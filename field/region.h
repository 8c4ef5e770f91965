#pragma once

// A closed rectangle of the plane, with the grid of arrows drawn over it: xCount columns and
// yCount rows of cells, an arrow at each cell's centre. The counts default to the form's grid,
// so that Region{xMin, xMax, yMin, yMax} is a region of the usual arrows.
struct Region
{
    double xMin;
    double xMax;
    double yMin;
    double yMax;
    int xCount = 20;
    int yCount = 20;

    double Width() const { return xMax - xMin; }
    double Height() const { return yMax - yMin; }
    bool Contains(double x, double y) const
    {
        return x >= xMin && x <= xMax && y >= yMin && y <= yMax;
    }
};
