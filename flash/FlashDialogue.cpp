#include "flash/FlashDialogue.h"

#include "flash/DeviceFrames.h"
#include "flash/StatusLine.h"

namespace {

using std::chrono::milliseconds;

// What the device needs after each kind of write before it can answer.
constexpr milliseconds kAfterBootModeRequest{5};
constexpr milliseconds kBeforeFirstFrame{1000};
constexpr milliseconds kAfterFirstFrame{100};
constexpr milliseconds kAfterFullBlock{300};
constexpr milliseconds kAfterLastBlock{5};
constexpr milliseconds kAfterControlFrame{5};

// The pause after writing block `block` of `blockCount`: block 1 always gets
// the pause of the first frame, even when it is the last one.
milliseconds pauseAfterBlock(std::uint32_t block, std::uint32_t blockCount)
{
    if (block == 1)
        return kAfterFirstFrame;
    return block == blockCount ? kAfterLastBlock : kAfterFullBlock;
}

// The pauses after blocks `first` to `blockCount`.
milliseconds pausesAfterBlocks(std::uint32_t first, std::uint32_t blockCount)
{
    milliseconds total{0};
    if (first == 1 && blockCount >= 1) {
        total += kAfterFirstFrame;
        first = 2;
    }
    if (first <= blockCount)
        total += (blockCount - first) * kAfterFullBlock + kAfterLastBlock;
    return total;
}

std::vector<std::uint8_t> controlFrame(FrameCommand command)
{
    const ControlFrame frame = buildControlFrame(command);
    return {frame.begin(), frame.end()};
}

} // namespace

FlashDialogue::Step FlashDialogue::startFlash(const ImageLoad& load)
{
    Step step;
    if (running_)
        return step;
    beginRun(step, false);
    announce(step, QStringLiteral("Reading..."));
    if (load.measuredSize) {
        blockCount_ = blockCountFor(*load.measuredSize);
        const QByteArray path = load.path.toUtf8();
        const QString size = formatStatusLine("File: %s \nSize: %lu Bytes", path.constData(),
                                              static_cast<unsigned long>(*load.measuredSize));
        const QString blocks = formatStatusLine("Blocks to transfer: %u", static_cast<unsigned>(blockCount_));
        step.reports.insert(step.reports.end(), {LogLine{size}, LabelText{InfoLabel::FileSize, size},
                                                 LogLine{blocks}, LabelText{InfoLabel::TotalBlocks, blocks}});
    }
    if (!load.image) {
        step.reports.push_back(LogLine{load.reason});
        const QString failure = QStringLiteral("Firmware file read error");
        announce(step, failure);
        endRun(step, RunOutcome::ImageRefused, failure);
        return step;
    }
    image_ = load.image;
    requestBootMode(step);
    return step;
}

FlashDialogue::Step FlashDialogue::startFlash(std::shared_ptr<const FirmwareImage> image)
{
    return startFlashOf(std::move(image), false);
}

FlashDialogue::Step FlashDialogue::startFactoryReset()
{
    Step step;
    if (running_)
        return step;
    announce(step, QStringLiteral("Restoring factory settings..."));
    beginRun(step, true);
    requestBootMode(step);
    return step;
}

FlashDialogue::Step FlashDialogue::probe()
{
    Step step = stepOfRun();
    if (running_)
        return step;
    probing_ = true;
    step.frame.assign(BootModeRequest.begin(), BootModeRequest.end());
    return step;
}

FlashDialogue::Step FlashDialogue::startFlashOnNextChip(std::shared_ptr<const FirmwareImage> image)
{
    return startFlashOf(std::move(image), true);
}

FlashDialogue::Step FlashDialogue::startFlashOf(std::shared_ptr<const FirmwareImage> image, bool awaitingChip)
{
    Step step;
    if (running_ || !image)
        return step;
    beginRun(step, false);
    image_ = std::move(image);
    blockCount_ = image_->blockCount();
    awaitingChip_ = awaitingChip;
    requestBootMode(step);
    return step;
}

