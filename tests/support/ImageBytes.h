#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Image bytes in which every block differs from its neighbours, so a payload
// taken from the wrong offset shows.
inline std::vector<std::uint8_t> imageBytes(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256 + 1);
    return bytes;
}
