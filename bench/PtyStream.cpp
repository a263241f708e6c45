#include "bench/PtyStream.h"

#include <fcntl.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr std::size_t kWriteSize = 4096;
// How often a writer waiting for room in the pty looks whether it should stop.
constexpr int kStopCheckMs = 100;

double threadCpuSeconds()
{
    timespec used{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used);
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
}

} // namespace

const std::vector<std::uint8_t>& streamBytes()
{
    static const std::vector<std::uint8_t> bytes = [] {
        std::vector<std::uint8_t> generated(kStreamSize);
        std::uint32_t state = 0x9E3779B9u;
        for (std::uint8_t& byte : generated) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            byte = static_cast<std::uint8_t>(state >> 24);
        }
        return generated;
    }();
    return bytes;
}

void StreamCheck::take(const void* data, std::size_t size)
{
    if (failed_)
        return;
    const auto* const first = static_cast<const std::uint8_t*>(data);
    const std::uint8_t* const expected = streamBytes().data() + received_;
    const std::size_t comparable = std::min(size, remaining());
    if (std::memcmp(first, expected, comparable) == 0) {
        received_ += comparable;
        failed_ = comparable < size;
        return;
    }
    const std::uint8_t* const wrong = std::mismatch(first, first + comparable, expected).first;
    received_ += static_cast<std::size_t>(wrong - first);
    failed_ = true;
}

std::string StreamCheck::fault() const
{
    if (failed_)
        return received_ == streamBytes().size()
            ? "more bytes arrived than were sent"
            : "a wrong byte at offset " + std::to_string(received_);
    return std::to_string(received_) + " of " + std::to_string(streamBytes().size()) +
        " bytes arrived";
}

MasterWriter::MasterWriter(int masterFd)
    : thread_([this, masterFd] {
          run(masterFd);
          cpuSeconds_ = threadCpuSeconds();
      })
{
}

MasterWriter::~MasterWriter()
{
    finish();
}

double MasterWriter::finish()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    return cpuSeconds_;
}


void MasterWriter::run(int masterFd)
{
    // Non-blocking, so that a writer facing a full pty can still be stopped.
    fcntl(masterFd, F_SETFL, fcntl(masterFd, F_GETFL) | O_NONBLOCK);
    const std::vector<std::uint8_t>& bytes = streamBytes();
    std::size_t offset = 0;
    while (offset < bytes.size() && !stop_) {
        const ssize_t written =
            write(masterFd, bytes.data() + offset, std::min(kWriteSize, bytes.size() - offset));
        if (written > 0) {
            offset += static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EINTR)
            return; // the receiver's check reports the bytes that never came
        pollfd master{masterFd, POLLOUT, 0};
        poll(&master, 1, kStopCheckMs);
    }
}