FlashDialogue::Step FlashDialogue::cancel()
{
    Step step = stepOfRun();
    if (running_)
        fail(step, RunOutcome::Cancelled, QStringLiteral("Run cancelled."));
    return step;
}

FlashDialogue::Step FlashDialogue::portLost(const QString& portName)
{
    Step step = stepOfRun();
    const QString text = QStringLiteral("Port lost: ") + portName;
    if (running_)
        fail(step, RunOutcome::PortLost, text);
    else
        step.reports.push_back(LogLine{text});
    step.reports.push_back(PortClosed{portName});
    return step;
}

FlashDialogue::Step FlashDialogue::received(const char* bytes, std::size_t n, TimePoint now)
{
    Step step = stepOfRun();
    prefixDue_.reset();
    bool replyTaken = false;
    for (const ReplyAssembler::Piece& piece : assembler_.take(bytes, static_cast<int>(n)))
        react(step, piece, replyTaken, now);
    return step;
}

FlashDialogue::Step FlashDialogue::written(std::uint64_t ticket, bool whole, TimePoint now)
{
    Step step = stepOfRun();
    if (!running_ || ticket != ticket_)
        return step;
    ticket_ = 0;
    if (!whole) {
        fail(step, RunOutcome::Failed, writeFailedText());
        return step;
    }
    replyDue_ = now + pauseAfterWrite_ + (awaitingChip_ ? kChipProbeInterval : runSettings_.replyDeadline);
    if (blockInFlight_) {
        if (currentBlock_ == 1)
            firstBlockWrittenAt_ = now;
        step.reports.push_back(BlockSent{currentBlock_, blockCount_});
    }
    return step;
}

FlashDialogue::Step FlashDialogue::resume(std::uint64_t ticket, TimePoint)
{
    Step step = stepOfRun();
    if (running_ && ticket == ticket_) {
        ticket_ = 0;
        pausing_ = false;
        continueAfter(step, resumeAfter_);
    }
    return step;
}

void FlashDialogue::settled(TimePoint now)
{
    if (assembler_.holdsPrefix() && !prefixDue_)
        prefixDue_ = now + kReplyCompletionWait;
}

std::optional<FlashDialogue::TimePoint> FlashDialogue::nextDeadline() const
{
    if (replyDue_ && prefixDue_)
        return std::min(*replyDue_, *prefixDue_);
    return replyDue_ ? replyDue_ : prefixDue_;
}

FlashDialogue::Step FlashDialogue::timePassed(TimePoint now)
{
    Step step = stepOfRun();
    if (prefixDue_ && now >= *prefixDue_) {
        prefixDue_.reset();
        if (const std::optional<ReplyAssembler::Piece> piece = assembler_.flush()) {
            bool replyTaken = false;
            react(step, *piece, replyTaken, now);
        }
    }
    if (running_ && replyDue_ && now >= *replyDue_) {
        if (awaitingChip_)
            writeFrame(step, {BootModeRequest.begin(), BootModeRequest.end()}, Awaiting::BootReady, kAfterBootModeRequest);
        else
            fail(step, RunOutcome::NoAnswer, QStringLiteral("No answer from the chip ") + awaitedText());
    }
    return step;
}

std::optional<std::chrono::milliseconds> FlashDialogue::timeLeft(TimePoint now) const
{
    if (!running_)
        return milliseconds(0);
    if (runSettings_.pacing == Pacing::Protocol)
        return protocolPausesAhead();
    if (factoryReset_ || blocksAcknowledged_ == 0 || !firstBlockWrittenAt_ || !lastBlockAcknowledgedAt_)
        return std::nullopt;
    const auto perBlock = (*lastBlockAcknowledgedAt_ - *firstBlockWrittenAt_) / blocksAcknowledged_;
    const auto sinceLast = now - *lastBlockAcknowledgedAt_;
    const auto ahead = perBlock * (blockCount_ - blocksAcknowledged_) - sinceLast;
    return std::max(milliseconds(0), std::chrono::duration_cast<milliseconds>(ahead));
}

