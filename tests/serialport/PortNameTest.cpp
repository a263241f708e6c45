// Port names as operators type them and systems list them: which denote the
// same port, how a name becomes a device path, and the order of a list.
#include "serialport/PortName.h"
#include "serialport/SerialPortAssembly.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PortName, TellsWhichNamesDenoteOnePort)
{
#ifdef _WIN32
    EXPECT_TRUE(isSamePortName("COM5", "com5"));
    EXPECT_TRUE(isSamePortName("\\\\.\\COM5", "cOm5"));
    EXPECT_FALSE(isSamePortName("COM5", "COM50"));
#else
    EXPECT_TRUE(isSamePortName("/dev/ttyUSB0", "ttyUSB0"));
    EXPECT_TRUE(isSamePortName("\\\\.\\ttyUSB0", "/dev/ttyUSB0"));
    EXPECT_FALSE(isSamePortName("ttyusb0", "ttyUSB0"));
    EXPECT_FALSE(isSamePortName("/tmp/ttyUSB0", "ttyUSB0"));
#endif
    EXPECT_EQ(win32DevicePath("COM10"), "\\\\.\\COM10");
    EXPECT_EQ(win32DevicePath("\\\\.\\COM10"), "\\\\.\\COM10");
}

// Windows names ports in any case; a device without a name cannot be opened.
TEST(PortName, ListsNamedPortsInNaturalOrderRegardlessOfCase)
{
    std::string listed;
    for (const SerialPortInfo& port : assembleSerialPorts({{"COM10", "", ""}, {"", "ACPI\\PNP0501", "Port"},
                                                           {"com3", "", ""}, {"COM2", "", ""}}))
        listed += std::string(port.portName) + " ";
    EXPECT_EQ(listed, "COM2 com3 COM10 ");
}

} // namespace
