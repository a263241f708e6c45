#pragma once

#include <string_view>

// Whether two names denote the same port, as this system names ports: on
// Windows in any case and with or without the device prefix (COM5, com5,
// \\.\COM5); on POSIX systems as a tty name or its path under /dev (ttyUSB0,
// /dev/ttyUSB0).
bool isSamePortName(std::string_view left, std::string_view right);
