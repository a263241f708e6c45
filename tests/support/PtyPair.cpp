#include "tests/support/PtyPair.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

PtyPair::PtyPair()
{
    if (!error().empty()) {
        std::fprintf(stderr, "PtyPair: %s\n", error().c_str());
        std::abort();
    }
}

void PtyPair::write(const void* data, std::size_t size)
{
    if (!writeAll(data, size)) {
        std::perror("PtyPair: write to the master side");
        std::abort();
    }
}

std::vector<std::uint8_t> PtyPair::read(std::size_t count, std::chrono::milliseconds timeout)
{
    return readUpTo(masterFd(), count, timeout);
}

std::vector<std::uint8_t> readUpTo(int fd, std::size_t count, std::chrono::milliseconds timeout)
{
    std::vector<std::uint8_t> bytes;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 10) <= 0)
            continue;
        std::uint8_t chunk[4096];
        const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, count - bytes.size()));
        if (n > 0)
            bytes.insert(bytes.end(), chunk, chunk + n);
        else if (n == 0 || (errno != EINTR && errno != EAGAIN))
            break;
    }
    return bytes;
}
