#include "tests/support/ChipSimulator.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

[[noreturn]] void die(const char* what)
{
    std::fprintf(stderr, "ChipSimulator: %s: %s\n", what, std::strerror(errno));
    std::abort();
}

} // namespace

ChipSimulator::ChipSimulator(ChipBehaviour behaviour)
    : behaviour_(std::move(behaviour)), session_(behaviour_)
{
    // With no slave descriptor open, the master reports a hang-up on every
    // poll. Holding one keeps the line quiet before the program opens the port
    // and after it closes it, so the simulator thread never spins.
    heldSlaveFd_ = open(slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (heldSlaveFd_ < 0)
        die("cannot open the slave side");
    int stopPipe[2];
    if (pipe2(stopPipe, O_CLOEXEC) != 0)
        die("cannot create the stop pipe");
    stopReadFd_ = stopPipe[0];
    stopWriteFd_ = stopPipe[1];
    thread_ = std::thread(&ChipSimulator::serve, this);
}

ChipSimulator::~ChipSimulator()
{
    const char stop = 0;
    if (write(stopWriteFd_, &stop, 1) != 1)
        die("cannot stop the simulator thread");
    thread_.join();
    close(stopReadFd_);
    close(stopWriteFd_);
    close(heldSlaveFd_);
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

void ChipSimulator::serve()
{
    std::uint8_t chunk[4096];
    for (;;) {
        pollfd fds[] = {{pty_.masterFd(), POLLIN, 0}, {stopReadFd_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            die("poll");
        }
        if (fds[1].revents != 0)
            return;
        const ssize_t n = read(pty_.masterFd(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // the line is gone; nothing more can come
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

// Returns false when asked to stop between the halves of a split answer.
bool ChipSimulator::writeAnswer(const ChipAnswer& answer)
{
    const std::vector<std::uint8_t>& bytes = answer.bytes;
    if (behaviour_.fault == ChipBehaviour::Fault::SplitReplies) {
        const std::size_t firstHalf = bytes.size() / 2;
        pty_.write(bytes.data(), firstHalf);
        if (stopRequestedWithin(behaviour_.splitGap))
            return false;
        pty_.write(bytes.data() + firstHalf, bytes.size() - firstHalf);
    } else {
        pty_.write(bytes);
    }
    const auto writtenAt = std::chrono::steady_clock::now();
    update([&](ChipRecord& record) { record.events.push_back({answer.message, 0, writtenAt}); });
    return true;
}

bool ChipSimulator::stopRequestedWithin(std::chrono::milliseconds wait) const
{
    pollfd fd{stopReadFd_, POLLIN, 0};
    return poll(&fd, 1, static_cast<int>(wait.count())) > 0;
}

void ChipSimulator::hangUp()
{
    pty_.closeMaster();
    update([](ChipRecord& record) { record.hungUp = true; });
}
