#pragma once

#include "serialport/posix/Win32Subset.h"

// The line settings of an open tty as a DCB, and back. Kept apart from the
// rest of the layer because it speaks the kernel's termios2, whose header
// cannot be mixed with <termios.h>.

// Fills the DCB from the tty. Returns ERROR_SUCCESS or a Win32 error code.
DWORD readTtyLineSettings(int fd, DCB& dcb);

// Puts the tty into raw mode with the DCB's speed (any rate), character size,
// parity (mark and space included), stop bits and flow control. Settings that
// Windows refuses, such as 1.5 stop bits with more than 5 data bits, give
// ERROR_INVALID_PARAMETER and leave the tty unchanged.
DWORD applyTtyLineSettings(int fd, const DCB& dcb);
