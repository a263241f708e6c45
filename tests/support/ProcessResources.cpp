#include "tests/support/ProcessResources.h"

#ifdef _WIN32
#include <windows.h>

double processCpuSeconds()
{
    FILETIME creation, exit, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user))
        return 0;
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) * 100e-9; // 100 ns ticks
}

#else
#include <time.h>

#include <filesystem>

namespace {

std::size_t countEntries(const char* directory)
{
    std::size_t count = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end; it.increment(error))
        ++count;
    return count;
}

} // namespace

double processCpuSeconds()
{
    timespec used{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
}

std::size_t countThreads()
{
    return countEntries("/proc/self/task");
}

std::size_t countOpenDescriptors()
{
    // The iteration's own descriptor is counted too; it is the same every call.
    return countEntries("/proc/self/fd");
}
#endif
