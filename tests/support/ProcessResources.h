#pragma once

#include <cstddef>

// What this process holds right now, from /proc: threads and open file descriptors.
std::size_t countThreads();
std::size_t countOpenDescriptors();
