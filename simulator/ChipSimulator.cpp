#include "simulator/ChipSimulator.h"

#include <algorithm>
#include <utility>

ChipSimulator::ChipSimulator(ChipBehaviour behaviour)
    : behaviour_(std::move(behaviour)), line_(behaviour_.wireBaud), setupError_(line_.error()), session_(behaviour_),
      noise_(behaviour_.noiseSeed)
{
    if (!setupError_.empty())
        return;
    serving_ = true;
    thread_ = std::thread(&ChipSimulator::serve, this);
}

ChipSimulator::~ChipSimulator()
{
    if (!thread_.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopRequested_ = true;
    }
    line_.wake();
    thread_.join();
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

std::vector<ChipRecord> ChipSimulator::earlierBoards() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return earlierBoards_;
}

void ChipSimulator::removeBoard()
{
    changeBoard(BoardChange::Remove);
}

void ChipSimulator::newBoard()
{
    changeBoard(BoardChange::Insert);
}

bool ChipSimulator::waitUntil(const std::function<bool(const ChipRecord&)>& condition,
                              std::chrono::milliseconds timeout) const
{
    const auto deadline = Clock::now() + timeout;
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
    line_.releaseSlave();
    return waitUntil([](const ChipRecord& record) { return record.portReleased; }, timeout);
}

void ChipSimulator::serve()
{
    while (serveBoard() == Flow::Interrupted && applyRequests()) {
    }
    // Board changes asked for too late to be served still show in the record.
    update([this](ChipRecord&) {
        applyToRecord(boardChanges_);
        boardChanges_.clear();
        serving_ = false;
    });
}

ChipSimulator::Flow ChipSimulator::serveBoard()
{
    for (;;) {
        if (line_.woken() && requestPending())
            return Flow::Interrupted;
        switch (line_.waitForByte()) {
        case ChipLine::Wait::Closed:
            update([](ChipRecord& record) { record.portReleased = true; });
            return Flow::Ended;
        case ChipLine::Wait::Woken: continue;
        case ChipLine::Wait::Done: break;
        }
        const Flow flow = take(line_.takeByte());
        if (flow != Flow::Carry)
            return flow;
    }
}

