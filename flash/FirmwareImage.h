#pragma once

#include "flash/FirmwareData.h"
#include "flash/StatusSink.h"

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <mutex>

// The firmware file of the current flash run. Loaded on the GUI thread while
// the serial event thread builds frames from it: the bytes are published as an
// immutable FirmwareData, and a reader keeps its snapshot alive for as long as
// it uses it, even across a reload or a release.
//
// size, blockCount and lastBlockLength describe the last file whose size was
// measured and shown, and outlive a release: the progress display divides by
// blockCount after the run.
class FirmwareImage
{
public:
    // Reads the file at path (local 8-bit encoding) and reports each step as a
    // status line; the size and block count also go to their labels. Any
    // failure leaves no image held. Returns whether an image is now held.
    bool loadFirmwareFile(const char* path, StatusSink& status);

    // The same for a file already opened in binary mode; path only names it
    // in the status lines.
    bool loadFirmware(std::istream& file, const char* path, StatusSink& status);

    // The held image, or null while none is held.
    std::shared_ptr<const FirmwareData> snapshot() const;
    void release();

    std::uint32_t size() const { return size_; }
    std::uint32_t blockCount() const { return blockCount_; }
    std::uint16_t lastBlockLength() const { return lastBlockLength_; }

private:
    void publish(std::shared_ptr<const FirmwareData> data);
    void setCounts(std::uint32_t size);

    mutable std::mutex mutex_;
    std::shared_ptr<const FirmwareData> data_;
    std::atomic<std::uint32_t> size_{0};
    std::atomic<std::uint32_t> blockCount_{0};
    std::atomic<std::uint16_t> lastBlockLength_{0};
};
