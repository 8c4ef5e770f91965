// Stress: many windows, many dots and a long random stream of input must neither crash nor leak
// (the sanitizer build checks both), and "Go" always ends enabled.

#include "mainwindow.h"
#include "viewer_test_support.h"

#include <QGraphicsLineItem>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <cmath>
#include <random>

class StressTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(openFieldWindows().isEmpty());
    }

    // Valid and invalid formulas at random; each window is closed and "Go" pressed again at once,
    // before the closed window's deferred deletion has run.
    void twoHundredWindows()
    {
        const char* const formulas[] = {"-y",
                                        "x",
                                        "x*y + x",
                                        "SQRT(x)",
                                        "1/x",
                                        "q",
                                        "",
                                        "a = b",
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
        const auto buttons = form.findChildren<QRadioButton*>();
        int boxes = 0;
        QTimer closer; // every warning box is answered
        connect(&closer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                ++boxes;
                box->button(QMessageBox::Ok)->click();
            }
        });
        closer.start(1);
        std::mt19937 random(2026);
        std::uniform_int_distribution<size_t> pick(0, std::size(formulas) - 1);
        int opened = 0;
        for (int i = 0; i < 200; ++i) {
            edits[0]->setText(formulas[pick(random)]);
            edits[1]->setText(formulas[pick(random)]);
            buttons[random() % 2]->setChecked(true);
            QTest::mouseClick(go, Qt::LeftButton);
            // Closed windows wait for their deferred deletion; the open one is the visible one.
            for (VFWindow* window : openFieldWindows()) {
                if (!window->isVisible()) continue;
                ++opened;
                window->close();
            }
            QVERIFY(go->isEnabled());
        }
        QVERIFY(opened > 20 && boxes > 20); // both kinds of outcome happened
    }

    void tenThousandDotsTickedAndCleared()
    {
        VFWindow window(nullptr);
        QVERIFY(window.setupField(formSettings("-y + SIN(x)", "x", 1)));
        for (int round = 0; round < 3; ++round) {
            for (int i = 0; i < 1000; ++i)
                window.mousePressed(QPointF(i % 40 * 0.25 - 5, i / 40 * 0.4 - 5));
            QCOMPARE(itemsOf<QGraphicsDot>(window).size(), 10000);
            window.advanceDots(16);
            window.advanceDots(0);
            QTest::keyClick(viewOf(window), Qt::Key_Space);
            QCOMPARE(itemsOf<QGraphicsDot>(window).size(), 0);
            QCOMPARE(itemsOf<QGraphicsItem>(window).size(), 402); // arrows and guides stay
        }
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
            const int perDrop = mode == 1 ? 10 : 1; // a ring, or one launched dot
            int dots = 0;
            bool line = false, curve = false;
            for (int i = 0; i < 3000; ++i) {
                const QPoint at(px(random), py(random));
                switch (random() % 4) {
                case 0:
                    QTest::mouseClick(port, Qt::MouseButton(1 << random() % 3), {}, at);
                    dots += perDrop;
                    break;
                case 1:
                    QTest::mousePress(port, Qt::LeftButton, {}, at);
                    QTest::mouseRelease(port, Qt::LeftButton, {}, QPoint(px(random), py(random)));
                    dots += perDrop;
                    break;
                case 2: {
                    const Qt::Key key = keys[random() % std::size(keys)];
                    f.key(key, random() % 2 ? Qt::ShiftModifier : Qt::NoModifier);
                    dots = key == Qt::Key_Space ? 0 : dots;
                    line ^= key == Qt::Key_L;
                    curve ^= key == Qt::Key_C;
                    break;
                }
                default:
                    f.window.advanceDots(random() % 50);
                }
            }
            const QList<QGraphicsDot*> found = f.dots();
            QCOMPARE(found.size(), dots);
            for (const QGraphicsDot* dot : found)
                QVERIFY(std::isfinite(dot->pos().x()) && std::isfinite(dot->pos().y()));
            QCOMPARE(itemsOf<QGraphicsLineItem>(f.window).value(0)->isVisible(), line);
            for (const QGraphicsPathItem* path : itemsOf<QGraphicsPathItem>(f.window))
                if (!dynamic_cast<const QGraphicsArrow*>(path)) QCOMPARE(path->isVisible(), curve);
        }
    }
};

QTEST_MAIN(StressTest)
#include "test_stress.moc"
