#pragma once

#include "simulator/ChipEvent.h"

#include <chrono>
#include <string>
#include <vector>

// The pauses a flashing program keeps between its frames. After each write it
// pauses, and only then reads the answer: 5 ms after the boot-mode request,
// 100 ms after block 1 and after the factory-reset order, 300 ms after a block
// that is neither the first nor the last, 5 ms after the last block and after
// the end-of-transfer and exit-boot-mode frames. Having read the boot-ready
// answer it pauses 1000 ms more before block 1 or the factory-reset order.
//
// A frame is timed from when its first byte was read, which is when the
// program wrote it, also with a wire (its last byte is in a wire time later,
// and the program's pause runs meanwhile); the boot-ready answer from when
// its last byte was written.
//
// The chip reads a frame a little after the program wrote it, and on a loaded
// machine a lot after (4 ms late in a hundred frames, 15 ms at worst, measured
// with the tests running beside it on two cores). A late stamp on the earlier
// frame shortens the gap measured. So a gap short of the pause by more than
// kHostPauseTolerance is a violation only when it is short by more than
// kLateStampAllowance too, or when the answer that the program wrote the
// earlier frame upon confirms it: the program cannot have written that frame
// before that answer was written, and an answer's stamp is never late. A
// pause left out is short by nearly all of it, and confirmed either way.

// Slack for the program's timer, which may wake a little early.
constexpr std::chrono::milliseconds kHostPauseTolerance{2};
// More than the chip's stamp of a frame lags behind its write.
constexpr std::chrono::milliseconds kLateStampAllowance{25};

// Checks the frame that `events` ends with, just received, against the pause
// the program had to keep after what came before it. Returns what is wrong,
// e.g. "block 3 came 12 ms after block 2; the host must pause 300 ms", or an
// empty text. A frame with nothing before it to be timed from is left to the
// dialogue's own checks; so is the port-open notice, which a program writes
// when it opens the port, whatever came before.
std::string hostPauseViolation(const std::vector<ChipEvent>& events);
