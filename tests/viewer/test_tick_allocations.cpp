// The animation runs a hundred times a second: its tick must not touch the heap, and drawing
// must not allocate per particle.

#include "allocation_counter.h"
#include "viewer_test_support.h"

#include <QtTest>

namespace {

// Qt's own machinery of one painted frame, whatever is in it: the painters of the window and
// of the view and their states, the paint event's regions, the scene's queued call.
constexpr long kFrameMachinery = 32;

struct Counted
{
    long allocations;
    long frees;
};

template <typename Work> Counted count(Work work)
{
    const Counted before{AllocationCount(), FreeCount()};
    work();
    return Counted{AllocationCount() - before.allocations, FreeCount() - before.frees};
}

// A shown field window with dots; each frame is a tick and what the event loop does after it:
// the scene reports what moved, and the view has the window paint it.
struct ShownField : FieldWindow
{
    ShownField(int mode, int dots)
        : FieldWindow(mode == 1 ? "-y" : "0", mode == 1 ? "x" : "-1", mode)
    {
        window.showNormal();
        window.resize(800, 600);
        QCoreApplication::processEvents();
        for (int i = 0; i < dots; ++i) {
            const QPointF at(-4.5 + 9.0 * (i % 40) / 40, -4.5 + 9.0 * (i / 40) / (dots / 40));
            if (mode == 1 && i % 10 == 0) window.mousePressed(at);
            if (mode != 1) window.mouseDragged(at, QVector2D(0.5f, 3.0f));
        }
        for (int i = 0; i < 10; ++i)
            frame();
    }
    void frame()
    {
        window.advanceDots(10);
        QCoreApplication::sendPostedEvents(view()->scene(), QEvent::MetaCall);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    }
};

} // namespace

class TickAllocationsTest : public QObject
{
    Q_OBJECT

private slots:
    void tickAllocatesNothing()
    {
        for (const int mode : {1, 2}) {
            FieldWindow f("SIN(y) - Pq", "theta + x*x", mode);
            QVERIFY(f.ready);
            for (int i = 0; i < 1000; ++i)
                f.window.mouseDragged(QPointF(i % 10, i / 100), {1, 1});
            f.window.advanceDots(10); // the scene schedules its one repaint of the frame
            const Counted counted = count([&] { f.run(50, 10); });
            QCOMPARE(counted.allocations, 0L);
        }
    }

    // Drawing allocates nothing per particle or item: only Qt's fixed handful per frame, all
    // of it freed again within the frame.
    void frameAllocatesNothingPerDot()
    {
        constexpr int kFrames = 50;
        for (const int mode : {1, 2}) {
            long perFrame[2] = {};
            for (const int dots : {1000, 2000}) {
                ShownField f(mode, dots);
                const Counted counted = count([&] {
                    for (int i = 0; i < kFrames; ++i)
                        f.frame();
                });
                QVERIFY2(counted.allocations <= kFrameMachinery * kFrames,
                         qPrintable(QString::number(counted.allocations)));
                QCOMPARE(counted.frees, counted.allocations);
                perFrame[dots / 1000 - 1] = counted.allocations;
            }
            // A thousand more dots: not even one more allocation a frame.
            QVERIFY2(std::abs(perFrame[1] - perFrame[0]) < kFrames,
                     qPrintable(QString("%1 against %2").arg(perFrame[1]).arg(perFrame[0])));
        }
    }

    void countingSeesAllocations()
    {
        const Counted counted = count([] { QString::number(12345.678); });
        QVERIFY(counted.allocations > 0);
        QCOMPARE(counted.frees, counted.allocations);
    }
};

QTEST_MAIN(TickAllocationsTest)
#include "test_tick_allocations.moc"
