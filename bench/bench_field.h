#pragma once

// A field window as the benchmarks use it: set up as the form would, its view 1280 × 800, and
// particles spread over the region.

#include "mygraphicsview.h"
#include "vfwindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QVector2D>

#include <cmath>

// Sets the window up and sizes it so that its view is 1280 × 800; false when either failed.
inline bool showFieldAt1280x800(VFWindow& window, int mode, const char* fx, const char* fy)
{
    const bool ready = window.setupField(formFieldSettings(mode, fx, fy));
    auto* view = window.findChild<MyGraphicsView*>();
    window.showNormal();
    window.resize(QSize(1280, 800) + (window.size() - view->size()));
    QCoreApplication::processEvents();
    return ready && view->size() == QSize(1280, 800);
}

// About `dots` particles spread over the region: rings of ten in a velocity field; in an
// acceleration field single launches from the region's lower half, flying up and back down.
inline void spreadDots(VFWindow& window, int mode, int dots)
{
    const int side = int(std::ceil(std::sqrt(mode == 1 ? dots / 10 : dots)));
    const double height = mode == 1 ? 9.0 : 4.5;
    auto at = [side, height](int i) {
        return QPointF(-4.5 + 9.0 * (i % side) / side, -4.5 + height * (i / side) / side);
    };
    if (mode == 1) {
        for (int i = 0; i < dots / 10; ++i)
            window.mousePressed(at(i));
    } else {
        for (int i = 0; i < dots; ++i)
            window.mouseDragged(at(i), QVector2D(0.5f, 3.0f));
    }
}

// Counts the paint events of the widget it filters: the frames the window really painted.
class CountPaints : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};
