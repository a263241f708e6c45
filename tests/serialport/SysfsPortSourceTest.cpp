#include "serialport/posix/SysfsPortSource.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <fstream>

namespace fs = std::filesystem;

bool operator==(const RawPortTexts& left, const RawPortTexts& right)
{
    return left.portName == right.portName && left.hardwareId == right.hardwareId && left.friendlyName == right.friendlyName;
}

namespace {

// A sysfs tree laid out like Linux's: devices under devices/, each tty in a
// "tty" folder below its device and linked from class/tty/, relative links.
class FakeSysfs
{
public:
    FakeSysfs() : root(mkdtemp((fs::temp_directory_path() / "fake-sysfs-XXXXXX").string().data())) {}
    ~FakeSysfs() { fs::remove_all(root); }

    // Writes the attribute files, "name=text" each.
    fs::path device(const fs::path& path, std::initializer_list<std::string> attributes = {}) const
    {
        fs::create_directories(root / path);
        for (const std::string& attribute : attributes)
            std::ofstream(root / path / attribute.substr(0, attribute.find('='))) << attribute.substr(attribute.find('=') + 1) << '\n';
        return path;
    }

    void link(const fs::path& from, const fs::path& to) const
    {
        fs::create_directories(root / from.parent_path());
        fs::create_directory_symlink(to.lexically_relative(from.parent_path()), root / from);
    }

    // The serial core gives its ttys a UART type (0: none there); others have none.
    void tty(const std::string& name, const fs::path& owner, const std::string& type = "", bool withDevice = true) const
    {
        const fs::path tty = device(owner / "tty" / name, {"type=" + type});
        if (withDevice)
            link(tty / "device", owner);
        link("class/tty/" + name, tty);
    }

    const fs::path root;
};

TEST(SysfsPortSource, ListsSerialPortsWithTheirIdsAndNamesInNaturalOrder)
{
    FakeSysfs sysfs;
    const fs::path hub = sysfs.device("devices/usb1", {"idVendor=1d6b", "idProduct=0002", "product=xHCI Host Controller"});
    // usb-serial: port, interface, device; cdc_acm: interface, device.
    sysfs.tty("ttyUSB10", sysfs.device(hub / "1-1", {"idVendor=1a86", "idProduct=7523", "bcdDevice=0264", "product=USB Serial"}) / "1-1:1.0/ttyUSB10");
    sysfs.tty("ttyUSB2", sysfs.device(hub / "1-2", {"idVendor=67b", "idProduct=2303"}) / "1-2:1.0/ttyUSB2");
    sysfs.tty("ttyACM0", sysfs.device(hub / "1-3", {"idVendor=0483", "idProduct=5740", "product=STM32 Port"}) / "1-3:1.0");
    // Since Linux 6.5 the serial core's own devices stand between a UART and its tty.
    const fs::path uart = sysfs.device("devices/pnp0/00:04", {"id=PNP0501\nPNP0500"});
    sysfs.link(uart / "00:04:0/subsystem", "bus/serial-base");
    sysfs.link(uart / "00:04:0/00:04:0.0/subsystem", "bus/serial-base");
    sysfs.tty("ttyS0", sysfs.device(uart / "00:04:0/00:04:0.0"), "4");
    sysfs.tty("ttyS3", sysfs.device("devices/platform/serial8250"), "0"); // no UART answers there
    sysfs.tty("tty1", sysfs.device("devices/virtual"), "", false);

    const std::vector<RawPortTexts> expected = {
        {"ttyACM0", "USB\\VID_0483&PID_5740", "STM32 Port"},
        {"ttyS0", "PNP0501", ""},
        {"ttyUSB2", "USB\\VID_067B&PID_2303", ""},
        {"ttyUSB10", "USB\\VID_1A86&PID_7523&REV_0264", "USB Serial"},
    };
    EXPECT_TRUE(readSysfsPorts(sysfs.root) == expected);
    EXPECT_TRUE(readSysfsPorts("/nonexistent-sysfs").empty());
}

} // namespace
