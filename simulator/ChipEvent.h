#pragma once

#include <chrono>
#include <cstdint>

// Everything that passes between the program and the simulated chip.
enum class ChipMessage
{
    // Frames from the program.
    PortOpenNotice,  // 10 05
    BootModeRequest, // 10 66
    DataBlock,       // 55 66 33, block, length, payload, CRC
    EndOfTransfer,   // 55 66 34 00 01 AA C9 8B
    ExitBootMode,    // 55 66 35 00 01 AA 35 8A
    FactoryReset,    // 55 66 36 00 01 AA 71 8A

    // What the chip writes.
    BootReady,        // 55 66 32 02 05 00
    BlockWritten,     // 55 66 33
    TransferEnded,    // 55 66 34
    BootExited,       // 55 66 35
    FactoryResetDone, // 55 66 36
    Banner,           // the boot text, when a program has opened the port
    Noise,            // stray bytes after an answer
};

// One message on the line. The times are the ones a latency measurement
// needs: a frame counts from when its first byte was read, which is when the
// program wrote it (with a wire, its last byte is in a wire time later); what
// the chip writes counts from when its last byte was written, stamped right
// before the write, as no program can read it sooner.
struct ChipEvent
{
    ChipMessage message;
    std::uint16_t block; // of a DataBlock frame; 0 for every other message
    std::chrono::steady_clock::time_point time;
};
