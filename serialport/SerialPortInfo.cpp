#include "serialport/SerialPortInfo.h"

#include "serialport/PortSource.h"
#include "serialport/SerialPortAssembly.h"

std::vector<SerialPortInfo> enumerateSerialPorts()
{
    return assembleSerialPorts(readPresentPorts());
}
