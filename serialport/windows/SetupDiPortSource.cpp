// Present COM ports from the device-setup interface and the registry.
#include "serialport/PortSource.h"

#include <windows.h>

#include <setupapi.h>

#include <algorithm>
#include <iterator>

namespace {

// {86E0D1E0-8089-11D0-9CE4-08003E301F73}, the COM-port device-interface class.
// Spelled out here so that no translation unit has to instantiate the GUID.
const GUID comPortInterfaceClass = {0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};

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

} // namespace

std::vector<RawPortTexts> readPresentPorts()
{
    std::vector<RawPortTexts> ports;
    HDEVINFO deviceSet =
        SetupDiGetClassDevsW(&comPortInterfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (deviceSet == INVALID_HANDLE_VALUE)
        return ports;

    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(deviceSet, index, &device); ++index) {
        WideText portName{};
        WideText hardwareId{};
        WideText friendlyName{};
        readPortName(deviceSet, device, portName);
        readDeviceProperty(deviceSet, device, SPDRP_HARDWAREID, hardwareId);
        readDeviceProperty(deviceSet, device, SPDRP_FRIENDLYNAME, friendlyName);
        ports.push_back({toAnsi(portName), toAnsi(hardwareId), toAnsi(friendlyName)});
    }
    SetupDiDestroyDeviceInfoList(deviceSet);
    return ports;
}
