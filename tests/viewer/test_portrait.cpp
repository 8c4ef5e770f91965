// The phase portrait in the window: N nullclines, O solution curves, and what E adds to the
// markers (separatrices, limit cycles, the zero curves of continua).
#include "curve_layer.h"
#include "curve_legend.h"
#include "equilibrium_markers.h"
#include "field_insight.h"
#include "phase_portrait.h"
#include "viewer_test_support.h"

#include <QLabel>
#include <QtTest>

#include <cmath>
#include <functional>

namespace {

struct Field : FieldWindow
{
    explicit Field(const QString& fx, const QString& fy, int mode = 1) : FieldWindow(fx, fy, mode)
    {
        QVERIFY(ready && QTest::qWaitForWindowExposed(&window));
    }
    const PhasePortrait* portrait() const { return window.portraitCurves(); }
    // The curves of `layer` once the workers are done.
    QVector<CurveLayer::Curve> curvesOf(const CurveLayer* layer) const
    {
        QElapsedTimer waited;
        waited.start();
        while (portrait() && portrait()->computing() && waited.elapsed() < 20000)
            QTest::qWait(5);
        return layer ? layer->curves() : QVector<CurveLayer::Curve>();
    }
    // The layer that E shows with the markers.
    CurveLayer* portraitLayer() const
    {
        const QList<CurveLayer*> layers = itemsOf<CurveLayer>(window);
        for (CurveLayer* layer : layers)
            if (!portrait() ||
                (layer != portrait()->nullclines() && layer != portrait()->solutions()))
                return layer;
        return nullptr;
    }
};

// The largest of `off` over every point of the curves.
double worst(const QVector<CurveLayer::Curve>& curves, const std::function<double(QPointF)>& off)
{
    double largest = 0;
    for (const CurveLayer::Curve& curve : curves)
        for (const QPointF& p : curve.points)
            largest = std::max(largest, std::abs(off(p)));
    return largest;
}

} // namespace

class PortraitTest : public QObject
{
    Q_OBJECT

private slots:
    // N: both nullclines in two colours on the zero sets, named in the legend; N hides them.
    void nullclinesOfTheOscillator()
    {
        Field f("y", "(1 - x^2)*y - x");
        QVERIFY(itemsOf<CurveLayer>(f.window).isEmpty());
        f.key(Qt::Key_N, Qt::ShiftModifier);
        const CurveLayer* layer = f.portrait()->nullclines();
        const QVector<CurveLayer::Curve> curves = f.curvesOf(layer);
        QVERIFY(layer->isVisible());
        QVector<CurveLayer::Curve> byComponent[2];
        for (const CurveLayer::Curve& curve : curves)
            byComponent[curve.colour == curves[0].colour ? 0 : 1].append(curve);
        QVERIFY(!byComponent[0].isEmpty() && !byComponent[1].isEmpty());
        QVERIFY(byComponent[0][0].colour != byComponent[1][0].colour);
        // Fx = y vanishes on the x axis; Fy on y = x / (1 - x²), three branches.
        QVERIFY(worst(byComponent[0], [](QPointF p) { return p.y(); }) < 1e-12);
        QCOMPARE(byComponent[1].size(), 3);
        QVERIFY(worst(byComponent[1],
                      [](QPointF p) { return (1 - p.x() * p.x()) * p.y() - p.x(); }) < 1e-9);
        auto* legend = f.window.findChild<CurveLegend*>();
        QVERIFY(legend && legend->isVisible());
        QCOMPARE(legend->entries().size(), 2);
        QCOMPARE(legend->entries()[0].name, QString("Fx = 0"));
        QCOMPARE(legend->entries()[1].name, QString("Fy = 0"));
        QCOMPARE(legend->entries()[0].colour, byComponent[0][0].colour);
        f.key(Qt::Key_N, Qt::ControlModifier);
        QVERIFY(!layer->isVisible() && !legend->isVisible());
    }

    // O in a velocity field: a click draws the solution forward (with heads) and backward
    // (lighter); on a centre's circle both lie on the circle. O again drops particles, and
    // Space clears curves and particles alike.
    void clicksDrawSolutions()
    {
        Field f("-y", "x");
        f.key(Qt::Key_O);
        f.window.mousePressed(QPointF(3, 0));
        f.window.mousePressed(QPointF(0, -1.5));
        const QVector<CurveLayer::Curve> curves = f.curvesOf(f.portrait()->solutions());
        QCOMPARE(curves.size(), 4);
        QVERIFY(f.dots().isEmpty());
        const double radii[] = {3, 3, 1.5, 1.5};
        for (int i = 0; i < 4; ++i) {
            const double r = radii[i];
            QVERIFY(worst({curves[i]}, [r](QPointF p) { return std::hypot(p.x(), p.y()) - r; }) <
                    1e-8);
            QVERIFY(curves[i].points.size() > 50);
        }
        QVERIFY(curves[0].arrowheads > 0 && curves[0].colour.alpha() == 255);
        QVERIFY(curves[1].colour.alpha() < 255); // backward: lighter
        // Counter-clockwise forward: from (3, 0) upwards first.
        QVERIFY(curves[0].points[0] == QPointF(3, 0) && curves[0].points[1].y() > 0);

        f.key(Qt::Key_O);
        f.window.mousePressed(QPointF(1, 1));
        QCOMPARE(f.dots().size(), 10);
        QCOMPARE(f.portrait()->solutions()->curves().size(), 4);
        f.key(Qt::Key_Space);
        QVERIFY(f.dots().isEmpty() && f.portrait()->solutions()->curves().isEmpty());
    }

