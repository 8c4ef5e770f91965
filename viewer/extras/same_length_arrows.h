#pragma once

#include "field_model.h"

#include <vector>

class QAbstractScrollArea;
class QGraphicsArrow;
class ScaleLegend;

// The arrows' other style behind the key A: every arrow as long as the designed plot draws its
// longest, coloured by the field's magnitude there on a colour-blind-safe scale with a legend,
// for fields whose magnitudes differ so much that most designed arrows are bare heads. It
// restyles the designed items themselves, and off again draws them exactly as designed.
class SameLengthArrows
{
public:
    // The legend goes over `view`, whose child it is.
    explicit SameLengthArrows(QAbstractScrollArea* view);

    bool isOn() const { return on; }
    // Switches the style and redraws `arrows`, the items of the sample drawn last.
    void toggle(const std::vector<QGraphicsArrow*>& arrows);
    // Draws a new sample on `arrows`, the designed items in its order (its points, then the
    // failed ones), which show it as designed already; heads `arrowSize` large.
    void draw(const ArrowSample& sample, const std::vector<QGraphicsArrow*>& arrows,
              double arrowSize);

private:
    void redraw(const std::vector<QGraphicsArrow*>& arrows) const;

    bool on = false;
    ArrowSample shown;
    double headSize = 0;
    ScaleLegend* legend; // a child of the view
};
