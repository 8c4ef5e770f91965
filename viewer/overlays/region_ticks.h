#pragma once

#include <QString>

#include <vector>

class QFont;
class QPainter;
class QRect;
class QTransform;

// The step between round numbers (1, 2 or 5 times a power of ten) that lie at least
// `leastPixels` apart when one unit is `pixelsPerUnit` pixels long.
double tickStep(double pixelsPerUnit, double leastPixels);

// The multiples of `step` from `low` to `high`, both included.
std::vector<double> tickValues(double low, double high, double step);

// A tick's number as its axis shows it: as many decimals as the step needs, a true minus sign,
// scientific notation for very large or very small numbers.
QString tickLabel(double value, double step);

// Numbers along the bottom edge (x) and the left edge (y) of a view's visible area `port`
// (pixels), where `sceneToPort` maps the field's plane (only scaled and moved). The painter
// draws in the area's pixels.
void paintRegionTicks(QPainter& painter, const QRect& port, const QTransform& sceneToPort,
                      const QFont& font);
