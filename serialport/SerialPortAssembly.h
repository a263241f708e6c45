#pragma once

#include "serialport/PortSource.h"
#include "serialport/SerialPortInfo.h"

// Builds the record the caller sees from a port's raw texts: a USB id is
// shortened to "vvvv:pppp" and named from the adapter table where possible;
// otherwise the friendly name describes the port, without its " (COMn)"
// suffix. Every field is cut to 255 bytes.
SerialPortInfo assembleSerialPortInfo(const RawPortTexts& raw);
