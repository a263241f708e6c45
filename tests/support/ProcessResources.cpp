#include "tests/support/ProcessResources.h"

#ifdef _WIN32
#include <windows.h>

double processCpuSeconds()
{
    FILETIME unused, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &unused, &unused, &kernel, &user);
    // Counts of 100 ns, in two 32-bit halves.
    return 100e-9 * (kernel.dwLowDateTime + user.dwLowDateTime + 4294967296.0 * (kernel.dwHighDateTime + user.dwHighDateTime));
}

#else
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

double processCpuSeconds()
{
    timespec used{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
}

std::size_t countThreads()
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"), {}));
}

std::size_t residentBytes()
{
    std::size_t pages = 0;
    std::size_t resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}
#endif
