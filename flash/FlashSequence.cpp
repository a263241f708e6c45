#include "flash/FlashSequence.h"

#include "flash/DeviceFrames.h"
#include "flash/StatusLine.h"

#include <new>

namespace {

// How long the device needs after each kind of write before it can answer.
constexpr unsigned int kAfterBootModeRequestMs = 5;
constexpr unsigned int kBeforeFirstFrameMs = 1000;
constexpr unsigned int kAfterFirstFrameMs = 100;
constexpr unsigned int kAfterFullBlockMs = 300;
constexpr unsigned int kAfterLastBlockMs = 5;
constexpr unsigned int kAfterControlFrameMs = 5;

// The pause after writing block `block` of `blockCount`: block 1 always gets
// the pause of the first frame, even when it is the last one.
unsigned int pauseAfterBlock(std::uint32_t block, std::uint32_t blockCount)
{
    if (block == 1)
        return kAfterFirstFrameMs;
    return block == blockCount ? kAfterLastBlockMs : kAfterFullBlockMs;
}

// The pauses after blocks `first` to `blockCount`.
std::chrono::milliseconds pausesAfterBlocks(std::uint32_t first, std::uint32_t blockCount)
{
    std::uint64_t total = 0;
    if (first == 1 && blockCount >= 1) {
        total += kAfterFirstFrameMs;
        first = 2;
    }
    if (first <= blockCount) {
        total += std::uint64_t{blockCount - first} * kAfterFullBlockMs + kAfterLastBlockMs;
    }
    return std::chrono::milliseconds(total);
}

} // namespace

FlashSequence::FlashSequence(SequenceHost& host) : host_(host), timer_([this] { onTimer(); })
{
}

FlashSequence::~FlashSequence() = default;

void FlashSequence::setReplyDeadline(std::chrono::milliseconds deadline)
{
    Lock lock(mutex_);
    replyDeadline_ = deadline;
}

void FlashSequence::sendPortOpenNotice()
{
    host_.send(PortOpenNotice.data(), PortOpenNotice.size());
}

void FlashSequence::startFlash(const char* firmwarePath)
{
    Lock lock(mutex_);
    if (!beginRun(lock))
        return;
    if (!factoryResetPending_) {
        announce(QStringLiteral("Reading..."));
        if (!loader_.loadFirmwareFile(firmwarePath, host_)) {
            const QString failure = QStringLiteral("Firmware file read error");
            announce(failure);
            endRun(RunOutcome::ImageRefused, failure);
            return;
        }
    }
    requestBootMode(lock);
}

void FlashSequence::startFlash(std::shared_ptr<const FirmwareImage> image)
{
    Lock lock(mutex_);
    if (!image || !beginRun(lock))
        return;
    loader_.hold(std::move(image));
    requestBootMode(lock);
}

void FlashSequence::startFactoryReset()
{
    Lock lock(mutex_);
    if (running_)
        return;
    announce(QStringLiteral("Restoring factory settings..."));
    factoryResetPending_ = true;
    beginRun(lock);
    requestBootMode(lock);
}

void FlashSequence::cancel()
{
    Lock lock(mutex_);
    if (!running_)
        return;
    const QString text = QStringLiteral("Run cancelled.");
    announce(text);
    endRun(RunOutcome::Cancelled, text);
}

void FlashSequence::onPortLost(const char* portName)
{
    Lock lock(mutex_);
    const QString text = QStringLiteral("Port lost: ") + QString::fromLocal8Bit(portName);
    if (!running_) {
        host_.log(text);
        return;
    }
    announce(text);
    endRun(RunOutcome::PortLost, text);
}

void FlashSequence::onReadEvent(unsigned int readBufferLen)
{
    if (readBufferLen == 0)
        return;
    const std::unique_ptr<char[]> chunk(new (std::nothrow) char[readBufferLen]);
    if (!chunk)
        return;
    const int received = host_.receive(chunk.get(), static_cast<int>(readBufferLen));
    if (received <= 0)
        return;

    std::vector<ReplyAssembler::Piece> pieces;
    {
        Lock lock(mutex_);
        prefixDue_.reset();
        pieces = assembler_.take(chunk.get(), received);
        rearmTimer();
    }
    for (const ReplyAssembler::Piece& piece : pieces) {
        Lock lock(mutex_);
        const unsigned int pauseMs = react(piece, lock);
        lock.unlock();
        if (pauseMs > 0)
            host_.pause(pauseMs);
    }
    // Waited for only now: the rest of a split reply may already wait in the
    // driver, held up by the pauses above.
    Lock lock(mutex_);
    if (assembler_.holdsPrefix())
        prefixDue_ = DeadlineTimer::Clock::now() + kReplyCompletionWait;
    rearmTimer();
}

