// Counts heap allocations while the animation tick runs, by standing in for malloc; so it is
// only built where no sanitizer owns the allocator.

#include "viewer_test_support.h"

#include <QtTest>

extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);

namespace {
thread_local long allocations = -1; // counting from 0 on; -1: not counting
} // namespace

extern "C" void* malloc(size_t size)
{
    allocations += allocations >= 0;
    return __libc_malloc(size);
}

extern "C" void* calloc(size_t count, size_t size)
{
    allocations += allocations >= 0;
    return __libc_calloc(count, size);
}

extern "C" void* realloc(void* pointer, size_t size)
{
    allocations += allocations >= 0;
    return __libc_realloc(pointer, size);
}

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
            allocations = 0;
            for (int tick = 0; tick < 50; ++tick)
                window.advanceDots(10);
            const long counted = allocations;
            allocations = -1;
            QCOMPARE(counted, 0L);
        }
        allocations = 0; // the count does see allocations
        const QString text = QString::number(12345.678);
        QVERIFY(allocations > 0);
        allocations = -1;
    }
};

QTEST_MAIN(TickAllocationsTest)
#include "test_tick_allocations.moc"
