#pragma once

#include <string_view>

// Which terminals open as serial ports: serial lines, and pseudo-terminals
// (the virtual chip and the tests stand behind them). Not the controlling
// terminal of this process, where the operator types: writing frames to it
// and leaving it raw would wreck the session. Not virtual consoles, nor
// other terminals that are no serial line.

// Whether the open tty `fd` may be used as a serial port.
bool isSerialPortTty(int fd);

// Whether the kernel's tty driver table (the text of /proc/tty/drivers)
// makes the character device major:minor a serial line or a pty's slave
// side, rather than a console or another terminal. A device that no driver
// of the table claims is given the benefit of the doubt.
bool isSerialLine(std::string_view driverTable, unsigned int major, unsigned int minor);
