// Names that come from the system are shown as text and recorded as data: a
// USB product string with terminal escape sequences or a spreadsheet formula
// neither commands the terminal nor runs in a spreadsheet.
#include "serialport/SerialPortAssembly.h"
#include "serialport/posix/SysfsPortSource.h"
#include "session/PortIdentity.h"
#include "session/PrintableText.h"
#include "tests/support/FakeSysfs.h"

#include <gtest/gtest.h>

TEST(SystemText, AHostileProductStringIsShownAsTextAndRecordedAsData)
{
    FakeSysfs sysfs;
    const std::string product = "\x1b]0;owned\x07\x1b[2J=HYPERLINK(\"http://x\")";
    const std::filesystem::path usb =
        sysfs.device("devices/usb1/1-1", {"idVendor=1234", "idProduct=5678", "product=" + product, "serial=A50285BI"});
    sysfs.tty("ttyUSB0", usb / "1-1:1.0");

    const PortIdentity identity = identifyPort(assembleSerialPorts(readSysfsPorts(sysfs.root)), "ttyUSB0");
    EXPECT_EQ(identity.serialNumber, "A50285BI");
    EXPECT_EQ(printableText(identity.adapterName), "\\x1B]0;owned\\x07\\x1B[2J=HYPERLINK(\"http://x\")");
    EXPECT_EQ(csvField(printableText("=HYPERLINK(\"http://x\")")), "\"'=HYPERLINK(\"\"http://x\"\")\"");
    for (const char* formula : {"+1", "-1+2", "@SUM(A1)"})
        EXPECT_EQ(csvField(formula), QString("'") + formula);
}
