// Before Qt, whose `slots` macro would rename one of its members.
#include "field_formulas.h"

#include "equilibrium_markers.h"
#include "fading_layer.h"
#include "field_map_layer.h"
#include "field_model.h"
#include "formula_label.h"
#include "info_panel.h"
#include "viewer_test_support.h"

#include <QLabel>
#include <QtTest>

#include <cmath>

namespace {

using Anchor = std::pair<double, double>;

// F at an anchor in single precision; zero where it cannot be evaluated.
QVector2D fieldAt(FieldFormulas& field, const Anchor& at)
{
    field.x = at.first;
    field.y = at.second;
    try {
        return QVector2D(float(field.fx.Evaluate()), float(field.fy.Evaluate()));
    } catch (const ParseErrorMsg&) {
        return QVector2D();
    }
}

// The drawn vector of every arrow of `window`, by its anchor.
std::map<Anchor, QVector2D> drawnVectors(const VFWindow& window)
{
    std::map<Anchor, QVector2D> vectors;
    for (const QGraphicsArrow* arrow : itemsOf<QGraphicsArrow>(window)) {
        const QPointF a = arrow->anchorPoint();
        vectors[{a.x(), a.y()}] = arrow->path().isEmpty() ? QVector2D() : arrow->arrowVector();
    }
    return vectors;
}

std::map<Anchor, QVector2D> drawnVectors(const QString& fx, const QString& fy)
{
    VFWindow window(nullptr);
    if (!window.setupField(formFieldSettings(1, fx, fy))) return {};
    return drawnVectors(window);
}

// The scene's items beyond the designed arrows, guides and dots.
int extraItems(const VFWindow& window)
{
    return itemsOf<FadingLayer>(window).size() + itemsOf<FieldMapLayer>(window).size() +
           itemsOf<EquilibriumMarkers>(window).size();
}

} // namespace

class PlotTest : public QObject
{
    Q_OBJECT

private slots:
    // An arrow on each of 400 grid points: F times the one float factor that draws the
    // longest 0.7071 of a 0.5 cell, to the bit.
    void arrowsScaleTheFieldByOneFactor()
    {
        const std::tuple<const char*, const char*, int> cases[] = {
            {"-y", "x*x", 400}, {"SQRT(x)", "0", 200}, {"0", "0", 0}, {"q", "y", 0}};
        for (const auto& [fx, fy, expected] : cases) {
            const auto drawn = drawnVectors(fx, fy);
            QCOMPARE(drawn.size(), size_t(400));
            FieldFormulas field(fx, fy);
            int i = 0;
            float longest = 0;
            for (const auto& [anchor, vector] : drawn) { // in order of x, then y
                QVERIFY(anchor == Anchor(-4.75 + 0.5 * (i / 20), -4.75 + 0.5 * (i % 20)));
                ++i;
                longest = std::max(longest, fieldAt(field, anchor).length());
            }
            const float scale = float(0.7071 / longest * 0.5);
            int nonZero = 0;
            for (const auto& [anchor, vector] : drawn) {
                if (vector.isNull()) continue;
                ++nonZero;
                QCOMPARE(vector, fieldAt(field, anchor) * scale);
            }
            QCOMPARE(nonZero, expected);
        }
    }

    // Vectors beyond float fail alone (4.75^60, not 4.25^60); fields at its limits still draw.
    void extremeValuesStillDraw()
    {
        const std::tuple<const char*, const char*, int> cases[] = {
            {"x^60", "0", 40}, {"1E-40", "0", 0}, {"3E38", "-3E38 * y / ABS(y)", 0}};
        for (const auto& [fx, fy, expected] : cases) {
            FieldFormulas field(fx, fy);
            int failed = 0;
            double longest = 0;
            for (const auto& [anchor, vector] : drawnVectors(fx, fy)) {
                field.x = anchor.first;
                field.y = anchor.second;
                const double x = field.fx.Evaluate(), y = field.fy.Evaluate();
                if (!std::isfinite(float(x))) {
                    ++failed;
                    QVERIFY(vector.isNull());
                    continue;
                }
                longest = std::max(longest, double(vector.length()));
                QVERIFY2(std::abs(vector.x() * y - vector.y() * x) <=
                             1e-6 * vector.length() * std::hypot(x, y),
                         fx);
            }
            QCOMPARE(failed, expected);
            QVERIFY2(std::abs(longest - 0.35355) < 1e-6, fx);
        }
    }

