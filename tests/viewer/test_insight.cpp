// The analysis keys of the field window: D and R maps, E equilibria, I the information panel.
// Nothing of them exists or shows until a key asks; the picture test sees the designed frame
// come back once they are switched off.

#include "equilibrium_markers.h"
#include "field_map_layer.h"
#include "info_panel.h"
#include "map_legend.h"
#include "view_note.h"
#include "viewer_test_support.h"

#include <QLabel>
#include <QPainter>
#include <QRegularExpression>
#include <QtTest>

#include <cmath>

namespace {

// A shown field window; only the test moves time on.
struct Field : FieldWindow
{
    explicit Field(const QString& fx, const QString& fy, int mode = 1) : FieldWindow(fx, fy, mode)
    {
        QVERIFY(ready);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
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
    MapLegend* legend() const { return window.findChild<MapLegend*>(); }
    InfoPanel* panel() const { return window.findChild<InfoPanel*>(); }
    bool panelShown() const { return panel() && panel()->isVisible(); }
    // The pointer moved to scene point `at`, as the platform delivers it.
    QPointF movePointerTo(const QPointF& at)
    {
        const QPoint pixel = view()->mapFromScene(at);
        QTest::mouseMove(window.windowHandle(), port()->mapTo(&window, pixel));
        return view()->mapToScene(pixel);
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
        QVERIFY(!f.markers() && !f.panel());

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
            const QByteArray where = QKeySequence(step.key).toString().toUtf8();
            FieldMapLayer* map = f.shownMap();
            const char* shown = !map ? "" : map->quantity() == MapQuantity::Divergence ? "D" : "R";
            QVERIFY2(QByteArray(shown) == step.map, where);
            QVERIFY2(f.legend()->isVisible() == bool(map), where);
            QVERIFY2((f.markers() && f.markers()->isVisible()) == step.markers, where);
            QVERIFY2(f.panelShown() == step.panel, where);
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
            {"x*x - 1", "y", 1, "2 * x + 1", "0", nullptr,
             "(-1, 0)  saddle\n    \u03bb = 1, -2\n(1, 0)  unstable node\n    \u03bb = 2, 1"},
            {"x*x - 1", "y", 2, nullptr, nullptr, nullptr,
             "(-1, 0)  unstable\n    \u03bb = 1, -2\n(1, 0)  unstable\n    \u03bb = 2, 1"},
            {"x - y", "2*(x - y)", 1, nullptr, nullptr, nullptr,
             "(0, 0)  continuum\n    F = 0 along a curve or area through it"},
        };
        for (const auto& c : cases) {
            Field f(c.fx, c.fy, c.mode);
            f.key(Qt::Key_I);
            QVERIFY(f.panelShown());
            const std::pair<const char*, const char*> labels[] = {{"divergenceText", c.divergence},
                                                                  {"curlText", c.curl},
                                                                  {"jacobianText", c.jacobian},
                                                                  {"equilibriaText", c.equilibria}};
            for (const auto& [label, expected] : labels)
                if (expected) QCOMPARE(f.text(label), QString::fromUtf8(expected));
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
        QVERIFY(!f.shownMap() && !f.legend()->isVisible());
        auto* note = f.window.findChild<ViewNote*>();
        QVERIFY(note && note->isVisible());
        QVERIFY2(note->text().startsWith("Fx uses ABS, which has no derivative."),
                 qPrintable(note->text()));
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
        const QColor zero = QColor::fromRgba(map->colorAt(QPointF(-0.5, 2)));
        QVERIFY(zero.red() > 235 && zero.green() > 235 && zero.blue() > 235);
        // The drawn frame shows it, between the arrows.
        QCoreApplication::sendPostedEvents();
        const QImage frame = f.port()->grab().toImage();
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
        QCOMPARE(rotation.legend()->texts(), QStringList({"Divergence", "0 everywhere"}));
        rotation.key(Qt::Key_R);
        QCOMPARE(rotation.legend()->texts(),
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

    // Resizing keeps room for the markers' lines at the new scale and the legend in its corner.
    void resizingRefits()
    {
        Field f("x*x - 1", "y");
        f.key(Qt::Key_D);
        f.key(Qt::Key_E);
        f.key(Qt::Key_I);
        for (const QSize size : {QSize(700, 500), QSize(500, 700)}) {
            f.window.showNormal();
            f.window.resize(size);
            QTRY_COMPARE(f.window.size(), size);
            const QRect extent = f.view()->mapFromScene(f.markers()->boundingRect()).boundingRect();
            for (const auto& marker : f.markers()->markers()) {
                const QPoint centre = f.view()->mapFromScene(marker.at);
                const int reach = int(EquilibriumMarkers::kDirectionLength);
                QVERIFY(extent.contains(centre + QPoint(reach, reach)) &&
                        extent.contains(centre - QPoint(reach, reach)));
            }
            const QRect visible = f.port()->geometry();
            QVERIFY(f.legend()->geometry().left() - visible.left() < 20);
            QVERIFY(visible.bottom() - f.legend()->geometry().bottom() < 20);
        }
    }

    // With the panel on, which follows every move of the pointer, the keys still reach the
    // view, a press still drops a ring and a drag still launches a dot; a move alone does
    // nothing.
    void designedInputUnchangedWithThePanel()
    {
        for (int mode : {1, 2}) {
            Field f("-y", "x", mode);
            f.key(Qt::Key_I);
            // Keys as the platform delivers them, to the widget with the keyboard.
            QTest::keyClick(f.window.windowHandle(), Qt::Key_L);
            QVERIFY(itemsOf<QGraphicsLineItem>(f.window).value(0)->isVisible());
            const QPoint a = f.port()->mapTo(&f.window, f.view()->mapFromScene(QPointF(1, 1)));
            const QPoint b = f.port()->mapTo(&f.window, f.view()->mapFromScene(QPointF(2, 3)));
            QTest::mouseMove(f.window.windowHandle(), a);
            QCOMPARE(f.dots().size(), 0);
            QTest::mousePress(f.window.windowHandle(), Qt::LeftButton, {}, a);
            QTest::mouseMove(f.window.windowHandle(), b);
            QTest::mouseRelease(f.window.windowHandle(), Qt::LeftButton, {}, b);
            const QPointF released = f.view()->mapToScene(f.port()->mapFrom(&f.window, b));
            QVERIFY(near(readout(f.text("pointerText"), "x"), released.x()));
            QCOMPARE(f.dots().size(), mode == 1 ? 10 : 1);
            if (mode == 2)
                QCOMPARE(f.dots()[0]->pos(), f.view()->mapToScene(f.port()->mapFrom(&f.window, a)));
        }
    }
};

QTEST_MAIN(InsightTest)
#include "test_insight.moc"
