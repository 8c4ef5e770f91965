#include "qgraphicsarrow.h"
#include "qgraphicsdot.h"

#include <QGraphicsEllipseItem>
#include <QGraphicsScene>
#include <QPainter>
#include <QtTest>

#include <cmath>

namespace {

// The corners of an arrow's closed outline, without the point that closes it.
QVector<QPointF> corners(const QGraphicsArrow& arrow)
{
    const QPainterPath path = arrow.path();
    QVector<QPointF> points;
    for (int i = 0; i + 1 < path.elementCount(); ++i)
        points.append(path.elementAt(i));
    return points;
}

bool near(const QPointF& a, const QPointF& b)
{
    return QLineF(a, b).length() < 1e-6;
}

} // namespace

class ItemsTest : public QObject
{
    Q_OBJECT

private slots:
    void arrowOutline_data()
    {
        QTest::addColumn<QPointF>("anchor");
        QTest::addColumn<QVector2D>("vector");
        QTest::addColumn<QVector<QPointF>>("expected"); // size 0.1
        QTest::newRow("full") << QPointF(0, 0) << QVector2D(1, 0)
                              << QVector<QPointF>{{0, 0.05},     {0, -0.05}, {0.7625, -0.05},
                                                  {0.65, -0.2},  {1.15, 0},  {0.65, 0.2},
                                                  {0.7625, 0.05}};
        QTest::newRow("up, elsewhere")
            << QPointF(2, 3) << QVector2D(0, 1)
            << QVector<QPointF>{{1.95, 3}, {2.05, 3},   {2.05, 3.7625}, {2.2, 3.65},
                                {2, 4.15}, {1.8, 3.65}, {1.95, 3.7625}};
        QTest::newRow("head only")
            << QPointF(0, 0) << QVector2D(0.2f, 0)
            << QVector<QPointF>{{0, 0}, {-0.15, -0.2}, {0.35, 0}, {-0.15, 0.2}};
        QTest::newRow("shortest shaft")
            << QPointF(0, 0) << QVector2D(0.24f, 0)
            << QVector<QPointF>{{0, 0.05}, {0, -0.05},   {0.0025, -0.05}, {-0.11, -0.2},
                                {0.39, 0}, {-0.11, 0.2}, {0.0025, 0.05}};
        QTest::newRow("zero") << QPointF(1, 1) << QVector2D() << QVector<QPointF>{};
        QTest::newRow("infinite") << QPointF(1, 1) << QVector2D(qInf(), 0) << QVector<QPointF>{};
    }

    void arrowOutline()
    {
        QFETCH(QPointF, anchor);
        QFETCH(QVector2D, vector);
        QFETCH(QVector<QPointF>, expected);
        QGraphicsArrow arrow(anchor, 0.1, vector);
        const QVector<QPointF> points = corners(arrow);
        QCOMPARE(points.size(), expected.size());
        for (int i = 0; i < points.size(); ++i)
            QVERIFY(near(points[i], expected[i]));
        arrow.clearPath();
        QVERIFY(arrow.boundingRect().isEmpty());
    }

    void dotIsADisc()
    {
        QGraphicsScene scene(-20, -20, 40, 40);
        auto* dot = new QGraphicsDot(20, QColor(Qt::red));
        dot->setPos(1, 1);
        scene.addItem(dot);
        QVERIFY(dynamic_cast<QGraphicsEllipseItem*>(dot->childItems().value(0)));

        QImage image(40, 40, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        scene.render(&painter, image.rect(), scene.sceneRect());
        painter.end();
        QCOMPARE(image.pixelColor(21, 21), QColor(Qt::red));
        QCOMPARE(image.pixelColor(21, 3), QColor(Qt::white)); // outside the disc

        // Under AddressSanitizer a second deletion of the disc would fail here.
        scene.removeItem(dot);
        delete dot;
        QVERIFY(scene.items().isEmpty());
    }
};

QTEST_MAIN(ItemsTest)
#include "test_items.moc"
