#include "simulator/ChipSimulator.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

ChipSimulator::ChipSimulator(ChipBehaviour behaviour)
    : behaviour_(std::move(behaviour)), session_(behaviour_), noise_(behaviour_.noiseSeed)
{
    if (!pty_.error().empty()) {
        setupError_ = pty_.error();
        return;
    }
    int stopPipe[2];
    if (pipe(stopPipe) != 0) {
        setupError_ = std::string("cannot create the simulator's stop pipe: ") + std::strerror(errno);
        return;
    }
    stopReadFd_ = stopPipe[0];
    stopWriteFd_ = stopPipe[1];
    thread_ = std::thread(&ChipSimulator::serve, this);
}

ChipSimulator::~ChipSimulator()
{
    if (thread_.joinable()) {
        const char stop = 0;
        ssize_t written;
        while ((written = write(stopWriteFd_, &stop, 1)) < 0 && errno == EINTR) {
        }
        if (written != 1) {
            // Joining now would wait forever.
            std::fprintf(stderr, "ChipSimulator: cannot stop the simulator thread: %s\n", std::strerror(errno));
            std::abort();
        }
        thread_.join();
    }
    if (stopReadFd_ >= 0) {
        close(stopReadFd_);
        close(stopWriteFd_);
    }
}

ChipRecord ChipSimulator::record() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return record_;
}

std::vector<std::uint8_t> ChipSimulator::image() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return record_.image;
}

std::string ChipSimulator::protocolError() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return record_.protocolError;
}

bool ChipSimulator::waitUntil(const std::function<bool(const ChipRecord&)>& condition,
                              std::chrono::milliseconds timeout) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_until(lock, deadline, [&] { return condition(record_); });
}

bool ChipSimulator::waitUntilBootExitAcknowledged(std::chrono::milliseconds timeout) const
{
    return waitUntil([](const ChipRecord& record) { return record.count(ChipMessage::BootExited) > 0; }, timeout);
}

bool ChipSimulator::waitUntilHungUp(std::chrono::milliseconds timeout) const
{
    return waitUntil([](const ChipRecord& record) { return record.hungUp; }, timeout);
}

bool ChipSimulator::waitUntilPortReleased(std::chrono::milliseconds timeout)
{
    pty_.releaseSlave();
    return waitUntil([](const ChipRecord& record) { return record.portReleased; }, timeout);
}

void ChipSimulator::serve()
{
    std::uint8_t chunk[4096];
    for (;;) {
        pollfd fds[] = {{pty_.masterFd(), POLLIN, 0}, {stopReadFd_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0)
            return;
        const ssize_t n = read(pty_.masterFd(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // No program has the port open any more, and nothing can come.
            update([](ChipRecord& record) { record.portReleased = true; });
            return;
        }
        if (!takeChunk(chunk, static_cast<std::size_t>(n), std::chrono::steady_clock::now()))
            return;
    }
}

// Returns false when the simulator thread has to end. After a violation the
// chip only drains the line.
bool ChipSimulator::takeChunk(const std::uint8_t* bytes, std::size_t size,
                              std::chrono::steady_clock::time_point readAt)
{
    for (std::size_t i = 0; i < size && !deaf_; ++i) {
        const ChipFrameParser::Status status = parser_.take(bytes[i], readAt);
        if (status == ChipFrameParser::Status::NeedMore)
            continue;
        const ChipReaction reaction = react(status);
        if (reaction.answer && !writeAnswer(*reaction.answer))
            return false;
        if (reaction.hangUp) {
            hangUp();
            return false;
        }
    }
    return true;
}

ChipReaction ChipSimulator::react(ChipFrameParser::Status status)
{
    ChipReaction reaction;
    update([&](ChipRecord& record) {
        if (status == ChipFrameParser::Status::Violation) {
            record.protocolError = parser_.violation();
        } else {
            const ChipFrame& frame = parser_.frame();
            record.events.push_back({frame.message, frame.block, frame.firstByteAt});
            reaction = session_.handle(frame, record);
        }
        deaf_ = !record.protocolError.empty();
    });
    return reaction;
}

// Returns false when asked to stop during a pause, or when the line is gone.
bool ChipSimulator::writeAnswer(const ChipAnswer& answer)
{
    using Mode = ChipBehaviour::Mode;
    const std::vector<std::uint8_t>& bytes = answer.bytes;
    if (behaviour_.mode == Mode::Slow && stopRequestedWithin(behaviour_.replyDelay))
        return false;
    std::size_t firstPart = 0;
    if (behaviour_.mode == Mode::Split && bytes.size() > 1) {
        firstPart = std::clamp<std::size_t>(behaviour_.splitAt, 1, bytes.size() - 1);
        if (!pty_.writeAll(bytes.data(), firstPart) || stopRequestedWithin(behaviour_.splitGap))
            return false;
    }
    if (!writeAndRecord(answer.message, {bytes.begin() + static_cast<std::ptrdiff_t>(firstPart), bytes.end()}))
        return false;
    return behaviour_.mode != Mode::Noise || writeAndRecord(ChipMessage::Noise, noise_.next());
}

// Writes the bytes, or the last part of them, and records `message` as
// written at that moment.
bool ChipSimulator::writeAndRecord(ChipMessage message, const std::vector<std::uint8_t>& bytes)
{
    if (!pty_.writeAll(bytes.data(), bytes.size()))
        return false;
    const auto writtenAt = std::chrono::steady_clock::now();
    update([&](ChipRecord& record) { record.events.push_back({message, 0, writtenAt}); });
    return true;
}

bool ChipSimulator::stopRequestedWithin(std::chrono::milliseconds wait) const
{
    pollfd fd{stopReadFd_, POLLIN, 0};
    const auto longestPoll = std::chrono::milliseconds(std::numeric_limits<int>::max());
    return poll(&fd, 1, static_cast<int>(std::min(wait, longestPoll).count())) > 0;
}

void ChipSimulator::hangUp()
{
    pty_.hangUp();
    update([](ChipRecord& record) { record.hungUp = true; });
}
