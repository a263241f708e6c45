#pragma once

#include "serialport/SerialPortInfo.h"

#include <QString>

#include <vector>

// What the system says about one port: the texts are empty for a port it
// does not list (a pseudo-terminal, a typo). They are as the system gives
// them: see PrintableText.h before showing them.
struct PortIdentity
{
    QString adapterName;
    QString hardwareId;
    QString serialNumber; // the USB adapter's own, where it reports one
};

// The port among `present` that `portName` names, by any of its names.
PortIdentity identifyPort(const std::vector<SerialPortInfo>& present, const QString& portName);

// A text field of a port record: NUL-terminated within its 256 bytes, read
// no further even when the terminator is missing.
QString portFieldText(const char (&field)[256]);
