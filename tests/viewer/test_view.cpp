#include "mygraphicsview.h"

#include <QMouseEvent>
#include <QtTest>

namespace {

void moveHeld(QWidget* port, const QPoint& pixel)
{
    QMouseEvent move(QEvent::MouseMove, pixel, Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(port, &move);
}

// Pixels of the viewport that are clearly red.
int reddish(const QImage& frame)
{
    int count = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) {
            const QColor c = frame.pixelColor(x, y);
            count += c.red() > 120 && c.green() < 90 && c.blue() < 90;
        }
    return count;
}

} // namespace

class ViewTest : public QObject
{
    Q_OBJECT

private slots:
    // A double-click's second press is no press: its release is a drag from the first one.
    void doubleClickIsNoPress()
    {
        QGraphicsScene scene(-50, -50, 100, 100);
        MyGraphicsView view(&scene);
        view.setTransform(QTransform::fromScale(20, -20));
        view.resize(300, 300);
        view.show();
        view.setLaunchMode();
        QSignalSpy dragged(&view, SIGNAL(mouseDragged(QPointF, QVector2D)));
        const QPoint a(100, 120), b(180, 40);
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, a);
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, a);
        QMouseEvent twice(QEvent::MouseButtonDblClick, b, Qt::LeftButton, Qt::LeftButton, {});
        QApplication::sendEvent(view.viewport(), &twice);
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, b);
        QCOMPARE(dragged.size(), 2);
        QCOMPARE(dragged[1][0].toPointF(), view.mapToScene(a));
    }

    // Dragging to launch shows an arrow from the press point to the pointer, gone on release;
    // the signals are those of the designed view. A drop never shows one.
    void launchArrowWhileDragging()
    {
        for (const auto mode : {MyGraphicsView::LaunchMode, MyGraphicsView::DropMode}) {
            QGraphicsScene scene(-50, -50, 100, 100);
            scene.addRect(-1, -1, 2, 2, QPen(Qt::black), QBrush(Qt::black)); // something to keep
            MyGraphicsView view(&scene);
            view.setTransform(QTransform::fromScale(20, -20));
            view.resize(300, 300);
            view.show();
            QVERIFY(QTest::qWaitForWindowExposed(&view));
            if (mode == MyGraphicsView::LaunchMode) view.setLaunchMode();
            QSignalSpy pressed(&view, SIGNAL(mousePressed(QPointF)));
            QSignalSpy dragged(&view, SIGNAL(mouseDragged(QPointF, QVector2D)));
            const QImage before = view.viewport()->grab().toImage();
            QCOMPARE(reddish(before), 0);

            const QPoint a(60, 200), b(220, 90), c(230, 60);
            QTest::mousePress(view.viewport(), Qt::LeftButton, {}, a);
            for (const QPoint& to : {b, c})
                moveHeld(view.viewport(), to);
            const QImage during = view.viewport()->grab().toImage();
            if (mode == MyGraphicsView::LaunchMode) {
                QCOMPARE(view.launchDrag(), QLineF(view.mapToScene(a), view.mapToScene(c)));
                const QPoint middle = (a + c) / 2;
                QVERIFY(reddish(during.copy(QRect(middle - QPoint(3, 3), QSize(7, 7)))) > 0);
                QVERIFY(reddish(during.copy(QRect(c - QPoint(6, 6), QSize(13, 13)))) > 10);
                QCOMPARE(reddish(during.copy(QRect(b + QPoint(5, 0), QSize(8, 8)))), 0);
            } else {
                QVERIFY(view.launchDrag().isNull() && during == before);
            }
            QCOMPARE(dragged.size(), 0);

            QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, c);
            QVERIFY(view.launchDrag().isNull());
            QVERIFY(view.viewport()->grab().toImage() == before);
            const bool launch = mode == MyGraphicsView::LaunchMode;
            QCOMPARE(pressed.size(), launch ? 0 : 1);
            QCOMPARE(dragged.size(), launch ? 1 : 0);
            if (launch) {
                const QPointF p = view.mapToScene(a), q = view.mapToScene(c);
                QCOMPARE(dragged[0][0].toPointF(), p);
                QCOMPARE(dragged[0][1].value<QVector2D>(),
                         QVector2D(float(q.x() - p.x()), float(q.y() - p.y())));
            }
        }
    }
};

QTEST_MAIN(ViewTest)
#include "test_view.moc"
