// A long random stream of input must neither crash nor leak (the sanitizer build checks both).

#include "viewer_test_support.h"

#include <QGraphicsLineItem>
#include <QtTest>

#include <cmath>
#include <random>

class StressTest : public QObject
{
    Q_OBJECT

private slots:
    // A seeded stream of input ends with the dots and guides it asked for, at finite places.
    void randomInput()
    {
        std::mt19937 random(7);
        const Qt::Key keys[] = {Qt::Key_L,    Qt::Key_C,    Qt::Key_Space,  Qt::Key_A,
                                Qt::Key_Left, Qt::Key_Down, Qt::Key_Escape, Qt::Key_Return};
        for (const int mode : {1, 2}) {
            FieldWindow f("y / x", "x - LN(ABS(y))", mode);
            QVERIFY(f.ready);
            QWidget* port = f.port();
            std::uniform_int_distribution<int> px(0, port->width() - 1), py(0, port->height() - 1);
            int dots = 0;
            bool line = false, curve = false;
            for (int i = 0; i < 3000; ++i) {
                const QPoint at(px(random), py(random));
                const int what = random() % 4;
                if (what == 0) {
                    QTest::mouseClick(port, Qt::MouseButton(1 << random() % 3), {}, at);
                } else if (what == 1) {
                    QTest::mousePress(port, Qt::LeftButton, {}, at);
                    QTest::mouseRelease(port, Qt::LeftButton, {}, QPoint(px(random), py(random)));
                } else if (what == 2) {
                    const Qt::Key key = keys[random() % std::size(keys)];
                    f.key(key, random() % 2 ? Qt::ShiftModifier : Qt::NoModifier);
                    dots = key == Qt::Key_Space ? 0 : dots;
                    line ^= key == Qt::Key_L;
                    curve ^= key == Qt::Key_C;
                } else {
                    f.window.advanceDots(random() % 50);
                }
                dots += what < 2 ? (mode == 1 ? 10 : 1) : 0; // a ring, or one launched dot
            }
            QCOMPARE(f.dots().size(), dots);
            for (const QGraphicsDot* dot : f.dots())
                QVERIFY(std::isfinite(dot->pos().x()) && std::isfinite(dot->pos().y()));
            QCOMPARE(itemsOf<QGraphicsLineItem>(f.window).value(0)->isVisible(), line);
            for (const QGraphicsPathItem* path : itemsOf<QGraphicsPathItem>(f.window))
                if (!dynamic_cast<const QGraphicsArrow*>(path)) QCOMPARE(path->isVisible(), curve);
        }
    }
};

QTEST_MAIN(StressTest)
#include "test_stress.moc"
