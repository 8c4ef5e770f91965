// A long random stream of input must neither crash nor leak (the sanitizer build checks both).

#include "viewer_test_support.h"

#include <QWheelEvent>
#include <QtTest>

#include <cmath>
#include <random>

class StressTest : public QObject
{
    Q_OBJECT

private slots:
    // A seeded stream of input, every key the window knows among it, zooms and pans too, ends with
    // the dots it asked for, at finite places.
    void randomInput()
    {
        std::mt19937 random(7);
        // - three times against + and =, which both double the flow: it stays small enough for
        // quick ticks. S, whose file dialog is cancelled, comes every thousand steps: a dialog
        // takes tens of milliseconds.
        const Qt::Key keys[] = {Qt::Key_L,      Qt::Key_C,      Qt::Key_Space, Qt::Key_P,
                                Qt::Key_T,      Qt::Key_F,      Qt::Key_Plus,  Qt::Key_Equal,
                                Qt::Key_Minus,  Qt::Key_Minus,  Qt::Key_Minus, Qt::Key_H,
                                Qt::Key_F1,     Qt::Key_D,      Qt::Key_R,     Qt::Key_E,
                                Qt::Key_I,      Qt::Key_A,      Qt::Key_Left,  Qt::Key_Down,
                                Qt::Key_Escape, Qt::Key_Return, Qt::Key_W,     Qt::Key_Home};
        ModalAnswer cancel;
        for (const int mode : {1, 2}) {
            // Without derivatives, then with them: D, R and E give notes, then maps and markers.
            FieldWindow f("y / x", mode == 1 ? "x - LN(ABS(y))" : "x - LN(y * y)", mode);
            QWidget* port = f.port();
            const auto anywhere = [&] {
                return QPoint(random() % port->width(), random() % port->height());
            };
            int dots = 0;
            for (int i = 0; i < 3000; ++i) {
                if (i % 1000 == 500) f.key(Qt::Key_S);
                const int what = random() % 5;
                if (what == 0) {
                    QTest::mouseClick(port, Qt::MouseButton(1 << random() % 3), {}, anywhere());
                } else if (what == 1) {
                    QTest::mousePress(port, Qt::LeftButton, {}, anywhere());
                    QTest::mouseRelease(port, Qt::LeftButton, {}, anywhere());
                } else if (what == 2) {
                    const Qt::Key key = keys[random() % std::size(keys)];
                    f.key(key, random() % 2 ? Qt::ShiftModifier : Qt::NoModifier);
                    dots = key == Qt::Key_Space ? 0 : dots;
                } else if (what == 3) {
                    f.window.advanceDots(random() % 50);
                } else if (random() % 2) { // zoom in or out, up to three notches
                    const QPoint at = anywhere();
                    QWheelEvent wheel(at, port->mapToGlobal(at), QPoint(),
                                      QPoint(0, 120 * (int(random() % 7) - 3)), Qt::NoButton,
                                      Qt::ControlModifier, Qt::NoScrollPhase, false);
                    QApplication::sendEvent(port, &wheel);
                } else { // a middle-button drag, long enough to pan
                    const QPoint from = anywhere(), to = from + QPoint(30, -20);
                    QTest::mousePress(port, Qt::MiddleButton, {}, from);
                    QMouseEvent move(QEvent::MouseMove, to, Qt::NoButton, Qt::MiddleButton, {});
                    QApplication::sendEvent(port, &move);
                    QTest::mouseRelease(port, Qt::MiddleButton, {}, to);
                }
                dots += what < 2 ? (mode == 1 ? 10 : 1) : 0; // a ring, or one launched dot
            }
            QCOMPARE(f.dots().size(), dots);
            for (const QGraphicsDot* dot : f.dots())
                QVERIFY(std::isfinite(dot->pos().x()) && std::isfinite(dot->pos().y()));
        }
    }
};

QTEST_MAIN(StressTest)
#include "test_stress.moc"
