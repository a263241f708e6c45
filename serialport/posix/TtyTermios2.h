#pragma once

// The translation between a DCB and the kernel's termios2, apart from the
// ioctls so that it can be checked directly: some ttys (ptys among them)
// keep only part of what they are told.

#include "serialport/posix/Win32Subset.h"

#include <asm/termbits.h>

// Turns `tty` (the tty's current settings) into raw mode with the DCB's line
// settings. Returns ERROR_INVALID_PARAMETER, leaving `tty` alone, for settings
// Windows refuses, such as 1.5 stop bits with more than 5 data bits.
DWORD termios2ForDcb(const DCB& dcb, termios2& tty);

// The DCB that describes `tty`.
void dcbForTermios2(const termios2& tty, DCB& dcb);