std::chrono::milliseconds FlashSequence::pausesAhead() const
{
    using std::chrono::milliseconds;
    Lock lock(mutex_);
    if (!running_)
        return milliseconds(0);
    const milliseconds endingFrames(2 * kAfterControlFrameMs);
    if (factoryResetPending_) {
        if (awaiting_ == Awaiting::BootReady)
            return milliseconds(kBeforeFirstFrameMs + kAfterFirstFrameMs + kAfterControlFrameMs);
        return awaiting_ == Awaiting::FactoryResetDone ? milliseconds(kAfterControlFrameMs)
                                                       : milliseconds(0);
    }
    switch (awaiting_) {
    case Awaiting::BootReady:
        return milliseconds(kBeforeFirstFrameMs) + pausesAfterBlocks(1, blockCount()) + endingFrames;
    case Awaiting::BlockWritten:
        return pausesAfterBlocks(currentBlock_ + 1, blockCount()) + endingFrames;
    case Awaiting::TransferEnded: return milliseconds(kAfterControlFrameMs);
    default: return milliseconds(0);
    }
}

bool FlashSequence::beginRun(Lock&)
{
    if (running_)
        return false;
    running_ = true;
    ++runNumber_;
    host_.runStarted();
    return true;
}

void FlashSequence::requestBootMode(Lock& lock)
{
    announce(QStringLiteral("Requesting boot mode..."));
    const unsigned int pauseMs = write(BootModeRequest.data(), BootModeRequest.size(),
                                       Awaiting::BootReady, kAfterBootModeRequestMs);
    lock.unlock();
    host_.pause(pauseMs);
}

void FlashSequence::endRun(RunOutcome outcome, const QString& reason)
{
    running_ = false;
    awaiting_ = Awaiting::Nothing;
    replyDue_.reset();
    rearmTimer();
    std::shared_ptr<const FirmwareImage> image = factoryResetPending_ ? nullptr : loader_.snapshot();
    factoryResetPending_ = false;
    loader_.release();
    host_.runEnded({outcome, reason, std::move(image)});
}

// Handles one piece of what the chip sent; returns the pause to keep after it.
unsigned int FlashSequence::react(const ReplyAssembler::Piece& piece, Lock& lock)
{
    const char* bytes = piece.bytes.data();
    const int length = static_cast<int>(piece.bytes.size());
    if (piece.code == ReplyCode::Unrecognised) {
        host_.showReceived(replyDisplayText(bytes, length));
        return 0;
    }
    const int code = static_cast<int>(piece.code);
    host_.showReceived(formatStatusLine("ACK (%d)", code));
    if (!isExpected(piece.code)) {
        host_.log(running_ ? QStringLiteral("Ignored reply %1: waiting for the answer %2")
                                 .arg(code)
                                 .arg(awaitedText())
                           : QStringLiteral("Ignored reply %1: no run in progress").arg(code));
        return 0;
    }
    replyDue_.reset();
    switch (piece.code) {
    case ReplyCode::BootReady: return onBootReady(lock);
    case ReplyCode::BlockWritten: return onBlockWritten();
    case ReplyCode::TransferEnded: return onTransferEnded();
    case ReplyCode::BootExited: onBootExited(); return 0;
    case ReplyCode::FactoryResetDone: return onFactoryResetDone();
    case ReplyCode::Unrecognised: break;
    }
    return 0;
}

bool FlashSequence::isExpected(ReplyCode code) const
{
    switch (awaiting_) {
    case Awaiting::Nothing: return false;
    case Awaiting::BootReady: return code == ReplyCode::BootReady;
    case Awaiting::FactoryResetDone: return code == ReplyCode::FactoryResetDone;
    case Awaiting::BlockWritten:
    case Awaiting::TransferEnded:
    case Awaiting::BootExited:
        break;
    }
    // A chip that rebooted in the middle of a flash run asks for the image again.
    if (code == ReplyCode::BootReady)
        return !factoryResetPending_;
    return (awaiting_ == Awaiting::BlockWritten && code == ReplyCode::BlockWritten)
           || (awaiting_ == Awaiting::TransferEnded && code == ReplyCode::TransferEnded)
           || (awaiting_ == Awaiting::BootExited && code == ReplyCode::BootExited);
}

unsigned int FlashSequence::onBootReady(Lock& lock)
{
    // The chip needs a second before the first frame; a cancel may end the
    // run meanwhile, or a new run begin.
    const unsigned int run = runNumber_;
    lock.unlock();
    host_.pause(kBeforeFirstFrameMs);
    lock.lock();
    if (!running_ || run != runNumber_)
        return 0;

    announce(QStringLiteral("Bootloader ready to receive..."));
    if (factoryResetPending_) {
        announce(QStringLiteral("Sending factory reset..."));
        const ControlFrame frame = buildControlFrame(FrameCommand::FactoryReset);
        return write(frame.data(), frame.size(), Awaiting::FactoryResetDone, kAfterFirstFrameMs);
    }
    currentBlock_ = 1;
    return sendBlock(*loader_.snapshot(), 1, kAfterFirstFrameMs);
}

