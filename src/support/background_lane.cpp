#include "support/background_lane.h"

#include <system_error>
#include <utility>

BackgroundLane::BackgroundLane()
{
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // No thread: the jobs run on the caller's.
    }
}

BackgroundLane::~BackgroundLane()
{
    if (!thread_.joinable())
        return;
    {
        std::lock_guard<std::mutex> guard(lock_);
        ending_ = true;
    }
    posted_.notify_one();
    thread_.join();
}

BackgroundLane::Ticket BackgroundLane::Post(std::function<void()> job)
{
    if (!thread_.joinable()) {
        RaiseFailure();
        const Ticket ticket = ++postedCount_;
        try {
            job();
        } catch (...) {
            failure_ = std::current_exception();
        }
        doneCount_ = ticket;
        RaiseFailure();
        return ticket;
    }
    Ticket ticket = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        RaiseFailure();
        jobs_.push_back(std::move(job));
        ticket = ++postedCount_;
    }
    posted_.notify_one();
    return ticket;
}

void BackgroundLane::WaitFor(Ticket ticket)
{
    std::unique_lock<std::mutex> guard(lock_);
    done_.wait(guard, [&] { return doneCount_ >= ticket || failure_; });
    RaiseFailure();
}

void BackgroundLane::Wait()
{
    Ticket last = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        last = postedCount_;
    }
    WaitFor(last);
}

void BackgroundLane::RaiseFailure()
{
    if (failure_)
        std::rethrow_exception(failure_);
}

void BackgroundLane::Run()
{
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
        posted_.wait(guard, [&] { return !jobs_.empty() || ending_; });
        if (jobs_.empty())
            return;
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        if (!failure_) {
            guard.unlock();
            std::exception_ptr raised;
            try {
                job();
            } catch (...) {
                raised = std::current_exception();
            }
            job = nullptr;
            guard.lock();
            if (raised)
                failure_ = raised;
        }
        ++doneCount_;
        done_.notify_all();
    }
}
