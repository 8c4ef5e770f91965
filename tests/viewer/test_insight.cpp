// The analysis keys of the field window: D and R maps, E equilibria, I the information panel.

#include "equilibrium_markers.h"
#include "field_map_layer.h"
#include "formula_label.h"
#include "info_panel.h"
#include "map_legend.h"
#include "view_note.h"
#include "viewer_test_support.h"

#include <QLabel>
#include <QPainter>
#include <QRegularExpression>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

struct Field : FieldWindow
{
    explicit Field(const QString& fx, const QString& fy, int mode = 1) : FieldWindow(fx, fy, mode)
    {
        QVERIFY(ready && QTest::qWaitForWindowExposed(&window));
    }
    EquilibriumMarkers* markers() const { return itemsOf<EquilibriumMarkers>(window).value(0); }
    MapLegend* legend() const { return window.findChild<MapLegend*>(); }
    // What shows: the maps D and R, E for the markers, I for the panel.
    QString shown() const
    {
        QString s;
        for (FieldMapLayer* map : itemsOf<FieldMapLayer>(window))
            if (map->isVisible()) s += map->quantity() == MapQuantity::Divergence ? "D" : "R";
        auto* panel = window.findChild<InfoPanel*>();
        return s + (markers() && markers()->isVisible() ? "E" : "") +
               (panel && panel->isVisible() ? "I" : "");
    }
    // Moves the pointer through the platform; answers where it is.
    QPointF movePointerTo(const QPointF& at)
    {
        const QPoint pixel = view()->mapFromScene(at);
        QTest::mouseMove(window.windowHandle(), port()->mapTo(&window, pixel));
        return view()->mapToScene(pixel);
    }
    // Whether the pointer readout shows `value` (within 0.2 %) after "name = ".
    bool reads(const QString& name, double value) const
    {
        const QRegularExpression line("(^|\\n)" + QRegularExpression::escape(name) + " = (.*)");
        const double shown = line.match(text("pointerText")).captured(2).toDouble();
        return std::abs(shown - value) <= 2e-3 * std::max(1.0, std::abs(value));
    }
};

} // namespace

class InsightTest : public QObject
{
    Q_OBJECT

private slots:
    // D and R show one map at a time, E the markers, I the panel; each is made on first use.
    void keysToggleTheirOverlays()
    {
        Field f("-y", "x");
        const int designedItems = f.view()->scene()->items().size();
        QVERIFY(itemsOf<FieldMapLayer>(f.window).isEmpty() && !f.markers());
        QVERIFY(!f.window.findChild<InfoPanel*>());
        const std::pair<Qt::Key, const char*> steps[] = {
            {Qt::Key_D, "D"},  {Qt::Key_R, "R"},   {Qt::Key_E, "RE"}, {Qt::Key_R, "E"},
            {Qt::Key_I, "EI"}, {Qt::Key_D, "DEI"}, {Qt::Key_E, "DI"}, {Qt::Key_D, "I"},
            {Qt::Key_I, ""},   {Qt::Key_R, "R"}};
        const Qt::KeyboardModifiers modifiers[] = {Qt::NoModifier, Qt::ShiftModifier,
                                                   Qt::AltModifier, Qt::ControlModifier};
        for (int i = 0; i < 10; ++i) {
            f.key(steps[i].first, modifiers[i % 4]);
            QCOMPARE(f.shown(), QString(steps[i].second));
            QCOMPARE(f.legend()->isVisible(), f.shown().contains(QRegularExpression("[DR]")));
        }
        QCOMPARE(f.legend()->texts(), QStringList({"Curl (rotation)", "−2", "0", "2"}));
        f.key(Qt::Key_D);
        QCOMPARE(f.legend()->texts(), QStringList({"Divergence", "0 everywhere"}));
        // Two maps, the markers and the curves they come with.
        QCOMPARE(f.view()->scene()->items().size(), designedItems + 4);
        QCOMPARE(f.window.findChildren<InfoPanel*>().size(), 1);
    }

