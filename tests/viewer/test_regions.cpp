// Other regions in the field window: Ctrl + wheel zooms about the pointer, the middle button
// drags the region, Home returns to the first one, W shows the whole region; every view follows.

#include "equilibria.h"
#include "equilibrium_markers.h"
#include "fading_layer.h"
#include "field_map_layer.h"
#include "field_model.h"
#include "flow_layer.h"
#include "info_panel.h"
#include "region_moves.h"
#include "region_ticks.h"
#include "viewer_test_support.h"

#include <QLabel>
#include <QScrollBar>
#include <QtTest>

#include <cmath>
#include <map>

#include <sys/resource.h>

namespace {

using Anchor = std::pair<double, double>;

// Every arrow by its anchor: its drawn vector and head size.
std::map<Anchor, std::pair<QVector2D, double>> arrowsOf(const VFWindow& window)
{
    std::map<Anchor, std::pair<QVector2D, double>> arrows;
    for (const QGraphicsArrow* arrow : itemsOf<QGraphicsArrow>(window)) {
        const QPointF at = arrow->anchorPoint();
        arrows[{at.x(), at.y()}] = {arrow->path().isEmpty() ? QVector2D() : arrow->arrowVector(),
                                    arrow->headSize()};
    }
    return arrows;
}

// A window shown with a view of the given size; only the test moves time.
struct Shown : FieldWindow
{
    Shown(const QString& fx, const QString& fy, const QSize& viewSize = QSize(640, 400),
          int mode = 1)
        : FieldWindow(fx, fy, mode)
    {
        window.showNormal();
        window.resize(viewSize + (window.size() - view()->size()));
        settle();
    }
    QImage frame() const { return port()->grab().toImage(); }
    const Region& region() { return window.field()->Bounds(); }
    void ctrlWheel(const QPoint& pixel, int notches)
    {
        turnWheel(port(), pixel, 120 * notches, Qt::ControlModifier);
    }
    void middleDrag(const QPoint& from, const QPoint& to)
    {
        QTest::mousePress(port(), Qt::MiddleButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, to, Qt::NoButton, Qt::MiddleButton, Qt::NoModifier);
        QApplication::sendEvent(port(), &move);
        QTest::mouseRelease(port(), Qt::MiddleButton, {}, to);
    }
};

// The arrows a window set up with `region` from the start draws.
std::map<Anchor, std::pair<QVector2D, double>> freshArrows(const QString& fx, const QString& fy,
                                                           const Region& region)
{
    VFWindow window(nullptr);
    FieldSettings settings = formFieldSettings(1, fx, fy);
    settings.xMin = region.xMin;
    settings.xMax = region.xMax;
    settings.yMin = region.yMin;
    settings.yMax = region.yMax;
    if (!window.setupField(settings)) return {};
    return arrowsOf(window);
}

// The most memory the test has held at once, in kilobytes.
long largestResidentKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

bool near(const QPointF& a, const QPointF& b, double tolerance)
{
    return std::abs(a.x() - b.x()) <= tolerance && std::abs(a.y() - b.y()) <= tolerance;
}

} // namespace

class RegionsTest : public QObject
{
    Q_OBJECT

private slots:
    // Each step shows another region, and its arrows are exactly those of a window that started
    // with it: the designed sampling and scaling over the new region, the head 0.002 of its
    // shorter side. The point under the pointer stays there.
    void zoomAndPanSampleTheNewRegion()
    {
        Shown f("y", "x*x - 1 + Pq");
        const Region first = f.region();
        const QPoint pointer(420, 130);
        const QPointF under = f.at(pointer);
        f.ctrlWheel(pointer, 2); // 1.25² closer
        QVERIFY(std::abs(f.region().Width() - 10 / 1.5625) < 1e-12);
        QVERIFY(near(f.at(pointer), under, 1.5 / f.view()->transform().m11()));
        QVERIFY(arrowsOf(f.window) == freshArrows("y", "x*x - 1 + Pq", f.region()));
        QCOMPARE(arrowsOf(f.window).size(), size_t(400));

        f.ctrlWheel(QPoint(100, 300), -3); // further away than at the start
        QVERIFY(f.region().Width() > first.Width());
        QVERIFY(arrowsOf(f.window) == freshArrows("y", "x*x - 1 + Pq", f.region()));

        const Region before = f.region();
        const QPointF grabbed = f.at(QPoint(300, 200));
        f.middleDrag(QPoint(300, 200), QPoint(380, 150));
        QVERIFY(near(f.at(QPoint(380, 150)), grabbed, 1.5 / f.view()->transform().m11()));
        QVERIFY(std::abs(f.region().Width() - before.Width()) < 1e-12);
        QVERIFY(f.region().xMin < before.xMin && f.region().yMin < before.yMin); // dragged up-right
        QVERIFY(f.dots().isEmpty()); // a drag is no click
        QVERIFY(arrowsOf(f.window) == freshArrows("y", "x*x - 1 + Pq", f.region()));
    }

