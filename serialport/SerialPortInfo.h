#pragma once

#include "serialport/UsbAdapterNames.h"

#include <vector>

// One present serial port. Each field is NUL-terminated text of at most 255
// bytes, in the system ANSI code page on Windows.
struct SerialPortInfo {
    char portName[256];    // "COM5" on Windows, the tty name ("ttyUSB0") on Linux; never empty
    char description[256]; // known adapter or vendor name, else the device's own name; may be empty
    char hardwareId[256];  // "vvvv:pppp" for a USB device, else the system's id as read; may be empty
    char serialNumber[256]; // the USB adapter's serial number where it reports one; may be empty
};

// The ports present now, by name in natural order (COM2 before COM10). Never fails:
// the list is empty when nothing can be enumerated.
std::vector<SerialPortInfo> enumerateSerialPorts();

