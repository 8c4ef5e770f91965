#pragma once

#include "view_overlay.h"

#include <QString>

// A sequential colour scale from 0 up, in a corner of the view: its title, the colours of
// sequentialColor, and the values at both ends. The flow view's speeds and the magnitudes of
// same-length arrows show this way.
class ScaleLegend : public ViewOverlay
{
    Q_OBJECT

public:
    ScaleLegend(QAbstractScrollArea* view, Qt::Corner corner, int stackOrder, const QString& title);

    // Shows the scale from 0 to `top`, repainting only when the rounded value shown changes, so
    // that a scale which settles frame by frame costs nothing once settled. A `top` that is 0
    // or not finite shows as no scale.
    void showScale(double top);
    // The texts shown: the title and the two ends of the scale (or one remark).
    QStringList texts() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString title;
    double shownTop = -1; // as rounded for showing; -1 before the first
};
