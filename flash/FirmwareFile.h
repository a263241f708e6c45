#pragma once

#include "flash/FirmwareImage.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

// Why a firmware file was not taken for a run.
enum class ImageRefusal {
    None,
    CannotOpen,     // missing, or not readable
    NotRegularFile, // a directory, FIFO, device or socket: reading it could block or never end
    TooLarge,       // more blocks than a frame can number
    Empty,          // no block to send
    ShortRead,      // the file shrank while it was read
    NoMemory,
    NotRawImage,    // Intel HEX, S-records, ELF or other text: flashed raw it would brick the board
};

// A firmware file read for a run: the image, or why there is none.
struct ImageLoad
{
    QString path;
    std::shared_ptr<const FirmwareImage> image; // null when refused
    // The file's size once it was measured; a refusal after the measurement
    // still shows the size and block count.
    std::optional<std::uint32_t> measuredSize;
    ImageRefusal refusal = ImageRefusal::None;
    QString reason; // the status line that says why; empty when loaded
};

// Reads the whole file at path. Nothing can block: the file is opened
// without waiting for a writer and refused unless that very open file is a
// regular one. A file whose first bytes show another format than a raw
// image is refused with the way to convert it.
ImageLoad loadFirmwareImage(const QString& path);

// Whether path may be chosen as a firmware file: the same refusals as
// loadFirmwareImage, judged on the file's first kContentSampleBytes. Called
// when the operator chooses a file; the whole file is read when a run starts.
struct FirmwareFileCheck
{
    QString refusal;        // empty when acceptable
    std::uint64_t size = 0; // when acceptable
    bool acceptable() const { return refusal.isEmpty(); }
};
FirmwareFileCheck checkFirmwareFile(const QString& path);

// How much of a file's start tells its format: a header, or a few lines of
// text. Load and choice judge the same bytes, so they never disagree.
constexpr std::size_t kContentSampleBytes = 4096;
