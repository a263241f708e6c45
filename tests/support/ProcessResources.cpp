#include "tests/support/ProcessResources.h"

#include <filesystem>

namespace {

std::size_t countEntries(const char* directory)
{
    std::size_t count = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end;
         it.increment(error))
        ++count;
    return count;
}

} // namespace

std::size_t countThreads()
{
    return countEntries("/proc/self/task");
}

std::size_t countOpenDescriptors()
{
    // The iteration's own descriptor is counted too; it is the same every call.
    return countEntries("/proc/self/fd");
}
