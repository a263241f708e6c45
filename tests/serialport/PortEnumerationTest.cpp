// Port names and enumeration: which names denote the same port and how a
// name becomes a device path; the record every platform's port source is
// turned into, named from the adapter table where it can be, the order of
// the list, and each platform's source.
#include "serialport/PortName.h"
#include "serialport/SerialPortAssembly.h"

#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include "tests/support/TestEnvironment.h"

#include <map>
#include <optional>
#else
#include "serialport/posix/SysfsPortSource.h"
#include "tests/support/FakeSysfs.h"
#endif

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

// The list comes in natural order whatever the case of the names (Windows
// names ports in any); a device without a name cannot be opened and is left out.
TEST(SerialPortAssembly, ShortensUsbIdsNamesThePortsAndListsThemInNaturalOrder)
{
    const struct {
        RawPortTexts raw;
        const char* hardwareId;
        const char* description;
    } listed[] = {
        {{"COM2", "1a86", "Name (COM2)"}, "1a86", "Name"}, // a vendor key is no lookup key
        {{"com3", "ACPI\\PNP0501", "Dual (COM3) (COM4)"}, "ACPI\\PNP0501", "Dual"},
        {{"COM5", "USB\\VID_1A86&PID_7523&REV_0264", "USB-SERIAL CH340 (COM5)"}, "1a86:7523", "QinHeng CH340 serial converter"},
        {{"COM6", "USB\\VID_1A86&PID_1234", "USB-SERIAL (COM6)"}, "1a86:1234", "QinHeng serial"},
        {{"COM7", "USB\\VID_1234&PID_5678", "USB Serial Device (COM7)"}, "1234:5678", "USB Serial Device"},
        // Another bus naming a known vendor keeps its id and its own name.
        {{"COM8", "FTDIBUS\\VID_0403+PID_6001\\0000", "USB Serial Port (COM8)"}, "FTDIBUS\\VID_0403+PID_6001\\0000", "USB Serial Port"},
        // Adapter keys are lower-case: this one is only known by its vendor.
        {{"COM10", "1A86:7523", "Name"}, "1A86:7523", "QinHeng serial"},
    };
    std::vector<RawPortTexts> raw{{"", "ACPI\\PNP0501", "Port"}};
    for (const auto& port : listed)
        raw.insert(raw.begin(), port.raw);
    const std::vector<SerialPortInfo> ports = assembleSerialPorts(raw);
    ASSERT_EQ(ports.size(), std::size(listed));
    for (std::size_t i = 0; i < ports.size(); ++i) {
        EXPECT_EQ(ports[i].portName, listed[i].raw.portName);
        EXPECT_STREQ(ports[i].hardwareId, listed[i].hardwareId);
        EXPECT_STREQ(ports[i].description, listed[i].description);
    }
    const std::string longText(300, 'x');
    EXPECT_EQ(std::string(assembleSerialPortInfo({longText, "", ""}).portName), longText.substr(0, 255));
}

#ifdef _WIN32
// .ci/run adds a port to wine's serial device map (HARDWARE\DEVICEMAP\SERIALCOMM)
// that no device stands for, and names it in ORVANNE_REGISTRY_ONLY_PORT.
TEST(SerialPortEnumeration, ListsEveryPortOnceAndNoPrinterPorts)
{
    const std::optional<std::string> registryOnly = environmentValue("ORVANNE_REGISTRY_ONLY_PORT");
    if (!registryOnly)
        GTEST_SKIP() << "needs a port that only the registry lists";
    std::map<std::string, int> listed;
    for (const SerialPortInfo& port : enumerateSerialPorts())
        ++listed[port.portName];
    EXPECT_EQ(listed[*registryOnly], 1);
    for (const auto& [name, count] : listed) {
        EXPECT_EQ(count, 1) << name;
        EXPECT_NE(name.substr(0, 3), "LPT");
    }
}
#else
TEST(SysfsPortSource, ListsSerialPortsWithTheirIdsAndNamesInNaturalOrder)
{
    FakeSysfs sysfs;
    const std::filesystem::path hub = sysfs.device("devices/usb1", {"idVendor=1d6b", "idProduct=0002", "product=xHCI Host Controller"});
    // usb-serial: device, interface, port, tty.
    sysfs.tty("ttyUSB10", sysfs.device(hub / "1-1", {"idVendor=1a86", "idProduct=7523", "bcdDevice=0264", "product=USB Serial"}) / "1-1:1.0/ttyUSB10");
    sysfs.tty("ttyUSB2", sysfs.device(hub / "1-2", {"idVendor=67b", "idProduct=2303"}) / "1-2:1.0/ttyUSB2");
    // Since Linux 6.5 the serial core's own devices stand between a UART and its tty.
    const std::filesystem::path uart = sysfs.device("devices/pnp0/00:04", {"id=PNP0501\nPNP0500"});
    sysfs.link(uart / "00:04:0/subsystem", "bus/serial-base");
    sysfs.link(uart / "00:04:0/00:04:0.0/subsystem", "bus/serial-base");
    sysfs.tty("ttyS0", uart / "00:04:0/00:04:0.0", "4");
    sysfs.tty("ttyS3", sysfs.device("devices/platform/serial8250"), "0");
    sysfs.device("devices/virtual/tty/tty1"); // no device link: no hardware
    sysfs.link("class/tty/tty1", "devices/virtual/tty/tty1");

    std::string listed;
    for (const SerialPortInfo& port : assembleSerialPorts(readSysfsPorts(sysfs.root)))
        listed += std::string(port.portName) + " " + port.hardwareId + " " + port.description + "\n";
    EXPECT_EQ(listed, "ttyS0 PNP0501 \n"
                      "ttyUSB2 067b:2303 Prolific PL2303 Serial Port\n"
                      "ttyUSB10 1a86:7523 QinHeng CH340 serial converter\n");
}

#endif

} // namespace
