#pragma once

#include "flash/DialogueReport.h"

#include <cstddef>
#include <cstdint>

// What FlashSequence needs from the place a board's runs happen in: a way to
// write to the chip, and someone to tell. The sequence never calls it with a
// lock held, and reports one at a time, in the order the dialogue made them,
// from the thread that drives the sequence at that moment (the caller of an
// action, the serial event thread, or the sequence's deadline thread). An
// implementation hands what it shows to its own thread without waiting.
class SequenceHost
{
public:
    virtual ~SequenceHost() = default;

    // Writes one frame; true when every byte of it went out.
    virtual bool write(const std::uint8_t* bytes, std::size_t length) = 0;
    virtual void report(const DialogueReport& report) = 0;
};
