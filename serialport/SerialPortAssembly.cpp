#include "serialport/SerialPortAssembly.h"

#include "serialport/HexText.h"
#include "serialport/NaturalOrder.h"
#include "serialport/TextField.h"
#include "serialport/UsbAdapterNames.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

// "USB\VID_1A86&PID_7523&REV_0264" becomes "1a86:7523". Ids of other buses,
// and USB ids that do not scan, stay as read.
void shortenUsbId(char (&hardwareId)[256])
{
    std::string_view id = hardwareId;
    unsigned int vendor = 0;
    unsigned int product = 0;
    if (takePrefix(id, "USB\\VID_") && takeHexNumber(id, 4, vendor) && takePrefix(id, "&PID_") &&
        takeHexNumber(id, 4, product))
        std::snprintf(hardwareId, sizeof hardwareId, "%04x:%04x", vendor, product);
}

// Windows appends the port to friendly names ("USB-SERIAL CH340 (COM3)");
// the port name is shown on its own, so it goes.
void cutPortSuffix(char (&friendlyName)[256])
{
    if (char* suffix = std::strstr(friendlyName, " (COM"))
        *suffix = '\0';
}

} // namespace

SerialPortInfo assembleSerialPortInfo(const RawPortTexts& raw)
{
    SerialPortInfo info{};
    copyTextField(info.portName, raw.portName.c_str());
    copyTextField(info.hardwareId, raw.hardwareId.c_str());
    copyTextField(info.description, raw.friendlyName.c_str());
    copyTextField(info.serialNumber, raw.serialNumber.c_str());

    shortenUsbId(info.hardwareId);
    char adapterName[256] = "";
    lookupAdapterName(info.hardwareId, adapterName);
    if (adapterName[0] != '\0')
        copyTextField(info.description, adapterName);
    else
        cutPortSuffix(info.description);
    return info;
}

std::vector<SerialPortInfo> assembleSerialPorts(std::vector<RawPortTexts> raw)
{
    std::sort(raw.begin(), raw.end(), [](const RawPortTexts& left, const RawPortTexts& right) {
        return naturalLess(left.portName, right.portName);
    });
    std::vector<SerialPortInfo> ports;
    for (const RawPortTexts& port : raw) {
        if (!port.portName.empty())
            ports.push_back(assembleSerialPortInfo(port));
    }
    return ports;
}
