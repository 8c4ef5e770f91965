// The pieces behind the analysis keys that need no window: map sampling, its colour scale and
// robust limit, saddle eigenvectors, and the panel's numbers.

#include "equilibrium_markers.h"
#include "field_analysis.h"
#include "field_map_layer.h"
#include "function_interpreter.h"
#include "info_panel.h"

#include <QtTest>

#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

struct Analysed
{
    FunctionInterpreter fx;
    FunctionInterpreter fy;
    FieldAnalysis analysis;
    Analysed(const char* x, const char* y) : fx(x), fy(y), analysis(fx, fy) {}
};

} // namespace

class FieldMapTest : public QObject
{
    Q_OBJECT

private slots:
    // Cell centres, row 0 at the bottom, compared with the divergence and curl worked out by
    // hand; NaN wherever the field or the derivative cannot be evaluated (the derivative of
    // LN(x), 1/x, could be, but the field has no value left of the axis).
    void sampledAtCellCentres()
    {
        const struct
        {
            const char *fx, *fy;
            double (*divergence)(double, double);
            double (*curl)(double, double);
        } cases[] = {
            {"SIN(x)*y", "x*x*y", [](double x, double y) { return std::cos(x) * y + x * x; },
             [](double x, double y) { return 2 * x * y - std::sin(x); }},
            {"-y", "x", [](double, double) { return 0.0; }, [](double, double) { return 2.0; }},
            {"LN(x)", "y/x", [](double x, double) { return x > 0 ? 1 / x + 1 / x : kNaN; },
             [](double x, double y) { return x > 0 ? -y / (x * x) : kNaN; }},
        };
        for (const auto& c : cases) {
            const Analysed field(c.fx, c.fy);
            for (MapQuantity quantity : {MapQuantity::Divergence, MapQuantity::Curl}) {
                MapGrid grid = mapGridOver(QRectF(-2, -1, 4, 2), 40);
                QCOMPARE(grid.columns, 40);
                QCOMPARE(grid.rows, 20);
                sampleMap(field.analysis, quantity, grid);
                QCOMPARE(grid.values.size(), size_t(800));
                QCOMPARE(grid.centreOf(0, 0), QPointF(-1.95, -0.95));
                for (int row = 0; row < grid.rows; ++row) {
                    for (int column = 0; column < grid.columns; ++column) {
                        const QPointF at = grid.centreOf(column, row);
                        const double expected = quantity == MapQuantity::Divergence
                                                    ? c.divergence(at.x(), at.y())
                                                    : c.curl(at.x(), at.y());
                        const double got = grid.values[size_t(row * grid.columns + column)];
                        if (std::isnan(expected)) {
                            QVERIFY2(std::isnan(got), c.fx);
                        } else {
                            QVERIFY2(std::abs(got - expected) <= 1e-12 * (1 + std::abs(expected)),
                                     c.fx);
                        }
                    }
                }
            }
        }
        // A field without derivatives has a map of nothing.
        const Analysed flat("ABS(x)", "y");
        MapGrid grid = mapGridOver(QRectF(-1, -1, 2, 2), 8);
        sampleMap(flat.analysis, MapQuantity::Divergence, grid);
        QCOMPARE(grid.values.size(), size_t(64));
        QVERIFY(std::all_of(grid.values.begin(), grid.values.end(),
                            [](double v) { return std::isnan(v); }));
    }

    // The palette's ends stand for a high percentile of |value|, not for the odd huge one.
    void limitIsRobust()
    {
        std::vector<double> ramp;
        for (int i = 1; i <= 100; ++i)
            ramp.push_back(i % 2 ? i : -i);
        std::vector<double> spiked = ramp;
        spiked[50] = 1e12;
        std::vector<double> mostlyZero(1000, 0.0);
        mostlyZero[7] = -3;
        const struct
        {
            std::vector<double> values;
            double low, high;
        } cases[] = {
            {{}, 0, 0},
            {{kNaN, kNaN}, 0, 0},
            {{0, 0, -0.0}, 0, 0},
            {ramp, 97, 99},
            {spiked, 97, 100},
            {mostlyZero, 3, 3},
            {{kInfinity, 2, -2, kNaN}, 2, 2},
        };
        for (const auto& c : cases) {
            const double limit = robustLimit(c.values);
            QVERIFY2(limit >= c.low && limit <= c.high, qPrintable(QString::number(limit)));
        }
    }

