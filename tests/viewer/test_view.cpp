#include "mygraphicsview.h"

#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QMouseEvent>
#include <QScrollBar>
#include <QtTest>

namespace {

// A view onto the field region with y growing upwards, as the field window sets it up.
struct FieldView
{
    QGraphicsScene scene{-5, -5, 10, 10};
    MyGraphicsView view{&scene};
    QSignalSpy pressed{&view, SIGNAL(mousePressed(QPointF))};
    QSignalSpy dragged{&view, SIGNAL(mouseDragged(QPointF, QVector2D))};

    explicit FieldView(bool launch)
    {
        view.setTransform(QTransform::fromScale(1, -1));
        view.resize(400, 400);
        view.show();
        view.fitInView(scene.sceneRect(), Qt::KeepAspectRatio);
        if (launch) view.setLaunchMode();
    }
    QPointF at(const QPoint& pixel) const { return view.mapToScene(pixel); }
    QVector2D span(const QPoint& from, const QPoint& to) const
    {
        const QPointF d = at(to) - at(from);
        return QVector2D(float(d.x()), float(d.y()));
    }
};

} // namespace

class ViewTest : public QObject
{
    Q_OBJECT

private slots:
    void dropModeReportsPresses()
    {
        FieldView f(false);
        for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
            QTest::mouseClick(f.view.viewport(), button, {}, QPoint(100, 120));
        }
        QCOMPARE(f.pressed.size(), 3);
        QCOMPARE(f.pressed[2][0].toPointF(), f.at({100, 120}));
        QCOMPARE(f.dragged.size(), 0);
    }

    void launchModeReportsDrags()
    {
        FieldView f(true);
        const QPoint a(100, 300), b(180, 140);
        // Scene items never see the mouse: a movable item under the press stays put.
        auto* item = f.scene.addRect(QRectF(-0.5, -0.5, 1, 1).translated(f.at(a)));
        item->setFlag(QGraphicsItem::ItemIsMovable);
        QTest::mousePress(f.view.viewport(), Qt::LeftButton, {}, a);
        QCOMPARE(f.dragged.size(), 0);
        QMouseEvent move(QEvent::MouseMove, b, Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(f.view.viewport(), &move);
        QTest::mouseRelease(f.view.viewport(), Qt::LeftButton, {}, b);
        QCOMPARE(item->pos(), QPointF());
        QTest::mouseClick(f.view.viewport(), Qt::LeftButton, {}, b);
        // A double-click's second press is no press: its release keeps the first one's point.
        QMouseEvent twice(QEvent::MouseButtonDblClick, a, Qt::LeftButton, Qt::LeftButton, {});
        QApplication::sendEvent(f.view.viewport(), &twice);
        QTest::mouseRelease(f.view.viewport(), Qt::LeftButton, {}, a);

        QCOMPARE(f.pressed.size(), 0);
        QCOMPARE(f.dragged.size(), 3);
        const QList<QPair<QPoint, QVector2D>> expected{
            {a, f.span(a, b)}, {b, QVector2D(0, 0)}, {b, f.span(b, a)}};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(f.dragged[i][0].toPointF(), f.at(expected[i].first));
            QCOMPARE(f.dragged[i][1].value<QVector2D>(), expected[i].second);
        }
    }

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
        QTest::keyClick(&view, Qt::Key_Down); // the arrow keys still scroll
        QCOMPARE(scrolledWhenReported, bar->minimum());
        QVERIFY(bar->value() > bar->minimum());
    }
};

QTEST_MAIN(ViewTest)
#include "test_view.moc"
