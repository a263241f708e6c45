#include "serialport/SerialPortAssembly.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct AssemblyCase {
    const char* name;
    RawPortTexts raw;
    const char* portName;
    const char* hardwareId;
    const char* description;
};

const AssemblyCase assemblyCases[] = {
    {"known adapter, revision ignored", {"COM5", "USB\\VID_1A86&PID_7523&REV_0264", "USB-SERIAL CH340 (COM5)"},
     "COM5", "1a86:7523", "QinHeng CH340 serial converter"},
    {"lower-case ids", {"COM4", "USB\\VID_0403&PID_6001", "USB Serial Port (COM4)"},
     "COM4", "0403:6001", "FTDI FT232 Serial (UART) IC"},
    {"known vendor only", {"COM6", "USB\\VID_1A86&PID_1234", "USB-SERIAL (COM6)"},
     "COM6", "1a86:1234", "QinHeng serial"},
    {"unknown USB id", {"COM7", "USB\\VID_1234&PID_5678", "USB Serial Device (COM7)"},
     "COM7", "1234:5678", "USB Serial Device"},
    {"ACPI id", {"COM1", "ACPI\\PNP0501", "Communications Port (COM1)"},
     "COM1", "ACPI\\PNP0501", "Communications Port"},
    {"other bus naming a known vendor", {"COM8", "FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000", "USB Serial Port (COM8)"},
     "COM8", "FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000", "USB Serial Port"},
    {"USB\\ not at the start", {"COM9", "XUSB\\VID_0403&PID_6001", "Bridge (COM9)"},
     "COM9", "XUSB\\VID_0403&PID_6001", "Bridge"},
    {"prefix in other case", {"COM9", "usb\\VID_0403&PID_6001", "Bridge"},
     "COM9", "usb\\VID_0403&PID_6001", "Bridge"},
    {"no product id", {"COM10", "USB\\VID_1A86", "Half id (COM10)"},
     "COM10", "USB\\VID_1A86", "Half id"},
    {"vendor id over four digits", {"COM11", "USB\\VID_1A86A&PID_7523", "Long id"},
     "COM11", "USB\\VID_1A86A&PID_7523", "Long id"},
    {"two port suffixes", {"COM3", "", "Dual (COM3) (COM4)"}, "COM3", "", "Dual"},
    {"suffix without blank kept", {"COM2", "", "Port(COM2)"}, "COM2", "", "Port(COM2)"},
    {"no port name", {"", "USB\\VID_0403&PID_6001", ""}, "", "0403:6001", "FTDI FT232 Serial (UART) IC"},
    {"nothing readable", {"", "", ""}, "", "", ""},
};

TEST(SerialPortAssembly, BuildsTheRecordFromTheRawTexts)
{
    for (const AssemblyCase& c : assemblyCases) {
        SCOPED_TRACE(c.name);
        const SerialPortInfo info = assembleSerialPortInfo(c.raw);
        EXPECT_STREQ(info.portName, c.portName);
        EXPECT_STREQ(info.hardwareId, c.hardwareId);
        EXPECT_STREQ(info.description, c.description);
    }
}

TEST(SerialPortAssembly, CutsLongTextsTo255Bytes)
{
    const std::string longText(300, 'x');
    // The port suffix lies beyond the cut, so it is no longer there to remove.
    const SerialPortInfo info = assembleSerialPortInfo({longText, longText, longText + " (COM5)"});
    EXPECT_EQ(std::string(info.portName), longText.substr(0, 255));
    EXPECT_EQ(std::string(info.hardwareId), longText.substr(0, 255));
    EXPECT_EQ(std::string(info.description), longText.substr(0, 255));
}

// Runs the platform's own source for real (SetupDi under Windows or wine,
// sysfs on Linux): a USB id it reads must come out shortened.
TEST(SerialPortEnumeration, ShortensEveryUsbIdOfThisMachine)
{
    for (const SerialPortInfo& port : enumerateSerialPorts()) {
        SCOPED_TRACE(port.portName);
        EXPECT_NE(std::strncmp(port.hardwareId, "USB\\VID_", 8), 0);
    }
}

} // namespace