unsigned int FlashSequence::onBlockWritten()
{
    const std::uint32_t block = currentBlock_;
    const std::shared_ptr<const FirmwareImage> image = loader_.snapshot();
    const QString written = formatStatusLine("Written memory block: %u", static_cast<unsigned>(block));
    host_.setLabel(InfoLabel::CurrentBlock, written);
    host_.showReceived(written);
    if (block == image->blockCount()) {
        announce(QStringLiteral("Last package completed..."));
        const ControlFrame frame = buildControlFrame(FrameCommand::EndOfTransfer);
        return write(frame.data(), frame.size(), Awaiting::TransferEnded, kAfterControlFrameMs);
    }

    const std::uint32_t next = block + 1;
    currentBlock_ = next;
    const QString nextText = formatStatusLine("Next memory block: %u", static_cast<unsigned>(next));
    host_.showReceived(nextText);
    host_.setLabel(InfoLabel::Action, nextText);
    return sendBlock(*image, next, pauseAfterBlock(next, image->blockCount()));
}

unsigned int FlashSequence::onTransferEnded()
{
    announce(QStringLiteral("Exiting boot mode..."));
    const ControlFrame frame = buildControlFrame(FrameCommand::ExitBootMode);
    return write(frame.data(), frame.size(), Awaiting::BootExited, kAfterControlFrameMs);
}

void FlashSequence::onBootExited()
{
    const QString text = QStringLiteral("Flashing completed.");
    announce(text);
    endRun(RunOutcome::Completed, text);
}

unsigned int FlashSequence::onFactoryResetDone()
{
    announce(QStringLiteral("ACK factory reset..."));
    const ControlFrame frame = buildControlFrame(FrameCommand::ExitBootMode);
    return write(frame.data(), frame.size(), Awaiting::BootExited, kAfterControlFrameMs);
}

// Writes a frame that asks for `awaiting`, which is due within the pause
// after the frame plus the reply deadline.
unsigned int FlashSequence::write(const std::uint8_t* bytes, std::size_t length, Awaiting awaiting,
                                  unsigned int pauseMs)
{
    host_.send(bytes, length);
    awaiting_ = awaiting;
    replyDue_ = DeadlineTimer::Clock::now() + std::chrono::milliseconds(pauseMs) + replyDeadline_;
    rearmTimer();
    return pauseMs;
}

unsigned int FlashSequence::sendBlock(const FirmwareImage& image, std::uint32_t block,
                                      unsigned int pauseMs)
{
    const std::optional<std::vector<std::uint8_t>> frame = buildBlockFrame(image, block);
    if (!frame) {
        const QString failure = QStringLiteral("Memory error!");
        host_.log(failure);
        endRun(RunOutcome::Failed, failure);
        return 0;
    }
    host_.log(formatStatusLine("Memory index: 0x%08x", static_cast<unsigned>(memoryIndex(block))));
    write(frame->data(), frame->size(), Awaiting::BlockWritten, pauseMs);
    host_.blockSent(block, image.blockCount());
    return pauseMs;
}

void FlashSequence::announce(const QString& text)
{
    host_.log(text);
    host_.setLabel(InfoLabel::Action, text);
}

// What the run waits for, to complete "waiting for the answer ..." and
// "No answer from the chip ...".
QString FlashSequence::awaitedText() const
{
    switch (awaiting_) {
    case Awaiting::BootReady: return QStringLiteral("to the boot-mode request");
    case Awaiting::BlockWritten:
        return QStringLiteral("after block %1 of %2").arg(currentBlock_).arg(blockCount());
    case Awaiting::TransferEnded: return QStringLiteral("to the end of transfer");
    case Awaiting::BootExited: return QStringLiteral("to the exit from boot mode");
    case Awaiting::FactoryResetDone: return QStringLiteral("to the factory-reset order");
    case Awaiting::Nothing: break;
    }
    return QString();
}

void FlashSequence::onTimer()
{
    Lock lock(mutex_);
    const DeadlineTimer::Clock::time_point now = DeadlineTimer::Clock::now();
    if (prefixDue_ && now >= *prefixDue_) {
        prefixDue_.reset();
        if (const std::optional<ReplyAssembler::Piece> piece = assembler_.flush())
            react(*piece, lock);
    }
    if (replyDue_ && now >= *replyDue_ && running_) {
        const QString text = QStringLiteral("No answer from the chip ") + awaitedText();
        announce(text);
        endRun(RunOutcome::NoAnswer, text);
    }
    rearmTimer();
}

void FlashSequence::rearmTimer()
{
    std::optional<DeadlineTimer::Clock::time_point> due = replyDue_;
    if (prefixDue_ && (!due || *prefixDue_ < *due))
        due = prefixDue_;
    if (due)
        timer_.arm(*due);
    else
        timer_.disarm();
}
