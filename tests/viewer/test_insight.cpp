// The analysis keys of the field window: D and R maps, E equilibria, I the information panel.
// Nothing of them exists or shows until a key asks, and the designed window is unchanged.

#include "equilibrium_markers.h"
#include "field_map_layer.h"
#include "info_panel.h"
#include "map_legend.h"
#include "view_note.h"
#include "viewer_test_support.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

struct Field
{
    VFWindow window{nullptr};
    explicit Field(const QString& fx, const QString& fy, int mode = 1)
    {
        QVERIFY(window.setupField(formSettings(fx, fy, mode)));
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // Particles must stay where the test put them.
        window.findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly)->stop();
    }
    MyGraphicsView* view() const { return viewOf(window); }
    QWidget* port() const { return view()->viewport(); }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(view(), key, modifiers);
    }
    QString text(const char* name) const
    {
        auto* label = window.findChild<QLabel*>(name);
        return label ? label->text() : QStringLiteral("<no %1>").arg(name);
    }
    FieldMapLayer* shownMap() const
    {
        for (FieldMapLayer* map : itemsOf<FieldMapLayer>(window))
            if (map->isVisible()) return map;
        return nullptr;
    }
    EquilibriumMarkers* markers() const { return itemsOf<EquilibriumMarkers>(window).value(0); }
    QLayout* sideColumn() const
    {
        auto* grid = static_cast<QGridLayout*>(window.layout());
        return grid->itemAtPosition(0, 1)->layout();
    }
    InfoPanel* panel() const { return window.findChild<InfoPanel*>(); }
    bool panelShown() const { return panel() && panel()->isVisible(); }
    // The pointer moved to scene point `at`, as the platform delivers it.
    QPointF movePointerTo(const QPointF& at)
    {
        const QPoint pixel = view()->mapFromScene(at);
        QTest::mouseMove(window.windowHandle(), port()->mapTo(&window, pixel));
        return view()->mapToScene(pixel);
    }
    // What the screen shows once the pending layout work is done.
    QImage frame() const
    {
        QCoreApplication::sendPostedEvents();
        return port()->grab().toImage();
    }
};

// The number after "name = " in the pointer readout; NaN when it is not a number.
double readout(const QString& text, const QString& name)
{
    const QRegularExpression pattern(
        QStringLiteral("(^|\\n)%1 = ([^\\n]*)").arg(QRegularExpression::escape(name)));
    const QRegularExpressionMatch match = pattern.match(text);
    bool ok = false;
    const double value = match.hasMatch() ? match.captured(2).toDouble(&ok) : 0;
    return ok ? value : std::nan("");
}

bool near(double value, double expected)
{
    return std::abs(value - expected) <= 2e-3 * std::max(1.0, std::abs(expected));
}

} // namespace

class InsightTest : public QObject
{
    Q_OBJECT

private slots:
    // D and R show one map at a time, E the markers, I the panel; each key again hides what it
    // showed, whatever the modifiers, and the other extras stay as they are.
    void keysToggleTheirOverlays()
    {
        Field f("x*x - 1", "y");
        const int designedItems = f.view()->scene()->items().size();
        QVERIFY(itemsOf<FieldMapLayer>(f.window).isEmpty());
        QVERIFY(!f.markers());
        QCOMPARE(f.sideColumn()->count(), 0);

        const struct
        {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            const char* map; // "D", "R" or ""
            bool markers;
            bool panel;
        } steps[] = {
            {Qt::Key_D, {}, "D", false, false},
            {Qt::Key_R, Qt::ShiftModifier, "R", false, false},
            {Qt::Key_E, Qt::AltModifier, "R", true, false},
            {Qt::Key_R, {}, "", true, false},
            {Qt::Key_I, Qt::ControlModifier, "", true, true},
            {Qt::Key_D, Qt::ShiftModifier, "D", true, true},
            {Qt::Key_E, {}, "D", false, true},
            {Qt::Key_D, Qt::ControlModifier, "", false, true},
            {Qt::Key_I, {}, "", false, false},
            {Qt::Key_R, {}, "R", false, false},
        };
        for (const auto& step : steps) {
            f.key(step.key, step.modifiers);
            const QString where = QStringLiteral("after %1").arg(QKeySequence(step.key).toString());
            FieldMapLayer* map = f.shownMap();
            const QString shown = !map                                         ? ""
                                  : map->quantity() == MapQuantity::Divergence ? "D"
                                                                               : "R";
            QVERIFY2(shown == step.map, qPrintable(where));
            QVERIFY2(f.window.findChild<MapLegend*>()->isVisible() == bool(map), qPrintable(where));
            QVERIFY2((f.markers() && f.markers()->isVisible()) == step.markers, qPrintable(where));
            QVERIFY2(f.panelShown() == step.panel, qPrintable(where));
        }
        // Made once each and kept: two maps, one set of markers.
        QCOMPARE(f.view()->scene()->items().size(), designedItems + 3);
        QCOMPARE(f.window.findChildren<InfoPanel*>().size(), 1);
    }

