// Parameters and time: the strip under the view for fields with names beginning with "P" or
// with t, and every view following the values it writes.

#include "equilibrium_markers.h"
#include "field_map_layer.h"
#include "field_model.h"
#include "parameter_row.h"
#include "parameter_strip.h"
#include "viewer_test_support.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QSlider>
#include <QToolButton>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

const QString kHopfFx = "Pa*x - y - x*(x^2 + y^2)";
const QString kHopfFy = "x + Pa*y - y*(x^2 + y^2)";

struct Field : FieldWindow
{
    Field(const QString& fx, const QString& fy, int mode = 1) : FieldWindow(fx, fy, mode)
    {
        QVERIFY(ready && QTest::qWaitForWindowExposed(&window));
    }
    ParameterStrip* strip() const { return window.parameterStrip(); }
    ParameterRow* row(const QString& name) const { return strip() ? strip()->row(name) : nullptr; }
    void type(QLineEdit* box, const QString& text)
    {
        box->setFocus();
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Return);
    }
    // Anchors and vectors of every arrow, in the order drawn.
    QVector<QPair<QPointF, QVector2D>> arrows() const
    {
        QVector<QPair<QPointF, QVector2D>> all;
        for (QGraphicsArrow* arrow : itemsOf<QGraphicsArrow>(window))
            all.append({arrow->anchorPoint(), arrow->arrowVector()});
        std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) {
            return std::make_pair(a.first.x(), a.first.y()) <
                   std::make_pair(b.first.x(), b.first.y());
        });
        return all;
    }
    QVector<QPointF> dotPlaces() const
    {
        QVector<QPointF> places;
        for (QGraphicsDot* dot : dots())
            places.append(dot->pos());
        std::sort(places.begin(), places.end(), [](const QPointF& a, const QPointF& b) {
            return std::make_pair(a.x(), a.y()) < std::make_pair(b.x(), b.y());
        });
        return places;
    }
    EquilibriumMarkers* markers() const { return itemsOf<EquilibriumMarkers>(window).value(0); }
    FieldMapLayer* map() const { return itemsOf<FieldMapLayer>(window).value(0); }
};

// A formula with every "Pa" replaced by the number, in parentheses.
QString written(QString formula, const QString& name, double value)
{
    return formula.replace(name, "(" + ParameterRow::textOf(value) + ")");
}

bool refused(const QLineEdit* box)
{
    return box->property("refused").toBool() && !box->toolTip().isEmpty();
}

} // namespace

class ParametersTest : public QObject
{
    Q_OBJECT

private slots:
    // Rows in the order typed, parameters first and t last; none for a field without them, whose
    // window is laid out as designed: the view alone fills it.
    void stripOnlyForFieldsWithParametersOrTime()
    {
        struct Case
        {
            QString fx, fy;
            QStringList rows;
        };
        const Case cases[] = {
            {"-y", "x", {}},
            {"PI*x", "pa*y", {}}, // a constant and an unknown name
            {kHopfFx, kHopfFy, {"Pa"}},
            {"Pb*x + t", "Pa - Pb*y", {"Pb", "Pa", "t"}},
            {"1", "t", {"t"}},
        };
        for (const Case& c : cases) {
            Field f(c.fx, c.fy);
            QStringList names;
            if (ParameterStrip* strip = f.strip())
                for (ParameterRow* row : strip->rows())
                    names << row->name();
            QCOMPARE(names, c.rows);
            QCOMPARE(f.window.findChildren<ParameterStrip*>().size(), c.rows.isEmpty() ? 0 : 1);
            auto* grid = static_cast<QGridLayout*>(f.window.layout());
            if (c.rows.isEmpty()) {
                QCOMPARE(f.view()->geometry(), grid->contentsRect());
                QCOMPARE(f.window.findChildren<QSlider*>().size(), 0);
                continue;
            }
            QVERIFY(f.strip()->isVisible());
            QVERIFY(f.view()->geometry().bottom() < f.strip()->geometry().top());
            for (ParameterRow* row : f.strip()->rows()) {
                const bool time = row->name() == "t";
                QCOMPARE(row->value(), 0.0);
                QCOMPARE(row->low(), time ? 0.0 : -5.0);
                QCOMPARE(row->high(), time ? 20.0 : 5.0);
                QCOMPARE(row->playButton() != nullptr, time);
                QCOMPARE(row->valueBox()->text(), QString("0"));
            }
        }
    }

