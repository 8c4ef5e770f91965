#include "fading_layer.h"

#include <QPainter>
#include <QtTest>

namespace {

// The region -5 … 5 seen at 20 pixels per unit with y up, as the field window shows it.
const QTransform kView = QTransform::fromScale(20, -20);
constexpr QRgb kInk = qRgba(0, 0, 255, 255);

struct Layer
{
    FadingLayer layer{QRectF(-5, -5, 10, 10)};
    Layer() { layer.fitTo(kView, 1.0); }
    int alphaAt(double x, double y) const
    {
        const QPointF pixel = layer.pixelOf(QPointF(x, y));
        return qAlpha(layer.picture().pixel(int(pixel.x()), int(pixel.y())));
    }
};

} // namespace

class FadingLayerTest : public QObject
{
    Q_OBJECT

private slots:
    // One picture pixel per view pixel; lines are clipped to the picture, and a line across
    // more than the picture is a jump, not a trail.
    void drawsInTheViewsPixels()
    {
        Layer f;
        QCOMPARE(f.layer.picture().size(), QSize(200, 200));
        QCOMPARE(f.layer.pixelOf(QPointF(-5, 5)), QPointF(0, 0));
        f.layer.drawLine(QPointF(-1, 2), QPointF(1, 2), qRgba(255, 0, 0, 255), 3);
        QCOMPARE(f.layer.picture().pixel(100, 60), qRgba(255, 0, 0, 255));
        QVERIFY(f.alphaAt(0, -2) == 0 && f.alphaAt(1.5, 2) == 0);
        f.layer.fitTo(kView, 1.0); // the same scale keeps the picture
        QCOMPARE(f.alphaAt(0, 2), 255);
        f.layer.fitTo(QTransform::fromScale(30, -30), 1.0); // a new one starts afresh
        QCOMPARE(f.layer.picture().size(), QSize(300, 300));
        QCOMPARE(f.alphaAt(0, 2), 0);
        f.layer.drawLine(QPointF(0, 0), QPointF(0, 900), kInk);
        f.layer.drawLine(QPointF(0, 0), QPointF(qQNaN(), 0), kInk);
        QCOMPARE(f.alphaAt(0, 0), 0);
        f.layer.drawLine(QPointF(-9, -9), QPointF(-4.9, -4.9), kInk);
        QCOMPARE(f.alphaAt(-4.9, -4.9), 255);

        // Limited to what the view shows, lines outside it leave nothing; a new limit starts
        // afresh, so that scrolling never uncovers trails that did not fade.
        Layer half;
        half.layer.limitTo(QRectF(-5, 0, 10, 5));
        half.layer.drawLine(QPointF(-3, -4), QPointF(-3, 4), kInk);
        QVERIFY(half.alphaAt(-3, 3) == 255 && half.alphaAt(-3, -3) == 0);
        half.layer.limitTo(QRectF(-5, 0, 10, 5));
        QCOMPARE(half.alphaAt(-3, 3), 255);
        half.layer.limitTo(QRectF(-5, -5, 10, 10));
        QCOMPARE(half.alphaAt(-3, 3), 0);
    }

    // The same seconds fade a trail alike whatever frames they came in, and in the end to zero.
    void fadingDependsOnTimeNotFrames()
    {
        const std::pair<int, double> splits[] = {{1, 0.5}, {50, 0.01}, {7, 0.5 / 7}, {500, 0.001}};
        for (const auto& [frames, seconds] : splits) {
            Layer f;
            f.layer.drawLine(QPointF(0, 0), QPointF(0, 0), qRgba(200, 100, 50, 255));
            for (int i = 0; i < frames; ++i)
                f.layer.fade(seconds, 0.25);
            const int left = f.alphaAt(0, 0); // 255 / e^2 = 34.5
            QVERIFY2(left >= 27 && left <= 40, qPrintable(QString::number(left)));
            for (int i = 0; i < 5000; ++i)
                f.layer.fade(0.001, 0.25);
            QCOMPARE(f.layer.picture().pixel(100, 100), 0u);
        }
    }

    // Painted at a whole pixel where the view shows the region, leaving the transform as found.
    void paintsWhereTheViewShowsTheRegion()
    {
        Layer f;
        f.layer.drawLine(QPointF(2, 3), QPointF(2, 3), qRgba(0, 0, 0, 255));
        QImage device(300, 300, QImage::Format_ARGB32_Premultiplied);
        device.fill(Qt::white);
        QPainter painter(&device);
        const QTransform shown = kView * QTransform::fromTranslate(150, 130); // scrolled
        painter.setTransform(shown);
        f.layer.paint(&painter, nullptr, nullptr);
        QCOMPARE(painter.transform(), shown);
        painter.end();
        const QPoint at = shown.map(QPointF(2, 3)).toPoint();
        QCOMPARE(device.pixelColor(at), QColor(Qt::black));
        QCOMPARE(device.pixelColor(at + QPoint(3, 3)), QColor(Qt::white));
    }
};

QTEST_MAIN(FadingLayerTest)
#include "test_fading_layer.moc"
