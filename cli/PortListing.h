#pragma once

#include "serialport/SerialPortInfo.h"
#include "session/PortIdentity.h"

#include <QString>

#include <vector>

// The list command: one port per line (name, adapter, hardware id, adapter
// serial number), or a JSON array of objects with those four fields.
void printPortList(const std::vector<SerialPortInfo>& present, bool json);
