#pragma once

#include "flash/FirmwareImage.h"
#include "flash/SequenceHost.h"

#include <atomic>
#include <cstdint>

// The dialogue with the chip's bootloader. An action asks for boot mode; from
// then on each acknowledgement makes the sequence write the next frame: the
// image block by block, the end of transfer and the exit from boot mode, or,
// in a factory-reset run, the reset order and the exit. There is no timer:
// the run moves on only when a reply arrives, and each reply acts whenever it
// arrives, decided by its code and the state below.
class FlashSequence
{
public:
    explicit FlashSequence(SequenceHost& host);

    // The Flash action once the port is known to be open (GUI thread). The
    // path is in the local 8-bit encoding. A pending factory reset skips the load.
    void startFlash(const char* firmwarePath);

    // The Factory Reset action once the port is known to be open (GUI thread).
    void startFactoryReset();

    // Received bytes are waiting (serial event thread).
    void onReadEvent(unsigned int readBufferLen);

    // Read by the progress display on the GUI thread while the event thread
    // advances them.
    std::uint32_t currentBlock() const { return currentBlock_; }
    std::uint32_t blockCount() const { return image_.blockCount(); }

private:
    void requestBootMode();
    void announce(const QString& text);
    void sendBlock(const FirmwareData& image, std::uint32_t block, unsigned int pauseMs);

    void onBootReady();
    void onBlockWritten();
    void onTransferEnded();
    void onBootExited();
    void onFactoryResetDone();

    SequenceHost& host_;
    FirmwareImage image_;
    std::atomic<std::uint32_t> currentBlock_{1};
    std::atomic<bool> factoryResetPending_{false};
};