    // After any zooms and pans, numbers along the edges; Home shows the first picture again,
    // pixel for pixel, without them; W shows
    // the whole region with a margin, and W again the designed covering view, pixel for pixel.
    void homeAndWholeRegionGiveTheDesignedFrameBack()
    {
        Shown f("SIN(y)", "x - x*x*x/9", QSize(640, 400));
        const QImage designed = f.frame();
        const Region first = f.region();
        f.ctrlWheel(QPoint(200, 100), 3);
        f.middleDrag(QPoint(300, 300), QPoint(20, 40));
        f.ctrlWheel(QPoint(600, 350), -1);
        QVERIFY(f.frame() != designed && f.view()->ticksShown()); // numbers once it moved
        f.key(Qt::Key_Home, Qt::ShiftModifier);                   // modifiers do not matter
        QVERIFY(SameRegion(f.region(), first));
        QVERIFY(f.frame() == designed);

        f.key(Qt::Key_W);
        settle(); // the scroll bars go
        QVERIFY(f.window.wholeRegionShown());
        const QRectF whole = f.view()->mapFromScene(QRectF(-5, -5, 10, 10)).boundingRect();
        QVERIFY(f.port()->rect().contains(whole.toAlignedRect()));
        QVERIFY(whole.top() > 5 && whole.bottom() < f.port()->height() - 5); // a margin
        QVERIFY(std::abs(whole.center().x() - f.port()->width() / 2.0) < 2);
        QVERIFY(f.frame() != designed);
        f.key(Qt::Key_W);
        QVERIFY(!f.window.wholeRegionShown());
        settle(); // the scroll bar comes back
        QVERIFY(f.frame() == designed);

        // Zooming and panning keep the whole region in view while W is on.
        f.key(Qt::Key_W);
        f.ctrlWheel(QPoint(320, 200), 1);
        f.middleDrag(QPoint(320, 200), QPoint(330, 190));
        const Region& now = f.region();
        const QRectF shown = f.view()->mapToScene(f.port()->rect()).boundingRect();
        QVERIFY(shown.contains(QRectF(now.xMin, now.yMin, now.Width(), now.Height())));
    }

    // Home after a deep zoom, trails and flow shown: their pixels are made for the view of the
    // first region, never for the zoomed view's scale, where the first region would take
    // hundreds of megabytes.
    void homeAfterADeepZoomStaysSmall()
    {
        Shown f("-y", "x", QSize(500, 500));
        f.key(Qt::Key_T);
        f.key(Qt::Key_F);
        f.window.zoomAbout(QPoint(250, 250), 25);
        f.run(2, 10);
        const long before = largestResidentKilobytes();
        f.key(Qt::Key_Home);
        f.run(2, 10);
        QVERIFY2(largestResidentKilobytes() - before < 100000,
                 qPrintable(QString::number(largestResidentKilobytes() - before)));
        for (const FadingLayer* layer : itemsOf<FadingLayer>(f.window))
            QVERIFY(layer->picture().width() <= 520 && layer->picture().height() <= 520);
    }

    // The plain wheel and the scroll bars scroll as designed; clicks drop rings, also the middle
    // button's click, which comes at its release; the region stays.
    void plainWheelScrollsAndClicksDrop()
    {
        Shown f("-y", "x", QSize(640, 400)); // wider than high: the region scrolls up and down
        QScrollBar* bar = f.view()->verticalScrollBar();
        const int middle = bar->value();
        turnWheel(f.port(), QPoint(300, 200), 120);
        QVERIFY(bar->value() < middle);
        QVERIFY(SameRegion(f.region(), f.window.startRegion()));
        QTest::mouseClick(f.port(), Qt::LeftButton, {}, QPoint(100, 100));
        QTest::mouseClick(f.port(), Qt::MiddleButton, {}, QPoint(200, 100));
        QTest::mouseClick(f.port(), Qt::RightButton, {}, QPoint(300, 100));
        QCOMPARE(f.dots().size(), 30);

        Shown launch("0", "0", QSize(400, 400), 2); // a middle click launches as designed
        QTest::mouseClick(launch.port(), Qt::MiddleButton, {}, QPoint(200, 100));
        QCOMPARE(launch.dots().size(), 1);
        QVERIFY(near(launch.dot(), launch.at(QPoint(200, 100)), 1e-9));
    }

