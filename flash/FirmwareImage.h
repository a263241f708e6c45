#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// Firmware travels in numbered blocks of 256 bytes; the block number has a
// 16-bit field in the frame, so an image has at most 65,535 blocks.
constexpr std::uint32_t kBlockSize = 256;
constexpr std::uint32_t kMaxBlockCount = 65535;
constexpr std::uint64_t kMaxImageSize = std::uint64_t{kBlockSize} * kMaxBlockCount;

// Blocks are numbered from 1; a block's memory index is its offset in the image.
constexpr std::uint32_t memoryIndex(std::uint32_t block)
{
    return (block - 1) * kBlockSize;
}

// Blocks needed for an image of the given size, the last one possibly short.
constexpr std::uint32_t blockCountFor(std::uint32_t size)
{
    return size / kBlockSize + (size % kBlockSize != 0 ? 1 : 0);
}

// 1 to 256 for a non-empty image; 0 for an empty one, which has no last block.
constexpr std::uint16_t lastBlockLengthFor(std::uint32_t size)
{
    return static_cast<std::uint16_t>(size == 0 ? 0 : size - memoryIndex(blockCountFor(size)));
}

// The payload of one block, pointing into the image that handed it out.
struct ImageBlock {
    const std::uint8_t* bytes;
    std::uint16_t length;
};

// The bytes of one loaded firmware file, immutable once built, so that a
// frame builder on another thread can read them without a lock while it holds
// a reference.
class FirmwareImage
{
public:
    // bytes holds at most kMaxImageSize bytes.
    explicit FirmwareImage(std::vector<std::uint8_t> bytes);

    std::uint32_t size() const { return static_cast<std::uint32_t>(bytes_.size()); }
    std::uint32_t blockCount() const { return blockCountFor(size()); }
    std::uint16_t lastBlockLength() const { return lastBlockLengthFor(size()); }

    // Block number 1 to blockCount(); nothing for any other number.
    std::optional<ImageBlock> block(std::uint32_t number) const;

    // The SHA-256 of the bytes, 64 lower-case hexadecimal digits: what traces
    // a flashed board back to its image.
    QString sha256Hex() const;

private:
    std::vector<std::uint8_t> bytes_;
};
