// The analysis worker: jobs on a thread of their own, their values on the window's thread, only
// the newest request's value, nothing after cancelling or closing.

#include "analysis_worker.h"

#include <QtTest>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

// A job that runs until it is cancelled, then answers `value`; it records that it ran and ended.
struct Endless
{
    int value;
    std::shared_ptr<std::atomic<int>> state; // 0 waiting, 1 running, 2 ended
    int operator()(const std::atomic<bool>& cancelled) const
    {
        *state = 1;
        while (!cancelled.load())
            std::this_thread::yield();
        *state = 2;
        return value;
    }
};

std::shared_ptr<std::atomic<int>> freshState()
{
    return std::make_shared<std::atomic<int>>(0);
}

} // namespace

class WorkerTest : public QObject
{
    Q_OBJECT

private slots:
    // The job runs on the worker's thread, the value arrives on this one.
    void valuesArriveOnTheOwnersThread()
    {
        AnalysisWorker worker;
        std::thread::id jobThread;
        QThread* deliveredOn = nullptr;
        std::vector<int> delivered;
        worker.request(
            [&jobThread](const std::atomic<bool>&) {
                jobThread = std::this_thread::get_id();
                return 42;
            },
            [&](int value) {
                deliveredOn = QThread::currentThread();
                delivered.push_back(value);
            });
        QVERIFY(worker.busy());
        QVERIFY(delivered.empty()); // only through the event loop
        QTRY_VERIFY(!worker.busy());
        QCOMPARE(delivered, std::vector<int>{42});
        QCOMPARE(deliveredOn, QThread::currentThread());
        QVERIFY(jobThread != std::this_thread::get_id());
    }

    // A newer request cancels the running job and replaces the waiting one; only its value
    // arrives.
    void theNewestRequestWins()
    {
        AnalysisWorker worker;
        std::vector<int> delivered;
        const auto keep = [&delivered](int value) { delivered.push_back(value); };
        const auto first = freshState(), second = freshState();
        worker.request(Endless{1, first}, keep);
        QTRY_COMPARE(first->load(), 1);
        worker.request(Endless{2, second}, keep);                         // cancels the first
        worker.request([](const std::atomic<bool>&) { return 3; }, keep); // replaces the second
        QTRY_VERIFY(!worker.busy());
        QCOMPARE(first->load(), 2);
        QVERIFY(second->load() != 1); // never ran, or was cancelled in its turn
        QCOMPARE(delivered, std::vector<int>{3});
        // The worker goes on with later requests.
        worker.request([](const std::atomic<bool>&) { return 4; }, keep);
        QTRY_COMPARE(delivered, (std::vector<int>{3, 4}));
    }

    // Cancelled, a job ends and delivers nothing; a job that throws delivers nothing either.
    void cancelledOrFailedJobsDeliverNothing()
    {
        AnalysisWorker worker;
        int deliveries = 0;
        const auto state = freshState();
        worker.request(Endless{1, state}, [&deliveries](int) { ++deliveries; });
        QTRY_COMPARE(state->load(), 1);
        worker.cancel();
        QVERIFY(!worker.busy());
        QTRY_COMPARE(state->load(), 2);
        worker.request([](const std::atomic<bool>&) -> int { throw std::runtime_error("no"); },
                       [&deliveries](int) { ++deliveries; });
        QTRY_VERIFY(!worker.busy());
        QTest::qWait(20);
        QCOMPARE(deliveries, 0);
    }

    // Destroyed while a job runs: it is cancelled and waited for; nothing arrives afterwards.
    void destroyedWhileRunning()
    {
        int deliveries = 0;
        const auto state = freshState();
        {
            AnalysisWorker worker;
            worker.request(Endless{1, state}, [&deliveries](int) { ++deliveries; });
            QTRY_COMPARE(state->load(), 1);
        }
        QCOMPARE(state->load(), 2);
        QTest::qWait(20);
        QCOMPARE(deliveries, 0);
        AnalysisWorker idle; // never asked for anything: no thread to end
    }
};

QTEST_MAIN(WorkerTest)
#include "test_worker.moc"