    // The command line's values are in the rows from the start, and in the picture.
    void startValuesShowInTheRows()
    {
        VFWindow window(nullptr);
        FieldStart start;
        start.parameters = {{"Pa", 0.5}, {"t", 3.25}, {"Pz", 1}};
        QVERIFY(window.setupField(formFieldSettings(1, kHopfFx + " + t", kHopfFy), start));
        ParameterRow* pa = window.parameterStrip()->row("Pa");
        QCOMPARE(pa->value(), 0.5);
        QCOMPARE(pa->valueBox()->text(), QString("0.5"));
        QCOMPARE(pa->slider()->value(), 550);
        QCOMPARE(window.parameterStrip()->row("t")->slider()->value(), 163); // 3.25 of 20
        QVERIFY(!window.parameterStrip()->row("Pz"));
    }

    // A value set in the strip reaches the arrows, the dots and the equilibria exactly as the
    // same field with the value written as a number.
    void valuesReachEveryView()
    {
        Field f(kHopfFx, kHopfFy);
        f.window.mousePressed(QPointF(0.5, 0.5));
        f.run(5, 10);
        f.key(Qt::Key_E);
        f.key(Qt::Key_D);
        f.type(f.row("Pa")->valueBox(), "0.5");
        QCOMPARE(f.row("Pa")->value(), 0.5);
        f.run(20, 10);

        Field fresh(written(kHopfFx, "Pa", 0.5), written(kHopfFy, "Pa", 0.5));
        QVERIFY(!fresh.strip());
        fresh.window.mousePressed(QPointF(0.5, 0.5));
        QCOMPARE(f.arrows(), fresh.arrows());

        fresh.key(Qt::Key_D);
        f.window.finishPendingWork();
        QCOMPARE(f.map()->limit(), fresh.map()->limit());
        QVERIFY(f.map()->picture() == fresh.map()->picture());

        fresh.key(Qt::Key_E);
        QTRY_VERIFY(f.markers() && !f.markers()->markers().isEmpty());
        QTRY_VERIFY(fresh.markers() && !fresh.markers()->markers().isEmpty());
        QTRY_COMPARE(f.markers()->markers().size(), fresh.markers()->markers().size());
        for (int i = 0; i < f.markers()->markers().size(); ++i) {
            QCOMPARE(f.markers()->markers()[i].at, fresh.markers()->markers()[i].at);
            QCOMPARE(f.markers()->markers()[i].label, fresh.markers()->markers()[i].label);
        }
        QCOMPARE(f.markers()->markers()[0].kind, EquilibriumKind::UnstableSpiral);
    }

    // Dots go on from where they are, in the new field: after the change they move as dots
    // of the field with the number written move from the same places.
    void dotsGoOnWithoutJumping()
    {
        Field f(kHopfFx, kHopfFy);
        f.window.mousePressed(QPointF(1, 0.5));
        f.run(30, 10);
        const QVector<QPointF> places = f.dotPlaces();
        f.row("Pa")->slider()->setValue(400); // -1
        QCOMPARE(f.row("Pa")->value(), -1.0);
        QCOMPARE(f.dotPlaces(), places);

        Field fresh(written(kHopfFx, "Pa", -1), written(kHopfFy, "Pa", -1));
        for (const QPointF& at : places)
            fresh.window.mouseDragged(at, QVector2D()); // one dot each, at rest
        f.run(30, 10);
        fresh.run(30, 10);
        QCOMPARE(f.dotPlaces(), fresh.dotPlaces());
    }

