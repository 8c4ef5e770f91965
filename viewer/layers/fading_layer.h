#pragma once

#include <QGraphicsItem>
#include <QImage>

// A picture of the field's region, in the view's own pixels, that keeps what is drawn into it
// and fades it away over real time: the trails behind moving particles. It is one item however
// many particles draw into it, and drawing into it costs a few pixel writes per line.
class FadingLayer : public QGraphicsItem
{
public:
    explicit FadingLayer(const QRectF& region);

    QRectF boundingRect() const override;
    // Covers another region from now on, empty; fitTo then sizes its picture.
    void setRegion(const QRectF& newRegion);
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    // Matches the picture to the view's scale and flip (its transform without scrolling) and to
    // the screen's device pixel ratio. A change of either starts again from an empty picture.
    void fitTo(const QTransform& sceneToView, qreal devicePixelRatio);
    // Draws and fades only where the picture shows `shown` (scene coordinates, the viewport's
    // part of the region): the view shows a part of the region, and a flow draws over all of
    // it. A change starts again from an empty picture, so nothing unfaded shows after scrolling.
    void limitTo(const QRectF& shown);
    void clear();
    // Fades everything drawn so far as `seconds` of real time do: a line drawn `lifetime`
    // seconds ago keeps 1/e of its strength, whatever the steps those seconds came in, and
    // every trace ends at zero in the end.
    void fade(double seconds, double lifetime);
    // A line between two scene points, `width` pixels wide (1 or more), over what is there.
    // `color` is premultiplied ARGB. Call update() once when a frame's lines are drawn.
    void drawLine(const QPointF& from, const QPointF& to, QRgb color, int width = 1);

    const QImage& picture() const { return image; }
    // The pixel of the picture that shows scene point `at`.
    QPointF pixelOf(const QPointF& at) const
    {
        return QPointF(scaleX * at.x() + offsetX, scaleY * at.y() + offsetY);
    }

private:
    QRectF region;
    QImage image;
    QRect drawable; // of the picture's pixels, where lines are drawn and faded
    qreal pixelRatio = 1;
    // pixelOf, kept as numbers: the view only scales and flips, and these run per line.
    double scaleX = 0, offsetX = 0, scaleY = 0, offsetY = 0;
    // Fading time not applied yet: short steps wait until they add up to a factor of 0.9.
    double pendingSeconds = 0;
};
