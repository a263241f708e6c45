#include "serialport/SerialPortInfo.h"
#include "serialport/posix/NaturalOrder.h"
#include "serialport/posix/SysfsPortSource.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <fstream>
#include <ostream>
#include <stdexcept>

namespace fs = std::filesystem;

bool operator==(const RawPortTexts& left, const RawPortTexts& right)
{
    return left.portName == right.portName && left.hardwareId == right.hardwareId
           && left.friendlyName == right.friendlyName;
}

void PrintTo(const RawPortTexts& port, std::ostream* out)
{
    *out << "{" << port.portName << ", " << port.hardwareId << ", " << port.friendlyName << "}";
}

namespace {

// A sysfs tree laid out like Linux's: devices under devices/, ttys linked from
// class/tty/, relative links as the kernel makes them.
class FakeSysfs {
public:
    FakeSysfs()
    {
        std::string pattern = (fs::temp_directory_path() / "fake-sysfs-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot create a temporary folder");
        root_ = pattern;
        fs::create_directories(root_ / "class" / "tty");
    }
    ~FakeSysfs()
    {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    const fs::path& root() const { return root_; }

    // Relative to the root, or an absolute path inside it.
    fs::path folder(const fs::path& relative) const
    {
        fs::create_directories(root_ / relative);
        return root_ / relative;
    }

    static void write(const fs::path& file, const std::string& text) { std::ofstream(file) << text << '\n'; }

    static void link(const fs::path& from, const fs::path& to)
    {
        fs::create_directory_symlink(to.lexically_relative(from.parent_path()), from);
    }

    // The tty lives in a "tty" folder below the device it belongs to.
    fs::path addTty(const std::string& name, const fs::path& owner, bool withDevice = true) const
    {
        const fs::path tty = owner / "tty" / name;
        fs::create_directories(tty);
        if (withDevice)
            link(tty / "device", owner);
        link(root_ / "class" / "tty" / name, tty);
        return tty;
    }

    // Without a product name the device has no "product" attribute.
    fs::path addUsbDevice(const fs::path& relative, const char* vendor, const char* product, const char* revision,
                          const char* productName = nullptr) const
    {
        const fs::path device = folder(relative);
        write(device / "idVendor", vendor);
        write(device / "idProduct", product);
        write(device / "bcdDevice", revision);
        if (productName)
            write(device / "product", productName);
        return device;
    }

    void bindDriver(const fs::path& device, const std::string& bus, const std::string& driver) const
    {
        link(device / "driver", folder("bus/" + bus + "/drivers/" + driver));
    }

    // Linux 6.5 and later: controller and port devices of the serial core
    // between the hardware and its tty.
    fs::path addSerialBase(const fs::path& hardware, int line) const
    {
        const fs::path controller = hardware / (hardware.filename().string() + ":0");
        const fs::path port = controller / (controller.filename().string() + "." + std::to_string(line));
        fs::create_directories(port);
        link(controller / "subsystem", folder("bus/serial-base"));
        link(port / "subsystem", folder("bus/serial-base"));
        return port;
    }

private:
    fs::path root_;
};

TEST(SysfsPortSource, ListsSerialPortsWithTheirIdsAndNames)
{
    FakeSysfs sysfs;
    const fs::path rootHub = sysfs.addUsbDevice("devices/pci0000:00/0000:00:14.0/usb1", "1d6b", "0002", "0606",
                                                "xHCI Host Controller");
    const fs::path ch340 = sysfs.addUsbDevice(rootHub / "1-1", "1a86", "7523", "0264", "USB Serial");
    sysfs.addTty("ttyUSB0", sysfs.folder(ch340 / "1-1:1.0" / "ttyUSB0"));
    const fs::path ftdi = sysfs.addUsbDevice(rootHub / "1-2", "0403", "6001", "0600", "FT232R USB UART");
    sysfs.addTty("ttyUSB1", sysfs.folder(ftdi / "1-2:1.0" / "ttyUSB1"));
    const fs::path unnamed = sysfs.addUsbDevice(rootHub / "1-3", "067b", "2303", "0300");
    sysfs.addTty("ttyUSB10", sysfs.folder(unnamed / "1-3:1.0" / "ttyUSB10"));
    const fs::path stm = sysfs.addUsbDevice(rootHub / "1-4", "0483", "5740", "0200", "STM32 Virtual ComPort");
    sysfs.addTty("ttyACM0", sysfs.folder(stm / "1-4:1.0"));

    const fs::path pnpPort = sysfs.folder("devices/pnp0/00:04");
    FakeSysfs::write(pnpPort / "id", "PNP0501\nPNP0500");
    sysfs.bindDriver(pnpPort, "pnp", "serial");
    FakeSysfs::write(sysfs.addTty("ttyS0", sysfs.addSerialBase(pnpPort, 0)) / "type", "4");

    const fs::path legacy8250 = sysfs.folder("devices/platform/serial8250");
    sysfs.bindDriver(legacy8250, "platform", "serial8250");
    FakeSysfs::write(sysfs.addTty("ttyS3", sysfs.addSerialBase(legacy8250, 3)) / "type", "0");

    const fs::path pl011 = sysfs.folder("devices/platform/soc/fe201000.serial");
    sysfs.bindDriver(pl011, "amba", "uart-pl011");
    FakeSysfs::write(sysfs.addTty("ttyAMA0", pl011) / "type", "32");

    sysfs.addTty("tty1", sysfs.folder("devices/virtual"), false);

    const std::vector<RawPortTexts> expected = {
        {"ttyACM0", "USB\\VID_0483&PID_5740&REV_0200", "STM32 Virtual ComPort"},
        {"ttyAMA0", "uart-pl011", ""},
        {"ttyS0", "PNP0501", ""},
        {"ttyUSB0", "USB\\VID_1A86&PID_7523&REV_0264", "USB Serial"},
        {"ttyUSB1", "USB\\VID_0403&PID_6001&REV_0600", "FT232R USB UART"},
        {"ttyUSB10", "USB\\VID_067B&PID_2303&REV_0300", ""},
    };
    EXPECT_EQ(readSysfsPorts(sysfs.root()), expected);
}

TEST(SysfsPortSource, TreeWithoutTtysGivesNoPorts)
{
    EXPECT_TRUE(readSysfsPorts("/nonexistent-sysfs").empty());
}

TEST(SysfsPortSource, PortsOfThisMachineExistUnderDev)
{
    for (const SerialPortInfo& port : enumerateSerialPorts()) {
        SCOPED_TRACE(port.portName);
        EXPECT_TRUE(fs::exists(fs::path("/dev") / port.portName));
    }
}

TEST(NaturalOrder, ComparesDigitRunsByValue)
{
    EXPECT_TRUE(naturalLess("ttyS2", "ttyS10"));
    EXPECT_FALSE(naturalLess("ttyS10", "ttyS2"));
    EXPECT_TRUE(naturalLess("ttyS9", "ttyUSB0"));
    EXPECT_TRUE(naturalLess("ttyS", "ttyS0"));
    // Equal by value: plain text order keeps the order strict.
    EXPECT_TRUE(naturalLess("ttyS01", "ttyS1"));
    EXPECT_FALSE(naturalLess("ttyS1", "ttyS01"));
}

} // namespace
