#pragma once

#include <string>
#include <string_view>

// Which terminals open as serial ports: serial lines, and pseudo-terminals
// (the virtual chip and the tests stand behind them). Not the controlling
// terminal of this process, where the operator types: writing frames to it
// and leaving it raw would wreck the session. Not virtual consoles, nor
// other terminals that are no serial line.

// Whether the open tty `fd` may be used as a serial port. A tty that the
// kernel's driver table does not describe is given the benefit of the doubt.
bool isSerialPortTty(int fd);

// The type the kernel's tty driver table (the text of /proc/tty/drivers)
// gives the character device major:minor ("serial", "pty:slave",
// "console", "system:vtmaster", ...); empty when no driver claims it.
std::string ttyDriverType(std::string_view driverTable, unsigned int major, unsigned int minor);
