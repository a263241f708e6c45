#include "simulator/LineNoise.h"

namespace {

constexpr std::uint32_t kMostBytes = 16;
constexpr std::uint8_t kAcknowledgementLead = 0x55;

} // namespace

std::vector<std::uint8_t> LineNoise::next()
{
    std::vector<std::uint8_t> bytes(1 + generator_() % kMostBytes);
    for (std::uint8_t& byte : bytes) {
        // 255 values, stretched over 0 to 255 around the one left out.
        const auto value = static_cast<std::uint8_t>(generator_() % 255);
        byte = value < kAcknowledgementLead ? value : static_cast<std::uint8_t>(value + 1);
    }
    return bytes;
}