FlashDialogue::Step FlashDialogue::stepOfRun() const
{
    Step step;
    step.run = runNumber_;
    return step;
}

void FlashDialogue::beginRun(Step& step, bool factoryReset)
{
    running_ = true;
    factoryReset_ = factoryReset;
    step.run = ++runNumber_;
    runSettings_ = settings_;
    restarts_ = 0;
    probing_ = false;
    awaitingChip_ = false;
    firstBlockWrittenAt_.reset();
    lastBlockAcknowledgedAt_.reset();
    blocksAcknowledged_ = 0;
    // What came before the run cannot answer it.
    assembler_ = ReplyAssembler();
    prefixDue_.reset();
    step.reports.push_back(RunStarted{factoryReset});
}

void FlashDialogue::requestBootMode(Step& step)
{
    announce(step, QStringLiteral("Requesting boot mode..."));
    writeFrame(step, {BootModeRequest.begin(), BootModeRequest.end()}, Awaiting::BootReady, kAfterBootModeRequest);
}

void FlashDialogue::endRun(Step& step, RunOutcome outcome, const QString& reason)
{
    running_ = false;
    awaiting_ = Awaiting::Nothing;
    pausing_ = false;
    ticket_ = 0;
    replyDue_.reset();
    step.frame.clear();
    step.pause = milliseconds(0);
    step.resume = false;
    std::shared_ptr<const FirmwareImage> image = factoryReset_ ? nullptr : std::move(image_);
    image_.reset();
    step.reports.push_back(RunEnded{{outcome, reason, std::move(image)}});
}

// Ends the run for a reason the operator reads in the Action label too.
void FlashDialogue::fail(Step& step, RunOutcome outcome, const QString& reason)
{
    announce(step, reason);
    endRun(step, outcome, reason);
}

// One piece of what the chip sent. Of the acknowledgements in one read only
// the first awaited one acts: the rest were sent before the frame it lets go
// and cannot answer that frame.
void FlashDialogue::react(Step& step, const ReplyAssembler::Piece& piece, bool& replyTaken, TimePoint now)
{
    const char* bytes = piece.bytes.data();
    const int length = static_cast<int>(piece.bytes.size());
    if (piece.code == ReplyCode::Unrecognised) {
        step.reports.push_back(ReceivedText{replyDisplayText(bytes, length)});
        return;
    }
    const int code = static_cast<int>(piece.code);
    step.reports.push_back(ReceivedText{formatStatusLine("ACK (%d)", code)});
    if (replyTaken) {
        step.reports.push_back(LogLine{QStringLiteral("Ignored reply %1: it came in one read with the reply taken before it").arg(code)});
        return;
    }
    if (!running_ && probing_ && piece.code == ReplyCode::BootReady) {
        step.reports.push_back(ChipAnswered{});
        return;
    }
    if (!isAwaited(piece.code)) {
        QString why = QStringLiteral("no run in progress");
        if (running_)
            why = pausing_ ? QStringLiteral("the run is pausing") : QStringLiteral("waiting for the answer ") + awaitedText();
        step.reports.push_back(LogLine{QStringLiteral("Ignored reply %1: %2").arg(code).arg(why)});
        return;
    }
    replyTaken = true;
    take(step, piece.code, now);
}

bool FlashDialogue::isAwaited(ReplyCode code) const
{
    if (pausing_)
        return false;
    switch (awaiting_) {
    case Awaiting::Nothing: return false;
    case Awaiting::BootReady: return code == ReplyCode::BootReady;
    case Awaiting::FactoryResetDone: return code == ReplyCode::FactoryResetDone;
    case Awaiting::BlockWritten:
    case Awaiting::TransferEnded:
    case Awaiting::BootExited: break;
    }
    // A chip that rebooted in the middle of a flash run asks for the image
    // again. Before block 1 is acknowledged a boot-ready reply can only be a
    // late answer to an earlier request, such as a cancelled run's.
    if (code == ReplyCode::BootReady)
        return !factoryReset_ && !(awaiting_ == Awaiting::BlockWritten && currentBlock_ == 1);
    return (awaiting_ == Awaiting::BlockWritten && code == ReplyCode::BlockWritten)
           || (awaiting_ == Awaiting::TransferEnded && code == ReplyCode::TransferEnded)
           || (awaiting_ == Awaiting::BootExited && code == ReplyCode::BootExited);
}

