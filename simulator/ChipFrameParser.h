#pragma once

#include "simulator/ChipEvent.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// One well-formed frame from the program.
struct ChipFrame
{
    ChipMessage message = ChipMessage::PortOpenNotice;
    std::uint16_t block = 0; // DataBlock only
    std::vector<std::uint8_t> payload; // DataBlock only
    std::chrono::steady_clock::time_point firstByteAt;
};

// Cuts the program's byte stream into frames, whatever pieces it arrives in,
// and checks the form of each frame on its own: header, length and CRC.
// Whether a frame fits the dialogue is the session's business.
class ChipFrameParser
{
public:
    enum class Status { NeedMore, FrameComplete, Violation };

    // Takes the next byte of the stream, read from the line at `readAt`.
    Status take(std::uint8_t byte, std::chrono::steady_clock::time_point readAt);

    // The frame the last FrameComplete finished.
    const ChipFrame& frame() const { return frame_; }
    // What was wrong when take() last gave Violation.
    const std::string& violation() const { return violation_; }

private:
    Status takeRequestByte();
    Status takeBlockFrameByte();
    Status takeControlFrameByte();
    Status complete(ChipMessage message, std::uint16_t block = 0, std::vector<std::uint8_t> payload = {});
    Status violate(std::string what);
    std::string crcComplaint() const; // empty when the trailer is right
    std::uint16_t wordAt(std::size_t offset) const;

    std::vector<std::uint8_t> bytes_; // of the frame being read
    std::chrono::steady_clock::time_point firstByteAt_;
    ChipFrame frame_;
    std::string violation_;
};
