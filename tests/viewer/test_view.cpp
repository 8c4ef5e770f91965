#include "mygraphicsview.h"

#include <QMouseEvent>
#include <QtTest>

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
};

QTEST_MAIN(ViewTest)
#include "test_view.moc"