// An awaited reply: the run moves on, after the gap its pacing asks for.
void FlashDialogue::take(Step& step, ReplyCode code, TimePoint now)
{
    replyDue_.reset();
    if (awaitingChip_) {
        awaitingChip_ = false;
        step.reports.push_back(ChipAnswered{});
    }
    if (code == ReplyCode::BootExited) {
        const QString text = QStringLiteral("Flashing completed.");
        announce(step, text);
        endRun(step, RunOutcome::Completed, text);
        return;
    }
    if (code == ReplyCode::BootReady && awaiting_ != Awaiting::BootReady && ++restarts_ >= kMaxChipRestarts) {
        fail(step, RunOutcome::Failed,
             QStringLiteral("The chip restarted %1 times; check its power and reset line").arg(restarts_));
        return;
    }
    if (code == ReplyCode::BlockWritten) {
        ++blocksAcknowledged_;
        lastBlockAcknowledgedAt_ = now;
    }
    const milliseconds gap = runSettings_.pacing == Pacing::Protocol
                                 ? (code == ReplyCode::BootReady ? kBeforeFirstFrame : milliseconds(0))
                                 : runSettings_.minimumGap;
    if (gap <= milliseconds(0)) {
        continueAfter(step, code);
        return;
    }
    pausing_ = true;
    resumeAfter_ = code;
    step.pause = gap;
    step.resume = true;
    step.ticket = ticket_ = ++lastTicket_;
}

// The frame that an awaited reply lets go.
void FlashDialogue::continueAfter(Step& step, ReplyCode code)
{
    switch (code) {
    case ReplyCode::BootReady:
        announce(step, QStringLiteral("Bootloader ready to receive..."));
        if (factoryReset_) {
            announce(step, QStringLiteral("Sending factory reset..."));
            writeFrame(step, controlFrame(FrameCommand::FactoryReset), Awaiting::FactoryResetDone, kAfterFirstFrame);
        } else {
            currentBlock_ = 1;
            sendBlock(step, 1);
        }
        break;
    case ReplyCode::BlockWritten: nextBlockOrEnd(step); break;
    case ReplyCode::TransferEnded:
        announce(step, QStringLiteral("Exiting boot mode..."));
        writeFrame(step, controlFrame(FrameCommand::ExitBootMode), Awaiting::BootExited, kAfterControlFrame);
        break;
    case ReplyCode::FactoryResetDone:
        announce(step, QStringLiteral("ACK factory reset..."));
        writeFrame(step, controlFrame(FrameCommand::ExitBootMode), Awaiting::BootExited, kAfterControlFrame);
        break;
    case ReplyCode::BootExited:
    case ReplyCode::Unrecognised: break;
    }
}

void FlashDialogue::nextBlockOrEnd(Step& step)
{
    const std::uint32_t block = currentBlock_;
    const QString written = formatStatusLine("Written memory block: %u", static_cast<unsigned>(block));
    step.reports.insert(step.reports.end(), {LabelText{InfoLabel::CurrentBlock, written}, ReceivedText{written}});
    if (block == blockCount_) {
        announce(step, QStringLiteral("Last package completed..."));
        writeFrame(step, controlFrame(FrameCommand::EndOfTransfer), Awaiting::TransferEnded, kAfterControlFrame);
        return;
    }
    const std::uint32_t next = block + 1;
    currentBlock_ = next;
    const QString nextText = formatStatusLine("Next memory block: %u", static_cast<unsigned>(next));
    step.reports.insert(step.reports.end(), {ReceivedText{nextText}, LabelText{InfoLabel::Action, nextText}});
    sendBlock(step, next);
}

