#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>

#include <memory>
#include <vector>

class QPainter;

// A particle's disc exactly as plain antialiased painting leaves it (filled twice: once by the
// dot, once more as the dot's child), pre-rendered for one colour and one device scale at
// kPhases × kPhases sub-pixel offsets. Blitting the nearest one costs a small fraction of
// flattening and rasterising the disc, and moves its edge by at most 1/(2 × kPhases) pixel.
class DotSprites
{
public:
    static constexpr int kPhases = 8;
    // Larger discs are cheap to paint plainly and would make large sprites.
    static constexpr double kLargestDiameter = 96.0;

    // Shared by every dot of this diameter (item units), colour and device scale (device pixels
    // per item unit, signed); released with the last dot that holds it.
    static std::shared_ptr<DotSprites> forDisc(double diameter, const QColor& color, double scaleX,
                                               double scaleY);

    bool madeFor(double scaleX, double scaleY) const
    {
        return scaleX == xScale && scaleY == yScale;
    }
    // Paints the disc centred on `centre` (device pixels). The painter's world transform must be
    // the identity; `ratio` is its device's pixel ratio. False when the centre lies too far out
    // to place a sprite.
    bool draw(QPainter* painter, const QPointF& centre, double ratio);

    DotSprites(double diameter, const QColor& color, double scaleX, double scaleY);

private:
    void render(int phaseX, int phaseY);

    double diameter;
    QColor color;
    double xScale;
    double yScale;
    // Pixels from a sprite's corner to its disc's centre at phase 0.
    int halfWidth;
    int halfHeight;
    // Row-major by phase; all rendered at once, so that a moving dot never stops to render one.
    // Each is cropped to its visible pixels, which start `offsets` pixels into the full square.
    std::vector<QImage> sprites;
    std::vector<QPoint> offsets;
};
