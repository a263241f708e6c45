#pragma once

// The Win32 API the serial backend is written against: the real one on
// Windows, our POSIX implementation of the same subset elsewhere.
#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <process.h>
#else
#include "serialport/posix/Win32Subset.h"
#endif
