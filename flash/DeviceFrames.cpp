#include "flash/DeviceFrames.h"

#include <new>

namespace {

constexpr std::uint8_t kFrameStart[] = {0x55, 0x66};
constexpr std::size_t kBlockFrameOverhead = 9; // start, command, number, length, CRC

std::uint8_t highByte(std::uint32_t value)
{
    return static_cast<std::uint8_t>(value >> 8);
}

std::uint8_t lowByte(std::uint32_t value)
{
    return static_cast<std::uint8_t>(value);
}

} // namespace

std::uint16_t frameCrc(const std::uint8_t* bytes, std::size_t length)
{
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) != 0 ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

std::optional<std::vector<std::uint8_t>> buildBlockFrame(const FirmwareImage& image,
                                                         std::uint32_t block) noexcept
{
    const std::optional<ImageBlock> payload = image.block(block);
    if (!payload)
        return std::nullopt;
    try {
        std::vector<std::uint8_t> frame;
        frame.reserve(payload->length + kBlockFrameOverhead);
        frame.insert(frame.end(), std::begin(kFrameStart), std::end(kFrameStart));
        frame.insert(frame.end(), {static_cast<std::uint8_t>(FrameCommand::DataBlock),
                                   highByte(block), lowByte(block),
                                   highByte(payload->length), lowByte(payload->length)});
        frame.insert(frame.end(), payload->bytes, payload->bytes + payload->length);
        const std::uint16_t crc = frameCrc(frame.data(), frame.size());
        frame.insert(frame.end(), {highByte(crc), lowByte(crc)});
        return frame;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

ControlFrame buildControlFrame(FrameCommand command)
{
    ControlFrame frame{kFrameStart[0], kFrameStart[1], static_cast<std::uint8_t>(command),
                       0x00, 0x01, 0xAA};
    const std::uint16_t crc = frameCrc(frame.data(), frame.size() - 2);
    frame[6] = highByte(crc);
    frame[7] = lowByte(crc);
    return frame;
}