// With no board on the line, and after a violation, the chip only drains it.
ChipSimulator::Flow ChipSimulator::take(const ChipLine::Byte& byte)
{
    if (!boardPresent_)
        return Flow::Carry;
    if (behaviour_.busyDrop && byte.arrivedAt >= writing_.from && byte.arrivedAt < writing_.until) {
        loseByte();
        return Flow::Carry;
    }
    if (deaf_)
        return Flow::Carry;
    const ChipFrameParser::Status status = parser_.take(byte.value, byte.sentAt);
    if (status == ChipFrameParser::Status::NeedMore)
        return Flow::Carry;

    // The chip sees a frame once its last byte is in, and gets to it once it
    // is done with what it did before.
    Clock::time_point at = std::max(byte.arrivedAt, busyUntil_);
    Flow flow = pauseUntil(at);
    if (flow != Flow::Carry)
        return flow;
    const ChipReaction reaction = react(status);
    flow = respond(reaction, parser_.frame().block, at);
    if (flow == Flow::Carry) // else abandoned: nothing keeps the chip busy
        busyUntil_ = at;
    return flow;
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

// Carries out the reaction from `at` on, the moment the chip has the frame;
// `at` becomes the moment it is done.
ChipSimulator::Flow ChipSimulator::respond(const ChipReaction& reaction, std::uint16_t block, Clock::time_point& at)
{
    if (reaction.hangUp) {
        hangUp();
        return Flow::Ended;
    }
    Flow flow = Flow::Carry;
    if (reaction.writesBlock && !behaviour_.ackBeforeWrite)
        flow = writeBlock(block, at);
    if (flow == Flow::Carry && reaction.answer)
        flow = answer(*reaction.answer, at);
    if (flow == Flow::Carry && reaction.writesBlock && behaviour_.ackBeforeWrite)
        flow = writeBlock(block, at);
    return flow;
}

// The chip takes no frame while it writes: what comes meanwhile waits for it,
// or is lost with busyDrop.
ChipSimulator::Flow ChipSimulator::writeBlock(std::uint16_t block, Clock::time_point& at)
{
    if (behaviour_.writeTime.count() == 0)
        return Flow::Carry;
    writing_ = {block, at, at + behaviour_.writeTime};
    at = writing_.until;
    return pauseUntil(at);
}

ChipSimulator::Flow ChipSimulator::answer(const ChipAnswer& answer, Clock::time_point& at)
{
    using Mode = ChipBehaviour::Mode;
    const std::vector<std::uint8_t>& bytes = answer.bytes;
    if (behaviour_.mode == Mode::Slow)
        at += behaviour_.replyDelay;
    std::size_t firstPart = 0;
    if (behaviour_.mode == Mode::Split && bytes.size() > 1) {
        firstPart = std::clamp<std::size_t>(behaviour_.splitAt, 1, bytes.size() - 1);
        const Flow flow = send({bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(firstPart)}, at, {});
        if (flow != Flow::Carry)
            return flow;
        at += behaviour_.splitGap;
    }
    const Flow flow = send({bytes.begin() + static_cast<std::ptrdiff_t>(firstPart), bytes.end()}, at, answer.message);
    if (flow != Flow::Carry || behaviour_.mode != Mode::Noise)
        return flow;
    return send(noise_.next(), at, ChipMessage::Noise);
}

// Puts the bytes on the line from `at` on: without a wire in one write, with
// one each byte when it has crossed it. Records `recordAs`, if any, as
// written when the last byte was; `at` becomes the moment it is in.
ChipSimulator::Flow ChipSimulator::send(const std::vector<std::uint8_t>& bytes, Clock::time_point& at,
                                        std::optional<ChipMessage> recordAs)
{
    const std::size_t step = line_.hasWire() ? 1 : std::max<std::size_t>(bytes.size(), 1);
    Clock::time_point writtenAt = Clock::now();
    for (std::size_t sent = 0; sent < bytes.size(); sent += step) {
        if (line_.hasWire())
            at = line_.sendThroughWire(at);
        const Flow flow = pauseUntil(at);
        if (flow != Flow::Carry)
            return flow;
        // Taken before the write: no program can have the bytes sooner, even
        // when the write hands the processor to it.
        writtenAt = Clock::now();
        if (!line_.write(bytes.data() + sent, step))
            return Flow::Ended;
    }
    if (recordAs)
        update([&](ChipRecord& record) { record.events.push_back({*recordAs, 0, writtenAt}); });
    return Flow::Carry;
}

ChipSimulator::Flow ChipSimulator::pauseUntil(Clock::time_point deadline)
{
    while (line_.waitUntil(deadline) == ChipLine::Wait::Woken) {
        if (requestPending())
            return Flow::Interrupted;
    }
    return Flow::Carry;
}

// Lost bytes leave a gap in the stream that the chip cannot see past: the
// frame they belonged to is cut short, and what follows cannot be trusted.
// The chip treats the loss as the violation the cut frame would end in, so
// that what the surviving bytes happen to look like never matters.
void ChipSimulator::loseByte()
{
    update([&](ChipRecord& record) {
        ++record.droppedBytes;
        if (record.protocolError.empty())
            record.protocolError =
                "bytes came while block " + std::to_string(writing_.block) + " was being written, and were lost";
    });
    deaf_ = true;
}

void ChipSimulator::hangUp()
{
    line_.hangUp();
    update([](ChipRecord& record) { record.hungUp = true; });
}

bool ChipSimulator::requestPending()
{
    line_.clearWake();
    std::lock_guard<std::mutex> lock(mutex_);
    return stopRequested_ || !boardChanges_.empty();
}

// Returns false when the simulator thread is to end.
bool ChipSimulator::applyRequests()
{
    std::vector<BoardChange> changes;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopRequested_)
            return false;
        changes.swap(boardChanges_);
    }
    if (changes.empty())
        return true;
    line_.discardReceived();
    if (std::find(changes.begin(), changes.end(), BoardChange::Insert) != changes.end()) {
        parser_ = ChipFrameParser();
        session_ = BootloaderSession(behaviour_);
        noise_ = LineNoise(behaviour_.noiseSeed);
        deaf_ = false;
        writing_ = BlockWrite();
    }
    boardPresent_ = changes.back() == BoardChange::Insert;
    update([&](ChipRecord&) { applyToRecord(changes); });
    return true;
}

void ChipSimulator::changeBoard(BoardChange change)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (!serving_) {
        applyToRecord({change});
        lock.unlock();
        changed_.notify_all();
        return;
    }
    boardChanges_.push_back(change);
    const std::size_t ticket = ++boardChangesRequested_;
    lock.unlock();
    line_.wake();
    lock.lock();
    changed_.wait(lock, [&] { return boardChangesApplied_ >= ticket || !serving_; });
}

// Under the lock.
void ChipSimulator::applyToRecord(const std::vector<BoardChange>& changes)
{
    for (const BoardChange change : changes) {
        if (change != BoardChange::Insert)
            continue;
        ChipRecord fresh;
        fresh.hungUp = record_.hungUp;
        fresh.portReleased = record_.portReleased;
        earlierBoards_.push_back(std::move(record_));
        record_ = std::move(fresh);
    }
    boardChangesApplied_ += changes.size();
}
