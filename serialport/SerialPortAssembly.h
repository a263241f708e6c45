#pragma once

#include "serialport/PortSource.h"
#include "serialport/SerialPortInfo.h"

#include <vector>

// Builds the record the caller sees from a port's raw texts: a USB id is
// shortened to "vvvv:pppp" and named from the adapter table where possible;
// otherwise the friendly name describes the port, without its " (COMn)"
// suffix. Every field is cut to 255 bytes.
SerialPortInfo assembleSerialPortInfo(const RawPortTexts& raw);

// The records of a platform's ports, ordered by name in natural order
// ("COM2" before "COM10", "ttyS2" before "ttyS10"): the order in which the
// system lists them depends on the order devices were installed or on the
// file system, and operators want a stable list. A device without a port
// name cannot be opened, so it is left out.
std::vector<SerialPortInfo> assembleSerialPorts(std::vector<RawPortTexts> raw);
