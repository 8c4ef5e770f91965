// The flow's second thread: both shares done on two threads, and either side's failure passed on.

#include "helper_thread.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

TEST(HelperThread, RunsBothSharesOnTwoThreadsAndPassesOnFailures)
{
    HelperThread helper;
    std::thread::id theirThread;
    int ours = 0;
    auto theirs = [&] { theirThread = std::this_thread::get_id(); };
    auto mine = [&] { ++ours; };
    auto fails = [] { throw std::out_of_range("share failed"); };
    for (int round = 1; round <= 20; ++round) {
        theirThread = {};
        helper.RunAlongside(theirs, mine);
        EXPECT_TRUE(theirThread != std::thread::id() && theirThread != std::this_thread::get_id());
        EXPECT_THROW(helper.RunAlongside(fails, mine), std::out_of_range);
        theirThread = {};
        EXPECT_THROW(helper.RunAlongside(theirs, fails), std::out_of_range);
        EXPECT_NE(theirThread, std::thread::id()); // waited for, though ours failed
        ASSERT_EQ(ours, 2 * round);
    }
}
