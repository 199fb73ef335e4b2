// Work that runs beside the caller's thread, in the order it was handed over, on one thread of the
// lane's own: the export hands it the payee check and the file's hash while it asks the host for
// the next payments. A job touches only what its poster gave it, never the host's objects.
//
//     BackgroundLane lane;
//     const auto ticket = lane.Post([&] { ... });  // raises the failure of an earlier job
//     lane.WaitFor(ticket);                        // that job has run (its buffers are free again)
//     lane.Wait();                                 // every job has run; raises the first failure
//
// A job that raises ends the lane's work: later jobs are dropped, and Post, WaitFor and Wait raise
// that failure on the caller's thread. Where no thread can be started, each job runs at once on
// the caller's thread. Whatever owns a job's data must outlive the lane: the lane's end waits for
// the jobs handed over and drops their failures.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

class BackgroundLane {
public:
    using Ticket = std::uint64_t;

    BackgroundLane();
    ~BackgroundLane();
    BackgroundLane(const BackgroundLane&) = delete;
    BackgroundLane& operator=(const BackgroundLane&) = delete;

    Ticket Post(std::function<void()> job);
    void WaitFor(Ticket ticket);
    void Wait();

private:
    void Run();
    // Under the lock: raises the failure a job left, once it is known.
    void RaiseFailure();

    std::mutex lock_;
    std::condition_variable posted_;
    std::condition_variable done_;
    std::deque<std::function<void()>> jobs_;
    Ticket postedCount_ = 0;
    Ticket doneCount_ = 0;
    std::exception_ptr failure_;
    bool ending_ = false;
    std::thread thread_;
};
