#include "flash/RunPause.h"

void RunPause::sleep(std::chrono::milliseconds duration, unsigned int run)
{
    std::unique_lock<std::mutex> guard(mutex_);
    ended_.wait_for(guard, duration, [this, run] { return run <= lastEndedRun_; });
}

void RunPause::endRunsUpTo(unsigned int run)
{
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (run > lastEndedRun_)
            lastEndedRun_ = run;
    }
    ended_.notify_all();
}