    // Typed values are taken exactly; the slider moves to the nearest step without changing
    // the value, and a slider step is the value the box shows.
    void typedValuesAreExact()
    {
        struct Case
        {
            QString typed;
            double value;
            int step;
        };
        const Case cases[] = {
            {"0.1", 0.1, 510},
            {"0.1234", 0.1234, 512},
            {" +2.5 ", 2.5, 750},
            {"-1e-3", -0.001, 500},
            {"12", 12, 1000}, // beyond the range: the slider stops at its end
            {"0.30000000000000004", 0.1 + 0.2, 530},
        };
        Field f(kHopfFx, kHopfFy);
        ParameterRow* pa = f.row("Pa");
        for (const Case& c : cases) {
            f.type(pa->valueBox(), c.typed);
            QCOMPARE(pa->value(), c.value);
            QCOMPARE(*f.window.field()->SlotOf("Pa"), c.value);
            QCOMPARE(pa->slider()->value(), c.step);
            QVERIFY(!refused(pa->valueBox()));
        }
        f.type(pa->valueBox(), "0.1");
        QCOMPARE(pa->valueBox()->text(), QString("0.1"));
        pa->slider()->setValue(537);
        QCOMPARE(pa->valueBox()->text(), QString("0.37"));
        QCOMPARE(pa->value(), 0.37);
        QTest::keyClick(pa->slider(), Qt::Key_Right);
        QCOMPARE(pa->value(), 0.38);
    }

    // Refused input stays in its box, framed and explained; the field keeps its last good value
    // and nothing follows. Good input afterwards clears the mark.
    void refusedInputKeepsTheLastGoodValue()
    {
        Field f(kHopfFx, kHopfFy);
        ParameterRow* pa = f.row("Pa");
        f.type(pa->valueBox(), "0.25");
        const auto arrows = f.arrows();
        const struct
        {
            int box; // 0 value, 1 start, 2 end
            QString text;
        } cases[] = {{0, "abc"}, {0, "1,5"}, {0, "inf"},  {0, "nan"}, {0, "1e400"},
                     {0, ""},    {0, "2x"},  {0, "0x10"}, {1, "5"},   {1, "7"},
                     {2, "-5"},  {2, "-6"},  {1, "-inf"}, {2, "one"}};
        for (const auto& c : cases) {
            QLineEdit* box = c.box == 0   ? pa->valueBox()
                             : c.box == 1 ? pa->lowBox()
                                          : pa->highBox();
            f.type(box, c.text);
            QVERIFY2(refused(box), qPrintable(c.text));
            QCOMPARE(box->text(), c.text.trimmed().isEmpty() ? QString() : c.text);
            QCOMPARE(pa->value(), 0.25);
            QCOMPARE(pa->low(), -5.0);
            QCOMPARE(pa->high(), 5.0);
            QCOMPARE(f.arrows(), arrows);
            f.type(box, c.box == 0 ? "0.25" : c.box == 1 ? "-5" : "5");
            QVERIFY(!refused(box));
        }
        // A range too wide to divide into steps.
        f.type(pa->highBox(), "1e308");
        f.type(pa->lowBox(), "-1e308");
        QVERIFY(refused(pa->lowBox()) && !refused(pa->highBox()));
        QCOMPARE(pa->low(), -5.0);
        f.type(pa->highBox(), "5");
        // A new range keeps the value and moves the slider to it.
        f.type(pa->lowBox(), "0");
        f.type(pa->highBox(), "0.5");
        QCOMPARE(pa->value(), 0.25);
        QCOMPARE(pa->slider()->value(), 500);
        QCOMPARE(f.arrows(), arrows);
    }

    // Tab reaches the strip from the view and arrow keys move a slider; the view keeps the
    // window's letter keys, also after a slider was dragged with the mouse.
    void keyboardReachesTheStrip()
    {
        Field f("Pa*x", "Pb*y");
        QVERIFY(f.view()->hasFocus());
        QTest::keyClick(f.view(), Qt::Key_Space); // a designed key: clears the dots, nothing else
        QGraphicsLineItem* guide = itemsOf<QGraphicsLineItem>(f.window).value(0);
        QVERIFY(guide && !guide->isVisible());
        f.key(Qt::Key_L);
        QVERIFY(guide->isVisible());
        QTest::mouseClick(f.row("Pa")->slider(), Qt::LeftButton);
        QVERIFY(f.view()->hasFocus());
        f.key(Qt::Key_L);
        QVERIFY(!guide->isVisible());

        QWidget* focused = f.view();
        for (int i = 0; i < 12 && focused != f.row("Pb")->slider(); ++i) {
            QTest::keyClick(focused, Qt::Key_Tab);
            focused = QApplication::focusWidget();
        }
        QCOMPARE(focused, static_cast<QWidget*>(f.row("Pb")->slider()));
        QTest::keyClick(focused, Qt::Key_Left);
        QCOMPARE(f.row("Pb")->value(), -0.01);
        QCOMPARE(f.row("Pa")->value(), 0.0);
    }

