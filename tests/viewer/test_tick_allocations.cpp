// The animation runs a hundred times a second: its tick must not touch the heap, and drawing
// must not allocate per particle.

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
            FieldWindow f("SIN(y) - Pq", "theta + x*x", mode);
            QVERIFY(f.ready);
            for (int i = 0; i < 1000; ++i)
                f.window.mouseDragged(QPointF(i % 10, i / 100), {1, 1});
            f.window.advanceDots(10); // the scene schedules its one repaint of the frame
            const long before = AllocationCount();
            f.run(50, 10);
            QCOMPARE(AllocationCount() - before, 0L);
        }
    }

    // A frame is a tick and what the event loop does after it: the scene reports what moved
    // and the view has the window paint it. Qt's own machinery of a frame (painters, the paint
    // event's regions, the scene's queued call) takes a fixed handful, all freed within the
    // frame; a thousand more dots add not even one allocation a frame.
    void frameAllocatesNothingPerDot()
    {
        constexpr int kFrames = 50;
        for (const int mode : {1, 2}) {
            long perRun[2] = {};
            for (const int dots : {1000, 2000}) {
                FieldWindow f(mode == 1 ? "-y" : "0", mode == 1 ? "x" : "-1", mode);
                f.window.showNormal();
                f.window.resize(800, 600);
                QCoreApplication::processEvents();
                for (int i = 0; i < dots; ++i) {
                    const QPointF at(-4.5 + 9.0 * (i % 40) / 40,
                                     -4.5 + 9.0 * (i / 40) / (dots / 40));
                    if (mode == 1 && i % 10 == 0) f.window.mousePressed(at);
                    if (mode != 1) f.window.mouseDragged(at, QVector2D(0.5f, 3.0f));
                }
                const auto frames = [&](int count) {
                    for (int i = 0; i < count; ++i) {
                        f.window.advanceDots(10);
                        QCoreApplication::sendPostedEvents(f.view()->scene(), QEvent::MetaCall);
                        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
                    }
                };
                frames(10);
                const long allocations = AllocationCount(), frees = FreeCount();
                frames(kFrames);
                long& counted = perRun[dots / 2000];
                counted = AllocationCount() - allocations;
                const long freed = FreeCount() - frees;
                // Some, or the counter would not be counting.
                QVERIFY2(counted > 0 && counted <= 32 * kFrames,
                         qPrintable(QString::number(counted)));
                QCOMPARE(freed, counted);
            }
            QVERIFY2(std::abs(perRun[1] - perRun[0]) < kFrames,
                     qPrintable(QString("%1 against %2").arg(perRun[1]).arg(perRun[0])));
        }
    }
};

QTEST_MAIN(TickAllocationsTest)
#include "test_tick_allocations.moc"