void FlashDialogue::sendBlock(Step& step, std::uint32_t block)
{
    std::optional<std::vector<std::uint8_t>> frame;
    if (image_)
        frame = buildBlockFrame(*image_, block);
    if (!frame) {
        const QString failure = QStringLiteral("Memory error!");
        step.reports.push_back(LogLine{failure});
        endRun(step, RunOutcome::Failed, failure);
        return;
    }
    step.reports.push_back(LogLine{formatStatusLine("Memory index: 0x%08x", static_cast<unsigned>(memoryIndex(block)))});
    writeFrame(step, std::move(*frame), Awaiting::BlockWritten, pauseAfterBlock(block, blockCount_));
    blockInFlight_ = true;
}

// A frame that asks for `awaiting`; its reply is due within the pause after
// it plus the reply deadline, counted once the write has ended.
void FlashDialogue::writeFrame(Step& step, std::vector<std::uint8_t> frame, Awaiting awaiting,
                               milliseconds protocolPause)
{
    step.frame = std::move(frame);
    step.pause = runSettings_.pacing == Pacing::Protocol ? protocolPause : milliseconds(0);
    step.ticket = ticket_ = ++lastTicket_;
    awaiting_ = awaiting;
    pauseAfterWrite_ = step.pause;
    blockInFlight_ = false;
    replyDue_.reset();
}

void FlashDialogue::announce(Step& step, const QString& text)
{
    step.reports.insert(step.reports.end(), {LogLine{text}, LabelText{InfoLabel::Action, text}});
}

// What the run waits for, to complete "waiting for the answer ..." and
// "No answer from the chip ...".
QString FlashDialogue::awaitedText() const
{
    switch (awaiting_) {
    case Awaiting::BootReady: return QStringLiteral("to the boot-mode request");
    case Awaiting::BlockWritten: return QStringLiteral("after block %1 of %2").arg(currentBlock_).arg(blockCount_);
    case Awaiting::TransferEnded: return QStringLiteral("to the end of transfer");
    case Awaiting::BootExited: return QStringLiteral("to the exit from boot mode");
    case Awaiting::FactoryResetDone: return QStringLiteral("to the factory-reset order");
    case Awaiting::Nothing: break;
    }
    return QString();
}

// Which frame did not go out whole: the blocks before it did.
QString FlashDialogue::writeFailedText() const
{
    switch (awaiting_) {
    case Awaiting::BootReady: return QStringLiteral("Write failed at the boot-mode request");
    case Awaiting::BlockWritten:
        if (currentBlock_ == 1)
            return QStringLiteral("Write failed at block 1 of %1").arg(blockCount_);
        return QStringLiteral("Write failed after block %1 of %2").arg(currentBlock_ - 1).arg(blockCount_);
    case Awaiting::TransferEnded: return QStringLiteral("Write failed at the end of transfer");
    case Awaiting::BootExited: return QStringLiteral("Write failed at the exit from boot mode");
    case Awaiting::FactoryResetDone: return QStringLiteral("Write failed at the factory-reset order");
    case Awaiting::Nothing: break;
    }
    return QStringLiteral("Write failed");
}

// The pauses the protocol mandates between here and the run's end.
milliseconds FlashDialogue::protocolPausesAhead() const
{
    const milliseconds endingFrames = 2 * kAfterControlFrame;
    if (factoryReset_) {
        if (awaiting_ == Awaiting::BootReady)
            return kBeforeFirstFrame + kAfterFirstFrame + kAfterControlFrame;
        return awaiting_ == Awaiting::FactoryResetDone ? kAfterControlFrame : milliseconds(0);
    }
    switch (awaiting_) {
    case Awaiting::BootReady: return kBeforeFirstFrame + pausesAfterBlocks(1, blockCount_) + endingFrames;
    case Awaiting::BlockWritten: return pausesAfterBlocks(currentBlock_ + 1, blockCount_) + endingFrames;
    case Awaiting::TransferEnded: return kAfterControlFrame;
    default: return milliseconds(0);
    }
}
