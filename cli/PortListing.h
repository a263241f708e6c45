#pragma once

#include "serialport/SerialPortInfo.h"
#include "session/PortIdentity.h"

#include <QString>

#include <vector>

// The list command: one port per line (name, adapter, hardware id), or a
// JSON array of objects with those three fields.
void printPortList(const std::vector<SerialPortInfo>& present, bool json);
