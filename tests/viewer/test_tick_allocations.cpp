#include "allocation_counter.h"
#include "viewer_test_support.h"

#include <QtTest>

class TickAllocationsTest : public QObject
{
    Q_OBJECT

private slots:
    // Ticking, a hundred times a second, touches no heap; a painted frame takes Qt's fixed
    // handful, freed within it, and a thousand more dots add not one.
    void framesAllocateNothingPerDot()
    {
        constexpr int kFrames = 50;
        for (const int mode : {1, 2}) {
            long perRun[2] = {};
            for (const int dots : {1000, 2000}) {
                FieldWindow f("SIN(y) - Pq", "theta - x", mode);
                f.window.showNormal();
                f.window.resize(800, 600);
                QVERIFY(f.ready && QTest::qWaitForWindowExposed(&f.window));
                for (int i = 0; i < dots; i += mode == 1 ? 10 : 1) { // rings, or launched dots
                    const QPointF at(-4.5 + 9.0 * (i % 40) / 40,
                                     -4.5 + 9.0 * (i / 40) / (dots / 40));
                    if (mode == 1) f.window.mousePressed(at);
                    if (mode == 2) f.window.mouseDragged(at, QVector2D(0.5f, 3.0f));
                }
                const auto frames = [&](int count, bool painted) {
                    for (int i = 0; i < count; ++i) {
                        f.window.advanceDots(10);
                        if (!painted) continue;
                        QCoreApplication::sendPostedEvents(f.view()->scene(), QEvent::MetaCall);
                        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
                    }
                };
                frames(10, true);
                const long allocations = AllocationCount(), frees = FreeCount();
                frames(kFrames, true);
                long& counted = perRun[dots / 2000];
                counted = AllocationCount() - allocations;
                const long freed = FreeCount() - frees;
                // Some, or the counter would not be counting.
                QVERIFY2(counted > 0 && counted <= 32 * kFrames,
                         qPrintable(QString::number(counted)));
                QCOMPARE(freed, counted);

                f.window.advanceDots(10); // the scene posts its one repaint of the frame
                const long ticked = AllocationCount();
                frames(kFrames, false);
                QCOMPARE(AllocationCount() - ticked, 0L);
            }
            QVERIFY2(std::abs(perRun[1] - perRun[0]) < kFrames,
                     qPrintable(QString("%1 against %2").arg(perRun[1]).arg(perRun[0])));
        }
    }
};

QTEST_MAIN(TickAllocationsTest)
#include "test_tick_allocations.moc"
