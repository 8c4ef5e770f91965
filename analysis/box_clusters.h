#pragma once

#include "field_enclosure.h"

#include <cstddef>
#include <vector>

// A grid of cells over the plane: `origin` is a cell's corner, and a side of 0 puts the whole
// axis into one cell.
struct CellGrid
{
    double originX;
    double originY;
    double width;
    double height;
};

// The boxes grouped into sets connected at the grid's resolution: two boxes belong together when
// they share a cell or lie in neighbouring ones (corners count). Each set lists indices into
// `boxes` in increasing order; sets come in the order of their first box. Boxes spanning many
// cells are compared with every other box directly, so that they cost no more than the others.
std::vector<std::vector<std::size_t>> ConnectedSets(const std::vector<Box>& boxes,
                                                    const CellGrid& grid);
