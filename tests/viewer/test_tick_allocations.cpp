// The animation tick runs a hundred times a second: it must not touch the heap.

#include "allocation_counter.h"
#include "viewer_test_support.h"

#include <QtTest>

class TickAllocationsTest : public QObject
{
    Q_OBJECT

private slots:
    void tickAllocatesNothing()
    {
        for (const int mode : {1, 2}) {
            VFWindow window(nullptr);
            window.findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly)->stop();
            QVERIFY(window.setupField(formSettings("SIN(y) - Pq", "theta + x*x", mode)));
            for (int i = 0; i < 100; ++i)
                window.mouseDragged(QPointF(i % 10, i / 10), {1, 1});
            window.advanceDots(10); // the scene schedules its one repaint of the frame
            const long before = AllocationCount();
            for (int tick = 0; tick < 50; ++tick)
                window.advanceDots(10);
            QCOMPARE(AllocationCount() - before, 0L);
        }
        const long before = AllocationCount(); // the count does see Qt's allocations
        const QString text = QString::number(12345.678);
        QVERIFY(AllocationCount() > before);
    }
};

QTEST_MAIN(TickAllocationsTest)
#include "test_tick_allocations.moc"
