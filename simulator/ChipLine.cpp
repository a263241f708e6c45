#include "simulator/ChipLine.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using Clock = ChipLine::Clock;

constexpr std::int64_t kBitsPerByte = 10; // start bit, 8 data bits, stop bit
constexpr std::int64_t kNanosecondsPerSecond = 1000000000;

std::chrono::nanoseconds byteTimeAt(std::uint32_t baud)
{
    if (baud == 0)
        return std::chrono::nanoseconds(0);
    return std::chrono::nanoseconds((kBitsPerByte * kNanosecondsPerSecond + baud / 2) / baud);
}

timespec timeLeftUntil(Clock::time_point deadline)
{
    const auto left = std::max(Clock::duration::zero(), deadline - Clock::now());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
    const auto rest = std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds);
    return {static_cast<time_t>(seconds.count()), static_cast<long>(rest.count())};
}

bool makeNonBlocking(int fd)
{
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 && fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

} // namespace

ChipLine::ChipLine(std::uint32_t baud)
    : byteTime_(byteTimeAt(baud))
{
    if (!pty_.error().empty()) {
        error_ = pty_.error();
        return;
    }
    int wakePipe[2];
    if (pipe(wakePipe) != 0) {
        error_ = std::string("cannot create the simulator's wake-up pipe: ") + std::strerror(errno);
        return;
    }
    wakeReadFd_ = wakePipe[0];
    wakeWriteFd_ = wakePipe[1];
    // The simulator thread drains the pipe; a waker that finds it full has
    // nothing to add, as a wake-up is pending already.
    if (!makeNonBlocking(wakeReadFd_) || !makeNonBlocking(wakeWriteFd_))
        error_ = std::string("cannot set up the simulator's wake-up pipe: ") + std::strerror(errno);
}

ChipLine::~ChipLine()
{
    if (wakeReadFd_ >= 0) {
        close(wakeReadFd_);
        close(wakeWriteFd_);
    }
}

void ChipLine::wake()
{
    woken_.store(true);
    const char byte = 0;
    ssize_t written;
    while ((written = ::write(wakeWriteFd_, &byte, 1)) < 0 && errno == EINTR) {
    }
    if (written != 1 && errno != EAGAIN) {
        // The simulator thread would sleep on; whoever waits for it would hang.
        std::fprintf(stderr, "ChipLine: cannot wake the simulator thread: %s\n", std::strerror(errno));
        std::abort();
    }
}

ChipLine::Wait ChipLine::waitUntil(Clock::time_point deadline)
{
    return readUntil(&deadline) ? Wait::Done : Wait::Woken;
}

ChipLine::Wait ChipLine::waitForByte()
{
    while (received_.empty()) {
        if (programGone_)
            return Wait::Closed;
        if (!readUntil(nullptr))
            return Wait::Woken;
    }
    return Wait::Done;
}

ChipLine::Byte ChipLine::takeByte()
{
    const Byte byte = received_.front();
    received_.pop_front();
    return byte;
}

Clock::time_point ChipLine::sendThroughWire(Clock::time_point ready)
{
    outboundFreeAt_ = std::max(ready, outboundFreeAt_) + byteTime_;
    return outboundFreeAt_;
}

bool ChipLine::readUntil(const Clock::time_point* deadline)
{
    for (;;) {
        if (woken_.load())
            return false;
        timespec timeout{};
        if (deadline != nullptr) {
            if (Clock::now() >= *deadline)
                return true;
            timeout = timeLeftUntil(*deadline);
        }
        // ppoll, not poll: a wire's byte times are far below a millisecond.
        pollfd fds[] = {{wakeReadFd_, POLLIN, 0}, {programGone_ ? -1 : pty_.masterFd(), POLLIN, 0}};
        if (ppoll(fds, 2, deadline != nullptr ? &timeout : nullptr, nullptr) < 0) {
            if (errno == EINTR)
                continue;
            // Cannot happen with these arguments; the line counts as dead
            // rather than being polled in a loop.
            programGone_ = true;
            return true;
        }
        if (fds[0].revents != 0) {
            char drained[64];
            while (read(wakeReadFd_, drained, sizeof drained) > 0) {
            }
        }
        if (fds[1].revents != 0) {
            readAvailable();
            if (deadline == nullptr)
                return true;
        }
    }
}

void ChipLine::readAvailable()
{
    std::uint8_t chunk[4096];
    ssize_t n;
    while ((n = read(pty_.masterFd(), chunk, sizeof chunk)) < 0 && errno == EINTR) {
    }
    if (n <= 0) {
        // No program has the port open any more, and nothing can come.
        programGone_ = true;
        return;
    }
    const Clock::time_point readAt = Clock::now();
    for (ssize_t i = 0; i < n; ++i) {
        Clock::time_point arrivedAt = readAt;
        if (hasWire())
            arrivedAt = inboundFreeAt_ = std::max(readAt, inboundFreeAt_) + byteTime_;
        received_.push_back({chunk[i], readAt, arrivedAt});
    }
}
