#pragma once

#include "serialport/windows/Win32Api.h"

// What the failure of a device call says about the device. Drivers report a
// device that went away (an adapter pulled, its driver gone) with many
// different codes, so none is singled out: every failed read or write ends
// the port as lost, except the two failures a live device has as well. Our
// own cancels (close) and the system's (standby, resume) end calls with
// ERROR_OPERATION_ABORTED; a write that ran out of time ends with a time-out
// code (or with success and a short count).

inline bool isTimeoutError(DWORD error)
{
    return error == ERROR_SEM_TIMEOUT || error == ERROR_TIMEOUT;
}

inline bool meansDeviceGone(DWORD error)
{
    return error != ERROR_SUCCESS && error != ERROR_OPERATION_ABORTED && !isTimeoutError(error);
}
