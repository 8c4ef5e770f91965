#include "analysis_worker.h"

AnalysisWorker::AnalysisWorker(QObject* parent) : QObject(parent) {}

AnalysisWorker::~AnalysisWorker()
{
    {
        const std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
        waiting = nullptr;
        if (runningCancelled) *runningCancelled = true;
    }
    wake.notify_all();
    // Values it posted before it stopped die with this object's pending events.
    if (thread.joinable()) thread.join();
}

void AnalysisWorker::submit(Task task)
{
    const unsigned long generation = ++latest;
    pending = true;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        waiting = std::move(task);
        waitingGeneration = generation;
        if (runningCancelled) *runningCancelled = true;
    }
    wake.notify_one();
    if (!thread.joinable()) thread = std::thread([this] { run(); });
}

void AnalysisWorker::cancel()
{
    ++latest; // whatever is on its way is stale now
    pending = false;
    const std::lock_guard<std::mutex> lock(mutex);
    waiting = nullptr;
    if (runningCancelled) *runningCancelled = true;
}

void AnalysisWorker::run()
{
    for (;;) {
        Task task;
        unsigned long generation = 0;
        std::shared_ptr<std::atomic<bool>> cancelled;
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait(lock, [this] { return stopping || waiting; });
            if (stopping) return;
            task = std::move(waiting);
            waiting = nullptr;
            generation = waitingGeneration;
            // A flag per job: cancelling this one must not cancel the next.
            cancelled = std::make_shared<std::atomic<bool>>(false);
            runningCancelled = cancelled;
        }
        Delivery delivery;
        try {
            delivery = task(*cancelled);
        } catch (...) {
            delivery = nullptr; // cleared as busy when it arrives, with nothing to hand over
        }
        {
            const std::lock_guard<std::mutex> lock(mutex);
            runningCancelled.reset();
        }
        if (cancelled->load()) continue; // a newer request, or none wanted any more
        QMetaObject::invokeMethod(
            this, [this, generation, delivery] { arrive(generation, delivery); },
            Qt::QueuedConnection);
    }
}

void AnalysisWorker::arrive(unsigned long generation, const Delivery& delivery)
{
    if (generation != latest) return;
    pending = false;
    if (delivery) delivery();
}
