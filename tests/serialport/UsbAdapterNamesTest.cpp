#include "serialport/SerialPortInfo.h"
#include "serialport/UsbAdapterNames.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

namespace {

// Written out again on purpose: a typo in either copy shows up as a mismatch.
const std::map<std::string, std::string> expectedAdapterNames = {
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

// Keys arrive as std::string copies, so that a table comparing addresses
// instead of texts cannot pass by sharing literals with the test.
std::string lookUp(const std::string& key)
{
    char out[256] = "untouched";
    lookupAdapterName(key.c_str(), out);
    return out;
}

TEST(UsbAdapterNames, HoldsExactlyTheKnownAdaptersAndVendors)
{
    const std::map<std::string, std::string> actual(usbAdapterNames.begin(), usbAdapterNames.end());
    EXPECT_EQ(usbAdapterNames.size(), 43u);
    EXPECT_EQ(actual, expectedAdapterNames);
}

TEST(UsbAdapterNames, EveryEntryIsReachableByItsKey)
{
    for (const auto& [key, description] : expectedAdapterNames) {
        SCOPED_TRACE(key);
        if (key.size() == 9)
            EXPECT_EQ(lookUp(key), description);
        else // vendor keys answer for products the table does not know
            EXPECT_EQ(lookUp(key + ":ffff"), description + " serial");
    }
}

TEST(LookupAdapterName, FallsBackToTheVendorOrLeavesTheBufferAlone)
{
    const struct {
        const char* key;
        const char* expected;
    } cases[] = {
        {"1A86:7523", "QinHeng serial"}, // upper case misses the adapter, not the vendor
        {"0403:1234", "FTDI serial"},
        {"1234:5678", "untouched"},
        {"zzzz:7523", "untouched"},
        {"1a86", "untouched"}, // a vendor key is not a valid lookup key
        {"1a86:752", "untouched"},
        {"1a86:75230", "untouched"},
        {"", "untouched"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(lookUp(c.key), c.expected);
    }
    char out[256] = "untouched";
    lookupAdapterName(nullptr, out);
    EXPECT_STREQ(out, "untouched");
}

} // namespace
