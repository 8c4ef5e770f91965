#include "field_analysis.h"
#include "field_map_layer.h"
#include "function_interpreter.h"
#include "info_panel.h"

#include <QtTest>

#include <cmath>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

MapGrid sampled(const char* fx, const char* fy, MapQuantity quantity, const QRectF& region, int n)
{
    const FunctionInterpreter x(fx), y(fy);
    MapGrid grid = mapGridOver(region, n);
    sampleMap(FieldAnalysis(x, y), quantity, grid);
    return grid;
}

} // namespace

class FieldMapTest : public QObject
{
    Q_OBJECT

private slots:
    // Against div = y/x + x² and curl = 2xy - ln x by hand, row 0 at the bottom; NaN where the
    // field has no value (its derivative would), and everywhere without derivatives.
    void sampledAtCellCentres()
    {
        for (MapQuantity quantity : {MapQuantity::Divergence, MapQuantity::Curl}) {
            const MapGrid grid = sampled("LN(x)*y", "x*x*y", quantity, QRectF(-2, -1, 4, 2), 40);
            QVERIFY(grid.columns == 40 && grid.rows == 20 && grid.values.size() == 800);
            QCOMPARE(grid.centreOf(0, 0), QPointF(-1.95, -0.95));
            for (int i = 0; i < 800; ++i) {
                const double x = grid.centreOf(i % 40, i / 40).x(),
                             y = grid.centreOf(0, i / 40).y();
                const double expected = x < 0 ? kNaN
                                        : quantity == MapQuantity::Divergence
                                            ? y / x + x * x
                                            : 2 * x * y - std::log(x);
                const double got = grid.values[size_t(i)];
                QVERIFY(std::isnan(expected)
                            ? std::isnan(got)
                            : std::abs(got - expected) <= 1e-12 * (1 + std::abs(expected)));
            }
        }
        const MapGrid flat =
            sampled("ABS(x)", "y", MapQuantity::Divergence, QRectF(-1, -1, 2, 2), 8);
        QVERIFY(flat.values.size() == 64 && std::all_of(flat.values.begin(), flat.values.end(),
                                                        [](double v) { return std::isnan(v); }));
    }

    // The palette's ends stand for a high percentile of |value|, not for the odd huge one:
    // blue, white, red, saturated beyond; the layer puts the grid's row 0 at the smallest y.
    void colourScale()
    {
        std::vector<double> ramp, mostlyZero(1000, 0.0);
        for (int i = 1; i <= 100; ++i)
            ramp.push_back(i % 2 ? i : -i);
        std::vector<double> spiked = ramp;
        spiked[50] = 1e12;
        mostlyZero[7] = -3;
        QVERIFY(robustLimit({}) == 0 && robustLimit({kNaN, kNaN}) == 0);
        QVERIFY(robustLimit({0, 0, -0.0}) == 0 && robustLimit({kInfinity, 2, -2, kNaN}) == 2);
        QVERIFY(robustLimit(mostlyZero) == 3);
        QVERIFY(robustLimit(ramp) >= 97 && robustLimit(ramp) <= 99);
        QVERIFY(robustLimit(spiked) >= 97 && robustLimit(spiked) <= 100);

        const QColor blue = QColor::fromRgb(divergingColor(-1, 1));
        const QColor white = QColor::fromRgb(divergingColor(0, 1));
        const QColor red = QColor::fromRgb(divergingColor(1, 1));
        QVERIFY(blue.blue() > blue.red() + 100 && red.red() > red.blue() + 100);
        QVERIFY(white.red() > 240 && white.green() > 240 && white.blue() > 240);
        QCOMPARE(divergingColor(-50, 2), divergingColor(-2, 2));
        QCOMPARE(divergingColor(kInfinity, 2), divergingColor(2, 2));
        QCOMPARE(divergingColor(3, 0), divergingColor(0, 1)); // no scale: everything is white
        QCOMPARE(qAlpha(divergingColor(kNaN, 1)), 0);

        MapGrid grid = mapGridOver(QRectF(0, 0, 4, 2), 4);
        grid.values = {-1, -1, 0, 1, kNaN, 1, 1, 1}; // bottom row, then top row
        const FieldMapLayer layer(MapQuantity::Curl, grid);
        QCOMPARE(layer.boundingRect(), QRectF(0, 0, 4, 2));
        QCOMPARE(layer.colorAt(QPointF(0.5, 0.5)), divergingColor(-1, layer.limit()));
        QCOMPARE(layer.colorAt(QPointF(3.5, 0.5)), divergingColor(1, layer.limit()));
        QCOMPARE(qAlpha(layer.colorAt(QPointF(0.5, 1.5))), 0);
        QCOMPARE(qAlpha(layer.colorAt(QPointF(5, 1))), 0); // outside
        QVERIFY(layer.defined());
        grid.values.assign(8, kNaN);
        QVERIFY(!FieldMapLayer(MapQuantity::Divergence, grid).defined());
    }

    void panelNumbers()
    {
        QCOMPARE(panelNumber(-0.0), QString("0"));
        QCOMPARE(panelNumber(1234567), QString("1.235e+06"));
        QCOMPARE(panelNumber(-0.25), QString("-0.25"));
    }
};

QTEST_MAIN(FieldMapTest)
#include "test_field_map.moc"