    // The panel shows what the engine derives from the formulas; how it typesets them is for
    // the panel's own test.
    void panelTexts()
    {
        const std::tuple<const char*, const char*, int, const char*, QString> cases[] = {
            {"x*y", "x - y", 1, "jacobianFxy", "∂Fx/∂y = x"},
            // A double zero: not resolved however small the boxes.
            {"x*y", "x - y", 1, "equilibriaText",
             "(0, 0)  degenerate\n    λ = 0, −1\n    not resolved: a multiple zero, or zeros "
             "within ±"},
            {"x*x - 1", "y", 1, "equilibriaText",
             "(−1, 0)  saddle\n    λ = 1, −2\n(1, 0)  unstable node\n    λ = 2, 1"},
            {"x*x - 1", "y", 2, "equilibriaText",
             "(−1, 0)  unstable\n    λ = 1, −2\n(1, 0)  unstable\n    λ = 2, 1"},
            {"x - y", "2*(x - y)", 1, "equilibriaText",
             "(0, 0)  continuum\n    F = 0 along a curve or area through it"},
            {"1", "0", 1, "equilibriaText", "none in the region"},
            {"-x - 2*y + x*x*x/100", "2*x - y", 1, "equilibriaText",
             "(0, 0)  stable spiral\n    λ = −1 ± 2i"},
            {"-y", "x", 1, "equilibriaText",
             "(0, 0)  centre\n    λ = 0 ± 1i\n    third order cannot decide: a centre or a weak "
             "spiral"},
            // The poles of tan: the enclosures cannot decide there.
            {"tan(x)", "-y", 1, "equilibriaText",
             "(−π ≈ −3.142, 0)  saddle\n    λ = 1, −1\n(0, 0)  saddle\n    λ = 1, −1\n(π ≈ 3.142, "
             "0)  "
             "saddle\n    λ = 1, −1\nWhere F or its Jacobian is undefined or unbounded nothing "
             "could be decided: the list may be incomplete."},
        };
        for (const auto& [fx, fy, mode, label, expected] : cases) {
            Field f(fx, fy, mode);
            f.key(Qt::Key_I);
            // The list comes when the search ends; it begins with what it then says.
            QTRY_VERIFY2(f.text(label).startsWith(expected), qPrintable(f.text(label)));
            QCOMPARE(f.text(label).size() == expected.size(), !expected.endsWith("±"));
        }
    }

    // The readout follows the pointer; keys, presses and drags work as without the panel.
    void readoutFollowsThePointer()
    {
        Field f("x*y", "SQRT(y)", 2);
        f.key(Qt::Key_I);
        const QPointF at = f.movePointerTo(QPointF(2, 3));
        const double x = at.x(), y = at.y();
        QVERIFY(QLineF(at, QPointF(2, 3)).length() < 0.05 && f.reads("x", x) && f.reads("y", y));
        QVERIFY(f.reads("|F|", std::hypot(x * y, std::sqrt(y))) && f.reads("curl F", -x));
        QVERIFY(f.reads("div F", y + 0.5 / std::sqrt(y)));
        QCOMPARE(f.dots().size(), 0);
        QWindow* handle = f.window.windowHandle();
        QTest::mousePress(handle, Qt::LeftButton, {},
                          f.port()->mapTo(&f.window, f.view()->mapFromScene(at)));
        const QPointF failing = f.movePointerTo(QPointF(1, -2)); // SQRT(y) fails: no curl either
        QTest::mouseRelease(handle, Qt::LeftButton, {},
                            f.port()->mapTo(&f.window, f.view()->mapFromScene(failing)));
        QVERIFY(f.reads("x", failing.x()) && f.dots().size() == 1 && f.dot() == at);
        for (const char* name : {"F", "|F|", "div F", "curl F"})
            QVERIFY2(f.text("pointerText").contains(QStringLiteral("\n%1 = undefined").arg(name)),
                     name);
        QTest::keyClick(handle, Qt::Key_L); // to the widget with the keyboard
        QVERIFY(itemsOf<QGraphicsLineItem>(f.window).value(0)->isVisible());
    }

    // ABS has no derivative: the window says so instead of drawing maps or markers.
    void nonDifferentiableFieldIsToldInWords()
    {
        Field f("ABS(x) - 1", "y");
        const QString reason = "Fx uses ABS, which has no derivative.";
        for (const Qt::Key key : {Qt::Key_D, Qt::Key_E, Qt::Key_I})
            f.key(key);
        auto* note = f.window.findChild<ViewNote*>();
        QVERIFY(f.shown() == "EI" && f.markers()->markers().isEmpty());
        QVERIFY(note->isVisible() && note->text().startsWith(reason));
        QVERIFY(f.text("reasonText").startsWith(reason));
        QCOMPARE(f.text("equilibriaText"), QString("not searched"));
        f.movePointerTo(QPointF(2, 1));
        QVERIFY(f.text("pointerText").contains("div F = no derivative\ncurl F = no derivative"));
    }

