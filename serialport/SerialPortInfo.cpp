#include "serialport/SerialPortInfo.h"

#include "serialport/PortSource.h"
#include "serialport/SerialPortAssembly.h"

std::vector<SerialPortInfo> enumerateSerialPorts()
{
    std::vector<SerialPortInfo> ports;
    for (const RawPortTexts& raw : readPresentPorts())
        ports.push_back(assembleSerialPortInfo(raw));
    return ports;
}
