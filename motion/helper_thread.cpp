#include "helper_thread.h"

HelperThread::HelperThread() : thread([this] { Serve(); }) {}

HelperThread::~HelperThread()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    thread.join();
}

void HelperThread::Hand(void (*newJob)(void*), void* newContext)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        job = newJob;
        context = newContext;
        failure = nullptr;
    }
    changed.notify_all();
}

void HelperThread::Wait(bool rethrow)
{
    std::exception_ptr thrown;
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return job == nullptr; });
        thrown = std::move(failure);
    }
    if (rethrow && thrown) std::rethrow_exception(thrown);
}

void HelperThread::Serve()
{
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return job != nullptr || stopping; });
        if (stopping) return;
        void (*const run)(void*) = job;
        void* const on = context;
        lock.unlock();
        std::exception_ptr thrown;
        try {
            run(on);
        } catch (...) {
            thrown = std::current_exception();
        }
        lock.lock();
        failure = std::move(thrown);
        job = nullptr;
        changed.notify_all();
    }
}
