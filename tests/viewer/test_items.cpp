#include "qgraphicsarrow.h"

#include <QtTest>

class ItemsTest : public QObject
{
    Q_OBJECT

private slots:
    // Outline corners (x, y, ...) at size 0.1: a short vector only has a head, a null one none.
    void arrowOutline()
    {
        const std::tuple<QPointF, QVector2D, QVector<double>> cases[] = {
            {{2, 3},
             {0, 1},
             {1.95, 3, 2.05, 3, 2.05, 3.7625, 2.2, 3.65, 2, 4.15, 1.8, 3.65, 1.95, 3.7625}},
            {{0, 0}, {0.2f, 0}, {0, 0, -0.15, -0.2, 0.35, 0, -0.15, 0.2}},
            {{0, 0},
             {0.24f, 0},
             {0, 0.05, 0, -0.05, 0.0025, -0.05, -0.11, -0.2, 0.39, 0, -0.11, 0.2, 0.0025, 0.05}},
            {{1, 1}, {}, {}},
            {{1, 1}, {float(qInf()), 0}, {}},
        };
        for (const auto& [anchor, vector, corners] : cases) {
            QGraphicsArrow arrow(anchor, 0.1, vector);
            const QPainterPath path = arrow.path();
            // The last element closes the outline.
            QCOMPARE(std::max(path.elementCount() - 1, 0), corners.size() / 2);
            for (int i = 0; i < corners.size() / 2; ++i)
                QVERIFY(QLineF(path.elementAt(i), QPointF(corners[2 * i], corners[2 * i + 1]))
                            .length() < 1e-6);
            arrow.clearPath();
            QVERIFY(arrow.boundingRect().isEmpty());
        }
    }
};

QTEST_MAIN(ItemsTest)
#include "test_items.moc"
