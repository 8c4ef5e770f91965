#include "viewer_test_support.h"

#include <QtTest>

#include <cmath>
#include <set>

namespace {

using Field = double (*)(double, double);

// The drawn vector of every arrow, by its anchor.
std::map<std::pair<double, double>, QVector2D> drawnVectors(const VFWindow& window)
{
    std::map<std::pair<double, double>, QVector2D> vectors;
    for (const QGraphicsArrow* arrow : itemsOf<QGraphicsArrow>(window)) {
        const QPointF a = arrow->anchorPoint();
        vectors[{a.x(), a.y()}] = arrow->path().isEmpty() ? QVector2D() : arrow->arrowVector();
    }
    return vectors;
}

} // namespace

class PlotTest : public QObject
{
    Q_OBJECT

private slots:
    // One arrow per grid point; the vectors are the field times the single-precision factor
    // that draws the longest 0.7071 of a 0.5 cell long, to the bit.
    void arrowsScaleTheFieldByOneFactor()
    {
        const struct
        {
            const char *fx, *fy;
            Field fieldX, fieldY;
            int drawn;
        } cases[] = {
            {"x", "y", [](double x, double) { return x; }, [](double, double y) { return y; }, 400},
            {"-y", "x*x", [](double, double y) { return -y; },
             [](double x, double) { return x * x; }, 400},
            {"SQRT(x)", "0", [](double x, double) { return std::sqrt(x); },
             [](double, double) { return 0.0; }, 200},
            {"0", "0", nullptr, nullptr, 0},
            {"q", "y", nullptr, nullptr, 0}, // q has no slot: every point fails
        };
        std::set<std::pair<double, double>> grid;
        for (int i = 0; i < 20; ++i)
            for (int j = 0; j < 20; ++j)
                grid.insert({-4.75 + 0.5 * i, -4.75 + 0.5 * j});
        for (const auto& c : cases) {
            VFWindow window(nullptr);
            QVERIFY(window.setupField(formSettings(c.fx, c.fy, 1)));
            QCOMPARE(itemsOf<QGraphicsArrow>(window).size(), 400);
            const auto drawn = drawnVectors(window);
            std::set<std::pair<double, double>> anchors;
            for (const auto& [anchor, vector] : drawn)
                anchors.insert(anchor);
            QVERIFY(anchors == grid);

            float longest = 0;
            for (const auto& [a, vector] : drawn) {
                if (c.fieldX && std::isfinite(c.fieldX(a.first, a.second)))
                    longest = std::max(longest, QVector2D(float(c.fieldX(a.first, a.second)),
                                                          float(c.fieldY(a.first, a.second)))
                                                    .length());
            }
            const float scale = float(0.7071 / longest * 0.5);
            int nonZero = 0;
            for (const auto& [a, vector] : drawn) {
                if (vector.isNull()) continue;
                ++nonZero;
                const QVector2D field(float(c.fieldX(a.first, a.second)),
                                      float(c.fieldY(a.first, a.second)));
                QCOMPARE(vector, field * scale);
            }
            QCOMPARE(nonZero, c.drawn);
        }
    }

    // Vectors beyond single precision fail alone, and fields at its limits still draw: the
    // longest drawn arrow is 0.7071 of a cell and every other points the field's way.
    void extremeValuesStillDraw()
    {
        const struct
        {
            const char *fx, *fy;
            Field fieldX, fieldY;
            int failed;
        } cases[] = {
            // 4.75^60 overflows single precision; 4.25^60 does not.
            {"x^60", "0", [](double x, double) { return std::pow(x, 60); },
             [](double, double) { return 0.0; }, 40},
            {"1E-40", "0", [](double, double) { return 1e-40; }, [](double, double) { return 0.0; },
             0},
            {"3E38", "-3E38 * y / ABS(y)", [](double, double) { return 3e38; },
             [](double, double y) { return -3e38 * y / std::abs(y); }, 0},
        };
        for (const auto& c : cases) {
            VFWindow window(nullptr);
            QVERIFY(window.setupField(formSettings(c.fx, c.fy, 1)));
            int failed = 0;
            double longest = 0;
            for (const auto& [a, vector] : drawnVectors(window)) {
                const double fx = c.fieldX(a.first, a.second), fy = c.fieldY(a.first, a.second);
                if (!std::isfinite(float(fx))) {
                    ++failed;
                    QVERIFY(vector.isNull());
                    continue;
                }
                longest = std::max(longest, double(vector.length()));
                if (vector.isNull()) continue; // negligible against the longest
                QVERIFY2(std::abs(vector.x() * fy - vector.y() * fx) <=
                             1e-6 * vector.length() * std::hypot(fx, fy),
                         c.fx);
            }
            QCOMPARE(failed, c.failed);
            QVERIFY2(std::abs(longest - 0.35355) < 1e-6, c.fx);
        }
    }

    void windowIsMaximizedWithYUpAndRefitsOnResize()
    {
        VFWindow window(nullptr);
        QVERIFY(window.windowState() & Qt::WindowMaximized);
        QVERIFY(window.setupField(formSettings("0", "1", 1)));
        MyGraphicsView* view = viewOf(window);
        for (const QGraphicsArrow* arrow : itemsOf<QGraphicsArrow>(window)) {
            const QPointF tip = arrow->anchorPoint() + arrow->arrowVector().toPointF();
            QVERIFY(view->mapFromScene(tip).y() < view->mapFromScene(arrow->anchorPoint()).y());
        }
        // The region covers the viewport: all of it shows along the viewport's longer side.
        for (const QSize size : {QSize(900, 500), QSize(400, 700)}) {
            window.showNormal();
            window.resize(size);
            QCoreApplication::processEvents();
            const QRectF port = view->mapToScene(view->viewport()->rect()).boundingRect();
            QVERIFY(QRectF(-5, -5, 10, 10).adjusted(-0.05, -0.05, 0.05, 0.05).contains(port));
            QVERIFY(std::abs(std::max(port.width(), port.height()) - 10) < 0.1);
        }
    }
};

QTEST_MAIN(PlotTest)
#include "test_plot.moc"
