#pragma once

#include "simulator/ChipEvent.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the simulated chip, one board of it, has seen and done so far.
struct ChipRecord
{
    // The payloads of the latest transfer in block order; a new boot mode
    // starts it afresh, as the program then sends the image again.
    std::vector<std::uint8_t> image;
    // Every well-formed frame received and everything written, in order.
    std::vector<ChipEvent> events;
    // The first violation of the protocol; empty while the program kept to it.
    std::string protocolError;
    // Bytes lost because they came while a block was being written (busyDrop).
    std::size_t droppedBytes = 0;
    // The line's state, whichever board is on it: the chip closed its side,
    bool hungUp = false;
    // or the program closed the port after the chip let go of the line.
    bool portReleased = false;

    std::size_t count(ChipMessage message) const
    {
        return static_cast<std::size_t>(std::count_if(
            events.begin(), events.end(), [message](const ChipEvent& event) { return event.message == message; }));
    }
};