    // The panel shows the formulas and what the engine derives from them, as it prints them.
    void panelTexts()
    {
        const struct
        {
            const char *fx, *fy;
            int mode;
            const char *divergence, *curl, *jacobian, *equilibria;
        } cases[] = {
            {"x*y", "x - y", 1, "y + -1", "1 - x",
             "\u2202Fx/\u2202x = y\n\u2202Fx/\u2202y = x\n\u2202Fy/\u2202x = 1\n\u2202Fy/\u2202y = "
             "-1",
             "(0, 0)  degenerate\n    \u03bb = 0, -1"},
            {"x*x - 1", "y", 1, "2 * x + 1", "0",
             "\u2202Fx/\u2202x = 2 * x\n\u2202Fx/\u2202y = 0\n\u2202Fy/\u2202x = 0\n"
             "\u2202Fy/\u2202y = 1",
             "(-1, 0)  saddle\n    \u03bb = 1, -2\n(1, 0)  unstable node\n    \u03bb = 2, 1"},
            {"-x - 2*y", "2*x - y", 1, "-2", "4", nullptr,
             "(0, 0)  stable spiral\n    \u03bb = -1 \u00b1 2i"},
            {"x*x - 1", "y", 2, nullptr, nullptr, nullptr,
             "(-1, 0)  unstable\n    \u03bb = 1, -2\n(1, 0)  unstable\n    \u03bb = 2, 1"},
            {"1", "x", 1, "0", "1", nullptr, "none in the region"},
            {"x - y", "2*(x - y)", 1, nullptr, nullptr, nullptr,
             "(0, 0)  continuum\n    F = 0 along a curve or area through it"},
        };
        for (const auto& c : cases) {
            Field f(c.fx, c.fy, c.mode);
            f.key(Qt::Key_I);
            QVERIFY(f.panelShown());
            const QString field = QStringLiteral("F = (%1, %2)").arg(c.fx, c.fy);
            auto check = [&](const char* label, const char* expected) {
                if (expected)
                    QVERIFY2(f.text(label) == QString::fromUtf8(expected),
                             qPrintable(field + ": " + f.text(label)));
            };
            QVERIFY2(f.text("fieldText").startsWith("Fx = "), qPrintable(f.text("fieldText")));
            check("divergenceText", c.divergence);
            check("curlText", c.curl);
            check("jacobianText", c.jacobian);
            check("equilibriaText", c.equilibria);
            QVERIFY(f.text("pointerText").startsWith("Move the pointer"));
        }
        Field printed("x*y", "x - y");
        printed.key(Qt::Key_I);
        QCOMPARE(printed.text("fieldText"), QString("Fx = x * y\nFy = x - y"));
    }

