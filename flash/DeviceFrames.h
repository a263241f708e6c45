#pragma once

#include "flash/FirmwareImage.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The command byte of the 0x55 0x66 frames; the bootloader acknowledges each
// with the same byte.
enum class FrameCommand : std::uint8_t {
    DataBlock = 0x33,
    EndOfTransfer = 0x34,
    ExitBootMode = 0x35,
    FactoryReset = 0x36,
};

// The two-byte requests, sent as they are.
constexpr std::array<std::uint8_t, 2> PortOpenNotice{0x10, 0x05};
constexpr std::array<std::uint8_t, 2> BootModeRequest{0x10, 0x66};

using ControlFrame = std::array<std::uint8_t, 8>;

// CRC-16/MODBUS (start 0xFFFF, reflected polynomial 0xA001, no final XOR).
// Frames carry it high byte first, unlike Modbus itself.
std::uint16_t frameCrc(const std::uint8_t* bytes, std::size_t length);

// The frame of block number 1 to image.blockCount(): 9 bytes plus the block's
// payload. Nothing for any other number or when no memory can be had.
std::optional<std::vector<std::uint8_t>> buildBlockFrame(const FirmwareImage& image,
                                                         std::uint32_t block) noexcept;

// The eight-byte frame for EndOfTransfer, ExitBootMode or FactoryReset.
ControlFrame buildControlFrame(FrameCommand command);