    // The designed mode is the field's kind: 1 velocity, anything else acceleration.
    void modeBecomesKind()
    {
        for (const auto& [mode, kind] : {std::pair(1, FieldKind::Velocity),
                                         {2, FieldKind::Acceleration},
                                         {0, FieldKind::Acceleration},
                                         {-1, FieldKind::Acceleration},
                                         {3, FieldKind::Acceleration}})
            QVERIFY(fieldKindOf(formFieldSettings(mode, "x", "y")) == kind);
        FieldWindow f("x", "y", 7);
        QVERIFY(f.window.field()->Kind() == FieldKind::Acceleration);
    }

    // Set up again, a window starts from nothing: no dots, no extras, no old formulas; the dots
    // and every extra then follow the new field. A set-up that fails in between leaves nothing
    // to run on.
    void secondSetupStartsAfresh()
    {
        FieldWindow f("-y", "x", 1);
        const int designedItems = f.view()->scene()->items().size();
        const auto useEverything = [&f] {
            f.window.mousePressed(QPointF(1, 1));
            f.window.mouseDragged(QPointF(-1, 1), QVector2D(1, 0));
            for (const Qt::Key key : {Qt::Key_T, Qt::Key_F, Qt::Key_D, Qt::Key_E, Qt::Key_I})
                f.key(key);
            f.run(3, 10);
        };
        useEverything();
        {
            ModalAnswer answer;
            QVERIFY(!f.window.setupField(formFieldSettings(1, "x", "y +")));
            QCOMPARE(f.window.rejection().label, QString("Fy"));
        }
        QVERIFY(!f.window.field() && f.dots().isEmpty() && extraItems(f.window) == 0);
        QVERIFY(!f.window.findChild<InfoPanel*>());
        useEverything(); // nothing to run on: extras wait for a field
        QVERIFY(extraItems(f.window) == 0 && !f.window.findChild<InfoPanel*>());

        QVERIFY(f.window.setupField(formFieldSettings(2, "0", "-1")));
        QVERIFY(f.window.rejection().label.isEmpty());
        QCOMPARE(f.view()->scene()->items().size(), designedItems);
        QVERIFY(drawnVectors(f.window) == drawnVectors("0", "-1"));
        QVERIFY(f.window.field()->Kind() == FieldKind::Acceleration);
        useEverything();
        f.key(Qt::Key_Space);
        f.window.mouseDragged(QPointF(-1, 1), QVector2D(1, 0));
        f.run(1, 1000); // ten substeps of semi-implicit Euler: y falls by 0.01 × (1 + … + 10)
        QVERIFY(QLineF(f.dot(), QPointF(0, 0.45)).length() < 1e-6);
        const auto* fx = f.window.findChild<FormulaLabel*>("fx");
        const auto* fy = f.window.findChild<FormulaLabel*>("fy");
        const auto* equilibria = f.window.findChild<QLabel*>("equilibriaText");
        QVERIFY(fx && fy && equilibria);
        QCOMPARE(fx->text(), QString("Fx = 0"));
        QCOMPARE(fy->text(), QString("Fy = −1"));
        QTRY_COMPARE(equilibria->text(),
                     QString("none in the region"));                // once the search has ended
        QCOMPARE(extraItems(f.window), 4);                          // trails, flow, map, markers
        QVERIFY(itemsOf<FieldMapLayer>(f.window)[0]->limit() == 0); // div (0, -1) = 0
    }

    // Maximized; after a resize the region spans the viewport's longer side.
    void windowIsMaximizedAndRefitsOnResize()
    {
        VFWindow window(nullptr);
        QVERIFY(window.windowState() & Qt::WindowMaximized);
        QVERIFY(window.setupField(formFieldSettings(1, "0", "1")));
        auto* view = window.findChild<MyGraphicsView*>();
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