    // Dots keep their place in the plane and take the new region's size; trails start empty over
    // the new region; flow particles are born again inside it; maps, markers and the panel's
    // list are made afresh for it at once, or a moment later amid a burst of changes.
    void everyViewFollows()
    {
        Shown f("y", "x*(1 - x*x/3) - y/2", QSize(500, 500));
        f.window.mousePressed(QPointF(1, 1));
        for (const Qt::Key key : {Qt::Key_T, Qt::Key_F, Qt::Key_D, Qt::Key_E, Qt::Key_I})
            f.key(key);
        f.run(20, 10);
        const QList<QGraphicsDot*> dots = f.dots();
        std::map<QGraphicsDot*, QPointF> places;
        for (QGraphicsDot* dot : dots)
            places[dot] = dot->pos();
        FadingLayer* trails = nullptr;
        for (FadingLayer* layer : itemsOf<FadingLayer>(f.window))
            if (!dynamic_cast<FlowLayer*>(layer)) trails = layer;
        QVERIFY(trails);
        const auto* list = f.window.findChild<QLabel*>("equilibriaText");
        QVERIFY(list);
        // The search runs beside the window: its list comes when it ends.
        QTRY_VERIFY(list->text().contains("−1.732, 0)") && list->text().contains(" 1.732, 0)"));

        f.window.showRegion({0.5, 3, -1, 1.5});
        for (QGraphicsDot* dot : dots) {
            QCOMPARE(dot->pos(), places[dot]);
            QCOMPARE(dot->diameter(), 0.025);
        }
        QCOMPARE(trails->boundingRect(), QRectF(0.5, -1, 2.5, 2.5));
        QCOMPARE(trails->picture().pixel(0, 0), 0u);
        f.run(1, 10);
        FlowLayer* flow = itemsOf<FlowLayer>(f.window).value(0);
        QCOMPARE(flow->boundingRect(), QRectF(0.5, -1, 2.5, 2.5));

        // The first change after a quiet while is followed at once; later ones of a burst at
        // most every 60 ms, and once more when the burst is over.
        f.window.finishPendingWork();
        FieldMapLayer* map = itemsOf<FieldMapLayer>(f.window).value(0);
        QVERIFY(map->isVisible() && map->boundingRect() == QRectF(0.5, -1, 2.5, 2.5));
        QCOMPARE(itemsOf<FieldMapLayer>(f.window).size(), 1);
        EquilibriumMarkers* markers = itemsOf<EquilibriumMarkers>(f.window).value(0);
        QVERIFY(markers->isVisible());
        QTRY_COMPARE(markers->markers().size(), 1); // only (1.732, 0) lies in the new region
        QVERIFY(std::abs(markers->markers()[0].at.x() - std::sqrt(3.0)) < 1e-9);
        QTRY_VERIFY(list->text().contains(" 1.732, 0)") && !list->text().contains("−1.732"));

        // The same after a burst of wheel steps, once the burst is over.
        for (int i = 0; i < 5; ++i)
            f.ctrlWheel(QPoint(250, 250), -1);
        QTRY_VERIFY(itemsOf<FieldMapLayer>(f.window).value(0)->boundingRect() ==
                    sceneRectOf(f.region()));
    }

    // Round numbers at least the given pixels apart, labelled with the decimals they need.
    void tickNumbers()
    {
        const std::tuple<double, double, double, double, QStringList> cases[] = {
            // pixels per unit, least pixels apart, low, high, labels
            {64, 90, -5, 5, {"\u22124", "\u22122", "0", "2", "4"}},
            {640, 90, -0.5, 0.52, {"\u22120.4", "\u22120.2", "0.0", "0.2", "0.4"}},
            {1e6, 90, 3.00001, 3.0005, {"3.0001", "3.0002", "3.0003", "3.0004", "3.0005"}},
            {0.05, 60, -5000, 5000, {"\u22124000", "\u22122000", "0", "2000", "4000"}},
            {8e-4, 90, 0, 3e5, {"0", "200000"}},
            {5e5, 90, 1e5, 1e5 + 5e-4, {"100000.0000", "100000.0002", "100000.0004"}},
        };
        for (const auto& [perUnit, apart, low, high, labels] : cases) {
            const double step = tickStep(perUnit, apart);
            QVERIFY(step * perUnit >= apart && step * perUnit < 2.5 * apart);
            QStringList shown;
            for (const double value : tickValues(low, high, step))
                shown << tickLabel(value, step);
            QCOMPARE(shown, labels);
        }
    }

    // Zooming and panning stop where the window could no longer tell points apart.
    void regionsStayWithinLimits()
    {
        Shown f("-y", "x");
        for (int i = 0; i < 200; ++i)
            f.ctrlWheel(QPoint(600, 50), 5);
        QVERIFY(!RegionProblem(f.region()));
        QVERIFY(f.region().Width() < 1e-4);
        for (int i = 0; i < 200; ++i)
            f.ctrlWheel(QPoint(10, 390), -5);
        QVERIFY(!RegionProblem(f.region()) && f.region().Width() > 1e5);
        QCOMPARE(arrowsOf(f.window).size(), size_t(400));
    }
};

QTEST_MAIN(RegionsTest)
#include "test_regions.moc"
