#pragma once

#include <QWidget>

class QAbstractScrollArea;

// A small panel drawn over one corner of a view's visible area that stays there when the view
// is resized or scrolled, and lets the mouse through to the view. Subclasses paint the content
// inside the rounded box that paintBox draws and say how large it is through sizeHint.
class ViewOverlay : public QWidget
{
    Q_OBJECT

public:
    ViewOverlay(QAbstractScrollArea* view, Qt::Corner corner);

    // Moves to the corner at the current size hint.
    void place();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintBox(QPainter& painter) const;

    static constexpr int kMargin = 10; // inside the box
    static constexpr int kInset = 8;   // from the view's edges

private:
    // Kept apart from the view: the viewport may still send events while the view is being
    // destroyed, when the view can no longer be asked for it.
    QWidget* viewport;
    Qt::Corner corner;
};
