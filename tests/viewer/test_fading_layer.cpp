#include "fading_layer.h"

#include <QPainter>
#include <QtTest>

namespace {

// The region -5 … 5 seen at 20 pixels per unit with y up, as the field window shows it.
const QTransform kView = QTransform::fromScale(20, -20);
constexpr QRgb kInk = qRgba(0, 0, 0, 255);

struct Layer : FadingLayer
{
    Layer() : FadingLayer(QRectF(-5, -5, 10, 10)) { fitTo(kView, 1.0); }
    int alphaAt(double x, double y) const
    {
        return qAlpha(picture().pixel(pixelOf(QPointF(x, y)).toPoint()));
    }
};

} // namespace

class FadingLayerTest : public QObject
{
    Q_OBJECT

private slots:
    // A pixel per view pixel, lines clipped to the picture and the shown part; a new scale or
    // limit starts afresh, so that scrolling never uncovers trails that did not fade.
    void drawsInTheViewsPixels()
    {
        Layer f;
        f.drawLine(QPointF(-1, 2), QPointF(1, 2), qRgba(255, 0, 0, 255), 3);
        QCOMPARE(f.picture().pixel(100, 60), qRgba(255, 0, 0, 255));
        QVERIFY(f.alphaAt(0, -2) == 0 && f.alphaAt(1.5, 2) == 0);
        f.fitTo(kView, 1.0);
        QCOMPARE(f.alphaAt(0, 2), 255);
        f.fitTo(QTransform::fromScale(30, -30), 1.0);
        QVERIFY(f.picture().size() == QSize(300, 300) && f.alphaAt(0, 2) == 0);
        f.drawLine(QPointF(0, 0), QPointF(0, 900), kInk);
        f.drawLine(QPointF(0, 0), QPointF(qQNaN(), 0), kInk);
        QCOMPARE(f.alphaAt(0, 0), 0);
        f.drawLine(QPointF(-9, -9), QPointF(-4.9, -4.9), kInk);
        QCOMPARE(f.alphaAt(-4.9, -4.9), 255);

        Layer half;
        half.limitTo(QRectF(-5, 0, 10, 5));
        half.drawLine(QPointF(-3, -4), QPointF(-3, 4), kInk);
        QVERIFY(half.alphaAt(-3, 3) == 255 && half.alphaAt(-3, -3) == 0);
        QImage device(300, 300, QImage::Format_ARGB32_Premultiplied);
        device.fill(Qt::white);
        QPainter painter(&device);
        const QTransform shown = kView * QTransform::fromTranslate(150, 130); // scrolled
        painter.setTransform(shown);
        half.paint(&painter, nullptr, nullptr);
        QCOMPARE(painter.transform(), shown); // left as it was found
        painter.end();
        const QPoint at = shown.map(QPointF(-3, 3)).toPoint();
        QVERIFY(device.pixel(at) == qRgb(0, 0, 0) &&
                device.pixel(at + QPoint(3, 0)) == qRgb(255, 255, 255));
        half.limitTo(QRectF(-5, 0, 10, 5)); // the same limit keeps the picture
        QCOMPARE(half.alphaAt(-3, 3), 255);
        half.limitTo(QRectF(-5, -5, 10, 10));
        QCOMPARE(half.alphaAt(-3, 3), 0);
    }

    // The same seconds fade a trail alike whatever frames they came in, and in the end to zero.
    void fadingDependsOnTimeNotFrames()
    {
        for (const auto& [frames, seconds] :
             {std::pair(1, 0.5), {50, 0.01}, {7, 0.5 / 7}, {500, 0.001}}) {
            Layer f;
            f.drawLine(QPointF(0, 0), QPointF(0, 0), qRgba(200, 100, 50, 255));
            for (int i = 0; i < frames; ++i)
                f.fade(seconds, 0.25);
            const int left = f.alphaAt(0, 0); // 255 / e^2 = 34.5
            QVERIFY2(left >= 27 && left <= 40, qPrintable(QString::number(left)));
            for (int i = 0; i < 5000; ++i)
                f.fade(0.001, 0.25);
            QCOMPARE(f.picture().pixel(100, 100), 0u);
        }
    }
};

QTEST_MAIN(FadingLayerTest)
#include "test_fading_layer.moc"