    // A hundred equilibria and formulas thousands of characters long scroll in the panel; the
    // window keeps its size.
    void bigContentsStayInThePanel()
    {
        QString longSum = QStringLiteral("x");
        for (int i = 1; i < 600; ++i)
            longSum += QStringLiteral(" + %1 * x").arg(i);
        Field f("sin(3*x)", longSum + " - y*y");
        const QSize before = f.window.size();
        f.key(Qt::Key_I);
        QCOMPARE(f.window.size(), before);
        QVERIFY(f.panel()->height() <= f.window.height());
        QVERIFY2(f.text("fieldText").contains("characters in all"),
                 qPrintable(f.text("fieldText").right(80)));
        QVERIFY(f.text("fieldText").size() < 5000);

        Field many("sin(4*x)", "sin(4*y)");
        many.key(Qt::Key_I);
        QCOMPARE(many.text("equilibriaText").count("\u03bb"), 100); // the search's limit
        QCOMPARE(many.window.size(), before);
        QVERIFY(many.panel()->height() <= many.window.height());
    }

    // The readout follows the pointer over the field through the platform's own moves, and
    // says where the field is undefined.
    void readoutFollowsThePointer()
    {
        Field f("x*y", "SQRT(y)");
        f.key(Qt::Key_I);
        const QPointF at = f.movePointerTo(QPointF(2, 3));
        QVERIFY(QLineF(at, QPointF(2, 3)).length() < 0.05);
        const QString shown = f.text("pointerText");
        const double x = at.x(), y = at.y();
        const std::pair<const char*, double> expected[] = {
            {"x", x},
            {"y", y},
            {"|F|", std::hypot(x * y, std::sqrt(y))},
            {"div F", y + 0.5 / std::sqrt(y)},
            {"curl F", -x},
        };
        for (const auto& [name, value] : expected)
            QVERIFY2(near(readout(shown, name), value), qPrintable(name + (": " + shown)));
        QVERIFY2(
            shown.contains(
                QStringLiteral("F = (%1, %2)").arg(panelNumber(x * y), panelNumber(std::sqrt(y)))),
            qPrintable(shown));

        // Where SQRT(y) fails, nothing derived from F is shown either (its curl, -x, could be).
        const QPointF failing = f.movePointerTo(QPointF(1, -2));
        const QString undefined = f.text("pointerText");
        QVERIFY2(near(readout(undefined, "x"), failing.x()), qPrintable(undefined));
        for (const char* name : {"F", "|F|", "div F", "curl F"})
            QVERIFY2(undefined.contains(QStringLiteral("\n%1 = undefined").arg(name)),
                     qPrintable(undefined));

        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(f.port(), &leave);
        QVERIFY(f.text("pointerText").startsWith("Move the pointer"));
    }

    // ABS has no derivative: the window says so instead of drawing maps or markers.
    void nonDifferentiableFieldIsToldInWords()
    {
        Field f("ABS(x) - 1", "y");
        f.key(Qt::Key_D);
        QVERIFY(!f.shownMap());
        auto* note = f.window.findChild<ViewNote*>();
        QVERIFY(note && note->isVisible());
        QVERIFY2(note->text().startsWith("Fx uses ABS, which has no derivative."),
                 qPrintable(note->text()));
        QVERIFY(!f.window.findChild<MapLegend*>()->isVisible());
        f.key(Qt::Key_D);
        QVERIFY(!note->isVisible());
        f.key(Qt::Key_E);
        QVERIFY(note->isVisible());
        QVERIFY(f.markers()->markers().isEmpty());
        f.key(Qt::Key_I);
        QVERIFY(f.text("reasonText").startsWith("Fx uses ABS, which has no derivative."));
        QCOMPARE(f.text("equilibriaText"), QString("not searched"));
        QVERIFY(!f.window.findChild<QLabel*>("divergenceText"));
        const QPointF at = f.movePointerTo(QPointF(2, 1));
        QVERIFY(f.text("pointerText").contains("div F = no derivative"));
        QVERIFY(f.text("pointerText").contains("curl F = no derivative"));
        QVERIFY(
            near(readout(f.text("pointerText"), "|F|"), std::hypot(std::abs(at.x()) - 1, at.y())));

        Field none("1", "0");
        none.key(Qt::Key_E);
        QCOMPARE(none.window.findChild<ViewNote*>()->text(),
                 QString("No equilibria in the region."));
    }

