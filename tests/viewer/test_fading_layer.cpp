#include "fading_layer.h"

#include <QPainter>
#include <QtTest>

namespace {

// The region -5 … 5 seen at 20 pixels per unit with y up, as the field window shows it.
const QTransform kView = QTransform::fromScale(20, -20);

struct Layer
{
    FadingLayer layer{QRectF(-5, -5, 10, 10)};
    Layer() { layer.fitTo(kView, 1.0); }
    int alphaAt(const QPointF& scenePoint) const
    {
        const QPointF pixel = layer.pixelOf(scenePoint);
        return qAlpha(layer.picture().pixel(int(pixel.x()), int(pixel.y())));
    }
};

} // namespace

class FadingLayerTest : public QObject
{
    Q_OBJECT

private slots:
    void picturePixelsAreTheViewsPixels()
    {
        Layer f;
        QCOMPARE(f.layer.picture().size(), QSize(200, 200));
        QCOMPARE(f.layer.pixelOf(QPointF(-5, 5)), QPointF(0, 0)); // top left, y up
        f.layer.drawLine(QPointF(-1, 2), QPointF(1, 2), qRgba(255, 0, 0, 255), 3);
        QCOMPARE(f.alphaAt(QPointF(0, 2)), 255);
        QCOMPARE(f.layer.picture().pixel(100, 60), qRgba(255, 0, 0, 255));
        QCOMPARE(f.alphaAt(QPointF(0, -2)), 0);
        QCOMPARE(f.alphaAt(QPointF(1.5, 2)), 0);

        f.layer.fitTo(kView, 1.0); // the same scale keeps the picture
        QCOMPARE(f.alphaAt(QPointF(0, 2)), 255);
        f.layer.fitTo(QTransform::fromScale(30, -30), 1.0); // a new one starts afresh
        QCOMPARE(f.layer.picture().size(), QSize(300, 300));
        QCOMPARE(f.alphaAt(QPointF(0, 2)), 0);

        // A line across more than the picture is a jump, not a trail; NaN draws nothing.
        f.layer.drawLine(QPointF(0, 0), QPointF(0, 900), qRgba(0, 0, 255, 255));
        f.layer.drawLine(QPointF(0, 0), QPointF(qQNaN(), 0), qRgba(0, 0, 255, 255));
        QCOMPARE(f.alphaAt(QPointF(0, 0)), 0);
        f.layer.drawLine(QPointF(-9, -9), QPointF(-4.9, -4.9), qRgba(0, 0, 255, 255)); // clipped
        QCOMPARE(f.alphaAt(QPointF(-4.9, -4.9)), 255);
    }

    // Limited to what the view shows, lines outside it cost nothing and leave nothing; a new
    // limit starts afresh, so that scrolling never uncovers trails that did not fade.
    void drawsOnlyWhereTheViewLooks()
    {
        Layer f;
        f.layer.limitTo(QRectF(-5, 0, 10, 5)); // the upper half
        f.layer.drawLine(QPointF(-3, -4), QPointF(-3, 4), qRgba(0, 0, 0, 255));
        QCOMPARE(f.alphaAt(QPointF(-3, 3)), 255);
        QCOMPARE(f.alphaAt(QPointF(-3, -3)), 0);
        f.layer.drawLine(QPointF(2, -1), QPointF(3, -2), qRgba(0, 0, 0, 255)); // wholly outside
        QCOMPARE(f.alphaAt(QPointF(2.5, -1.5)), 0);
        f.layer.limitTo(QRectF(-5, 0, 10, 5)); // the same: kept
        QCOMPARE(f.alphaAt(QPointF(-3, 3)), 255);
        f.layer.limitTo(QRectF(-5, -5, 10, 10));
        QCOMPARE(f.alphaAt(QPointF(-3, 3)), 0);
    }

    // The same seconds fade a trail alike whatever frames they came in, and in the end to zero.
    void fadingDependsOnTimeNotFrames()
    {
        const QVector<QPair<int, double>> splits = {
            {1, 0.5}, {50, 0.01}, {30, 0.5 / 30}, {500, 0.001}, {7, 0.5 / 7}};
        for (const auto& [frames, seconds] : splits) {
            Layer f;
            f.layer.drawLine(QPointF(0, 0), QPointF(0, 0), qRgba(200, 100, 50, 255));
            for (int i = 0; i < frames; ++i)
                f.layer.fade(seconds, 0.25);
            const int left = f.alphaAt(QPointF(0, 0)); // 255 / e^2 = 34.5
            QVERIFY2(left >= 27 && left <= 40, qPrintable(QString::number(left)));
            for (int i = 0; i < 5000; ++i)
                f.layer.fade(0.001, 0.25);
            QCOMPARE(f.layer.picture().pixel(100, 100), 0u);
        }
    }

    // Painted onto the device at a whole pixel, where the view shows the region.
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
        QCOMPARE(painter.transform(), shown); // left as it was found
        painter.end();
        const QPoint at = shown.map(QPointF(2, 3)).toPoint();
        QCOMPARE(device.pixelColor(at), QColor(Qt::black));
        QCOMPARE(device.pixelColor(at + QPoint(3, 3)), QColor(Qt::white));
    }
};

QTEST_MAIN(FadingLayerTest)
#include "test_fading_layer.moc"
