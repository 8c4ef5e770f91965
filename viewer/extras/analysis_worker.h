#pragma once

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

// Runs analysis jobs on a thread of its own, one at a time, and hands each job's value to the
// thread that owns the worker (the window's) through that thread's event loop. Only the newest
// request counts: a new one cancels the job that is running (the job polls the flag it is given)
// and replaces one still waiting, and a value that arrives after a newer request is dropped. A
// job must touch nothing that the window may change meanwhile: it works on copies of its own,
// such as a FieldSnapshot taken when it was requested.
class AnalysisWorker : public QObject
{
    Q_OBJECT

public:
    explicit AnalysisWorker(QObject* parent = nullptr);
    // Cancels what runs, drops what waits, and waits for the running job to notice.
    ~AnalysisWorker() override;

    // `job(cancelled)` runs on the worker's thread and returns a value; `deliver(value)` runs on
    // this object's thread afterwards, unless a newer request came or the worker was cancelled
    // or destroyed meanwhile. A job that throws delivers nothing.
    template <class Job, class Deliver> void request(Job job, Deliver deliver)
    {
        submit([job = std::move(job), deliver = std::move(deliver)](
                   const std::atomic<bool>& cancelled) mutable -> std::function<void()> {
            auto value = std::make_shared<decltype(job(cancelled))>(job(cancelled));
            return [deliver, value]() mutable { deliver(std::move(*value)); };
        });
    }

    // Drops the running and the waiting job: nothing is delivered for them.
    void cancel();
    // A request is waiting for its value.
    bool busy() const { return pending; }

private:
    using Delivery = std::function<void()>;
    using Task = std::function<Delivery(const std::atomic<bool>&)>;

    void submit(Task task);
    void run();
    void arrive(unsigned long generation, const Delivery& delivery);

    // Shared with the thread, under the mutex.
    std::mutex mutex;
    std::condition_variable wake;
    Task waiting;
    unsigned long waitingGeneration = 0;
    std::shared_ptr<std::atomic<bool>> runningCancelled;
    bool stopping = false;

    // This object's thread only.
    unsigned long latest = 0;
    bool pending = false;
    std::thread thread;
};
