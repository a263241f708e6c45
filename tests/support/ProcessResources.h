#pragma once

#include <cstddef>

#ifndef _WIN32
#include <atomic>
#include <thread>
#endif

// What this process holds and has used so far.

// CPU seconds all threads of the process have used, user and system time.
double processCpuSeconds();

#ifndef _WIN32
// From /proc: the threads the process has right now.
std::size_t countThreads();
// From /proc: the bytes of the process's memory resident right now.
std::size_t residentBytes();

// The most memory the process had resident while this object lived: looked
// at every 2 ms on a thread of its own.
class ResidentPeak
{
public:
    ResidentPeak();
    ~ResidentPeak();
    ResidentPeak(const ResidentPeak&) = delete;
    ResidentPeak& operator=(const ResidentPeak&) = delete;

    std::size_t bytes() const { return peak_; }

private:
    std::atomic<std::size_t> peak_;
    std::atomic<bool> sampling_{true};
    std::thread sampler_;
};
#endif
