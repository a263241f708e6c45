#include "serialport/UsbAdapterNames.h"

#include "serialport/HexText.h"
#include "serialport/TextField.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string_view>

namespace {

// Orders keys by their text rather than by their address.
struct TextOrder {
    bool operator()(const char* left, const char* right) const { return std::strcmp(left, right) < 0; }
};

// Known USB-to-serial adapters: "vvvv" vendor keys and "vvvv:pppp" adapter
// keys to their descriptions. Built before main and never changed, so readers
// need no lock; keys and descriptions are the built-in literals, never copies.
// Inserted in this order; should a key ever appear twice, its first
// description stays.
const std::map<const char*, const char*, TextOrder> usbAdapterNames = {
    {"1a86", "QinHeng"},
    {"1a86:5512", "QinHeng CH341 EPP/I2C adapter"},
    {"1a86:5523", "QinHeng CH341 serial converter"},
    {"1a86:7522", "QinHeng CH340 serial converter"},
    {"1a86:7523", "QinHeng CH340 serial converter"},
    {"067b", "Prolific"},
    {"067b:0000", "Prolific PL2301 USB-USB Bridge"},
    {"067b:0001", "Prolific PL2302 USB-USB Bridge"},
    {"067b:0307", "Prolific Motorola Serial Adapter"},
    {"067b:04bb", "Prolific PL2303 Serial (IODATA USB-RSAQ2)"},
    {"067b:2303", "Prolific PL2303 Serial Port"},
    {"067b:23a3", "Prolific ATEN Serial Bridge"},
    {"067b:aaa2", "Prolific PL2303 Serial Adapter (IODATA USB-RSAQ3)"},
    {"067b:aaa3", "Prolific PL2303x Serial Adapter"},
    {"03eb", "Atmel"},
    {"03eb:204b", "Atmel LUFA USB to Serial Adapter Project"},
    {"03eb:2068", "Atmel LUFA Virtual Serial/Mass Storage Demo"},
    {"0403", "FTDI"},
    {"0403:0232", "FTDI Serial Converter"},
    {"0403:6001", "FTDI FT232 Serial (UART) IC"},
    {"0403:6007", "FTDI Serial Converter"},
    {"0403:6008", "FTDI Serial Converter"},
    {"0403:6009", "FTDI Serial Converter"},
    {"0403:8372", "FTDI FT8U100AX Serial Port"},
    {"0403:ed71", "FTDI HAMEG HO870 Serial Port"},
    {"0403:ed72", "FTDI HAMEG HO720 Serial Port"},
    {"0403:ed73", "FTDI HAMEG HO730 Serial Port"},
    {"0403:ed74", "FTDI HAMEG HO820 Serial Port"},
    {"0403:f070", "FTDI Serial Converter 422/485 [Vardaan VEUSB422R3]"},
    {"0403:f3c0", "FTDI 4N-GALAXY Serial Converter"},
    {"0483", "STMicroelectronics"},
    {"0483:0adb", "STMicroelectronics Android Debug Bridge (ADB) device"},
    {"0483:0afb", "STMicroelectronics Android Fastboot device"},
    {"0483:5740", "STMicroelectronics Virtual COM Port"},
    {"0483:7270", "STMicroelectronics ST Micro Serial Bridge"},
    {"04b3", "IBM"},
    {"04b3:4482", "IBM Serial Converter"},
    {"0557", "ATEN"},
    {"0557:2008", "ATEN UC-232A Serial Port [pl2303]"},
    {"0557:2011", "ATEN UC-2324 4xSerial Ports [mos7840]"},
    {"0557:7820", "ATEN UC-2322 2xSerial Ports [mos7820]"},
    {"058f", "Alcor"},
    {"058f:9720", "Alcor USB-Serial Adapter"},
};

} // namespace

void lookupAdapterName(const char* key, char (&out)[256])
{
    if (key == nullptr || std::strlen(key) != 9)
        return;

    const auto adapter = usbAdapterNames.find(key);
    if (adapter != usbAdapterNames.end()) {
        copyTextField(out, adapter->second);
        return;
    }

    std::string_view text = key;
    unsigned int vendor = 0;
    if (!takeHexNumber(text, 4, vendor))
        return;
    char vendorKey[5];
    std::snprintf(vendorKey, sizeof vendorKey, "%04x", vendor);
    const auto maker = usbAdapterNames.find(vendorKey);
    if (maker != usbAdapterNames.end())
        std::snprintf(out, sizeof out, "%s serial", maker->second);
}
