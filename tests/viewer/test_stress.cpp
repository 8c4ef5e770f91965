// Many windows and a long random stream of input must neither crash nor leak (the sanitizer
// build checks both).

#include "mainwindow.h"
#include "viewer_test_support.h"

#include <QGraphicsLineItem>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <cmath>
#include <random>

class StressTest : public QObject
{
    Q_OBJECT

private slots:
    // Valid and invalid formulas at random; each window is closed and "Go" pressed again at
    // once, before the closed window's deferred deletion has run; "Go" always ends enabled.
    void twoHundredWindows()
    {
        const char* const formulas[] = {"-y",
                                        "x*y + x",
                                        "SQRT(x)",
                                        "1/x",
                                        "q",
                                        "",
                                        "(x",
                                        "sqrt(-1)",
                                        "x > 0 ? -y : RAND(2)",
                                        "LN(x*x + y*y)",
                                        "!x | ~y",
                                        "EXP(EXP(x))"};
        MainWindow form(nullptr);
        form.show();
        const auto edits = form.findChildren<QLineEdit*>();
        auto* go = form.findChild<QPushButton*>();
        const auto kinds = form.findChildren<QRadioButton*>();
        ModalAnswer answer;
        std::mt19937 random(2026);
        std::uniform_int_distribution<size_t> pick(0, std::size(formulas) - 1);
        int opened = 0;
        for (int i = 0; i < 200; ++i) {
            edits[0]->setText(formulas[pick(random)]);
            edits[1]->setText(formulas[pick(random)]);
            kinds[random() % 2]->setChecked(true);
            QTest::mouseClick(go, Qt::LeftButton);
            for (VFWindow* window : openFieldWindows()) {
                if (!window->isVisible()) continue; // closed, waiting for its deletion
                ++opened;
                window->close();
            }
            QVERIFY(go->isEnabled());
        }
        QVERIFY(opened > 20 && answer.boxes.size() > 20); // both kinds of outcome happened
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(openFieldWindows().isEmpty());
    }

    // A seeded stream of presses, drags, keys and ticks in both kinds of field ends with the
    // dots and guides that the stream asked for, all at finite places.
    void randomInput()
    {
        std::mt19937 random(7);
        const Qt::Key keys[] = {Qt::Key_L,    Qt::Key_C,    Qt::Key_Space,  Qt::Key_A,
                                Qt::Key_Left, Qt::Key_Down, Qt::Key_Escape, Qt::Key_Return};
        for (const int mode : {1, 2}) {
            FieldWindow f("y / x", "x - LN(ABS(y))", mode);
            QVERIFY(f.ready);
            QWidget* port = f.port();
            std::uniform_int_distribution<int> px(0, port->width() - 1), py(0, port->height() - 1);
            int dots = 0;
            bool line = false, curve = false;
            for (int i = 0; i < 3000; ++i) {
                const QPoint at(px(random), py(random));
                const int what = random() % 4;
                if (what == 0) {
                    QTest::mouseClick(port, Qt::MouseButton(1 << random() % 3), {}, at);
                } else if (what == 1) {
                    QTest::mousePress(port, Qt::LeftButton, {}, at);
                    QTest::mouseRelease(port, Qt::LeftButton, {}, QPoint(px(random), py(random)));
                } else if (what == 2) {
                    const Qt::Key key = keys[random() % std::size(keys)];
                    f.key(key, random() % 2 ? Qt::ShiftModifier : Qt::NoModifier);
                    dots = key == Qt::Key_Space ? 0 : dots;
                    line ^= key == Qt::Key_L;
                    curve ^= key == Qt::Key_C;
                } else {
                    f.window.advanceDots(random() % 50);
                }
                dots += what < 2 ? (mode == 1 ? 10 : 1) : 0; // a ring, or one launched dot
            }
            QCOMPARE(f.dots().size(), dots);
            for (const QGraphicsDot* dot : f.dots())
                QVERIFY(std::isfinite(dot->pos().x()) && std::isfinite(dot->pos().y()));
            QCOMPARE(itemsOf<QGraphicsLineItem>(f.window).value(0)->isVisible(), line);
            for (const QGraphicsPathItem* path : itemsOf<QGraphicsPathItem>(f.window))
                if (!dynamic_cast<const QGraphicsArrow*>(path)) QCOMPARE(path->isVisible(), curve);
        }
    }
};

QTEST_MAIN(StressTest)
#include "test_stress.moc"
