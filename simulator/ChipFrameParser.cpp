#include "simulator/ChipFrameParser.h"

#include "simulator/Crc16Modbus.h"

#include <cstdio>
#include <utility>

namespace {

constexpr std::uint8_t kRequestLead = 0x10;
constexpr std::uint8_t kFrameLead = 0x55;
constexpr std::uint8_t kFrameSecond = 0x66;
constexpr std::uint8_t kDataBlock = 0x33;
constexpr std::uint8_t kEndOfTransfer = 0x34;
constexpr std::uint8_t kExitBootMode = 0x35;
constexpr std::uint8_t kFactoryReset = 0x36;
constexpr std::size_t kBlockHeaderSize = 7;
constexpr std::size_t kCrcSize = 2;
constexpr std::size_t kControlFrameSize = 8;
constexpr std::size_t kMaxPayload = 256;

std::string hex(const std::uint8_t* bytes, std::size_t size)
{
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        char digits[4];
        std::snprintf(digits, sizeof digits, i == 0 ? "%02X" : " %02X", bytes[i]);
        text += digits;
    }
    return text;
}

} // namespace

ChipFrameParser::Status ChipFrameParser::take(std::uint8_t byte, std::chrono::steady_clock::time_point readAt)
{
    if (bytes_.empty())
        firstByteAt_ = readAt;
    bytes_.push_back(byte);

    if (bytes_[0] == kRequestLead)
        return takeRequestByte();
    if (bytes_[0] != kFrameLead)
        return violate("unexpected byte " + hex(&byte, 1) + " where a frame should start");
    if (bytes_.size() == 2 && byte != kFrameSecond)
        return violate("frame header " + hex(bytes_.data(), 2) + " instead of 55 66");
    if (bytes_.size() < 3)
        return Status::NeedMore;
    if (bytes_[2] == kDataBlock)
        return takeBlockFrameByte();
    if (bytes_[2] == kEndOfTransfer || bytes_[2] == kExitBootMode || bytes_[2] == kFactoryReset)
        return takeControlFrameByte();
    return violate("unknown frame command in " + hex(bytes_.data(), 3));
}

ChipFrameParser::Status ChipFrameParser::takeRequestByte()
{
    if (bytes_.size() < 2)
        return Status::NeedMore;
    if (bytes_[1] == 0x05)
        return complete(ChipMessage::PortOpenNotice);
    if (bytes_[1] == 0x66)
        return complete(ChipMessage::BootModeRequest);
    return violate("unknown request " + hex(bytes_.data(), 2));
}

ChipFrameParser::Status ChipFrameParser::takeBlockFrameByte()
{
    if (bytes_.size() < kBlockHeaderSize)
        return Status::NeedMore;
    const std::string name = "block frame " + std::to_string(wordAt(3));
    const std::size_t length = wordAt(5);
    if (length == 0 || length > kMaxPayload)
        return violate(name + " has length " + std::to_string(length) + ", outside 1 to 256");
    if (bytes_.size() < kBlockHeaderSize + length + kCrcSize)
        return Status::NeedMore;

    const std::string crcError = crcComplaint();
    if (!crcError.empty())
        return violate(name + ": " + crcError);
    return complete(ChipMessage::DataBlock, wordAt(3),
                    std::vector<std::uint8_t>(bytes_.begin() + kBlockHeaderSize, bytes_.end() - kCrcSize));
}

ChipFrameParser::Status ChipFrameParser::takeControlFrameByte()
{
    if (bytes_.size() < kControlFrameSize)
        return Status::NeedMore;
    const std::string name = "control frame " + hex(bytes_.data(), 3);
    if (bytes_[3] != 0x00 || bytes_[4] != 0x01 || bytes_[5] != 0xAA)
        return violate(name + " carries " + hex(bytes_.data() + 3, 3) + " instead of 00 01 AA");

    const std::string crcError = crcComplaint();
    if (!crcError.empty())
        return violate(name + ": " + crcError);
    switch (bytes_[2]) {
    case kEndOfTransfer: return complete(ChipMessage::EndOfTransfer);
    case kExitBootMode: return complete(ChipMessage::ExitBootMode);
    default: return complete(ChipMessage::FactoryReset);
    }
}

ChipFrameParser::Status ChipFrameParser::complete(ChipMessage message, std::uint16_t block,
                                                  std::vector<std::uint8_t> payload)
{
    frame_ = ChipFrame{message, block, std::move(payload), firstByteAt_};
    bytes_.clear();
    return Status::FrameComplete;
}

ChipFrameParser::Status ChipFrameParser::violate(std::string what)
{
    violation_ = std::move(what);
    bytes_.clear();
    return Status::Violation;
}

std::string ChipFrameParser::crcComplaint() const
{
    const std::size_t covered = bytes_.size() - kCrcSize;
    const std::uint16_t expected = crc16Modbus(bytes_.data(), covered);
    if (wordAt(covered) == expected)
        return {};
    const std::uint8_t expectedBytes[] = {static_cast<std::uint8_t>(expected >> 8),
                                          static_cast<std::uint8_t>(expected & 0xFF)};
    return "CRC " + hex(bytes_.data() + covered, kCrcSize) + " where " + hex(expectedBytes, kCrcSize)
           + " was expected";
}

std::uint16_t ChipFrameParser::wordAt(std::size_t offset) const
{
    return static_cast<std::uint16_t>(bytes_[offset] << 8 | bytes_[offset + 1]);
}
