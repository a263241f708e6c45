#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// The pauses of a board's runs, which a run that has ended must not wait out.
// Runs are numbered upwards; ending run n cuts its pause in progress and
// every later pause of runs up to n, while the pauses of a newer run last.
class RunPause
{
public:
    void sleep(std::chrono::milliseconds duration, unsigned int run);
    void endRunsUpTo(unsigned int run);

private:
    std::mutex mutex_;
    std::condition_variable ended_;
    unsigned int lastEndedRun_ = 0;
};
