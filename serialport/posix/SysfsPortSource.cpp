#include "serialport/posix/SysfsPortSource.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>

namespace fs = std::filesystem;

namespace {

// The first line of a sysfs attribute, without trailing blanks; empty when
// the attribute is missing.
std::string readAttribute(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
        line.pop_back();
    return line;
}

// A USB id attribute ("1a86") as four upper-case hex digits, the way Windows
// writes them in hardware ids; empty unless it holds one to four hex digits.
std::string readUpperHexId(const fs::path& file)
{
    const std::string text = readAttribute(file);
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return {};
    char id[5];
    std::snprintf(id, sizeof id, "%04lX", std::strtoul(text.c_str(), nullptr, 16));
    return id;
}

// The name of what a sysfs link points to ("serial" for .../drivers/serial).
std::string linkTargetName(const fs::path& link)
{
    std::error_code error;
    return fs::read_symlink(link, error).filename().string();
}

bool isStrictlyBelow(const fs::path& folder, const fs::path& root)
{
    const fs::path relative = folder.lexically_relative(root);
    return !relative.empty() && relative != "." && *relative.begin() != "..";
}

// The serial core lists every line an 8250 driver reserves (ttyS0 to ttyS31
// by default) whether a UART answers there or not; the empty lines report the
// type PORT_UNKNOWN (0), as TIOCGSERIAL would. Ttys outside the serial core
// (usb-serial, cdc_acm) have no type attribute and neither had kernels before
// it existed: those stay listed, as hiding a real port is worse than listing
// one that fails to open.
bool isPhantom(const fs::path& ttyFolder)
{
    return readAttribute(ttyFolder / "type") == "0";
}

// Since Linux 6.5 the serial core puts its own "serial-base" controller and
// port devices between a tty and the hardware it drives.
fs::path hardwareBehind(fs::path device)
{
    while (linkTargetName(device / "subsystem") == "serial-base")
        device = device.parent_path();
    return device;
}

// The nearest USB device at or above the hardware: two levels up for
// usb-serial (port, interface, device), one for cdc_acm (interface, device).
std::optional<fs::path> nearestUsbDevice(fs::path folder, const fs::path& root)
{
    for (; isStrictlyBelow(folder, root); folder = folder.parent_path())
        if (!readUpperHexId(folder / "idVendor").empty() && !readUpperHexId(folder / "idProduct").empty())
            return folder;
    return std::nullopt;
}

// The Windows form, so that the shared assembly shortens and names it.
std::string usbHardwareId(const fs::path& usbDevice)
{
    std::string id = "USB\\VID_" + readUpperHexId(usbDevice / "idVendor") + "&PID_"
                     + readUpperHexId(usbDevice / "idProduct");
    const std::string revision = readUpperHexId(usbDevice / "bcdDevice");
    if (!revision.empty())
        id += "&REV_" + revision;
    return id;
}

// Other buses have no readable name of their own: firmware-described ports
// give their first PNP id ("PNP0501" for a PC's COM port), the rest the name
// of the driver bound to them ("uart-pl011").
std::string otherBusHardwareId(const fs::path& hardware)
{
    const std::string pnpId = readAttribute(hardware / "id");
    return pnpId.empty() ? linkTargetName(hardware / "driver") : pnpId;
}

// Virtual terminals, the console and other ttys without hardware have no
// device link and are no serial ports.
std::optional<RawPortTexts> readPort(const fs::path& ttyFolder, const fs::path& root)
{
    std::error_code error;
    const fs::path device = fs::canonical(ttyFolder / "device", error);
    if (error || isPhantom(ttyFolder))
        return std::nullopt;

    RawPortTexts port;
    port.portName = ttyFolder.filename().string();
    const fs::path hardware = hardwareBehind(device);
    if (const auto usbDevice = nearestUsbDevice(hardware, root)) {
        port.hardwareId = usbHardwareId(*usbDevice);
        port.friendlyName = readAttribute(*usbDevice / "product");
        port.serialNumber = readAttribute(*usbDevice / "serial");
    } else {
        port.hardwareId = otherBusHardwareId(hardware);
    }
    return port;
}

} // namespace

std::vector<RawPortTexts> readSysfsPorts(const fs::path& sysfsRoot)
{
    std::vector<RawPortTexts> ports;
    std::error_code error;
    const fs::path root = fs::canonical(sysfsRoot, error);
    if (error)
        return ports;
    for (fs::directory_iterator entry(root / "class" / "tty", error), end; !error && entry != end;
         entry.increment(error))
        if (auto port = readPort(entry->path(), root))
            ports.push_back(std::move(*port));
    return ports;
}

std::vector<RawPortTexts> readPresentPorts()
{
    return readSysfsPorts();
}
