#pragma once

#include <QRgb>
#include <QStringList>
#include <QWidget>

class QAbstractScrollArea;

// A small panel drawn over one corner of a view's visible area that stays there when the view
// is resized or scrolled, and lets the mouse through to the view. Subclasses paint the content
// inside the rounded box that paintBox draws and say how large it is through sizeHint. Panels
// that share a corner stand one beside the other away from it, lower `stackOrder` nearer, so
// that each shows whole whichever others show.
class ViewOverlay : public QWidget
{
    Q_OBJECT

public:
    ViewOverlay(QAbstractScrollArea* view, Qt::Corner corner, int stackOrder = 0);

    // Moves to the corner at the current size hint, with the others of the corner.
    void place();
    // Whether a saved picture of the view shows this panel: legends and notes do, what only
    // tells the state of the window does not.
    bool inPicture() const { return pictured; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    void setInPicture(bool shown) { pictured = shown; }
    void paintBox(QPainter& painter) const;

    // For a legend: its title in bold over either one remark or a colour bar `barHeight` high
    // with labels under it, as `texts` gives them (the title, then the remark or the labels).
    QSize legendSize(const QStringList& texts, int barWidth, int barHeight) const;
    // Paints the box, the title and a remark; the place for the bar, or an empty rectangle
    // when the legend is only a remark.
    QRect paintLegendFrame(QPainter& painter, const QStringList& texts, int barHeight) const;
    // The colours of `colourAt` from 0 at the bar's left to 1 at its right, outlined, at
    // `opacity`; the painter's pen is black afterwards, for the labels.
    static void paintColourBar(QPainter& painter, const QRect& bar, QRgb (*colourAt)(double),
                               double opacity = 1);

    static constexpr int kMargin = 10; // inside the box
    static constexpr int kInset = 8;   // from the view's edges and from each other

private:
    // Kept apart from the view: the viewport may still send events while the view is being
    // destroyed, when the view can no longer be asked for it.
    QWidget* viewport;
    Qt::Corner corner;
    int stackOrder;
    bool pictured = true;
};
