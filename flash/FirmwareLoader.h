#pragma once

#include "flash/FirmwareImage.h"
#include "flash/StatusSink.h"

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>

// Why the path cannot be read as a firmware file without blocking: it names a
// directory, FIFO, device or socket. Empty for a regular file, and for a path
// that does not exist (opening it reports that).
std::string notAFirmwareFile(const char* path);

// Loads the firmware file of a flash run and holds the image while the run
// needs it. Loaded on the GUI thread while the serial event thread builds
// frames from it: the image is immutable, and a reader keeps its snapshot
// alive for as long as it uses it, even across a reload or a release.
//
// size, blockCount and lastBlockLength describe the last file whose size was
// measured and shown, and outlive a release: the progress display divides by
// blockCount after the run.
class FirmwareLoader
{
public:
    // Reads the file at path (local 8-bit encoding) and reports each step as a
    // status line; the size and block count also go to their labels. Only a
    // regular file is read: a directory, FIFO, device or socket is refused
    // before it is opened, so that nothing can block. Any failure leaves no
    // image held. Returns whether an image is now held.
    bool loadFirmwareFile(const char* path, StatusSink& status);

    // The same for a file already opened in binary mode; path only names it
    // in the status lines.
    bool loadFirmware(std::istream& file, const char* path, StatusSink& status);

    // Holds an image loaded elsewhere, as if it had been read here.
    void hold(std::shared_ptr<const FirmwareImage> image);

    // The held image, or null while none is held.
    std::shared_ptr<const FirmwareImage> snapshot() const;
    void release();

    std::uint32_t size() const { return size_; }
    std::uint32_t blockCount() const { return blockCount_; }
    std::uint16_t lastBlockLength() const { return lastBlockLength_; }

private:
    void publish(std::shared_ptr<const FirmwareImage> image);
    void setCounts(std::uint32_t size);

    mutable std::mutex mutex_;
    std::shared_ptr<const FirmwareImage> image_;
    std::atomic<std::uint32_t> size_{0};
    std::atomic<std::uint32_t> blockCount_{0};
    std::atomic<std::uint16_t> lastBlockLength_{0};
};
