// Names that come from the system are shown as text and recorded as data: a
// USB product string with terminal escape sequences or a spreadsheet formula
// neither commands the terminal nor runs in a spreadsheet.
#include "serialport/SerialPortAssembly.h"
#include "serialport/posix/SysfsPortSource.h"
#include "session/PortIdentity.h"
#include "session/PrintableText.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

TEST(SystemText, AHostileProductStringIsShownAsTextAndRecordedAsData)
{
    QTemporaryDir root;
    const std::filesystem::path sys = root.path().toStdString();
    const std::filesystem::path usb = sys / "devices/usb1/1-1";
    std::filesystem::create_directories(usb / "1-1:1.0/ttyUSB0");
    const std::string product = "\x1b]0;owned\x07\x1b[2J=HYPERLINK(\"http://x\")";
    for (const auto& [name, value] :
         {std::pair<std::string, std::string>{"idVendor", "1234"}, {"idProduct", "5678"}, {"product", product}, {"serial", "A50285BI"}})
        std::ofstream(usb / name) << value << '\n';
    std::filesystem::create_directories(sys / "class/tty/ttyUSB0");
    std::filesystem::create_directory_symlink(usb / "1-1:1.0/ttyUSB0", sys / "class/tty/ttyUSB0/device");

    const PortIdentity identity = identifyPort(assembleSerialPorts(readSysfsPorts(sys)), "ttyUSB0");
    EXPECT_EQ(identity.serialNumber, "A50285BI");
    EXPECT_EQ(printableText(identity.adapterName), "\\x1B]0;owned\\x07\\x1B[2J=HYPERLINK(\"http://x\")");
    EXPECT_EQ(csvField(printableText("=HYPERLINK(\"http://x\")")), "\"'=HYPERLINK(\"\"http://x\"\")\"");
    for (const char* formula : {"+1", "-1+2", "@SUM(A1)"})
        EXPECT_EQ(csvField(formula), QString("'") + formula);
}