    // The divergence of (x² - 1, y) is 2x + 1: red right of x = -0.5, blue left of it, white on
    // it; SQRT fails left of the axis, where the map is transparent.
    void mapColoursFollowTheSign()
    {
        Field f("x*x - 1", "y");
        f.key(Qt::Key_D);
        FieldMapLayer* map = f.shownMap();
        QVERIFY(map && map->boundingRect() == QRectF(-5, -5, 10, 10));
        QVERIFY(map->zValue() < itemsOf<QGraphicsArrow>(f.window).first()->zValue());
        QVERIFY(map->picture().width() >= 256 && map->picture().height() >= 256);
        for (double y : {-4.0, 0.0, 4.0}) {
            const QColor positive = QColor::fromRgba(map->colorAt(QPointF(3, y)));
            const QColor negative = QColor::fromRgba(map->colorAt(QPointF(-3, y)));
            const QColor zero = QColor::fromRgba(map->colorAt(QPointF(-0.5, y)));
            QVERIFY(positive.alpha() == 255 && positive.red() > positive.blue() + 50);
            QVERIFY(negative.alpha() == 255 && negative.blue() > negative.red() + 50);
            QVERIFY(zero.red() > 235 && zero.green() > 235 && zero.blue() > 235);
        }
        // The drawn frame shows it too, between the arrows.
        const QImage frame = f.frame();
        auto shown = [&](const QPointF& at) {
            return frame.pixelColor(f.view()->mapFromScene(at));
        };
        QVERIFY(shown(QPointF(3.5, 1)).red() > shown(QPointF(3.5, 1)).blue() + 50);
        QVERIFY(shown(QPointF(-3.5, 1)).blue() > shown(QPointF(-3.5, 1)).red() + 50);

        // The divergence 0.5 / SQRT(x) + 1 fails left of the axis and grows without bound at it.
        Field partly("SQRT(x)", "y");
        partly.key(Qt::Key_D);
        const FieldMapLayer* singular = partly.shownMap();
        QCOMPARE(qAlpha(singular->colorAt(QPointF(-2, 1))), 0);
        QCOMPARE(qAlpha(singular->colorAt(QPointF(-0.02, 1))), 0);
        const QColor right = QColor::fromRgba(singular->colorAt(QPointF(2, 1)));
        QVERIFY(right.alpha() == 255 && right.red() > right.blue() + 50);
        // Not washed out by the singularity: 1.35 at x = 2 is well into the red half.
        QVERIFY(singular->limit() < 10);

        Field rotation("-y", "x");
        rotation.key(Qt::Key_D);
        QCOMPARE(rotation.window.findChild<MapLegend*>()->texts(),
                 QStringList({"Divergence", "0 everywhere"}));
        rotation.key(Qt::Key_R);
        QCOMPARE(rotation.window.findChild<MapLegend*>()->texts(),
                 QStringList({"Curl (rotation)", QString::fromUtf8("\u22122"), "0", "2"}));
    }

