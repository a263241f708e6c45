// The record every platform's port source is turned into, and the adapter names.
#include "serialport/SerialPortAssembly.h"
#include "serialport/UsbAdapterNames.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(SerialPortAssembly, ShortensUsbIdsAndNamesThePort)
{
    const struct {
        RawPortTexts raw;
        const char* hardwareId;
        const char* description;
    } cases[] = {
        {{"COM5", "USB\\VID_1A86&PID_7523&REV_0264", "USB-SERIAL CH340 (COM5)"}, "1a86:7523", "QinHeng CH340 serial converter"},
        {{"COM6", "USB\\VID_1A86&PID_1234", "USB-SERIAL (COM6)"}, "1a86:1234", "QinHeng serial"},
        {{"COM7", "USB\\VID_1234&PID_5678", "USB Serial Device (COM7)"}, "1234:5678", "USB Serial Device"},
        {{"COM1", "ACPI\\PNP0501", "Communications Port (COM1)"}, "ACPI\\PNP0501", "Communications Port"},
        // Another bus naming a known vendor keeps its id and its own name.
        {{"COM8", "FTDIBUS\\VID_0403+PID_6001+A5\\0000", "USB Serial Port (COM8)"}, "FTDIBUS\\VID_0403+PID_6001+A5\\0000", "USB Serial Port"},
        {{"COM10", "USB\\VID_1A86", "Half id"}, "USB\\VID_1A86", "Half id"},
        {{"COM3", "", "Dual (COM3) (COM4)"}, "", "Dual"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw.hardwareId);
        const SerialPortInfo info = assembleSerialPortInfo(c.raw);
        EXPECT_EQ(info.portName, c.raw.portName);
        EXPECT_STREQ(info.hardwareId, c.hardwareId);
        EXPECT_STREQ(info.description, c.description);
    }
    const std::string longText(300, 'x');
    EXPECT_EQ(std::string(assembleSerialPortInfo({longText, "", ""}).portName), longText.substr(0, 255));
}

TEST(LookupAdapterName, FallsBackToTheVendorOrLeavesTheBufferAlone)
{
    // std::string keys, so that a table comparing addresses cannot pass by
    // sharing literals with the test.
    for (const auto& [key, expected] : {std::pair<std::string, const char*>{"1a86:7523", "QinHeng CH340 serial converter"},
                                        {"1A86:7523", "QinHeng serial"},
                                        {"1234:5678", "untouched"},
                                        {"1a86", "untouched"},
                                        {"1a86:75230", "untouched"}}) {
        char out[256] = "untouched";
        lookupAdapterName(key.c_str(), out);
        EXPECT_STREQ(out, expected) << key;
    }
}

} // namespace