    // div (x² - 1 + y, y) = 2x + 1 under the arrows, and the markers; resizing refits both.
    void mapAndMarkers()
    {
        Field f("x*x - 1 + y", "y");
        for (const Qt::Key key : {Qt::Key_D, Qt::Key_E, Qt::Key_I})
            f.key(key);
        FieldMapLayer* map = itemsOf<FieldMapLayer>(f.window).value(0);
        QVERIFY(map->zValue() < itemsOf<QGraphicsArrow>(f.window).first()->zValue());
        QCoreApplication::sendPostedEvents();
        const QImage frame = f.port()->grab().toImage();
        const QColor right = frame.pixelColor(f.view()->mapFromScene(QPointF(3.5, 1)));
        const QColor left = frame.pixelColor(f.view()->mapFromScene(QPointF(-3.5, 1)));
        QVERIFY(right.red() > right.blue() + 50 && left.blue() > left.red() + 50);

        QTRY_COMPARE(f.markers()->markers().size(), 2); // once the search has ended
        const auto& found = f.markers()->markers();
        QVERIFY(QLineF(found[0].at, QPointF(-1, 0)).length() < 1e-9 && found[0].saddle);
        QVERIFY(QLineF(found[1].at, QPointF(1, 0)).length() < 1e-9 && !found[1].saddle);
        QImage ink(f.port()->size(), QImage::Format_RGB32);
        ink.fill(Qt::white);
        QPainter painter(&ink);
        painter.setWorldTransform(f.view()->viewportTransform());
        f.markers()->paint(&painter, nullptr, nullptr);
        painter.end();
        // Ink within a pixel of (dx, dy) from a marker's centre: lines fall between pixels.
        const auto dark = [&](const QPointF& centre, int dx, int dy) {
            const QPoint pixel = f.view()->mapFromScene(centre) + QPoint(dx, dy);
            for (int i = 0; i < 9; ++i)
                if (ink.pixelColor(pixel + QPoint(i % 3 - 1, i / 3 - 1)).lightness() < 100)
                    return true;
            return false;
        };
        // The saddle's lines follow its eigenvectors, (1, 0) and (1, 3) (y up on the screen).
        QVERIFY(dark(found[1].at, 6, 0) && dark(found[0].at, 9, -27) && dark(found[0].at, -9, 27));
        QVERIFY(dark(found[0].at, 28, 0) && dark(found[0].at, -28, 0) &&
                !dark(found[0].at, -20, -20) && !dark(found[0].at, 0, 28));

        const int reach = int(EquilibriumMarkers::kDirectionLength);
        for (const QSize size : {QSize(700, 500), QSize(500, 700)}) {
            f.window.showNormal();
            f.window.resize(size);
            QTRY_COMPARE(f.window.size(), size);
            const QRect extent = f.view()->mapFromScene(f.markers()->boundingRect()).boundingRect();
            for (const auto& marker : found) {
                const QPoint centre = f.view()->mapFromScene(marker.at);
                QVERIFY(extent.contains(centre + QPoint(reach, reach)) &&
                        extent.contains(centre - QPoint(reach, reach)));
            }
            const QRect visible = f.port()->geometry(), legend = f.legend()->geometry();
            QVERIFY(legend.left() - visible.left() < 20 && visible.bottom() - legend.bottom() < 20);
        }
        QCOMPARE(f.shown(), QString("DEI"));
    }

    // The search runs beside the window: pressing E returns at once with "searching…", the
    // event loop goes on turning, and the markers come when it ends. Pressing E again meanwhile
    // starts nothing new.
    void searchRunsBesideTheWindow()
    {
        QString fx = "x";
        for (int k = 1; k <= 90; ++k)
            fx += QStringLiteral(" * (1 + 0.01*sin(x*y + %1))").arg(k);
        Field f(fx, "y");
        f.key(Qt::Key_E);
        auto* note = f.window.findChild<ViewNote*>();
        QVERIFY(note && note->isVisible());
        QCOMPARE(note->text(), QString("searching…"));
        QVERIFY(f.markers()->markers().isEmpty());
        f.key(Qt::Key_E);
        f.key(Qt::Key_E);
        int turns = 0;
        QTimer turning;
        QObject::connect(&turning, &QTimer::timeout, [&turns] { ++turns; });
        turning.start(0);
        QTRY_COMPARE_WITH_TIMEOUT(f.markers()->markers().size(), 1, 20000);
        QVERIFY(turns > 0);
        QCOMPARE(f.markers()->markers()[0].kind, EquilibriumKind::UnstableNode);
        QVERIFY(!note->isVisible());
        f.key(Qt::Key_I); // the panel takes the list found
        QVERIFY(f.text("equilibriaText").startsWith("(0, 0)  unstable node"));
    }

    // A window closed while its search runs ends it; nothing arrives afterwards.
    void closingWhileSearching()
    {
        for (int i = 0; i < 3; ++i) {
            auto f = std::make_unique<Field>("sin(x*y)^2 + cos(x*y)^2 - 1", "0");
            f->key(Qt::Key_E);
            f->key(Qt::Key_I);
            QCOMPARE(f->text("equilibriaText"), QString("searching…"));
            f.reset();
            QTest::qWait(i * 20);
        }
    }
};

QTEST_MAIN(InsightTest)
#include "test_insight.moc"
