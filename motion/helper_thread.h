#pragma once

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

// A second thread that waits for work: the caller hands it one job, does its own share
// meanwhile, and waits for both. Kept alive between jobs, so that handing one over costs a
// wake-up and allocates nothing.
class HelperThread
{
public:
    HelperThread();
    ~HelperThread(); // waits for the thread to end
    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;

    // Runs `theirs()` on the helper while the calling thread runs `ours()`, and returns when
    // both are done. An exception from either reaches the caller, after both are done.
    template <class Theirs, class Ours> void RunAlongside(Theirs& theirs, Ours& ours)
    {
        Hand(&Call<Theirs>, &theirs);
        try {
            ours();
        } catch (...) {
            Wait(false);
            throw;
        }
        Wait(true);
    }

private:
    template <class Job> static void Call(void* job) { (*static_cast<Job*>(job))(); }

    void Hand(void (*job)(void*), void* context);
    // Waits for the helper's job; rethrows what it threw when `rethrow` is set.
    void Wait(bool rethrow);
    void Serve();

    std::mutex mutex;
    std::condition_variable changed;
    void (*job)(void*) = nullptr; // set while a job waits or runs
    void* context = nullptr;
    bool stopping = false;
    std::exception_ptr failure;
    std::thread thread; // started last, once everything it reads is ready
};
