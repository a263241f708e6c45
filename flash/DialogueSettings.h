#pragma once

#include <chrono>

// When the next frame goes out.
enum class Pacing {
    // After the pauses the bootloader's protocol mandates: 1000 ms after its
    // boot-ready answer, 100 ms after the first frame, 300 ms after every
    // further full block and 5 ms after everything else, whatever the chip
    // answers meanwhile.
    Protocol,
    // As soon as the awaited answer has arrived and been checked, after a
    // minimum gap: for chips that acknowledge a block only once it is written.
    Acknowledged,
};

// How one board's runs talk to its chip; the defaults are the protocol's.
struct DialogueSettings
{
    static constexpr std::chrono::milliseconds kDefaultReplyDeadline{5000};

    // How long a reply may take: counted from the end of the pause that
    // follows its request (under acknowledged pacing there is none).
    std::chrono::milliseconds replyDeadline = kDefaultReplyDeadline;
    Pacing pacing = Pacing::Protocol;
    // Under acknowledged pacing, the least time between an answer and the
    // frame it lets go.
    std::chrono::milliseconds minimumGap{0};
};