    // While t plays, particles in the velocity field (1, t) rise as the integral of t, within
    // Euler's error of the substeps; the arrows show the field at the clock's t, and P stops it.
    void timeRunsWithTheAnimation()
    {
        Field f("1", "t");
        ParameterRow* t = f.row("t");
        f.window.mouseDragged(QPointF(-4, -4), QVector2D());
        const QPointF start = f.dot();
        f.run(50, 10);
        QCOMPARE(f.dot(), start + QPointF(0.5, 0)); // t stands still until played
        QCOMPARE(t->value(), 0.0);

        QTest::mouseClick(t->playButton(), Qt::LeftButton);
        QVERIFY(t->playing());
        f.run(100, 10); // 1 s, in substeps of 1 ms
        QVERIFY(std::abs(t->value() - 1.0) < 1e-12);
        const double rise = f.dot().y() - start.y();
        QVERIFY2(std::abs(rise - 0.5) <= 1.0 * 0.001 / 2 + 1e-12,
                 qPrintable(QString::number(rise)));
        QCOMPARE(t->valueBox()->text(), ParameterRow::textOf(t->value()));
        QCOMPARE(t->slider()->value(), 50);

        Field fresh("1", ParameterRow::textOf(t->value()));
        QCOMPARE(f.arrows(), fresh.arrows());

        f.key(Qt::Key_P);
        f.window.advanceTicks(30);
        QVERIFY(std::abs(t->value() - 1.0) < 1e-12);
        f.key(Qt::Key_P);
        t->slider()->setValue(250); // dragged to 5
        QCOMPARE(t->value(), 5.0);
        f.run(10, 10);
        QVERIFY(std::abs(t->value() - 5.1) < 1e-12);
        QTest::mouseClick(t->playButton(), Qt::LeftButton);
        f.run(10, 10);
        QVERIFY(std::abs(t->value() - 5.1) < 1e-12);
    }

    // While a value changes every 20 ms for a second, the slow views (here the markers, which
    // are made again at each follow while their search runs beside the window) follow at least
    // ten times a second, and once more after the last change, for that value; then they rest.
    void slowViewsFollowTenTimesASecond()
    {
        Field f(kHopfFx, kHopfFy);
        f.key(Qt::Key_E);
        ParameterRow* pa = f.row("Pa");
        int updates = 0;
        const auto count = [&] {
            EquilibriumMarkers* markers = f.markers();
            if (!markers || markers->data(0).toBool()) return;
            markers->setData(0, true);
            ++updates;
        };
        count();
        updates = 0;
        QElapsedTimer clock;
        clock.start();
        int steps = 0;
        while (clock.elapsed() < 1000) {
            pa->slider()->setValue(500 + ++steps % 300);
            count();
            QElapsedTimer waited;
            waited.start();
            while (waited.elapsed() < 20) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
                count();
            }
        }
        const double seconds = clock.elapsed() / 1000.0;
        // Where the changes themselves come more slowly (a loaded machine, or sanitizers that
        // slow every frame down), at least every third of them is followed: the throttle waits
        // 60 ms at most, and its timer fires late by as long as a frame takes.
        QVERIFY2(
            updates >= std::min(steps / 3.0, 10 * seconds),
            qPrintable(QString("%1 for %2 changes in %3 s").arg(updates).arg(steps).arg(seconds)));
        const double last = pa->value();
        QTest::qWait(150);
        count();
        const int atRest = updates;
        QTest::qWait(300);
        count();
        QCOMPARE(updates, atRest);

        Field fresh(written(kHopfFx, "Pa", last), written(kHopfFy, "Pa", last));
        fresh.key(Qt::Key_E);
        QTRY_VERIFY_WITH_TIMEOUT(!f.markers()->markers().isEmpty(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!fresh.markers()->markers().isEmpty(), 20000);
        QCOMPARE(f.markers()->markers()[0].at, fresh.markers()->markers()[0].at);
        QCOMPARE(f.markers()->markers()[0].label, fresh.markers()->markers()[0].label);
    }
};

QTEST_MAIN(ParametersTest)
#include "test_parameters.moc"
