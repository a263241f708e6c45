#include "flash/FlashSequence.h"

#include "flash/DeviceFrames.h"
#include "flash/ReplyCode.h"
#include "flash/StatusLine.h"

#include <memory>
#include <new>

namespace {

// How long the device needs after each kind of write before it can answer.
constexpr unsigned int kAfterBootModeRequestMs = 5;
constexpr unsigned int kBeforeFirstFrameMs = 1000;
constexpr unsigned int kAfterFirstFrameMs = 100;
constexpr unsigned int kAfterFullBlockMs = 300;
constexpr unsigned int kAfterLastBlockMs = 5;
constexpr unsigned int kAfterControlFrameMs = 5;

} // namespace

FlashSequence::FlashSequence(SequenceHost& host) : host_(host)
{
}

void FlashSequence::startFlash(const char* firmwarePath)
{
    host_.setActionButtonsEnabled(false);
    if (!factoryResetPending_) {
        announce(QStringLiteral("Reading..."));
        if (!image_.loadFirmwareFile(firmwarePath, host_)) {
            announce(QStringLiteral("Firmware file read error"));
            host_.setActionButtonsEnabled(true);
            return;
        }
    }
    requestBootMode();
}

void FlashSequence::startFactoryReset()
{
    announce(QStringLiteral("Restoring factory settings..."));
    factoryResetPending_ = true;
    host_.setActionButtonsEnabled(false);
    requestBootMode();
}

void FlashSequence::requestBootMode()
{
    announce(QStringLiteral("Requesting boot mode..."));
    host_.send(BootModeRequest.data(), BootModeRequest.size());
    host_.pause(kAfterBootModeRequestMs);
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

    const ReplyCode code = classifyReply(chunk.get(), received);
    if (code == Unrecognised) {
        host_.showReceived(replyDisplayText(chunk.get(), received));
        return;
    }
    host_.showReceived(formatStatusLine("ACK (%d)", static_cast<int>(code)));
    switch (code) {
    case BootReady: onBootReady(); break;
    case BlockWritten: onBlockWritten(); break;
    case TransferEnded: onTransferEnded(); break;
    case BootExited: onBootExited(); break;
    case FactoryResetDone: onFactoryResetDone(); break;
    case Unrecognised: break;
    }
}

void FlashSequence::onBootReady()
{
    host_.pause(kBeforeFirstFrameMs);
    announce(QStringLiteral("Bootloader ready to receive..."));
    if (factoryResetPending_) {
        announce(QStringLiteral("Sending factory reset..."));
        const ControlFrame frame = buildControlFrame(FrameCommand::FactoryReset);
        host_.send(frame.data(), frame.size());
        host_.pause(kAfterFirstFrameMs);
        return;
    }
    const std::shared_ptr<const FirmwareData> image = image_.snapshot();
    if (!image) {
        // Only a stray reply outside a run gets here: the run's image is
        // loaded before boot mode is requested and released at its end.
        host_.log(QStringLiteral("Boot-mode reply without a firmware image ignored"));
        return;
    }
    currentBlock_ = 1;
    sendBlock(*image, 1, kAfterFirstFrameMs);
}

void FlashSequence::onBlockWritten()
{
    const std::uint32_t block = currentBlock_;
    const std::shared_ptr<const FirmwareData> image = image_.snapshot();
    // A late acknowledgement, after the run ended or beyond the last block,
    // has no block to answer with: nothing may be read from a released image.
    if (!image || block < 1 || block > image->blockCount()) {
        host_.log(QStringLiteral("Acknowledgement without a block in transfer ignored"));
        return;
    }

    const QString written = formatStatusLine("Written memory block: %u", static_cast<unsigned>(block));
    host_.setLabel(InfoLabel::CurrentBlock, written);
    host_.showReceived(written);
    if (block == image->blockCount()) {
        announce(QStringLiteral("Last package completed..."));
        const ControlFrame frame = buildControlFrame(FrameCommand::EndOfTransfer);
        host_.send(frame.data(), frame.size());
        host_.pause(kAfterControlFrameMs);
        return;
    }

    const std::uint32_t next = block + 1;
    currentBlock_ = next;
    const QString nextText = formatStatusLine("Next memory block: %u", static_cast<unsigned>(next));
    host_.showReceived(nextText);
    host_.setLabel(InfoLabel::Action, nextText);
    sendBlock(*image, next, next == image->blockCount() ? kAfterLastBlockMs : kAfterFullBlockMs);
}

void FlashSequence::onTransferEnded()
{
    announce(QStringLiteral("Exiting boot mode..."));
    const ControlFrame frame = buildControlFrame(FrameCommand::ExitBootMode);
    host_.send(frame.data(), frame.size());
    host_.pause(kAfterControlFrameMs);
}

void FlashSequence::onBootExited()
{
    announce(QStringLiteral("Flashing completed."));
    factoryResetPending_ = false;
    host_.setActionButtonsEnabled(true);
    image_.release();
}

void FlashSequence::onFactoryResetDone()
{
    announce(QStringLiteral("ACK factory reset..."));
    const ControlFrame frame = buildControlFrame(FrameCommand::ExitBootMode);
    host_.send(frame.data(), frame.size());
    host_.pause(kAfterControlFrameMs);
}

void FlashSequence::announce(const QString& text)
{
    host_.log(text);
    host_.setLabel(InfoLabel::Action, text);
}

void FlashSequence::sendBlock(const FirmwareData& image, std::uint32_t block, unsigned int pauseMs)
{
    const std::optional<std::vector<std::uint8_t>> frame = buildBlockFrame(image, block);
    if (!frame) {
        host_.log(QStringLiteral("Memory error!"));
        host_.setActionButtonsEnabled(true);
        return;
    }
    host_.log(formatStatusLine("Memory index: 0x%08x", static_cast<unsigned>(memoryIndex(block))));
    host_.send(frame->data(), frame->size());
    host_.pause(pauseMs);
}
