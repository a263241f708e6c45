#pragma once

#include <cstdint>
#include <random>
#include <vector>

// Stray bytes such as a chip's serial line picks up: 1 to 16 at a time, drawn
// from a seed, so a run with the same seed sees the same noise on every
// machine. The byte 0x55 never occurs: every acknowledgement starts with it,
// so noise can garble an acknowledgement but never forge one.
class LineNoise
{
public:
    explicit LineNoise(std::uint32_t seed) : generator_(seed) {}

    std::vector<std::uint8_t> next();

private:
    // Its output sequence is fixed by the C++ standard; the distributions are
    // not, which is why next() maps its numbers by hand.
    std::mt19937 generator_;
};
