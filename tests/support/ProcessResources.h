#pragma once

#include <cstddef>

// What this process holds and has used so far.

// CPU seconds all threads of the process have used, user and system time.
double processCpuSeconds();

#ifndef _WIN32
// From /proc: the threads the process has right now.
std::size_t countThreads();
// From /proc: the bytes of the process's memory resident right now.
std::size_t residentBytes();
#endif
