// Present COM ports: the devices of the COM-port interface and of the Ports
// class (device setup), then the ports only the serial device map in the
// registry knows, as some drivers (and wine) register no device for them.
// Each port once; printer ports (LPT) not at all.
#include "serialport/PortSource.h"

#include <windows.h>

#include <setupapi.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <set>

namespace {

// {86E0D1E0-8089-11D0-9CE4-08003E301F73}, the COM-port device-interface class,
// and {4D36E978-E325-11CE-BFC1-08002BE10318}, the Ports (COM and LPT) setup
// class. Spelled out here so that no translation unit has to instantiate them.
const GUID comPortInterfaceClass = {0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};
const GUID portsSetupClass = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

using WideText = wchar_t[256];

// Reads the registry value "PortName". The byte limit of 255 leaves the last
// unit of the zeroed buffer as terminator. A longer value fails, and the
// buffer is cleared again because its contents are undefined after a failure.
void readPortName(HDEVINFO deviceSet, SP_DEVINFO_DATA& device, WideText& portName)
{
    HKEY key = SetupDiOpenDevRegKey(deviceSet, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE)
        return;
    DWORD byteLimit = 255;
    if (RegQueryValueExW(key, L"PortName", nullptr, nullptr, reinterpret_cast<BYTE*>(portName), &byteLimit)
        != ERROR_SUCCESS)
        std::fill(std::begin(portName), std::end(portName), L'\0');
    RegCloseKey(key);
}

// The hardware id is a multi-string; only its first id is converted later,
// as conversion stops at the first terminator.
void readDeviceProperty(HDEVINFO deviceSet, SP_DEVINFO_DATA& device, DWORD property, WideText& text)
{
    if (!SetupDiGetDeviceRegistryPropertyW(deviceSet, &device, property, nullptr, reinterpret_cast<BYTE*>(text),
                                           sizeof text, nullptr))
        std::fill(std::begin(text), std::end(text), L'\0');
}

// A property may fill the buffer without a terminator, so the text ends at
// its first terminator or at the end of the buffer, whichever comes first.
std::string toAnsi(const WideText& text)
{
    const int length = static_cast<int>(std::find(text, text + 256, L'\0') - text);
    if (length == 0)
        return {};
    const int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return {};
    std::string ansi(static_cast<std::size_t>(size), '\0');
    if (WideCharToMultiByte(CP_ACP, 0, text, length, &ansi[0], size, nullptr, nullptr) != size)
        return {};
    return ansi;
}

// A USB device's instance id ends in its serial number ("USB\VID_0403&PID_6001\A50285BI")
// when the device reports one; otherwise Windows makes up a last part that
// holds "&" ("USB\VID_1A86&PID_7523\5&2C1E8B3&0&2"). Other buses' ids carry none.
std::string usbSerialNumber(const WideText& instanceId)
{
    const std::string id = toAnsi(instanceId);
    const std::size_t lastSeparator = id.rfind('\\');
    if (_strnicmp(id.c_str(), "USB\\", 4) != 0 || lastSeparator == std::string::npos)
        return {};
    const std::string last = id.substr(lastSeparator + 1);
    return last.find('&') == std::string::npos ? last : std::string();
}

bool isPrinterPort(const std::string& portName)
{
    return _strnicmp(portName.c_str(), "LPT", 3) == 0;
}

// Port names are compared as Windows does, regardless of case; a device
// without a port name is told apart by its instance id.
bool isListed(const std::vector<RawPortTexts>& ports, const std::string& portName)
{
    return std::any_of(ports.begin(), ports.end(), [&](const RawPortTexts& port) {
        return !portName.empty() && _stricmp(port.portName.c_str(), portName.c_str()) == 0;
    });
}

void appendDevices(std::vector<RawPortTexts>& ports, std::set<std::wstring>& seenDevices, const GUID& setClass,
                   DWORD flags)
{
    HDEVINFO deviceSet = SetupDiGetClassDevsW(&setClass, nullptr, nullptr, flags);
    if (deviceSet == INVALID_HANDLE_VALUE)
        return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(deviceSet, index, &device); ++index) {
        WideText instanceId{};
        if (SetupDiGetDeviceInstanceIdW(deviceSet, &device, instanceId, 255, nullptr)
            && !seenDevices.insert(instanceId).second)
            continue;
        WideText portName{};
        WideText hardwareId{};
        WideText friendlyName{};
        readPortName(deviceSet, device, portName);
        readDeviceProperty(deviceSet, device, SPDRP_HARDWAREID, hardwareId);
        readDeviceProperty(deviceSet, device, SPDRP_FRIENDLYNAME, friendlyName);
        RawPortTexts port{toAnsi(portName), toAnsi(hardwareId), toAnsi(friendlyName), usbSerialNumber(instanceId)};
        if (!isPrinterPort(port.portName) && !isListed(ports, port.portName))
            ports.push_back(std::move(port));
    }
    SetupDiDestroyDeviceInfoList(deviceSet);
}

// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM: one value per present port, its data
// the port name. Such a port has no hardware id or friendly name here.
void appendRegistryPorts(std::vector<RawPortTexts>& ports)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    for (DWORD index = 0;; ++index) {
        WideText valueName{};
        WideText portName{};
        DWORD nameLength = 255;
        DWORD type = 0;
        DWORD byteLimit = sizeof portName - sizeof portName[0];
        const LONG result = RegEnumValueW(key, index, valueName, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(portName), &byteLimit);
        if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA)
            break; // past the last value
        const std::string name = result == ERROR_SUCCESS && type == REG_SZ ? toAnsi(portName) : std::string();
        if (!name.empty() && !isPrinterPort(name) && !isListed(ports, name))
            ports.push_back({name, {}, {}});
    }
    RegCloseKey(key);
}

} // namespace

std::vector<RawPortTexts> readPresentPorts()
{
    std::vector<RawPortTexts> ports;
    std::set<std::wstring> seenDevices;
    appendDevices(ports, seenDevices, comPortInterfaceClass, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    appendDevices(ports, seenDevices, portsSetupClass, DIGCF_PRESENT);
    appendRegistryPorts(ports);
    return ports;
}
