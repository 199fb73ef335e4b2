// The lane the export hands its side work to: jobs run in the order given, on a thread of the
// lane's own; a ticket says when its job has run; the first failure stops the lane and reaches
// the caller; the lane's end waits for what it was given.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/background_lane.h"

namespace {

TEST(BackgroundLaneTest, JobsRunInTheirOrderBesideTheCaller)
{
    std::vector<int> order;
    std::thread::id ranOn;
    {
        BackgroundLane lane;
        for (int job = 0; job < 1000; ++job)
            lane.Post([&order, &ranOn, job] {
                order.push_back(job);
                ranOn = std::this_thread::get_id();
            });
        lane.Wait();
        ASSERT_EQ(1000u, order.size());
    }
    for (int job = 0; job < 1000; ++job)
        ASSERT_EQ(job, order[static_cast<size_t>(job)]);
    EXPECT_NE(std::this_thread::get_id(), ranOn);
}

TEST(BackgroundLaneTest, ATicketsJobHasRunWhenItsWaitReturns)
{
    BackgroundLane lane;
    std::atomic<bool> release{false};
    std::atomic<int> done{0};
    lane.Post([&] {
        while (!release)
            std::this_thread::yield();
        ++done;
    });
    const BackgroundLane::Ticket second = lane.Post([&] { ++done; });
    const BackgroundLane::Ticket third = lane.Post([&] { ++done; });
    EXPECT_LT(second, third);
    EXPECT_EQ(0, done.load());
    release = true;
    lane.WaitFor(second);
    EXPECT_GE(done.load(), 2);
    lane.Wait();
    EXPECT_EQ(3, done.load());
}

TEST(BackgroundLaneTest, TheFirstFailureDropsLaterJobsAndReachesTheCaller)
{
    BackgroundLane lane;
    int ran = 0;
    const BackgroundLane::Ticket failing = lane.Post([] { throw std::runtime_error("first"); });
    lane.Post([] { throw std::runtime_error("second"); });
    lane.Post([&] { ++ran; });
    try {
        lane.WaitFor(failing);
        FAIL() << "no failure raised";
    } catch (const std::runtime_error& failure) {
        EXPECT_EQ(std::string("first"), failure.what());
    }
    EXPECT_THROW(lane.Wait(), std::runtime_error);
    EXPECT_THROW(lane.Post([&] { ++ran; }), std::runtime_error);
    EXPECT_EQ(0, ran);
}

TEST(BackgroundLaneTest, ItsEndWaitsForEveryJobAndRaisesNothing)
{
    std::atomic<int> ran{0};
    {
        BackgroundLane lane;
        for (int job = 0; job < 100; ++job)
            lane.Post([&] {
                std::this_thread::yield();
                ++ran;
            });
    }
    EXPECT_EQ(100, ran.load());
    {
        BackgroundLane lane;
        lane.Post([] { throw std::runtime_error("dropped"); });
    }
}

}  // namespace