    // Markers sit on the equilibria; the saddle's lines follow its eigenvectors.
    void markersSitOnTheEquilibria()
    {
        Field f("x*x - 1", "y");
        f.key(Qt::Key_E);
        EquilibriumMarkers* markers = f.markers();
        QVERIFY(markers && markers->isVisible());
        QCOMPARE(markers->markers().size(), 2);
        const auto& saddle = markers->markers()[0];
        const auto& node = markers->markers()[1];
        QVERIFY(QLineF(saddle.at, QPointF(-1, 0)).length() < 1e-9);
        QVERIFY(QLineF(node.at, QPointF(1, 0)).length() < 1e-9);
        QCOMPARE(saddle.kind, QString("saddle"));
        QCOMPARE(node.kind, QString("unstable node"));
        QVERIFY(saddle.saddle && !node.saddle);
        QVERIFY(std::abs(saddle.outward.x()) < 1e-12 && std::abs(saddle.outward.y()) == 1);
        QVERIFY(std::abs(saddle.inward.x()) == 1 && std::abs(saddle.inward.y()) < 1e-12);

        // Drawn where the view shows them: ink at the centres and along the saddle's lines,
        // none off them.
        QImage frame(f.port()->size(), QImage::Format_ARGB32_Premultiplied);
        frame.fill(Qt::white);
        {
            QPainter painter(&frame);
            painter.setWorldTransform(f.view()->viewportTransform());
            markers->paint(&painter, nullptr, nullptr);
        }
        // Ink within a pixel of `offset` from a marker's centre (lines fall between pixels).
        auto dark = [&](const QPointF& scenePoint, QPoint offset) {
            const QPoint centre = f.view()->mapFromScene(scenePoint) + offset;
            for (int dx = -1; dx <= 1; ++dx)
                for (int dy = -1; dy <= 1; ++dy)
                    if (frame.pixelColor(centre + QPoint(dx, dy)).lightness() < 100) return true;
            return false;
        };
        QVERIFY(dark(node.at, QPoint(6, 0)));
        QVERIFY(dark(saddle.at, QPoint(0, 0)));
        QVERIFY(dark(saddle.at, QPoint(0, -28)));
        QVERIFY(dark(saddle.at, QPoint(0, 28)));
        QVERIFY(!dark(saddle.at, QPoint(-20, 20)));
    }

    // Resizing keeps the maps on the region and the markers' extent and the overlays fitted.
    void resizingRefits()
    {
        Field f("x*x - 1", "y");
        f.key(Qt::Key_D);
        f.key(Qt::Key_E);
        f.key(Qt::Key_I);
        auto* legend = f.window.findChild<MapLegend*>();
        for (const QSize size : {QSize(700, 500), QSize(500, 700), QSize(900, 650)}) {
            f.window.showNormal();
            f.window.resize(size);
            QTRY_COMPARE(f.window.size(), size);
            QVERIFY(f.port()->rect().isValid());
            QCOMPARE(f.shownMap()->boundingRect(), QRectF(-5, -5, 10, 10));
            // Room for a saddle's lines around every marker, in pixels at the new scale.
            const QRect extent = f.view()->mapFromScene(f.markers()->boundingRect()).boundingRect();
            for (const auto& marker : f.markers()->markers()) {
                const QPoint centre = f.view()->mapFromScene(marker.at);
                const int reach = int(EquilibriumMarkers::kDirectionLength);
                QVERIFY(extent.contains(centre + QPoint(reach, reach)) &&
                        extent.contains(centre - QPoint(reach, reach)));
            }
            // The legend sits in the bottom-left corner of what the view shows.
            const QRect visible = f.port()->geometry();
            QVERIFY(legend->geometry().left() - visible.left() < 20);
            QVERIFY(visible.bottom() - legend->geometry().bottom() < 20);
        }
    }

