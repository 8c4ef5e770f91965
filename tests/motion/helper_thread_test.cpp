// The flow's second thread: both shares of the work done, on two threads, every time, and a
// failure on either side reaching the caller without losing the thread.

#include "helper_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(HelperThread, RunsBothSharesOnTwoThreads)
{
    HelperThread helper;
    std::vector<int> numbers(1000, 0);
    std::thread::id theirThread;
    for (int round = 1; round <= 50; ++round) {
        auto theirs = [&] {
            theirThread = std::this_thread::get_id();
            for (std::size_t i = 500; i < numbers.size(); ++i)
                numbers[i] += round;
        };
        auto ours = [&] {
            for (std::size_t i = 0; i < 500; ++i)
                numbers[i] += round;
        };
        helper.RunAlongside(theirs, ours);
    }
    for (int n : numbers)
        ASSERT_EQ(n, 50 * 51 / 2);
    EXPECT_NE(theirThread, std::this_thread::get_id());
}

TEST(HelperThread, PassesOnWhatEitherShareThrows)
{
    HelperThread helper;
    std::atomic<int> done{0};
    auto fails = [] { throw std::runtime_error("no memory left"); };
    auto counts = [&] { ++done; };
    for (int round = 0; round < 3; ++round) {
        try {
            helper.RunAlongside(fails, counts);
            ADD_FAILURE() << "the helper's failure was lost";
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), "no memory left");
        }
        EXPECT_THROW(helper.RunAlongside(counts, fails), std::runtime_error);
        helper.RunAlongside(counts, counts); // and it goes on working
    }
    EXPECT_EQ(done, 3 * 4);
}

} // namespace
