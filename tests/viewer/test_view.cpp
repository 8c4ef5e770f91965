#include "mygraphicsview.h"

#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QMouseEvent>
#include <QScrollBar>
#include <QtTest>

class ViewTest : public QObject
{
    Q_OBJECT

private slots:
    // Drop mode reports every button's press; launch mode reports a drag from its press to its
    // release as the velocity, in scene units with y up, and no scene item sees the mouse.
    void pressesAndDrags()
    {
        for (const bool launch : {false, true}) {
            QGraphicsScene scene(-5, -5, 10, 10);
            MyGraphicsView view(&scene);
            QSignalSpy pressed(&view, SIGNAL(mousePressed(QPointF)));
            QSignalSpy dragged(&view, SIGNAL(mouseDragged(QPointF, QVector2D)));
            view.setTransform(QTransform::fromScale(1, -1));
            view.resize(400, 400);
            view.show();
            view.fitInView(scene.sceneRect(), Qt::KeepAspectRatio);
            if (launch) view.setLaunchMode();
            QWidget* port = view.viewport();
            const auto at = [&](const QPoint& pixel) { return view.mapToScene(pixel); };
            const auto span = [&](const QPoint& from, const QPoint& to) {
                const QPointF d = at(to) - at(from);
                return QVector2D(float(d.x()), float(d.y()));
            };
            const QPoint a(100, 300), b(180, 140);
            auto* item = scene.addRect(QRectF(-0.5, -0.5, 1, 1).translated(at(a)));
            item->setFlag(QGraphicsItem::ItemIsMovable);
            QTest::mousePress(port, Qt::LeftButton, {}, a);
            QCOMPARE(dragged.size(), 0);
            QMouseEvent move(QEvent::MouseMove, b, Qt::NoButton, Qt::LeftButton, {});
            QApplication::sendEvent(port, &move);
            QTest::mouseRelease(port, Qt::LeftButton, {}, b);
            QCOMPARE(item->pos(), QPointF());
            for (const Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton})
                QTest::mouseClick(port, button, {}, b);
            // A double-click's second press is no press: its release keeps the first one's point.
            QMouseEvent twice(QEvent::MouseButtonDblClick, a, Qt::LeftButton, Qt::LeftButton, {});
            QApplication::sendEvent(port, &twice);
            QTest::mouseRelease(port, Qt::LeftButton, {}, a);

            QCOMPARE(pressed.size(), launch ? 0 : 3);
            QCOMPARE(dragged.size(), launch ? 4 : 0);
            if (!launch) {
                QCOMPARE(pressed[0][0].toPointF(), at(a));
                QCOMPARE(pressed[2][0].toPointF(), at(b));
                continue;
            }
            const QPair<QPoint, QVector2D> expected[] = {
                {a, span(a, b)}, {b, QVector2D()}, {b, QVector2D()}, {b, span(b, a)}};
            for (int i = 0; i < 4; ++i) {
                QCOMPARE(dragged[i][0].toPointF(), at(expected[i].first));
                QCOMPARE(dragged[i][1].value<QVector2D>(), expected[i].second);
            }
        }
    }

    // Keys are reported with their modifiers before the view handles them; arrows still scroll.
    void keysAreReportedBeforeTheViewHandlesThem()
    {
        QGraphicsScene scene(-50, -50, 100, 100);
        MyGraphicsView view(&scene);
        view.setTransform(QTransform::fromScale(20, -20));
        view.resize(300, 300);
        view.show();
        QScrollBar* bar = view.verticalScrollBar();
        bar->setValue(bar->minimum());
        QList<QPair<int, int>> reports; // key, modifiers
        int scrolledWhenReported = -1;
        connect(&view, &MyGraphicsView::keyPressed, [&](int key, Qt::KeyboardModifiers m) {
            if (key == Qt::Key_Shift || key == Qt::Key_Control) return; // keys of their own
            reports.append({key, int(m)});
            scrolledWhenReported = bar->value();
        });
        QTest::keyClick(&view, Qt::Key_L);
        QTest::keyClick(&view, Qt::Key_C, Qt::ShiftModifier);
        QTest::keyClick(&view, Qt::Key_Space, Qt::ControlModifier);
        QCOMPARE(reports, (QList<QPair<int, int>>{{Qt::Key_L, Qt::NoModifier},
                                                  {Qt::Key_C, Qt::ShiftModifier},
                                                  {Qt::Key_Space, Qt::ControlModifier}}));
        QTest::keyClick(&view, Qt::Key_Down);
        QCOMPARE(scrolledWhenReported, bar->minimum());
        QVERIFY(bar->value() > bar->minimum());
    }
};

QTEST_MAIN(ViewTest)
#include "test_view.moc"