    // With the panel on, the view still turns presses into rings and drags into launches, and
    // a move alone does nothing to the field.
    void designedInputUnchangedWithThePanel()
    {
        for (int mode : {1, 2}) {
            Field f("-y", "x", mode);
            f.key(Qt::Key_I);
            QSignalSpy pressed(f.view(), SIGNAL(mousePressed(QPointF)));
            QSignalSpy dragged(f.view(), SIGNAL(mouseDragged(QPointF, QVector2D)));
            const QPoint a = f.port()->mapTo(&f.window, f.view()->mapFromScene(QPointF(1, 1)));
            const QPoint b = f.port()->mapTo(&f.window, f.view()->mapFromScene(QPointF(2, 3)));
            QTest::mouseMove(f.window.windowHandle(), a);
            QCOMPARE(itemsOf<QGraphicsDot>(f.window).size(), 0);
            QTest::mousePress(f.window.windowHandle(), Qt::LeftButton, {}, a);
            QTest::mouseMove(f.window.windowHandle(), b);
            QTest::mouseRelease(f.window.windowHandle(), Qt::LeftButton, {}, b);
            const QPointF released = f.view()->mapToScene(f.port()->mapFrom(&f.window, b));
            QVERIFY(near(readout(f.text("pointerText"), "x"), released.x()));
            if (mode == 1) {
                QCOMPARE(pressed.size(), 1);
                QCOMPARE(dragged.size(), 0);
                QCOMPARE(itemsOf<QGraphicsDot>(f.window).size(), 10);
            } else {
                QCOMPARE(pressed.size(), 0);
                QCOMPARE(dragged.size(), 1);
                const QPointF from = f.view()->mapToScene(f.port()->mapFrom(&f.window, a));
                const QPointF to = f.view()->mapToScene(f.port()->mapFrom(&f.window, b));
                QCOMPARE(dragged[0][0].toPointF(), from);
                QCOMPARE(dragged[0][1].value<QVector2D>(),
                         QVector2D(float(to.x() - from.x()), float(to.y() - from.y())));
                QCOMPARE(itemsOf<QGraphicsDot>(f.window).size(), 1);
            }
            f.key(Qt::Key_Space);
            QCOMPARE(itemsOf<QGraphicsDot>(f.window).size(), 0);
            f.key(Qt::Key_L);
            QVERIFY(itemsOf<QGraphicsLineItem>(f.window).value(0)->isVisible());
        }
    }

    // With none of the keys, or each pressed twice, the window looks as designed to the pixel
    // and its side column takes no room.
    void defaultFrameUnchanged()
    {
        Field designed("sin(x)*cos(y)", "x*x*x - 3*x*y*y");
        const QImage reference = designed.frame();
        QCOMPARE(designed.sideColumn()->count(), 0);

        Field untouched("sin(x)*cos(y)", "x*x*x - 3*x*y*y");
        QCOMPARE(untouched.frame(), reference);

        const QList<QList<Qt::Key>> sequences = {
            {Qt::Key_D, Qt::Key_D},
            {Qt::Key_R, Qt::Key_D, Qt::Key_D},
            {Qt::Key_E, Qt::Key_E},
            {Qt::Key_I, Qt::Key_I},
            {Qt::Key_D, Qt::Key_E, Qt::Key_I, Qt::Key_R, Qt::Key_I, Qt::Key_E, Qt::Key_R},
        };
        for (const auto& keys : sequences) {
            Field f("sin(x)*cos(y)", "x*x*x - 3*x*y*y");
            for (Qt::Key key : keys)
                f.key(key);
            QCOMPARE(f.view()->geometry(), designed.view()->geometry());
            QCOMPARE(f.view()->transform(), designed.view()->transform());
            QVERIFY(f.frame() == reference);
        }
    }

    // A map is saved as a picture inside the drawing; arrows and dots stay shapes.
    void savedDrawingKeepsShapes()
    {
        QTemporaryDir folder;
        Field f("x*x - 1", "y");
        f.window.mousePressed(QPointF(1, 1));
        f.key(Qt::Key_D);
        f.key(Qt::Key_E);
        const QString path = folder.filePath("analysis.svg");
        QVERIFY(f.window.savePicture(path));
        QFile drawing(path);
        QVERIFY(drawing.open(QIODevice::ReadOnly));
        const QByteArray text = drawing.readAll();
        QVERIFY(text.count("<path") > 100);
        QVERIFY(text.count("<circle") >= 10);
        QCOMPARE(text.count("<image"), 1);
    }
};

QTEST_MAIN(InsightTest)
#include "test_insight.moc"
