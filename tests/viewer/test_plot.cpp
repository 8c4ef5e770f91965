#include "viewer_test_support.h"

#include <QGraphicsLineItem>
#include <QtTest>

#include <cmath>

class PlotTest : public QObject
{
    Q_OBJECT

private slots:
    // Drawn vectors are the field times one common factor that makes the longest 0.35355
    // (0.7071 of a 0.5 cell); failing points get an arrow that draws nothing.
    void arrowGrid()
    {
        using Field = double (*)(double, double);
        const struct
        {
            const char *fx, *fy;
            int drawn;
            Field fieldX, fieldY;
        } cases[] = {
            {"x", "y", 400, [](double x, double) { return x; }, [](double, double y) { return y; }},
            {"SQRT(x)", "0", 200, [](double x, double) { return std::sqrt(x); },
             [](double, double) { return 0.0; }},
            {"0", "0", 0, nullptr, nullptr},
            {"q", "y", 0, nullptr, nullptr}, // q has no slot: every point fails
        };
        for (const auto& c : cases) {
            VFWindow window(nullptr);
            QVERIFY(window.setupField(formSettings(c.fx, c.fy, 1)));
            const QList<QGraphicsArrow*> arrows = itemsOf<QGraphicsArrow>(window);
            QCOMPARE(arrows.size(), 400);
            int drawn = 0;
            double longest = 0, commonScale = 0;
            for (const QGraphicsArrow* arrow : arrows) {
                const QPointF a = arrow->anchorPoint();
                QCOMPARE(std::remainder(a.x() - 0.25, 0.5) + std::remainder(a.y() - 0.25, 0.5),
                         0.0);
                QCOMPARE(arrow->headSize(), 0.02);
                if (arrow->path().isEmpty()) continue;
                ++drawn;
                const QVector2D v = arrow->arrowVector();
                const double fx = c.fieldX(a.x(), a.y()), fy = c.fieldY(a.x(), a.y());
                if (commonScale == 0) commonScale = v.length() / std::hypot(fx, fy);
                QVERIFY(std::abs(v.x() - fx * commonScale) + std::abs(v.y() - fy * commonScale) <
                        1e-6);
                longest = std::max(longest, double(v.length()));
            }
            QCOMPARE(drawn, c.drawn);
            if (drawn > 0) QVERIFY2(std::abs(longest - 0.35355) < 1e-6, c.fx);
        }
    }

    void yUpAndHiddenGuides()
    {
        VFWindow window(nullptr);
        QVERIFY(window.setupField(formSettings("0", "1", 1)));
        MyGraphicsView* view = viewOf(window);
        QCOMPARE(view->sceneRect(), QRectF(-5, -5, 10, 10));
        for (const QGraphicsArrow* arrow : itemsOf<QGraphicsArrow>(window)) {
            const QPointF tip = arrow->anchorPoint() + arrow->arrowVector().toPointF();
            QVERIFY(view->mapFromScene(tip).y() < view->mapFromScene(arrow->anchorPoint()).y());
        }
        const QGraphicsLineItem* line = itemsOf<QGraphicsLineItem>(window).value(0);
        QCOMPARE(line->line(), QLineF(0, -5, 0, 5));
        QCOMPARE(line->pen(),
                 QPen(QBrush(Qt::blue), 0.05, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
        QVERIFY(!line->isVisible());
        for (const QGraphicsPathItem* path : itemsOf<QGraphicsPathItem>(window)) {
            if (dynamic_cast<const QGraphicsArrow*>(path)) continue;
            QCOMPARE(path->pen(), line->pen());
            QVERIFY(!path->isVisible());
            // The S-curve from the bottom to the top bends right first.
            QCOMPARE(path->path().pointAtPercent(1), QPointF(0, 5));
            QVERIFY(path->path().pointAtPercent(0.25).x() > 0);
        }
    }
};

QTEST_MAIN(PlotTest)
#include "test_plot.moc"