    // O in an acceleration field: press, drag and release draw the launched particle's path,
    // a parabola under constant gravity, and launch nothing.
    void dragsDrawLaunchPaths()
    {
        Field f("0", "-1", 2);
        f.key(Qt::Key_O);
        f.window.mouseDragged(QPointF(-4, 0), QVector2D(1, 2));
        const QVector<CurveLayer::Curve> curves = f.curvesOf(f.portrait()->solutions());
        QCOMPARE(curves.size(), 1);
        QVERIFY(f.dots().isEmpty());
        // y = 2 t - t²/2 with t = x + 4, until it leaves the region below.
        QVERIFY(worst(curves, [](QPointF p) {
                    const double t = p.x() + 4;
                    return p.y() - (2 * t - t * t / 2);
                }) < 1e-8);
        QVERIFY(curves[0].points.last().y() < -5);
    }

    // The curves and nullclines follow the field through the window's slow follow: over a wider
    // region the curve goes on further and a nullcline outside the first region appears.
    void curvesFollowTheRegion()
    {
        Field f("1", "(x - 7)/100");
        f.key(Qt::Key_N);
        f.key(Qt::Key_O);
        f.window.mousePressed(QPointF(0, 0));
        QVERIFY(f.curvesOf(f.portrait()->nullclines()).isEmpty());
        const QVector<CurveLayer::Curve> before = f.curvesOf(f.portrait()->solutions());
        QVERIFY(before[0].points.last().x() < 6);
        f.window.showRegion({-5, 15, -10, 10});
        f.window.finishPendingWork();
        const QVector<CurveLayer::Curve> nullclines = f.curvesOf(f.portrait()->nullclines());
        QCOMPARE(nullclines.size(), 1);
        QVERIFY(worst(nullclines, [](QPointF p) { return p.x() - 7; }) < 1e-12);
        QVERIFY(nullclines[0].colour != QColor(Qt::black));
        const QVector<CurveLayer::Curve> after = f.curvesOf(f.portrait()->solutions());
        QCOMPARE(after.size(), 2);
        QVERIFY(after[0].points.last().x() > 14);
        QCOMPARE(after[0].points[0], QPointF(0, 0));
    }

    // E adds the oscillator's stable cycle (solid, listed in the panel with its period) and
    // the separatrices of a saddle: unstable branches solid along x, stable dashed along y.
    void separatricesAndCycles()
    {
        Field oscillator("y", "(1 - x^2)*y - x");
        oscillator.key(Qt::Key_I);
        oscillator.key(Qt::Key_E);
        QTRY_VERIFY_WITH_TIMEOUT(oscillator.text("cyclesText").startsWith("stable, period 6.66328"),
                                 20000);
        QVERIFY(oscillator.text("cyclesText").contains("max |x| = 2.00862"));
        const CurveLayer* drawn = oscillator.portraitLayer();
        QVERIFY(drawn && drawn->isVisible());
        QCOMPARE(drawn->curves().size(), 1);
        QCOMPARE(drawn->curves()[0].style, Qt::SolidLine);
        oscillator.key(Qt::Key_E);
        QVERIFY(!drawn->isVisible());

        Field saddle("x", "-y");
        saddle.key(Qt::Key_E);
        QTRY_VERIFY_WITH_TIMEOUT(
            saddle.portraitLayer() && saddle.portraitLayer()->curves().size() == 4, 20000);
        const QVector<CurveLayer::Curve> branches = saddle.portraitLayer()->curves();
        for (int i = 0; i < 4; ++i) {
            const bool unstable = i < 2;
            QCOMPARE(branches[i].style, unstable ? Qt::SolidLine : Qt::DashLine);
            QVERIFY(worst({branches[i]},
                          [unstable](QPointF p) { return unstable ? p.y() : p.x(); }) < 1e-9);
        }
    }

    // A continuum is drawn as the curve where F vanishes, not as a marker.
    void continuumIsACurve()
    {
        Field f("x - y", "2*(x - y)");
        f.key(Qt::Key_E);
        QTRY_VERIFY_WITH_TIMEOUT(f.portraitLayer() && !f.portraitLayer()->curves().isEmpty(),
                                 20000);
        QVERIFY(itemsOf<EquilibriumMarkers>(f.window)[0]->markers().isEmpty());
        const QVector<CurveLayer::Curve> zero = f.portraitLayer()->curves();
        int points = 0;
        for (const CurveLayer::Curve& curve : zero)
            points += curve.points.size();
        QVERIFY(points > 100);
        QVERIFY(worst(zero, [](QPointF p) { return p.x() - p.y(); }) < 1e-12);
    }
};

QTEST_MAIN(PortraitTest)
#include "test_portrait.moc"
