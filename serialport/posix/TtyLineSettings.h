#pragma once

#include "serialport/posix/Win32Subset.h"

#include <memory>

// The line settings of a tty as a DCB, and back, through the kernel's
// termios2. Its header cannot be mixed with <termios.h>, so the structure is
// only declared here.
struct termios2;

// Fills the DCB from the tty. Returns ERROR_SUCCESS or a Win32 error code.
DWORD readTtyLineSettings(int fd, DCB& dcb);

// Puts the tty into raw mode with the DCB's speed, character size,
// parity (mark and space included), stop bits and flow control. Settings that
// Windows refuses, such as 1.5 stop bits with more than 5 data bits, give
// ERROR_INVALID_PARAMETER and leave the tty unchanged. A rate that termios
// names (B50 ... B4000000) is set as that standard speed, so every termios
// reader (stty, a terminal program) sees it; any other rate, such as 14400,
// goes as a number (BOTHER).
DWORD applyTtyLineSettings(int fd, const DCB& dcb);

// The translation applyTtyLineSettings makes, on `tty` (the tty's current
// settings) rather than on a device: some ttys, ptys among them, keep only
// part of what they are told, so this is where the whole of it can be seen.
DWORD termios2ForDcb(const DCB& dcb, termios2& tty);

// The line settings a tty had when it was opened, put back when it is let go.
class SavedTtyLine
{
public:
    // Nothing is put back if they cannot be read.
    explicit SavedTtyLine(int fd);
    ~SavedTtyLine();

    SavedTtyLine(const SavedTtyLine&) = delete;
    SavedTtyLine& operator=(const SavedTtyLine&) = delete;

    void restore(int fd) const;

private:
    std::unique_ptr<termios2> settings_;
};
