#pragma once

// The field window's picture as its items were first written to paint it, so that whatever the
// window does to paint faster can be held against it.

#include <QImage>

class QGraphicsView;

// The view's viewport painted item by item in stacking order, plainly and antialiased: arrows
// and guides by their path and line items' own paint, every particle's disc twice (the dot
// forwards its paint to the disc, and the disc is painted again as the dot's child). No item
// cache, sprite, view flag or dirty region takes part.
QImage plainFrame(const QGraphicsView& view);

// Per colour channel, in steps of 1/255.
struct FrameDifference
{
    double mean = 0.0;
    int largest = 0;
};

// Both images must have the same size; alpha is not compared (the frames are opaque).
FrameDifference frameDifference(const QImage& a, const QImage& b);

// Antialiased edges may move a little; the picture as a whole may not.
constexpr double kMeanTolerance = 1.0;
constexpr int kPixelTolerance = 48;

inline bool looksTheSame(const FrameDifference& d)
{
    return d.mean <= kMeanTolerance && d.largest <= kPixelTolerance;
}