    // Blue below zero, white at it, red above; saturated beyond the limit, symmetric, and
    // transparent where there is no value.
    void divergingPalette()
    {
        const QColor blue = QColor::fromRgb(divergingColor(-1, 1));
        const QColor white = QColor::fromRgb(divergingColor(0, 1));
        const QColor red = QColor::fromRgb(divergingColor(1, 1));
        QVERIFY(blue.blue() > blue.red() + 100 && red.red() > red.blue() + 100);
        QVERIFY(white.red() > 240 && white.green() > 240 && white.blue() > 240);
        QCOMPARE(divergingColor(-50, 2), divergingColor(-2, 2));
        QCOMPARE(divergingColor(kInfinity, 2), divergingColor(2, 2));
        QCOMPARE(divergingColor(3, 0), divergingColor(0, 1)); // no scale: everything is white
        QCOMPARE(qAlpha(divergingColor(kNaN, 1)), 0);
        // Lightness falls off alike on both sides, and steadily towards the ends.
        int lastBelow = 256, lastAbove = 256;
        for (int step = 0; step <= 20; ++step) {
            const double t = step / 20.0;
            const int below = QColor::fromRgb(divergingColor(-t, 1)).lightness();
            const int above = QColor::fromRgb(divergingColor(t, 1)).lightness();
            QVERIFY2(std::abs(below - above) < 30, qPrintable(QString::number(t)));
            QVERIFY(below <= lastBelow && above <= lastAbove);
            QVERIFY(qAlpha(divergingColor(t, 1)) == 255 && qAlpha(divergingColor(-t, 1)) == 255);
            lastBelow = below;
            lastAbove = above;
        }
    }

    // The picture puts the grid's bottom row at the region's smallest y, and colours by value.
    void layerPictureMatchesTheGrid()
    {
        MapGrid grid = mapGridOver(QRectF(0, 0, 4, 2), 4);
        grid.values = {-1, -1, 0, 1, kNaN, 1, 1, 1}; // bottom row, then top row
        const FieldMapLayer layer(MapQuantity::Curl, grid);
        QCOMPARE(layer.picture().size(), QSize(4, 2));
        QCOMPARE(layer.boundingRect(), QRectF(0, 0, 4, 2));
        QCOMPARE(layer.colorAt(QPointF(0.5, 0.5)), divergingColor(-1, layer.limit()));
        QCOMPARE(layer.colorAt(QPointF(3.5, 0.5)), divergingColor(1, layer.limit()));
        QCOMPARE(qAlpha(layer.colorAt(QPointF(0.5, 1.5))), 0);
        QCOMPARE(qAlpha(layer.colorAt(QPointF(5, 1))), 0); // outside
        QVERIFY(layer.defined());
        grid.values.assign(8, kNaN);
        QVERIFY(!FieldMapLayer(MapQuantity::Divergence, grid).defined());
    }

    // m v = λ v, for matrices whose rows vanish in either order or altogether.
    void eigenvectorsSolveTheirEquation()
    {
        const Matrix2 matrices[] = {
            {-2, 0, 0, 1}, {1, 2, 3, -4}, {0, 1, 1, 0}, {2, 0, 5, -3}, {0, 4, 0, -1}, {3, 0, 0, 3},
        };
        for (const Matrix2& m : matrices) {
            for (const auto& lambda : Eigenvalues(m)) {
                const QPointF v = eigenvector(m, lambda.real());
                QVERIFY(std::abs(std::hypot(v.x(), v.y()) - 1) < 1e-12);
                const double rx = m.a * v.x() + m.b * v.y() - lambda.real() * v.x();
                const double ry = m.c * v.x() + m.d * v.y() - lambda.real() * v.y();
                QVERIFY2(std::hypot(rx, ry) < 1e-9, qPrintable(QString::number(lambda.real())));
            }
        }
    }

    // Newton's last bits of rounding are no digits worth showing.
    void panelNumbersAndEquilibria()
    {
        QCOMPARE(panelNumber(-0.0), QString("0"));
        QCOMPARE(panelNumber(1234567), QString("1.235e+06"));
        QCOMPARE(panelNumber(-0.25), QString("-0.25"));
        Equilibrium nearlyZero{1e-17, -2, "stable spiral", {{-1, 2 + 1e-20}, {-1, -2}}};
        Equilibrium real{0.5, 1e-3, "saddle", {{3, 1e-19}, {-1e-14, 0}}};
        QCOMPARE(describeEquilibria({nearlyZero, real}, 10),
                 QString::fromUtf8("(0, -2)  stable spiral\n    \u03bb = -1 \u00b1 2i\n"
                                   "(0.5, 0.001)  saddle\n    \u03bb = 3, 0"));
        QCOMPARE(describeEquilibria({}, 10), QString("none in the region"));
    }
};

QTEST_MAIN(FieldMapTest)
#include "test_field_map.moc"
