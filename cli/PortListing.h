#pragma once

#include "serialport/SerialPortInfo.h"

#include <QString>

#include <vector>

// What the system says about one port, for the record of a run; both texts
// are empty for a port it does not list (a pseudo-terminal, a typo).
struct PortIdentity
{
    QString adapterName;
    QString hardwareId;
};

// The port among `present` that `portName` names: its listed name, or on
// POSIX systems also its path under /dev.
PortIdentity identifyPort(const std::vector<SerialPortInfo>& present, const QString& portName);

// The list command: one port per line (name, adapter, hardware id), or a
// JSON array of objects with those three fields.
void printPortList(const std::vector<SerialPortInfo>& present, bool json);
