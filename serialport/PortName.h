#pragma once

#include <string>
#include <string_view>

// Port names as the operator types them and as the system lists them.

// Whether two names denote the same port. On Windows regardless of case and
// of the device prefix: "com5", "COM5" and "\\.\COM5" are one port. On POSIX
// systems a tty name is also its path under /dev: "ttyUSB0", "/dev/ttyUSB0"
// and "\\.\ttyUSB0" are one port; case counts.
bool isSamePortName(std::string_view left, std::string_view right);

// The path the backend opens for a port name: "\\.\" and the name, unless
// the name starts with that prefix already ("\\.\COM10" stays as typed).
std::string win32DevicePath(std::string_view portName);

#ifndef _WIN32
// The tty a port name, or its device path, stands for on POSIX systems: an
// absolute path as it is, a name below /dev ("ttyUSB0" is /dev/ttyUSB0).
std::string ttyPathOf(std::string_view portName);
#endif
